#include "common/text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace zyr::update {
namespace {

constexpr Language all_languages[] = {Language::SimplifiedChinese, Language::TraditionalChinese,
                                      Language::English};

TEST(MessageTable, EveryTextHasItsOwnNonEmptyStringInEachLanguage) {
  for (Language language : all_languages) {
    std::set<std::wstring> seen;
    for (int value = 0; value < text_count; ++value) {
      const std::wstring text = lookup_text(static_cast<Text>(value), language);
      SCOPED_TRACE(value);
      EXPECT_FALSE(text.empty());
      EXPECT_NE(text, L"ZYR Engine");
      seen.insert(text);
    }
    // Only the short Chinese words shared by rows differ less; English has all distinct.
    if (language == Language::English) {
      EXPECT_EQ(seen.size(), static_cast<std::size_t>(text_count));
    }
  }
}

TEST(MessageTable, RowsHoldTheirExactTexts) {
  struct Row {
    Text text;
    const wchar_t* simplified;
    const wchar_t* traditional;
    const wchar_t* english;
  };
  const Row rows[] = {
      {Text::AppTitle, L"ZYR Engine 启动器", L"ZYR Engine 啟動器", L"ZYR Engine Launcher"},
      {Text::CheckingForUpdates, L"正在检查客户端更新…", L"正在檢查用戶端更新…",
       L"Checking for updates..."},
      {Text::Exit, L"退出", L"結束", L"Exit"},
      {Text::Ok, L"确定", L"確定", L"OK"},
      {Text::InternalError, L"启动器遇到内部错误。", L"啟動器遇到內部錯誤。",
       L"The launcher encountered an internal error."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.text));
    EXPECT_STREQ(lookup_text(row.text, Language::SimplifiedChinese), row.simplified);
    EXPECT_STREQ(lookup_text(row.text, Language::TraditionalChinese), row.traditional);
    EXPECT_STREQ(lookup_text(row.text, Language::English), row.english);
  }
}

TEST(MessageTable, MultiLineMessageKeepsItsLineFeeds) {
  const std::wstring english = lookup_text(Text::DirectX12Unsupported, Language::English);
  EXPECT_EQ(english.find(L"ZYR Engine cannot run.\n\nPossible causes:\n- The operating system"),
            english.find(L"ZYR Engine cannot run."));
  EXPECT_NE(english.find(L"\n- The graphics driver is outdated."), std::wstring::npos);
  const std::wstring simplified =
      lookup_text(Text::DirectX12Unsupported, Language::SimplifiedChinese);
  EXPECT_NE(simplified.find(L"。\n\n可能的原因：\n· 操作系统"), std::wstring::npos);
}

TEST(LookupText, ValuesWithoutARowGiveTheProductName) {
  for (int value : {44, -1, 1000}) {
    for (Language language : all_languages) {
      EXPECT_STREQ(lookup_text(static_cast<Text>(value), language), L"ZYR Engine");
    }
  }
}

TEST(LookupText, UnknownLanguageValuesGiveEnglish) {
  for (int language : {7, -1, 3}) {
    EXPECT_STREQ(lookup_text(Text::Retry, static_cast<Language>(language)), L"Retry");
  }
}

}  // namespace
}  // namespace zyr::update
