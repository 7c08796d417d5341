// SHA-256 digests: how files, manifests and packages are identified.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace zyr::update {

// The raw 32-byte SHA-256 value; compared byte for byte.
using Digest = std::array<std::uint8_t, 32>;

// Throws Failure(Text::InternalError) when the system's hash service fails.
Digest sha256_of(std::span<const std::uint8_t> bytes);
Digest sha256_of(std::string_view bytes);

// A digest as the update protocol writes it: 64 hexadecimal digits of either case, or the
// base64url form of exactly 32 bytes. Anything else throws Failure(Text::InvalidMetadata).
Digest parse_digest_text(std::string_view text);

}  // namespace zyr::update
