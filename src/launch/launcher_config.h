// The configuration record handed to the client at every start, and the records it owns.
// Member order and keys are the binary layout shared with the client.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "serialization/archive.h"
#include "serialization/base.h"
#include "serialization/ref.h"

namespace zyr::launcher {

enum class MapState : std::int32_t {
  LauncherSupplied = 0,  // a built-in entry: the launcher vouches for mapValue
  External = 5,          // a name only, or a value that came from the client
};

class MapConfig : public eb::v3::base {
 public:
  explicit MapConfig(eb::v3::manager* owner) : base(owner) {}
  ~MapConfig() override;
  void serialize(eb::v3::Archive& archive) override;

  std::string mapName;
  std::string mapValue;
  MapState mapState = MapState::LauncherSupplied;
};

class RecordConfig : public eb::v3::base {
 public:
  explicit RecordConfig(eb::v3::manager* owner) : base(owner) {}
  ~RecordConfig() override;
  void serialize(eb::v3::Archive& archive) override;

  std::string recordName;
};

class SaveConfig : public eb::v3::base {
 public:
  explicit SaveConfig(eb::v3::manager* owner) : base(owner) {}
  ~SaveConfig() override;
  void serialize(eb::v3::Archive& archive) override;

  std::string saveName;
};

class RosterSlot : public eb::v3::base {
 public:
  explicit RosterSlot(eb::v3::manager* owner) : base(owner) {}
  ~RosterSlot() override;
  void serialize(eb::v3::Archive& archive) override;

  std::uint32_t slot = 0;
  bool ai = false;
  std::string faction;
  std::string team;
  std::string color;
  std::uint32_t aiDifficulty = 0;
  std::string userId;
  std::string displayName;
  std::uint32_t start = 0;
};

// Owns every object created with it as manager. Hold it through eb::v3::ref (make it with
// eb::v3::make_ref<LauncherConfig>()).
class LauncherConfig : public eb::v3::manager {
 public:
  LauncherConfig() = default;
  ~LauncherConfig() override;
  void serialize(eb::v3::Archive& archive) override;

  // Local to the launcher; never serialized.
  std::string clientExePath;
  std::uint32_t handshakeTimeoutMs = 2000;
  bool terminateExisting = true;

  std::string zyrExeWorkDir;
  std::string userId;
  std::string userKey;
  std::string hubToken;
  std::string serverDomain;
  std::string serviceDomain;
  std::vector<std::string> httpsOrigins;
  bool skipMapLoading = false;
  std::vector<eb::v3::ref<MapConfig>> mapConfig;
  std::variant<eb::v3::ref<RecordConfig>, eb::v3::ref<SaveConfig>> recordOrSaveConfig;
  std::int32_t gameMode = 0;
  std::uint32_t localSlot = 0;
  bool matchProcess = false;
  std::uint64_t gameSeed = 0;
  std::uint32_t gameEpoch = 0;
  std::string gameTransportTicket;
  std::string gameTransportExpiresAt;
  std::string gameTcpHost;
  std::uint32_t gameTcpPort = 0;
  std::string gameUdpHost;
  std::uint32_t gameUdpPort = 0;
  std::string gameUdpKey;
  std::vector<eb::v3::ref<RosterSlot>> roster;
};

}  // namespace zyr::launcher
