// Whether the launcher runs elevated, and the desktop shell's token to start the client
// without elevation when it does. Failures are logged and answered with false or an empty
// handle, never thrown: the launch sequence decides what they mean.
#pragma once

#include <string_view>

#include "common/scoped_handle.h"

namespace zyr::update {

bool is_elevated();

// The token (duplicate, impersonate and query access) of the first process in snapshot
// order named `image_name`, ignoring case, whose token can be opened.
ScopedKernelHandle find_process_token(std::wstring_view image_name);

// A primary copy of the token of explorer.exe, else of svchost.exe. The copy is unchanged:
// the client runs as that process's user at that process's integrity level.
ScopedKernelHandle duplicate_shell_token();

}  // namespace zyr::update
