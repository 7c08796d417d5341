#include "ui/byte_size.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace zyr::update {
namespace {

TEST(FormatByteSize, PicksUnitAndDecimals) {
  const struct {
    std::uint64_t bytes;
    const wchar_t* expected;
  } cases[] = {
      {0, L"0 B"},
      {512, L"512 B"},
      {1023, L"1023 B"},
      {1024, L"1 kB"},
      {1536, L"1.5 kB"},
      {1024 + 10, L"1.01 kB"},
      {10 * 1024 + 512, L"10.5 kB"},
      {1048575, L"1024 kB"},  // 1023.999 kB with no decimals
      {10485760, L"10 MB"},
      {123456789, L"118 MB"},
      {5ull << 30, L"5 GB"},
      {1ull << 60, L"1048576 TB"},  // TB is the largest unit
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(format_byte_size(static_cast<std::size_t>(c.bytes)), c.expected);
  }
}

}  // namespace
}  // namespace zyr::update
