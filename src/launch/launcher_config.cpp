#include "launch/launcher_config.h"

namespace zyr::launcher {

using eb::v3::Archive;
using eb::v3::field;

MapConfig::~MapConfig() = default;

void MapConfig::serialize(Archive& archive) {
  // Short opaque keys, fixed by the client.
  field("7SmrLzy", mapName, archive);
  field("ZN4Z9B", mapValue, archive);
  field("cfVWaD", mapState, archive);
}

RecordConfig::~RecordConfig() = default;

void RecordConfig::serialize(Archive& archive) { field("recordName", recordName, archive); }

SaveConfig::~SaveConfig() = default;

void SaveConfig::serialize(Archive& archive) { field("saveName", saveName, archive); }

RosterSlot::~RosterSlot() = default;

void RosterSlot::serialize(Archive& archive) {
  field("slot", slot, archive);
  field("ai", ai, archive);
  field("faction", faction, archive);
  field("team", team, archive);
  field("color", color, archive);
  field("aiDifficulty", aiDifficulty, archive);
  field("userId", userId, archive);
  field("displayName", displayName, archive);
  field("start", start, archive);
}

LauncherConfig::~LauncherConfig() = default;

void LauncherConfig::serialize(Archive& archive) {
  field("zyrExeWorkDir", zyrExeWorkDir, archive);
  field("userId", userId, archive);
  field("userKey", userKey, archive);
  field("hubToken", hubToken, archive);
  field("serverDomain", serverDomain, archive);
  field("serviceDomain", serviceDomain, archive);
  field("httpsOrigins", httpsOrigins, archive);
  field("skipMapLoading", skipMapLoading, archive);
  field("mapConfig", mapConfig, archive);
  field("recordOrSaveConfig", recordOrSaveConfig, archive);
  field("gameMode", gameMode, archive);
  field("localSlot", localSlot, archive);
  field("matchProcess", matchProcess, archive);
  field("gameSeed", gameSeed, archive);
  field("gameEpoch", gameEpoch, archive);
  field("gameTransportTicket", gameTransportTicket, archive);
  field("gameTransportExpiresAt", gameTransportExpiresAt, archive);
  field("gameTcpHost", gameTcpHost, archive);
  field("gameTcpPort", gameTcpPort, archive);
  field("gameUdpHost", gameUdpHost, archive);
  field("gameUdpPort", gameUdpPort, archive);
  field("gameUdpKey", gameUdpKey, archive);
  field("roster", roster, archive);
}

}  // namespace zyr::launcher
