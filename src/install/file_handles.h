// Opening files for the operations of file_operations.h, for callers that stream through a
// handle of their own. Windows only.
#pragma once

#include <string>
#include <string_view>

#include "common/scoped_handle.h"

namespace zyr::update {

// Shared with other readers only, sequential, without following a reparse point. A directory
// or reparse point is refused with Text::UnsafePath.
ScopedFileHandle open_for_read(const std::wstring& path);

// Creates the parent directories, then creates or truncates the file, shared with nobody.
ScopedFileHandle open_for_write(const std::wstring& path);

// Writes everything, in blocks of at most 1 MiB. Failures carry no path (the handle has
// none), only the Windows error code.
void write_fully(HANDLE file, std::string_view bytes);

}  // namespace zyr::update
