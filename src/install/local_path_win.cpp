#include "common/failure.h"
#include "common/windows_api.h"
#include "install/local_path.h"

namespace zyr::update {
namespace {

std::wstring current_directory() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) {
    throw_last_error(Text::FileOperationFailed);
  }
  std::wstring directory(needed, L'\0');
  const DWORD length = GetCurrentDirectoryW(needed, directory.data());
  if (length == 0 || length >= needed) {
    throw_last_error(Text::FileOperationFailed);
  }
  directory.resize(length);
  return directory;
}

}  // namespace

std::wstring make_absolute(const std::wstring& path) {
  return make_absolute_lexically(path, current_directory());
}

}  // namespace zyr::update
