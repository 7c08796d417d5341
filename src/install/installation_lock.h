// One launcher per installation: the lock is `.update\launcher.lock` held open without
// sharing. The system releases it when the holder ends, however it ends, and it can be handed
// to the self-update helper as an inherited duplicate without a gap. Windows only.
#pragma once

#include <string>

#include "common/scoped_handle.h"

namespace zyr::update {

// Creates `.update` (hidden) and opens its lock file. Another holder gives
// Text::LauncherAlreadyRunning; any other failure to open Text::InstallDirWritableHint with
// the lock path and error code. The handle is not inheritable.
ScopedFileHandle acquire_installation_lock(const std::wstring& installation);

// Takes ownership of `handle`, received from the launcher that started this helper, checks
// that it is the lock file of `installation` (Text::UnsafePath otherwise) and makes it
// non-inheritable. The handle is closed when any check fails.
ScopedFileHandle adopt_installation_lock(const std::wstring& installation, HANDLE handle);

}  // namespace zyr::update
