#include "ui/byte_size.h"

#include <array>
#include <cstdio>

namespace zyr::update {

std::wstring format_byte_size(std::size_t n) {
  static constexpr std::array<const char*, 5> units{"B", "kB", "MB", "GB", "TB"};
  double x = static_cast<double>(n);
  std::size_t unit = 0;
  while (x >= 1024.0 && unit < units.size() - 1) {
    x *= 1.0 / 1024.0;
    ++unit;
  }
  const int decimals = x >= 100.0 ? 0 : x >= 10.0 ? 1 : 2;

  // snprintf's "%.*f" honours the C locale only, which this program never changes, so the
  // separator is "." for every player.
  std::array<char, 64> buffer{};
  const int length =
      std::snprintf(buffer.data(), buffer.size(), "%.*f %s", decimals, x, units[unit]);
  std::string text(buffer.data(), static_cast<std::size_t>(length));

  const std::size_t point = text.find('.');
  const std::size_t space = text.find(' ');
  if (point != std::string::npos && space != std::string::npos && point < space) {
    std::size_t end = space;
    while (end > point + 1 && text[end - 1] == '0') {
      --end;
    }
    if (end == point + 1) {
      end = point;
    }
    text.erase(end, space - end);
  }
  return std::wstring(text.begin(), text.end());
}

}  // namespace zyr::update
