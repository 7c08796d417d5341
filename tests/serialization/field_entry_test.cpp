#include "serialization/field_entry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "serialization/bytes.h"

namespace eb::v3::detail {
namespace {

using testing::Bytes;
using testing::concat;

Bytes entry(std::string_view key, Bytes value) {
  Bytes record;
  append_field_entry(record, key, value.data(), value.size());
  return record;
}

TEST(FieldEntry, EscapesZeroBytesOfTheValueIntoTheFlag) {
  struct Case {
    const char* name;
    Bytes written;
    Bytes expected;
  };
  const Case cases[] = {
      {"u32 slot = 3",
       entry("slot", {3, 0, 0, 0}),
       {0x73, 0x6C, 0x6F, 0x74, 0x00, 0xF1, 0x03, 0xFF, 0xFF, 0xFF, 0x00}},
      {"bool ai = true", entry("ai", {1}), {0x61, 0x69, 0x00, 0xFF, 0x01, 0x00}},
      {"bool ai = false", entry("ai", {0}), {0x61, 0x69, 0x00, 0xFE, 0xFF, 0x00}},
      {"u64 zero",
       entry("z", Bytes(8, 0)),
       {0x7A, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}},
      {"u32 without zero bytes",
       entry("k", {1, 2, 3, 4}),
       {0x6B, 0x00, 0xFF, 0x01, 0x02, 0x03, 0x04, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.written, c.expected);
  }
}

TEST(FieldEntry, DecodingRestoresTheValue) {
  for (const Bytes& value :
       {Bytes{3, 0, 0, 0}, Bytes{0}, Bytes{1}, Bytes(8, 0), Bytes{0, 0xFF, 0, 0xFF, 0, 0, 0, 7}}) {
    const Bytes record = entry("key", value);
    const std::size_t flag = find_field_entry(record.data(), record.size(), 0, "key", value.size());
    ASSERT_EQ(flag, 4u);
    Bytes decoded(value.size());
    decode_field_value(record.data() + flag, value.size(), decoded.data());
    EXPECT_EQ(decoded, value);
  }
}

TEST(FieldEntry, LongKeysAreCutToFiftyBytesOnBothSides) {
  const std::string long_key(60, 'k');
  const Bytes record = entry(long_key, {1});
  EXPECT_EQ(record.size(), 50u + 4u);
  EXPECT_EQ(find_field_entry(record.data(), record.size(), 0, long_key, 1), 51u);
  EXPECT_EQ(find_field_entry(record.data(), record.size(), 0, std::string(50, 'k'), 1), 51u);
  EXPECT_EQ(find_field_entry(record.data(), record.size(), 0, std::string(49, 'k'), 1), no_entry);
}

TEST(FieldEntry, SearchSkipsOtherEntriesAndStopsWhereEntriesEnd) {
  // Two entries, then a string block (length word with zero bytes), then an entry that
  // belongs to something else.
  const Bytes record = concat(
      {entry("a", {1, 0, 0, 0}), entry("bb", {0}), Bytes{2, 0, 0, 0, 'x', 'y'}, entry("c", {5})});
  EXPECT_EQ(find_field_entry(record.data(), record.size(), 0, "a", 4), 2u);
  EXPECT_EQ(find_field_entry(record.data(), record.size(), 0, "bb", 1), 11u);
  // "c" lies behind the block: the walk ends at the block's zero bytes.
  EXPECT_EQ(find_field_entry(record.data(), record.size(), 0, "c", 1), no_entry);
  // A key is matched whole: neither a prefix nor a longer key.
  EXPECT_EQ(find_field_entry(record.data(), record.size(), 0, "b", 1), no_entry);
  EXPECT_EQ(find_field_entry(record.data(), record.size(), 0, "bbb", 1), no_entry);
  // Three zero bytes in a row end the walk.
  const Bytes padded = concat({Bytes{0, 0, 0}, entry("a", {1})});
  EXPECT_EQ(find_field_entry(padded.data(), padded.size(), 1, "a", 1), no_entry);
}

TEST(FieldEntry, SearchNeverPassesItsLimit) {
  const Bytes record = entry("slot", {3, 0, 0, 0});
  // The entry is found only when it ends inside the limit, final zero included.
  EXPECT_EQ(find_field_entry(record.data(), record.size(), 0, "slot", 4), 5u);
  for (std::size_t limit = 0; limit < record.size(); ++limit) {
    SCOPED_TRACE(limit);
    EXPECT_EQ(find_field_entry(record.data(), limit, 0, "slot", 4), no_entry);
  }
  // Nor when the wanted width runs past it.
  EXPECT_EQ(find_field_entry(record.data(), record.size(), 0, "slot", 8), no_entry);
  // Keys are ASCII: a wanted key with a byte of 0x80 or above never matches.
  const Bytes high = entry("\xC3\xA9", {1});
  EXPECT_EQ(find_field_entry(high.data(), high.size(), 0, "\xC3\xA9", 1), no_entry);
}

}  // namespace
}  // namespace eb::v3::detail
