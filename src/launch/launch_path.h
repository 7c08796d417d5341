// How the client's path reaches process creation: converted strictly from the UTF-8 of the
// configuration, quoted in the command line, and passed as the application name only when
// it is absolute (a relative one is left to the command line's search rules).
#pragma once

#include <string>
#include <string_view>

namespace zyr::update {

// Empty gives empty; invalid UTF-8 (and a NUL byte) throws std::runtime_error
// "Invalid UTF-8 launch path".
std::wstring utf8_launch_path_to_wide(std::string_view path);

// A drive letter, a colon and a separator, or a network or device root ("\\" or "//").
bool is_absolute_launch_path(std::wstring_view path);

// The quoted path, one space and the word the client expects: "path" ZYR_Shell_Main.
std::wstring client_command_line(std::wstring_view executable_path);

}  // namespace zyr::update
