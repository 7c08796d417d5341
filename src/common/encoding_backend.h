// The system conversions behind encoding.h: the Windows code-page and CryptoAPI functions in
// the Windows build, our own strict equivalents in the native build. Callers have already
// applied the length and content rules of encoding.h; these only convert.
#pragma once

#include <string>
#include <string_view>

namespace zyr::update::encoding_backend {

// Both throw Failure(Text::InvalidMetadata) on text that is not strictly valid.
std::string utf16_to_utf8(std::wstring_view text);
std::wstring utf8_to_utf16(std::string_view text);

// Standard base64 (+ and /) with "=" padding and no line breaks; the result may carry
// trailing NUL characters. Non-empty input.
std::string base64_encode(std::string_view bytes);

// `text` is padded standard base64 of the alphabet only.
std::string base64_decode(std::string_view text);

}  // namespace zyr::update::encoding_backend
