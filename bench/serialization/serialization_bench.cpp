// A launch configuration with 64 map entries and 16 roster slots, written and read as an
// object graph, against memcpy of the same number of bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "launch/launcher_config.h"
#include "serialization/object_graph.h"

namespace {

using eb::v3::make_ref;
using eb::v3::ref;
using zyr::launcher::LauncherConfig;
using zyr::launcher::MapConfig;
using zyr::launcher::MapState;
using zyr::launcher::RosterSlot;

ref<LauncherConfig> large_config() {
  ref<LauncherConfig> config = make_ref<LauncherConfig>();
  config->zyrExeWorkDir = "C:\\Users\\player\\Games\\ZYR_ENGINE";
  config->serverDomain = "game.example.com:7000";
  config->serviceDomain = "service.example.com";
  config->httpsOrigins = {"https://service.example.com", "https://cdn.example.com"};
  config->gameMode = 1;
  for (int i = 0; i < 64; ++i) {
    auto map = make_ref<MapConfig>(config.get());
    map->mapName = "plugin_map_" + std::to_string(i);
    map->mapValue = std::string(48, static_cast<char>('A' + i % 26));
    map->mapState = i % 2 == 0 ? MapState::LauncherSupplied : MapState::External;
    config->mapConfig.push_back(map);
  }
  for (std::uint32_t i = 0; i < 16; ++i) {
    auto slot = make_ref<RosterSlot>(config.get());
    slot->slot = i;
    slot->ai = i % 3 == 0;
    slot->faction = "faction" + std::to_string(i % 4);
    slot->team = std::to_string(i % 2);
    slot->color = std::to_string(0x112233 * (i + 1));
    slot->aiDifficulty = i % 4;
    slot->userId = "user-" + std::to_string(1000 + i);
    slot->displayName = "Player " + std::to_string(i);
    slot->start = i;
    config->roster.push_back(slot);
  }
  return config;
}

void Write(benchmark::State& state) {
  ref<LauncherConfig> config = large_config();
  std::vector<std::uint8_t> buffer;
  for (auto _ : state) {
    eb::v3::write_object_graph(*config, buffer);
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
  state.counters["bytes"] = static_cast<double>(buffer.size());
}
BENCHMARK(Write);

void Read(benchmark::State& state) {
  std::vector<std::uint8_t> buffer;
  eb::v3::write_object_graph(*large_config(), buffer);
  for (auto _ : state) {
    ref<LauncherConfig> config = make_ref<LauncherConfig>();
    const bool read = eb::v3::read_object_graph(*config, buffer.data(), buffer.size());
    if (!read || config->missingFields != 0 || config->mapConfig.size() != 64) {
      state.SkipWithError("the configuration did not read back");
      break;
    }
    benchmark::DoNotOptimize(config.get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
}
BENCHMARK(Read);

void Memcpy(benchmark::State& state) {
  std::vector<std::uint8_t> source;
  eb::v3::write_object_graph(*large_config(), source);
  std::vector<std::uint8_t> target(source.size());
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}
BENCHMARK(Memcpy);

}  // namespace

BENCHMARK_MAIN();
