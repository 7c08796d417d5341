// Building expected buffers in tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace eb::v3::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes le(std::uint64_t value, std::size_t width) {
  Bytes bytes;
  for (std::size_t i = 0; i < width; ++i) {
    bytes.push_back(static_cast<std::uint8_t>(value >> 8 * i));
  }
  return bytes;
}

inline Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

inline Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

}  // namespace eb::v3::testing
