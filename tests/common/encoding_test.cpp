#include "common/encoding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/expect_failure.h"

namespace zyr::update {
namespace {

struct Utf8Case {
  const char* name;
  std::string utf8;
  std::wstring utf16;
};

TEST(Utf, ValidTextRoundTripsBothWays) {
  const Utf8Case cases[] = {
      {"empty", "", L""},
      {"ascii", "game/data.pak", L"game/data.pak"},
      {"two-byte", "caf\xC3\xA9", L"caf\u00E9"},
      {"three-byte", "\xE5\x90\xAF\xE5\x8A\xA8", L"\u542F\u52A8"},
      {"supplementary", "\xF0\x9F\x98\x80", std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}},
      {"largest", "\xF4\x8F\xBF\xBF", std::wstring{wchar_t(0xDBFF), wchar_t(0xDFFF)}},
      {"edges", "\x7F\xC2\x80\xEF\xBF\xBF",
       std::wstring{wchar_t(0x7F), wchar_t(0x80), wchar_t(0xFFFF)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(to_utf16(c.utf8), c.utf16);
    EXPECT_EQ(to_utf8(c.utf16), c.utf8);
  }
}

TEST(Utf, ToUtf16RefusesEveryNonCanonicalSpelling) {
  const std::pair<const char*, std::string> cases[] = {
      {"embedded NUL", std::string("a\0b", 3)},
      {"overlong NUL", "\xC0\x80"},
      {"overlong slash", "\xE0\x80\xAF"},
      {"overlong four-byte", "\xF0\x8F\xBF\xBF"},
      {"encoded high surrogate", "\xED\xA0\x80"},
      {"encoded low surrogate", "\xED\xBF\xBF"},
      {"above U+10FFFF", "\xF4\x90\x80\x80"},
      {"lead byte F5", "\xF5\x80\x80\x80"},
      {"stray continuation", "a\x80"},
      {"truncated", "\xE5\x90"},
      {"lead then ASCII", "\xC3("},
  };
  expect_each_invalid(cases, [](const auto& text) { to_utf16(text); });
}

TEST(Utf, ToUtf8RefusesUnpairedSurrogates) {
  const std::pair<const char*, std::wstring> cases[] = {
      {"lone high", std::wstring{wchar_t(0xD83D)}},
      {"high at end", std::wstring{L'a', wchar_t(0xD83D)}},
      {"lone low", std::wstring{wchar_t(0xDE00), L'a'}},
      {"reversed pair", std::wstring{wchar_t(0xDE00), wchar_t(0xD83D)}},
      {"high then letter", std::wstring{wchar_t(0xD83D), L'a'}},
  };
  expect_each_invalid(cases, [](const auto& text) { to_utf8(text); });
}

// A failing CryptBinaryToStringA (its error number goes into the detail) cannot be provoked
// with valid arguments, under Wine or on Windows, and inputs beyond the 32-bit length limits
// are too large for a test.
TEST(Base64url, EncodesWithTheUrlAlphabetAndNoPadding) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"f", "Zg"},
      {"fo", "Zm8"},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg"},
      {"fooba", "Zm9vYmE"},
      {"foobar", "Zm9vYmFy"},
      {"\xFB\xFF\xBF", "-_-_"},
      {std::string("\0\0\0", 3), "AAAA"},
  };
  for (const auto& [bytes, text] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(base64url_encode(bytes), text);
    if (!text.empty()) {
      EXPECT_EQ(base64url_decode(text), bytes);
    }
  }
}

TEST(Base64url, EveryLengthAndByteValueRoundTrips) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) {
    bytes += static_cast<char>(i * 97 + 13);
    const std::string text = base64url_encode(bytes);
    ASSERT_EQ(text.size(), (bytes.size() * 4 + 2) / 3) << bytes.size();
    ASSERT_EQ(base64url_decode(text), bytes) << bytes.size();
  }
}

TEST(Base64url, DecodeRefusesEveryNonCanonicalText) {
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"one character", "A"},
      {"five characters", "Zm9vY"},
      {"padding", "Zg=="},
      {"padding inside", "Zg=a"},
      {"standard alphabet plus", "Zm+v"},
      {"standard alphabet slash", "Zm/v"},
      {"space", "Zm9 v"},
      {"line break", "Zm9v\nZm9v"},
      {"non-zero unused bits, one byte", "Zh"},
      {"non-zero unused bits, two bytes", "Zm9"},
      {"non-ASCII", "Zm9\xC3\xA9"},
  };
  expect_each_invalid(cases, [](const auto& text) { base64url_decode(text); });
}

TEST(Base64url, DecodeAcceptsUpTo32MiBOfText) {
  const std::string largest(33'554'432, 'A');
  EXPECT_EQ(base64url_decode(largest), std::string(25'165'824, '\0'));
  EXPECT_TRUE(throws_failure([&] { base64url_decode(largest + "AAAA"); }, Text::InvalidMetadata));
}

}  // namespace
}  // namespace zyr::update
