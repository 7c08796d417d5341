#include <vector>

#include "common/failure.h"
#include "common/windows_api.h"
#include "install/layout.h"

namespace zyr::update {

std::wstring module_path() {
  constexpr DWORD kCapacity = 32768;
  std::vector<wchar_t> buffer(kCapacity);
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), kCapacity);
  if (length == 0 || length >= kCapacity) {
    throw_last_error(Text::FileOperationFailed);
  }
  return std::wstring(buffer.data(), length);
}

}  // namespace zyr::update
