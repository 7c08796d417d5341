// Native stand-ins for the Windows conversions, with the same strictness: the same tests run
// against both.
#include <algorithm>
#include <array>
#include <cstdint>

#include "common/encoding_backend.h"
#include "common/failure.h"

namespace zyr::update::encoding_backend {
namespace {

[[noreturn]] void throw_invalid() { throw_failure(Text::InvalidMetadata); }

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Index of each byte in kBase64Alphabet, or -1.
constexpr std::array<int, 256> kBase64Values = [] {
  std::array<int, 256> values{};
  values.fill(-1);
  for (std::size_t i = 0; i < kBase64Alphabet.size(); ++i) {
    values[static_cast<std::uint8_t>(kBase64Alphabet[i])] = static_cast<int>(i);
  }
  return values;
}();

bool is_high_surrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void append_utf8(std::string& out, std::uint32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | code_point >> 6);
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | code_point >> 12);
    out += static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code_point >> 18);
    out += static_cast<char>(0x80 | (code_point >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

}  // namespace

std::string utf16_to_utf8(std::wstring_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    // A wchar_t holds one UTF-16 unit; wider values cannot come from UTF-16 text.
    const auto unit = static_cast<std::uint32_t>(text[i]);
    if (unit > 0xFFFF || is_low_surrogate(unit)) {
      throw_invalid();
    }
    if (!is_high_surrogate(unit)) {
      append_utf8(result, unit);
      continue;
    }
    if (i + 1 == text.size()) {
      throw_invalid();
    }
    const auto low = static_cast<std::uint32_t>(text[++i]);
    if (!is_low_surrogate(low)) {
      throw_invalid();
    }
    append_utf8(result, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
  }
  return result;
}

std::wstring utf8_to_utf16(std::string_view text) {
  std::wstring result;
  result.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::uint32_t code_point = 0;
    std::size_t continuation = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
      code_point = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      code_point = lead & 0x1Fu;
      continuation = 1;
      minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      code_point = lead & 0x0Fu;
      continuation = 2;
      minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      code_point = lead & 0x07u;
      continuation = 3;
      minimum = 0x10000;
    } else {
      throw_invalid();  // a stray continuation byte, C0/C1 (always overlong) or F5 and up
    }
    if (text.size() - i - 1 < continuation) {
      throw_invalid();
    }
    for (std::size_t k = 1; k <= continuation; ++k) {
      const auto byte = static_cast<std::uint8_t>(text[i + k]);
      if ((byte & 0xC0) != 0x80) {
        throw_invalid();
      }
      code_point = code_point << 6 | (byte & 0x3Fu);
    }
    if (code_point < minimum || code_point > 0x10FFFF ||
        (code_point >= 0xD800 && code_point <= 0xDFFF)) {
      throw_invalid();
    }
    if (code_point < 0x10000) {
      result += static_cast<wchar_t>(code_point);
    } else {
      result += static_cast<wchar_t>(0xD800 + ((code_point - 0x10000) >> 10));
      result += static_cast<wchar_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
    }
    i += continuation + 1;
  }
  return result;
}

std::string base64_encode(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group = group << 8 | (k < count ? static_cast<std::uint8_t>(bytes[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      text += k <= count ? kBase64Alphabet[group >> (18 - 6 * k) & 0x3F] : '=';
    }
  }
  return text;
}

std::string base64_decode(std::string_view text) {
  if (text.size() % 4 != 0) {
    throw_invalid();
  }
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t group = 0;
    std::size_t symbols = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      std::uint32_t value = 0;
      if (c == '=') {
        // Padding only at the end, after at least two symbols of the last group.
        if (i + 4 != text.size() || k < 2) {
          throw_invalid();
        }
      } else {
        if (symbols != k) {
          throw_invalid();  // a symbol after padding
        }
        const int position = kBase64Values[static_cast<std::uint8_t>(c)];
        if (position < 0) {
          throw_invalid();
        }
        value = static_cast<std::uint32_t>(position);
        ++symbols;
      }
      group = group << 6 | value;
    }
    for (std::size_t k = 0; k + 1 < symbols; ++k) {
      bytes += static_cast<char>(group >> (16 - 8 * k) & 0xFF);
    }
  }
  return bytes;
}

}  // namespace zyr::update::encoding_backend
