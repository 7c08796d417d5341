#include "common/encoding.h"

#include <algorithm>
#include <cstddef>

#include "common/encoding_backend.h"
#include "common/failure.h"

namespace zyr::update {
namespace {

// The system conversion functions take lengths as int (UTF-16/UTF-8) or as a 32-bit
// unsigned count (base64).
constexpr std::size_t kMaxConvertibleLength = 2'147'483'647;
constexpr std::size_t kMaxBase64InputBytes = 4'294'967'295;
constexpr std::size_t kMaxBase64TextLength = 33'554'432;

[[noreturn]] void throw_invalid() { throw_failure(Text::InvalidMetadata); }

bool is_base64url_character(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

}  // namespace

std::string to_utf8(std::wstring_view text) {
  if (text.empty()) {
    return {};
  }
  if (text.size() > kMaxConvertibleLength) {
    throw_invalid();
  }
  return encoding_backend::utf16_to_utf8(text);
}

std::wstring to_utf16(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  if (text.size() > kMaxConvertibleLength || text.find('\0') != std::string_view::npos) {
    throw_invalid();
  }
  return encoding_backend::utf8_to_utf16(text);
}

std::string base64url_encode(std::string_view bytes) {
  if (bytes.size() > kMaxBase64InputBytes) {
    throw_invalid();
  }
  if (bytes.empty()) {
    return {};
  }
  std::string text = encoding_backend::base64_encode(bytes);
  const std::size_t end = text.find_last_not_of(std::string_view("=\0", 2));
  text.resize(end == std::string::npos ? 0 : end + 1);
  std::replace(text.begin(), text.end(), '+', '-');
  std::replace(text.begin(), text.end(), '/', '_');
  return text;
}

std::string base64url_encode(std::span<const std::uint8_t> bytes) {
  return base64url_encode(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string base64url_decode(std::string_view text) {
  if (text.empty() || text.size() > kMaxBase64TextLength || text.size() % 4 == 1 ||
      !std::all_of(text.begin(), text.end(), is_base64url_character)) {
    throw_invalid();
  }
  std::string standard(text);
  std::replace(standard.begin(), standard.end(), '-', '+');
  std::replace(standard.begin(), standard.end(), '_', '/');
  standard.append((4 - standard.size() % 4) % 4, '=');
  std::string bytes = encoding_backend::base64_decode(standard);
  // A last character with non-zero unused bits decodes like its canonical neighbour; only
  // the canonical spelling is accepted.
  if (base64url_encode(bytes) != text) {
    throw_invalid();
  }
  return bytes;
}

}  // namespace zyr::update
