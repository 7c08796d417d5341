// Hexadecimal test vectors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zyr::update::testing {

inline std::vector<std::uint8_t> from_hex(std::string_view hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(
        static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

}  // namespace zyr::update::testing
