#include <vector>

#include "common/failure.h"
#include "common/windows_api.h"
#include "install/file_operations.h"
#include "install/installation_lock.h"
#include "install/layout.h"
#include "install/local_path.h"
#include "install/path_rules.h"

namespace zyr::update {

ScopedFileHandle acquire_installation_lock(const std::wstring& installation) {
  const std::wstring update = update_directory(installation);
  create_directories_checked(update);
  const DWORD attributes = GetFileAttributesW(update.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      !SetFileAttributesW(update.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN)) {
    throw_last_error(Text::FileOperationFailed, update);
  }
  const std::wstring lock = lock_file_path(installation);
  ensure_no_reparse_points(lock);
  ScopedFileHandle handle(
      CreateFileW(lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) {
    if (GetLastError() == ERROR_SHARING_VIOLATION) {
      throw_failure(Text::LauncherAlreadyRunning);
    }
    throw_last_error(Text::InstallDirWritableHint, lock);
  }
  return handle;
}

ScopedFileHandle adopt_installation_lock(const std::wstring& installation, HANDLE handle) {
  ScopedFileHandle adopted(handle);
  const std::wstring lock = lock_file_path(installation);
  ensure_no_reparse_points(lock);
  constexpr DWORD kCapacity = 32768;
  std::vector<wchar_t> buffer(kCapacity);
  const DWORD length = GetFinalPathNameByHandleW(adopted.get(), buffer.data(), kCapacity, 0);
  if (length == 0 || length >= kCapacity) {
    throw_failure(Text::InvalidMetadata);
  }
  std::wstring_view final_name(buffer.data(), length);
  if (final_name.starts_with(L"\\\\?\\")) {
    final_name.remove_prefix(4);
  }
  // "\\?\UNC\server\share" keeps its "UNC\" and so never matches a "\\server\share" path:
  // an installation on a network share cannot hand its lock over.
  if (!equals_ascii_case_insensitive(make_absolute(lock), final_name)) {
    throw_failure(Text::UnsafePath);
  }
  SetHandleInformation(adopted.get(), HANDLE_FLAG_INHERIT, 0);
  return adopted;
}

}  // namespace zyr::update
