// Stand-in for the Win32 half in the Linux build, where the validation rules run under the
// sanitizers. Upper-casing uses the C library's Unicode tables one UTF-16 unit at a time;
// surrogate units map to themselves, so the length is kept as on Windows.
#include <clocale>
#include <cwctype>

#include "common/encoding.h"
#include "common/failure.h"
#include "install/path_rules.h"

namespace zyr::update {

std::wstring fold_case(std::string_view utf8) {
  static const locale_t unicode_locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  if (unicode_locale == locale_t{}) {
    throw_failure(Text::UnsafePath);
  }
  std::wstring folded = to_utf16(utf8);
  for (wchar_t& unit : folded) {
    const wint_t upper = towupper_l(static_cast<wint_t>(unit), unicode_locale);
    // A unit whose upper case lies outside the basic plane keeps its form, as one unit.
    if (upper <= 0xFFFF) {
      unit = static_cast<wchar_t>(upper);
    }
  }
  return folded;
}

}  // namespace zyr::update
