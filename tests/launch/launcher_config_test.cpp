#include "launch/launcher_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "serialization/object_graph.h"

namespace zyr::launcher {
namespace {

using eb::v3::make_ref;
using eb::v3::ref;

bool contains(const std::vector<std::uint8_t>& buffer, std::string_view text) {
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  return std::search(buffer.begin(), buffer.end(), bytes.begin(), bytes.end()) != buffer.end();
}

ref<LauncherConfig> full_config() {
  ref<LauncherConfig> config = make_ref<LauncherConfig>();
  config->clientExePath = "C:\\Games\\ZYR_ENGINE\\ZYR_Shell.exe";
  config->handshakeTimeoutMs = 20000;
  config->terminateExisting = false;
  config->zyrExeWorkDir = "C:\\Games\\ZYR_ENGINE";
  config->userId = "user-17";
  config->userKey = "key";
  config->hubToken = "hub";
  config->serverDomain = "game.example:7000";
  config->serviceDomain = "service.example";
  config->httpsOrigins = {"https://a.example", "", "https://b.example"};
  config->skipMapLoading = true;
  for (int i = 0; i < 3; ++i) {
    auto map = make_ref<MapConfig>(config.get());
    map->mapName = "map" + std::to_string(i);
    map->mapValue = i == 2 ? "" : std::string(48, static_cast<char>('a' + i));
    map->mapState = i == 2 ? MapState::External : MapState::LauncherSupplied;
    config->mapConfig.push_back(map);
  }
  auto save = make_ref<SaveConfig>(config.get());
  save->saveName = "autosave";
  config->recordOrSaveConfig = save;
  config->gameMode = -7;
  config->localSlot = 2;
  config->matchProcess = true;
  config->gameSeed = 0x0100000000000001ull;
  config->gameEpoch = 0xFFFFFFFFu;
  config->gameTransportTicket = "ticket";
  config->gameTransportExpiresAt = "2026-12-11T12:00:00Z";
  config->gameTcpHost = "tcp.example";
  config->gameTcpPort = 7001;
  config->gameUdpHost = "udp.example";
  config->gameUdpPort = 7002;
  config->gameUdpKey = std::string("k\0y", 3);
  for (std::uint32_t i = 0; i < 2; ++i) {
    auto slot = make_ref<RosterSlot>(config.get());
    slot->slot = i;
    slot->ai = i == 1;
    slot->faction = "f" + std::to_string(i);
    slot->team = "0" + std::to_string(i);
    slot->color = "7";
    slot->aiDifficulty = 3 * i;
    slot->userId = "u" + std::to_string(i);
    slot->displayName = "Player " + std::to_string(i);
    slot->start = 10 + i;
    config->roster.push_back(slot);
  }
  return config;
}

TEST(LauncherConfig, DefaultsAreThoseOfTheRecord) {
  LauncherConfig config;
  EXPECT_EQ(config.handshakeTimeoutMs, 2000u);
  EXPECT_TRUE(config.terminateExisting);
  EXPECT_FALSE(config.skipMapLoading);
  EXPECT_FALSE(config.matchProcess);
  EXPECT_EQ(config.gameMode, 0);
  EXPECT_EQ(config.gameSeed, 0u);
  ASSERT_EQ(config.recordOrSaveConfig.index(), 0u);
  EXPECT_FALSE(std::get<0>(config.recordOrSaveConfig));
  MapConfig map(&config);
  EXPECT_EQ(map.mapState, MapState::LauncherSupplied);
  RosterSlot slot(&config);
  EXPECT_EQ(slot.slot, 0u);
  EXPECT_FALSE(slot.ai);
}

TEST(LauncherConfig, EveryMemberRoundTripsThroughTheBinaryGraph) {
  ref<LauncherConfig> written = full_config();
  std::vector<std::uint8_t> buffer;
  eb::v3::write_object_graph(*written, buffer);

  ref<LauncherConfig> read = make_ref<LauncherConfig>();
  ASSERT_TRUE(eb::v3::read_object_graph(*read, buffer.data(), buffer.size()));
  EXPECT_EQ(read->missingFields, 0);
  // The launcher's own members stay local.
  EXPECT_EQ(read->clientExePath, "");
  EXPECT_EQ(read->handshakeTimeoutMs, 2000u);
  EXPECT_TRUE(read->terminateExisting);

  EXPECT_EQ(read->zyrExeWorkDir, written->zyrExeWorkDir);
  EXPECT_EQ(read->userId, written->userId);
  EXPECT_EQ(read->userKey, written->userKey);
  EXPECT_EQ(read->hubToken, written->hubToken);
  EXPECT_EQ(read->serverDomain, written->serverDomain);
  EXPECT_EQ(read->serviceDomain, written->serviceDomain);
  EXPECT_EQ(read->httpsOrigins, written->httpsOrigins);
  EXPECT_TRUE(read->skipMapLoading);
  ASSERT_EQ(read->mapConfig.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(read->mapConfig[i]);
    EXPECT_EQ(read->mapConfig[i]->owner(), read.get());
    EXPECT_EQ(read->mapConfig[i]->mapName, written->mapConfig[i]->mapName);
    EXPECT_EQ(read->mapConfig[i]->mapValue, written->mapConfig[i]->mapValue);
    EXPECT_EQ(read->mapConfig[i]->mapState, written->mapConfig[i]->mapState);
  }
  ASSERT_EQ(read->recordOrSaveConfig.index(), 1u);
  ASSERT_TRUE(std::get<1>(read->recordOrSaveConfig));
  EXPECT_EQ(std::get<1>(read->recordOrSaveConfig)->saveName, "autosave");
  EXPECT_EQ(read->gameMode, -7);
  EXPECT_EQ(read->localSlot, 2u);
  EXPECT_TRUE(read->matchProcess);
  EXPECT_EQ(read->gameSeed, written->gameSeed);
  EXPECT_EQ(read->gameEpoch, 0xFFFFFFFFu);
  EXPECT_EQ(read->gameTransportTicket, "ticket");
  EXPECT_EQ(read->gameTransportExpiresAt, "2026-12-11T12:00:00Z");
  EXPECT_EQ(read->gameTcpHost, "tcp.example");
  EXPECT_EQ(read->gameTcpPort, 7001u);
  EXPECT_EQ(read->gameUdpHost, "udp.example");
  EXPECT_EQ(read->gameUdpPort, 7002u);
  EXPECT_EQ(read->gameUdpKey, written->gameUdpKey);
  ASSERT_EQ(read->roster.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const RosterSlot& got = *read->roster[i];
    const RosterSlot& want = *written->roster[i];
    EXPECT_EQ(got.slot, want.slot);
    EXPECT_EQ(got.ai, want.ai);
    EXPECT_EQ(got.faction, want.faction);
    EXPECT_EQ(got.team, want.team);
    EXPECT_EQ(got.color, want.color);
    EXPECT_EQ(got.aiDifficulty, want.aiDifficulty);
    EXPECT_EQ(got.userId, want.userId);
    EXPECT_EQ(got.displayName, want.displayName);
    EXPECT_EQ(got.start, want.start);
  }
  // Everything read belongs to the configuration that read it.
  EXPECT_EQ(read->owned_count(), 3u + 1u + 2u);
}

TEST(LauncherConfig, DefaultRecordWritesAllItsKeysAndNoLocalMember) {
  LauncherConfig config;
  config.clientExePath = "C:\\secret\\ZYR_Shell.exe";
  std::vector<std::uint8_t> buffer;
  eb::v3::write_object_graph(config, buffer);
  const char* keys[] = {"zyrExeWorkDir",
                        "userId",
                        "userKey",
                        "hubToken",
                        "serverDomain",
                        "serviceDomain",
                        "httpsOrigins",
                        "skipMapLoading",
                        "mapConfig",
                        "recordOrSaveConfig",
                        "gameMode",
                        "localSlot",
                        "matchProcess",
                        "gameSeed",
                        "gameEpoch",
                        "gameTransportTicket",
                        "gameTransportExpiresAt",
                        "gameTcpHost",
                        "gameTcpPort",
                        "gameUdpHost",
                        "gameUdpPort",
                        "gameUdpKey",
                        "roster"};
  for (const char* key : keys) {
    SCOPED_TRACE(key);
    EXPECT_TRUE(contains(buffer, std::string(key) + '\0'));
  }
  EXPECT_FALSE(contains(buffer, "clientExePath"));
  EXPECT_FALSE(contains(buffer, "handshakeTimeoutMs"));
  EXPECT_FALSE(contains(buffer, "terminateExisting"));
  EXPECT_FALSE(contains(buffer, "secret"));

  LauncherConfig read;
  read.recordOrSaveConfig = make_ref<SaveConfig>(&read);
  ASSERT_TRUE(eb::v3::read_object_graph(read, buffer.data(), buffer.size()));
  EXPECT_EQ(read.missingFields, 0);
  // Alternative 0 holding a null handle comes back as such.
  ASSERT_EQ(read.recordOrSaveConfig.index(), 0u);
  EXPECT_FALSE(std::get<0>(read.recordOrSaveConfig));
}

TEST(LauncherConfig, ExpiryTeamAndColorTravelAsStringBlocks) {
  ref<LauncherConfig> config = make_ref<LauncherConfig>();
  config->gameTransportExpiresAt = "1765454400";
  auto slot = make_ref<RosterSlot>(config.get());
  slot->team = "2";
  slot->color = "16711680";
  config->roster.push_back(slot);
  std::vector<std::uint8_t> buffer;
  eb::v3::write_object_graph(*config, buffer);
  for (std::string_view text : {"1765454400", "16711680"}) {
    std::string block(4, '\0');
    block[0] = static_cast<char>(text.size());
    block += text;
    EXPECT_TRUE(contains(buffer, block)) << text;
  }
  std::string team_block(
      "\x01\0\0\0"
      "2",
      5);
  EXPECT_TRUE(contains(buffer, team_block));
}

TEST(LauncherConfig, MapKeysAreWrittenByteForByteAndCaseMatters) {
  ref<LauncherConfig> config = make_ref<LauncherConfig>();
  auto map = make_ref<MapConfig>(config.get());
  map->mapName = "n";
  map->mapValue = "v";
  map->mapState = MapState::External;
  config->mapConfig.push_back(map);
  std::vector<std::uint8_t> buffer;
  eb::v3::write_object_graph(*config, buffer);
  EXPECT_TRUE(contains(buffer, std::string("7SmrLzy\0", 8)));
  EXPECT_TRUE(contains(buffer, std::string("ZN4Z9B\0", 7)));
  // mapState 5: flag F1 (three zero bytes), value 05 FF FF FF.
  EXPECT_TRUE(contains(buffer, std::string("cfVWaD\0\xF1\x05\xFF\xFF\xFF\0", 12)));

  // The same buffer with one key in another case: that field is not found.
  std::vector<std::uint8_t> changed = buffer;
  auto key =
      std::search(changed.begin(), changed.end(), std::begin("ZN4Z9B"), std::end("ZN4Z9B") - 1);
  ASSERT_NE(key, changed.end());
  key[1] = 'n';
  ref<LauncherConfig> read = make_ref<LauncherConfig>();
  ASSERT_TRUE(eb::v3::read_object_graph(*read, changed.data(), changed.size()));
  EXPECT_EQ(read->missingFields, 1);
  ASSERT_EQ(read->mapConfig.size(), 1u);
  EXPECT_EQ(read->mapConfig[0]->mapName, "n");
  EXPECT_EQ(read->mapConfig[0]->mapValue, "");
  EXPECT_EQ(read->mapConfig[0]->mapState, MapState::External);
}

TEST(LauncherConfig, SharedMapEntryIsWrittenOnceAndReadAsOneObject) {
  ref<LauncherConfig> config = make_ref<LauncherConfig>();
  auto map = make_ref<MapConfig>(config.get());
  map->mapName = "shared-entry";
  config->mapConfig = {map, map};
  std::vector<std::uint8_t> buffer;
  eb::v3::write_object_graph(*config, buffer);
  const std::string name = "shared-entry";
  EXPECT_EQ(std::search(std::search(buffer.begin(), buffer.end(), name.begin(), name.end()) + 1,
                        buffer.end(), name.begin(), name.end()),
            buffer.end());

  ref<LauncherConfig> read = make_ref<LauncherConfig>();
  ASSERT_TRUE(eb::v3::read_object_graph(*read, buffer.data(), buffer.size()));
  ASSERT_EQ(read->mapConfig.size(), 2u);
  EXPECT_EQ(read->mapConfig[0].get(), read->mapConfig[1].get());
  EXPECT_EQ(read->mapConfig[0]->mapName, "shared-entry");
  EXPECT_EQ(read->mapConfig[0].use_count(), 2);
}

TEST(LauncherConfig, JsonRecordShowsTheMembersUnderTheirKeys) {
  ref<LauncherConfig> config = full_config();
  const std::string json = eb::v3::write_object_json(*config);
  EXPECT_NE(json.find("\"7SmrLzy\":\"map0\""), std::string::npos);
  EXPECT_NE(json.find("\"recordOrSaveConfig\":{\"Variant Type\":1,\"Value\":{\"saveName\":"
                      "\"autosave\"}}"),
            std::string::npos);
  EXPECT_EQ(json.find("clientExePath"), std::string::npos);

  ref<LauncherConfig> read = make_ref<LauncherConfig>();
  ASSERT_TRUE(eb::v3::read_object_json(*read, json));
  EXPECT_EQ(read->missingFields, 0);
  EXPECT_EQ(eb::v3::write_object_json(*read), json);
}

}  // namespace
}  // namespace zyr::launcher
