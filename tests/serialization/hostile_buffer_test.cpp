// Damaged and made-up buffers: whatever they hold, a read stays inside them (the native
// build runs this under AddressSanitizer) and leaves a graph that can be written again.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "serialization/object_graph.h"
#include "serialization/test_graph.h"

namespace eb::v3 {
namespace {

using testing::Graph;
using testing::sample_graph;
using Bytes = std::vector<std::uint8_t>;

void read_and_rewrite(const Bytes& buffer) {
  // An exact-size heap copy, so that the sanitizer sees any byte read past the end.
  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[buffer.size() + 1]);
  std::copy(buffer.begin(), buffer.end(), exact.get());
  ref<Graph> read = make_ref<Graph>();
  if (read_object_graph(*read, exact.get(), buffer.size())) {
    Bytes again;
    write_object_graph(*read, again);
    ASSERT_GE(again.size(), graph_header_size);
  }
}

TEST(HostileBuffers, MutatedGraphsReadSafely) {
  ref<Graph> graph = sample_graph();
  Bytes original;
  write_object_graph(*graph, original);
  std::mt19937 random(20261211);
  auto below = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  for (int round = 0; round < 4000; ++round) {
    Bytes buffer = original;
    const std::size_t changes = 1 + below(8);
    for (std::size_t c = 0; c < changes && !buffer.empty(); ++c) {
      const std::size_t at = below(buffer.size());
      switch (below(6)) {
        case 0:
          buffer[at] ^= static_cast<std::uint8_t>(1u << below(8));
          break;
        case 1:
          buffer[at] = 0;
          break;
        case 2:
          buffer[at] = 0xFF;
          break;
        case 3:
          buffer[at] = static_cast<std::uint8_t>(below(256));
          break;
        case 4:
          buffer.resize(at);  // cut short
          break;
        case 5: {
          // Point an offset or length word somewhere else in (or just past) the buffer.
          if (at + 4 > buffer.size()) break;
          const auto to = static_cast<std::uint32_t>(below(buffer.size() + 16));
          for (int i = 0; i < 4; ++i) buffer[at + i] = static_cast<std::uint8_t>(to >> (8 * i));
          break;
        }
      }
    }
    SCOPED_TRACE(round);
    read_and_rewrite(buffer);
    if (HasFatalFailure()) return;
  }
}

TEST(HostileBuffers, RandomBytesBehindAValidHeaderReadSafely) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 2000; ++round) {
    const std::size_t size = graph_header_size + 12 + static_cast<std::size_t>(byte(random));
    Bytes buffer(size);
    for (std::uint8_t& b : buffer) {
      // Few zero bytes: long runs that look like entries.
      b = static_cast<std::uint8_t>(round % 2 == 0 ? byte(random) : 1 + byte(random) % 255);
    }
    const std::uint32_t table = static_cast<std::uint32_t>(size - 12);
    const std::uint8_t fixed[] = {0x17, 0x3A, 0x56, 0x64};
    std::copy(std::begin(fixed), std::end(fixed), buffer.begin());
    for (int i = 0; i < 4; ++i) {
      buffer[20 + i] = static_cast<std::uint8_t>(table >> (8 * i));
      buffer[24 + i] = i == 0 ? 1 : 0;
    }
    buffer[28] = 1;
    // The one table entry is the root.
    std::copy(buffer.begin() + 4, buffer.begin() + 12, buffer.begin() + table);
    SCOPED_TRACE(round);
    read_and_rewrite(buffer);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace eb::v3
