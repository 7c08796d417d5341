#include "common/encoding.h"
#include "common/failure.h"
#include "common/windows_api.h"
#include "install/local_path.h"
#include "install/path_rules.h"

namespace zyr::update {

std::wstring fold_case(std::string_view utf8) {
  const std::wstring wide = to_utf16(utf8);
  if (wide.empty()) {
    return wide;
  }
  std::wstring folded(wide.size(), L'\0');
  const int length = static_cast<int>(wide.size());
  // The empty locale name is the invariant locale: the same folding on every machine.
  if (LCMapStringEx(L"", LCMAP_UPPERCASE, wide.data(), length, folded.data(), length, nullptr,
                    nullptr, 0) != length) {
    throw_failure(Text::UnsafePath);
  }
  return folded;
}

std::wstring resolve_update_path(const std::wstring& base, std::string_view update_path) {
  validate_update_path(update_path);
  const std::wstring path = join_path(base, to_utf16(update_path));
  ensure_no_reparse_points(path);
  return path;
}

void ensure_no_reparse_points(const std::wstring& path) {
  const std::wstring absolute = make_absolute(path);
  for (const std::wstring& prefix : path_prefixes(absolute)) {
    const DWORD attributes = GetFileAttributesW(prefix.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        continue;
      }
      throw_failure(Text::FileOperationFailed, with_error_code(prefix, error));
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      throw_failure(Text::UnsafePath, prefix);
    }
  }
}

}  // namespace zyr::update
