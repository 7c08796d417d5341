// Ending running processes by executable file name.
#pragma once

#include <string_view>

namespace zyr::update {

// Terminates, with exit code 0, every process whose executable file name equals `name`
// (UTF-8; invalid sequences are replaced, not rejected) ignoring case. Processes that cannot
// be opened are skipped; nothing waits for the terminated ones to end.
void terminate_processes_named(std::string_view name);

}  // namespace zyr::update
