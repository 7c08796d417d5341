#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/failure.h"
#include "update/transport.h"

namespace zyr::update {
namespace {

TEST(ExtraHeaders, AcceptsOrRefusesEachHeader) {
  struct Case {
    std::string name;
    std::string value;
    bool accepted;
  };
  const Case cases[] = {
      {"X-Token", "abc", true},
      {"Authorization", "Bearer a.b-c_d~e+f/g=", true},
      {"X-Name", "caf\xC3\xA9 \xE6\x97\xA5", true},  // UTF-8 letters
      {"X-Empty", "", true},
      {std::string(128, 'a'), "v", true},
      {std::string(129, 'a'), "v", false},
      {"X-Long", std::string(8192, 'v'), true},
      {"X-Long", std::string(8193, 'v'), false},
      {"", "v", false},
      {"X_Token", "v", false},
      {"X Token", "v", false},
      {"X:Token", "v", false},
      {"X-Tab", "a\tb", false},
      {"X-Break", "a\r\nHost: evil", false},
      {"X-Del", "a\x7F", false},
      {"Range", "bytes=0-", false},
      {"host", "example.com", false},
      {"HoSt", "example.com", false},
      {"content-length", "1", false},
      {"Transfer-Encoding", "chunked", false},
      {"Connection", "close", false},
      {"Proxy-Authorization", "x", false},
      {"accept-encoding", "gzip", false},
      {"Upgrade", "h2c", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.name.substr(0, 40) << ": " << c.value.substr(0, 40));
    const std::map<std::string, std::string> headers{{c.name, c.value}};
    if (c.accepted) {
      EXPECT_NO_THROW(check_extra_headers(headers));
    } else {
      try {
        check_extra_headers(headers);
        ADD_FAILURE() << "accepted";
      } catch (const Failure& failure) {
        EXPECT_EQ(failure.code, Text::InvalidMetadata);
        EXPECT_EQ(failure.detail, L"");
      }
    }
  }
}

TEST(ExtraHeaders, AtMostThirtyTwo) {
  std::map<std::string, std::string> headers;
  for (int i = 0; i < 32; ++i) {
    headers.emplace(std::string("X-H").append(std::to_string(i)), std::string(1, 'v'));
  }
  EXPECT_NO_THROW(check_extra_headers(headers));
  headers.emplace("X-H32", std::string(1, 'v'));
  EXPECT_THROW(check_extra_headers(headers), Failure);
}

TEST(ContentLength, OnlyPlainDecimalWithoutOverflow) {
  EXPECT_EQ(parse_content_length("0"), 0u);
  EXPECT_EQ(parse_content_length("33554432"), 33554432u);
  EXPECT_EQ(parse_content_length("007"), 7u);
  EXPECT_EQ(parse_content_length("18446744073709551615"), UINT64_MAX);
  for (const char* bad : {"", "18446744073709551616", "99999999999999999999", "-1", "+1", " 1",
                          "1 ", "1,0", "0x10", "1e3"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(parse_content_length(bad).has_value());
  }
}

TEST(UrlText, LengthAndLineBreaks) {
  const std::wstring base = L"https://localhost:25556/";
  EXPECT_TRUE(is_acceptable_url_text(base + std::wstring(8192 - base.size(), L'a')));
  EXPECT_FALSE(is_acceptable_url_text(base + std::wstring(8193 - base.size(), L'a')));
  EXPECT_FALSE(is_acceptable_url_text(base + L"a\rb"));
  EXPECT_FALSE(is_acceptable_url_text(base + L"a\nb"));
}

TEST(UpdateServiceOrigin, HttpsOnTheFixedPortWithoutTrailingSlash) {
  const std::wstring origin = update_service_origin();
  EXPECT_EQ(origin.rfind(L"https://", 0), 0u);
  EXPECT_TRUE(origin.ends_with(L":25556")) << std::string(origin.begin(), origin.end());
}

}  // namespace
}  // namespace zyr::update
