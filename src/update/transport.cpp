#include "update/transport.h"

#include <algorithm>
#include <array>

#include "common/failure.h"
#include "zyr/build_settings.h"

namespace zyr::update {

Transport::~Transport() = default;

std::wstring update_service_origin() {
  return std::wstring(L"https://") + build::update_service_host + L":" +
         std::to_wstring(update_service_port);
}

namespace {

// Headers the transport owns: the server's data must not replace, duplicate or smuggle them.
constexpr std::array<std::string_view, 8> forbidden_header_names{
    "HOST",  "CONTENT-LENGTH",      "TRANSFER-ENCODING", "CONNECTION",
    "RANGE", "PROXY-AUTHORIZATION", "ACCEPT-ENCODING",   "UPGRADE"};

bool is_name_byte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

std::string upper_ascii(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  return upper;
}

bool is_acceptable_header(const std::string& name, const std::string& value) {
  if (name.empty() || name.size() > max_header_name_bytes ||
      !std::all_of(name.begin(), name.end(), is_name_byte)) {
    return false;
  }
  if (value.size() > max_header_value_bytes) {
    return false;
  }
  // Bytes from 0x80 up belong to UTF-8 letters and are allowed; the conversion to UTF-16
  // rejects broken sequences.
  const bool has_control = std::any_of(value.begin(), value.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
  if (has_control) {
    return false;
  }
  const std::string upper = upper_ascii(name);
  return std::find(forbidden_header_names.begin(), forbidden_header_names.end(), upper) ==
         forbidden_header_names.end();
}

}  // namespace

void check_extra_headers(const std::map<std::string, std::string>& headers) {
  if (headers.size() > max_extra_headers) {
    throw_failure(Text::InvalidMetadata);
  }
  for (const auto& [name, value] : headers) {
    if (!is_acceptable_header(name, value)) {
      throw_failure(Text::InvalidMetadata);
    }
  }
}

std::optional<std::uint64_t> parse_content_length(std::string_view text) {
  if (text.empty()) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) {
      return std::nullopt;
    }
    value = value * 10 + digit;
  }
  return value;
}

bool is_acceptable_url_text(std::wstring_view url) {
  return url.size() <= max_url_units && url.find_first_of(L"\r\n") == std::wstring_view::npos;
}

}  // namespace zyr::update
