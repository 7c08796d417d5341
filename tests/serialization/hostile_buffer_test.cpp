// Damaged and made-up buffers: whatever they hold, a read stays inside them (the native
// build runs this under AddressSanitizer) and leaves a graph that can be written again.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "serialization/bytes.h"
#include "serialization/field_entry.h"
#include "serialization/object_graph.h"
#include "serialization/test_graph.h"

namespace eb::v3 {
namespace {

using testing::Bytes;
using testing::concat;
using testing::Graph;
using testing::le;
using testing::Node;
using testing::sample_graph;
using testing::text;

// True when the buffer was accepted.
bool read_and_rewrite(const Bytes& buffer) {
  // An exact-size heap copy, so that the sanitizer sees any byte read past the end.
  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[buffer.size() + 1]);
  std::copy(buffer.begin(), buffer.end(), exact.get());
  ref<Graph> read = make_ref<Graph>();
  if (!read_object_graph(*read, exact.get(), buffer.size())) return false;
  Bytes again;
  write_object_graph(*read, again);
  EXPECT_GE(again.size(), graph_header_size);
  return true;
}

TEST(HostileBuffers, MutatedGraphsReadSafely) {
  ref<Graph> graph = sample_graph();
  Bytes original;
  write_object_graph(*graph, original);
  std::mt19937 random(20261211);
  auto below = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  const int rounds = 4000;
  int accepted = 0;
  for (int round = 0; round < rounds; ++round) {
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
    accepted += read_and_rewrite(buffer) ? 1 : 0;
  }
  // Many buffers get past the header checks, so the reader really walks damaged records.
  EXPECT_GT(accepted, rounds / 4);
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
    EXPECT_TRUE(read_and_rewrite(buffer));
  }
}

TEST(HostileBuffers, OneLongRecordNamedByManyIdsCostsABoundedWalk) {
  // Thousands of ids all name one record of unknown entries that ends with "v". Every object
  // walks the whole record for each of its keys; together the walks stop at the read's
  // budget, so only the first objects find "v".
  const std::size_t ids = 3000;
  Bytes record;
  const Bytes unknown = {'z', 'z', 0x00, 0xFF, 0x01, 0x00};
  for (int i = 0; i < 2000; ++i) record.insert(record.end(), unknown.begin(), unknown.end());
  record = concat({record, text("v"), {0x00, 0xFF, 0x01, 0x01, 0x01, 0x01, 0x00}});
  const std::uint32_t block = static_cast<std::uint32_t>(graph_header_size + record.size());
  Bytes list = le(ids * 8, 4);
  for (std::size_t id = 1; id <= ids; ++id) {
    const Bytes bytes = le(id, 8);
    list.insert(list.end(), bytes.begin(), bytes.end());
  }
  const std::uint32_t root = static_cast<std::uint32_t>(block + list.size());
  auto entry = [](std::string_view key, const Bytes& value) {
    Bytes bytes;
    detail::append_field_entry(bytes, key, value.data(), value.size());
    return bytes;
  };
  const Bytes nodes = entry("nodes", le(block, 4));
  const Bytes subfiles = entry("s", le(0, 4));
  const Bytes ingresses = entry("i", le(0, 4));
  const Bytes records = concat({nodes, subfiles, ingresses});
  const std::uint32_t table = static_cast<std::uint32_t>(root + records.size());
  const std::uint64_t root_id = 0xFFFF0000;
  const auto subfiles_at = static_cast<std::uint32_t>(root + nodes.size());
  Bytes buffer = concat({{0x17, 0x3A, 0x56, 0x64},
                         le(root_id, 8),
                         le(subfiles_at, 4),
                         le(subfiles_at + subfiles.size(), 4),
                         le(table, 4),
                         le(ids + 1, 4),
                         {1}});
  buffer.resize(graph_header_size, 0);
  buffer = concat({buffer, record, list, records});
  for (std::size_t id = 1; id <= ids; ++id) {
    const Bytes entry_bytes = concat({le(id, 8), le(graph_header_size, 4)});
    buffer.insert(buffer.end(), entry_bytes.begin(), entry_bytes.end());
  }
  buffer = concat({buffer, le(root_id, 8), le(root, 4)});

  Graph read;
  ASSERT_TRUE(read_object_graph(read, buffer.data(), buffer.size()));
  ASSERT_EQ(read.nodes.size(), ids);
  std::size_t found = 0;
  for (const ref<Node>& node : read.nodes) found += node && node->value == 0x01010101u ? 1 : 0;
  EXPECT_GT(found, 0u);
  EXPECT_LT(found, ids / 10);
}

}  // namespace
}  // namespace eb::v3
