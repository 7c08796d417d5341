#include "common/encoding_backend.h"
#include "common/failure.h"
#include "common/windows_api.h"

#include <wincrypt.h>

namespace zyr::update::encoding_backend {
namespace {

[[noreturn]] void throw_invalid() { throw_failure(Text::InvalidMetadata); }

}  // namespace

std::string utf16_to_utf8(std::wstring_view text) {
  const int length = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length,
                                         nullptr, 0, nullptr, nullptr);
  if (needed == 0) {
    throw_invalid();
  }
  std::string result(static_cast<std::size_t>(needed), '\0');
  const int written = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length,
                                          result.data(), needed, nullptr, nullptr);
  if (written == 0) {
    throw_invalid();
  }
  result.resize(static_cast<std::size_t>(written));
  return result;
}

std::wstring utf8_to_utf16(std::string_view text) {
  const int length = static_cast<int>(text.size());
  const int needed =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (needed == 0) {
    throw_invalid();
  }
  std::wstring result(static_cast<std::size_t>(needed), L'\0');
  const int written = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length,
                                          result.data(), needed);
  if (written == 0) {
    throw_invalid();
  }
  result.resize(static_cast<std::size_t>(written));
  return result;
}

std::string base64_encode(std::string_view bytes) {
  constexpr DWORD kFlags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
  const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
  const auto size = static_cast<DWORD>(bytes.size());
  DWORD length = 0;
  if (!CryptBinaryToStringA(data, size, kFlags, nullptr, &length)) {
    throw_last_error(Text::InvalidMetadata);
  }
  // The first call counts the terminating NUL, the second one does not.
  std::string text(length, '\0');
  if (!CryptBinaryToStringA(data, size, kFlags, text.data(), &length)) {
    throw_last_error(Text::InvalidMetadata);
  }
  text.resize(length);
  return text;
}

std::string base64_decode(std::string_view text) {
  const auto length = static_cast<DWORD>(text.size());
  DWORD size = 0;
  if (!CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64, nullptr, &size, nullptr,
                            nullptr)) {
    throw_invalid();
  }
  std::string bytes(size, '\0');
  if (!CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64,
                            reinterpret_cast<BYTE*>(bytes.data()), &size, nullptr, nullptr)) {
    throw_invalid();
  }
  bytes.resize(size);
  return bytes;
}

}  // namespace zyr::update::encoding_backend
