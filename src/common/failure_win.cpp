#include "common/failure.h"
#include "common/windows_api.h"

namespace zyr::update {

void throw_last_error(Text code, const std::wstring& detail) {
  const DWORD error = GetLastError();
  throw Failure(code, with_error_code(detail, error));
}

void throw_last_error(Text code, const std::filesystem::path& detail) {
  const DWORD error = GetLastError();
  throw Failure(code, with_error_code(detail.wstring(), error));
}

}  // namespace zyr::update
