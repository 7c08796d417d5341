#include "common/language.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <optional>
#include <string>

namespace zyr::update {
namespace {

constexpr std::uint16_t make_lang_id(std::uint16_t primary, std::uint16_t sub) {
  return static_cast<std::uint16_t>((sub << 10) | primary);
}
constexpr std::uint16_t chinese_taiwan = make_lang_id(0x04, 0x01);
constexpr std::uint16_t chinese_prc = make_lang_id(0x04, 0x02);
constexpr std::uint16_t chinese_hong_kong = make_lang_id(0x04, 0x03);
constexpr std::uint16_t chinese_singapore = make_lang_id(0x04, 0x04);
constexpr std::uint16_t chinese_macau = make_lang_id(0x04, 0x05);
constexpr std::uint16_t english_us = make_lang_id(0x09, 0x01);
constexpr std::uint16_t french_france = make_lang_id(0x0c, 0x01);

// Answers the two queries from fixed values; no locale name means the call fails.
struct FakeLocale {
  std::optional<std::wstring> locale_name;
  std::uint16_t ui_language;
  bool ui_language_asked = false;

  LocaleQueries queries() {
    return {
        [this](wchar_t* buffer, int capacity) {
          if (!locale_name || static_cast<int>(locale_name->size()) >= capacity) {
            return 0;
          }
          std::wmemcpy(buffer, locale_name->c_str(), locale_name->size() + 1);
          return static_cast<int>(locale_name->size() + 1);
        },
        [this] {
          ui_language_asked = true;
          return ui_language;
        },
    };
  }
};

TEST(DetectLanguage, ChineseLocaleNameDecidesAlone) {
  struct Case {
    const wchar_t* locale;
    Language expected;
  };
  const Case cases[] = {
      {L"zh-TW", Language::TraditionalChinese},
      {L"zh-HK", Language::TraditionalChinese},
      {L"zh-MO", Language::TraditionalChinese},
      {L"zh-Hant-SG", Language::TraditionalChinese},
      {L"zh-Hant", Language::TraditionalChinese},
      {L"zh-Hans-HK", Language::TraditionalChinese},  // the letters HK appear
      {L"zh-CN", Language::SimplifiedChinese},
      {L"zh-SG", Language::SimplifiedChinese},
      {L"zh", Language::SimplifiedChinese},
      {L"zh-Hans-CN", Language::SimplifiedChinese},
      {L"zh-tw", Language::SimplifiedChinese},  // the substring test is case-sensitive
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::wstring(c.locale).size() << " units");
    FakeLocale fake{c.locale, english_us};
    EXPECT_EQ(detect_language(fake.queries()), c.expected);
    EXPECT_FALSE(fake.ui_language_asked);
  }
}

TEST(DetectLanguage, OtherwiseTheDisplayLanguageDecides) {
  struct Case {
    std::optional<std::wstring> locale;
    std::uint16_t ui_language;
    Language expected;
  };
  const Case cases[] = {
      {L"en-US", chinese_taiwan, Language::TraditionalChinese},
      {L"en-US", chinese_hong_kong, Language::TraditionalChinese},
      {L"en-US", chinese_macau, Language::TraditionalChinese},
      {L"en-US", chinese_singapore, Language::SimplifiedChinese},
      {L"en-US", chinese_prc, Language::SimplifiedChinese},
      {L"en-US", french_france, Language::English},
      {L"ZH-tw", chinese_prc, Language::SimplifiedChinese},  // prefix test is case-sensitive
      {L"ZH-tw", english_us, Language::English},
      {L"z", chinese_taiwan, Language::TraditionalChinese},          // too short to be Chinese
      {std::nullopt, chinese_taiwan, Language::TraditionalChinese},  // the call failed
      {std::nullopt, english_us, Language::English},
      {L"fr-FR", make_lang_id(0x04, 0x3f), Language::SimplifiedChinese},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "ui language 0x" << std::hex << c.ui_language);
    FakeLocale fake{c.locale, c.ui_language};
    EXPECT_EQ(detect_language(fake.queries()), c.expected);
    EXPECT_TRUE(fake.ui_language_asked);
  }
}

TEST(DetectLanguage, NameFillingTheWholeBufferIsReadWithinIt) {
  LocaleQueries queries{
      [](wchar_t* buffer, int capacity) {
        std::wmemset(buffer, L'x', capacity);
        buffer[0] = L'z';
        buffer[1] = L'h';
        buffer[capacity - 2] = L'T';
        buffer[capacity - 1] = L'W';
        return capacity;
      },
      [] { return english_us; },
  };
  EXPECT_EQ(detect_language(queries), Language::TraditionalChinese);
}

}  // namespace
}  // namespace zyr::update
