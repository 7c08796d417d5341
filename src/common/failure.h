// The launcher's one exception type: a message of the table plus a detail for the player.
#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>

#include "common/text.h"

namespace zyr::update {

struct Failure : std::exception {
  Failure(Text code, std::wstring detail) : code(code), detail(std::move(detail)) {}

  // Constant for every failure: the code and detail are for the player, not for logs of
  // the standard library.
  const char* what() const noexcept override { return "ZYR update failure"; }

  Text code;
  std::wstring detail;
};

[[noreturn]] void throw_failure(Text code, const std::wstring& detail = {});
[[noreturn]] void throw_failure(Text code, const std::filesystem::path& detail);

// `detail` followed by " [", `error` in unsigned decimal and "]".
std::wstring with_error_code(const std::wstring& detail, std::uint32_t error);

// Throws with the calling thread's last Windows error appended to the detail in the form of
// with_error_code. GetLastError is read before anything else can change it.
[[noreturn]] void throw_last_error(Text code, const std::wstring& detail = {});
[[noreturn]] void throw_last_error(Text code, const std::filesystem::path& detail);

}  // namespace zyr::update
