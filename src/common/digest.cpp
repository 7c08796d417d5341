#include "common/digest.h"

#include <cstddef>
#include <string>

#include "common/encoding.h"
#include "common/failure.h"
#include "common/sha256.h"

namespace zyr::update {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Digest sha256_of(std::span<const std::uint8_t> bytes) {
  Sha256 hash;
  hash.update(bytes);
  return hash.finish();
}

Digest sha256_of(std::string_view bytes) {
  return sha256_of(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

Digest parse_digest_text(std::string_view text) {
  Digest digest{};
  if (text.size() == 2 * digest.size()) {
    for (std::size_t i = 0; i < digest.size(); ++i) {
      const int high = hex_value(text[2 * i]);
      const int low = hex_value(text[2 * i + 1]);
      if (high < 0 || low < 0) {
        throw_failure(Text::InvalidMetadata);
      }
      digest[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return digest;
  }
  const std::string bytes = base64url_decode(text);
  if (bytes.size() != digest.size()) {
    throw_failure(Text::InvalidMetadata);
  }
  std::copy(bytes.begin(), bytes.end(), digest.begin());
  return digest;
}

}  // namespace zyr::update
