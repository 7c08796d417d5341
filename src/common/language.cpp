#include "common/language.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace zyr::update {
namespace {

constexpr std::uint16_t lang_chinese = 0x04;
constexpr std::uint16_t sublang_chinese_traditional = 0x01;
constexpr std::uint16_t sublang_chinese_hongkong = 0x03;
constexpr std::uint16_t sublang_chinese_macau = 0x05;

bool contains(std::wstring_view text, std::wstring_view part) {
  return text.find(part) != std::wstring_view::npos;
}

}  // namespace

Language detect_language(const LocaleQueries& queries) {
  std::array<wchar_t, locale_name_capacity> buffer{};
  if (queries.user_default_locale_name(buffer.data(), locale_name_capacity) > 0) {
    // The buffer is zeroed; a name that fills it without a terminator ends at its end.
    const auto end = std::find(buffer.begin(), buffer.end(), L'\0');
    const std::wstring_view name(buffer.data(), static_cast<std::size_t>(end - buffer.begin()));
    if (name.size() >= 2 && name.substr(0, 2) == L"zh") {
      if (contains(name, L"TW") || contains(name, L"HK") || contains(name, L"MO")) {
        return Language::TraditionalChinese;
      }
      if (name.size() >= 4 && contains(name, L"Hant")) {
        return Language::TraditionalChinese;
      }
      return Language::SimplifiedChinese;
    }
  }

  const std::uint16_t ui_language = queries.user_default_ui_language();
  if ((ui_language & 0x3ff) != lang_chinese) {
    return Language::English;
  }
  switch (ui_language >> 10) {
    case sublang_chinese_traditional:
    case sublang_chinese_hongkong:
    case sublang_chinese_macau:
      return Language::TraditionalChinese;
    default:
      return Language::SimplifiedChinese;
  }
}

}  // namespace zyr::update
