// Strict conversions between the launcher's text forms: UTF-16 for paths and what the player
// reads, UTF-8 for protocol, manifest and journal text, unpadded base64url for binary values
// of the update protocol. Each routine accepts exactly one spelling of a value and throws
// Failure(Text::InvalidMetadata) for anything else, so two different texts never denote the
// same path or manifest.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zyr::update {

// Fails on an unpaired surrogate.
std::string to_utf8(std::wstring_view text);

// Fails on invalid or overlong UTF-8, encoded surrogates and on any NUL byte.
std::wstring to_utf16(std::string_view text);

// Alphabet A-Z a-z 0-9 - _, no padding, no line breaks.
std::string base64url_encode(std::span<const std::uint8_t> bytes);
std::string base64url_encode(std::string_view bytes);

// Accepts only the text base64url_encode would produce for the result: 1 to 32 MiB
// characters of the alphabet, no padding, zero unused bits in the last character.
std::string base64url_decode(std::string_view text);

}  // namespace zyr::update
