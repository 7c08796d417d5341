// parse_json_object (strict parse plus structure check) against a bare parse of the same
// manifest-shaped text, timed side by side in one run. Prints times and ratios only.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <rapidjson/document.h>
#include <rapidjson/memorystream.h>

#include "common/json.h"

namespace {

// A release manifest with `count` file entries, shaped like the ones the service sends.
std::string manifest_text(int count) {
  std::string text =
      R"({"manifest_version":1,"release_id":"2026.12.0-bench","build":41027,"files":[)";
  char entry[256];
  for (int i = 0; i < count; ++i) {
    std::snprintf(entry, sizeof entry,
                  R"(%s{"path":"game/content/pack_%03d/asset_%05d.pak","operation":"replace",)"
                  R"("size_bytes":%d,"sha256":"%016x%016x%016x%016x"})",
                  i == 0 ? "" : ",", i / 200, i, 1000 + i * 37, i, i * 7, i * 13, i * 31);
    text += entry;
  }
  text += "]}";
  return text;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

template <typename Parse>
double time_ms(Parse&& parse) {
  const auto start = std::chrono::steady_clock::now();
  parse();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  const int entries = 20'000;
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 41;
  const std::string text = manifest_text(entries);

  std::size_t sink = 0;
  auto bare_default = [&] {
    rapidjson::Document document;
    document.Parse(text.data(), text.size());
    sink += document.HasParseError() ? 0 : document.MemberCount();
  };
  auto bare_strict_flags = [&] {
    rapidjson::Document document;
    document.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag>(
        text.data(), text.size());
    sink += document.HasParseError() ? 0 : document.MemberCount();
  };
  // The same flags and the same input stream as parse_json_object, without its checks: the
  // difference is the cost of the limits and the structure check alone.
  auto bare_same_stream = [&] {
    rapidjson::Document document;
    rapidjson::MemoryStream stream(text.data(), text.size());
    document.ParseStream<rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag,
                         rapidjson::UTF8<>>(stream);
    sink += document.HasParseError() ? 0 : document.MemberCount();
  };
  auto launcher = [&] { sink += zyr::update::parse_json_object(text).MemberCount(); };

  std::vector<double> bare, bare_strict, bare_stream, ours;
  for (int round = 0; round < rounds; ++round) {
    // Interleaved, and each in turn first, so that load and allocator warm-up fall on all alike.
    for (int slot = 0; slot < 4; ++slot) {
      switch ((round + slot) % 4) {
        case 0:
          bare.push_back(time_ms(bare_default));
          break;
        case 1:
          bare_strict.push_back(time_ms(bare_strict_flags));
          break;
        case 2:
          bare_stream.push_back(time_ms(bare_same_stream));
          break;
        default:
          ours.push_back(time_ms(launcher));
          break;
      }
    }
  }
  const double bare_ms = median(bare);
  const double strict_ms = median(bare_strict);
  const double stream_ms = median(bare_stream);
  const double ours_ms = median(ours);
  std::printf("manifest of %d entries, %zu bytes, median of %d rounds (checksum %zu)\n", entries,
              text.size(), rounds, sink);
  std::printf("  RapidJSON Parse(text, length), default flags:         %8.3f ms\n", bare_ms);
  std::printf("  RapidJSON Parse(text, length), iterative + validate:  %8.3f ms\n", strict_ms);
  std::printf("  RapidJSON ParseStream(memory), iterative + validate:  %8.3f ms\n", stream_ms);
  std::printf("  parse_json_object (same parse + structure check):     %8.3f ms\n", ours_ms);
  std::printf("  ratio parse_json_object / Parse default flags:        %8.2f\n", ours_ms / bare_ms);
  std::printf("  ratio parse_json_object / Parse same flags:           %8.2f\n",
              ours_ms / strict_ms);
  std::printf("  ratio parse_json_object / ParseStream same flags:     %8.2f\n",
              ours_ms / stream_ms);
  return 0;
}
