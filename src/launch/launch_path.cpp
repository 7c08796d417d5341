#include "launch/launch_path.h"

#include <stdexcept>

#include "common/encoding.h"
#include "common/failure.h"

namespace zyr::update {
namespace {

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool is_ascii_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

std::wstring utf8_launch_path_to_wide(std::string_view path) {
  try {
    return to_utf16(path);
  } catch (const Failure&) {
    throw std::runtime_error("Invalid UTF-8 launch path");
  }
}

bool is_absolute_launch_path(std::wstring_view path) {
  if (path.size() >= 3 && is_ascii_letter(path[0]) && path[1] == L':' && is_separator(path[2])) {
    return true;
  }
  return path.size() >= 2 && is_separator(path[0]) && is_separator(path[1]);
}

std::wstring client_command_line(std::wstring_view executable_path) {
  std::wstring command_line = L"\"";
  command_line += executable_path;
  command_line += L"\" ZYR_Shell_Main";
  return command_line;
}

}  // namespace zyr::update
