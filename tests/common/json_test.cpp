#include "common/json.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "common/expect_failure.h"

namespace zyr::update {
namespace {

constexpr std::size_t kMaxTextBytes = 33'554'432;

// `levels` nested arrays below the root object's member "a", holding `innermost`.
std::string nested(int levels, const std::string& innermost) {
  return "{\"a\":" + std::string(levels, '[') + innermost + std::string(levels, ']') + "}";
}

TEST(ParseJsonObject, AcceptsSingleObjects) {
  const std::pair<const char*, std::string> cases[] = {
      {"empty object", "{}"},
      {"trailing whitespace", "{}  \r\n\t\n"},
      {"leading whitespace", " \n{}"},
      {"byte-order mark", "\xEF\xBB\xBF{\"a\":1}"},
      {"every kind", R"({"s":"x","n":1,"t":true,"f":false,"z":null,"a":[1,"2",{}],"o":{"p":[]}})"},
      {"same name in outer and inner object", R"({"a":{"a":1},"b":[{"a":2},{"a":3}]})"},
      {"value at depth 32", nested(31, "1")},
      {"empty array at depth 32", nested(31, "[]")},
      {"empty object at depth 32", nested(31, "{}")},
  };
  for (const auto& [name, text] : cases) {
    SCOPED_TRACE(name);
    EXPECT_NO_THROW(parse_json_object(text));
  }
}

TEST(ParseJsonObject, RefusesEverythingElse) {
  const std::pair<const char*, std::string> cases[] = {
      {"empty text", ""},
      {"only whitespace", "  "},
      {"array root", "[]"},
      {"string root", "\"a\""},
      {"number root", "1"},
      {"two objects", "{}{}"},
      {"letter after the object", "{}a"},
      {"NUL after the object", std::string("{}\0{}", 5)},
      {"truncated byte-order mark", "\xEF\xBB{}"},
      {"lone byte-order mark byte", "\xEF{}"},
      {"comment", "{/*c*/}"},
      {"trailing comma", R"({"a":1,})"},
      {"single quotes", "{'a':1}"},
      {"NaN", R"({"a":NaN})"},
      {"Infinity", R"({"a":Infinity})"},
      {"leading zero", R"({"a":01})"},
      {"form feed as whitespace", "{\f}"},
      {"element at depth 33", nested(32, "1")},
      {"empty object at depth 33", nested(32, "{}")},
      {"duplicate member", R"({"a":1,"a":2})"},
      {"duplicate member spelled with an escape", R"({"a":1,"\u0061":2})"},
      {"duplicate among many members", R"({"a":1,"b":2,"c":3,"d":4,"e":5,"f":6,"g":7,"h":8,)"
                                       R"("i":9,"j":10,"k":11,"l":12,"m":13,"n":14,"o":15,)"
                                       R"("p":16,"q":17,"e":18})"},
      {"duplicate in a nested object", R"({"x":[{"b":1,"b":1}]})"},
      {"raw control byte in a string", "{\"a\":\"x\x1Fy\"}"},
      {"raw NUL in a string", std::string("{\"a\":\"x\0y\"}", 11)},
      {"invalid UTF-8 in a string", "{\"a\":\"\xC3(\"}"},
      {"overlong UTF-8 in a name", "{\"\xC0\xAF\":1}"},
      {"encoded surrogate in a string", "{\"a\":\"\xED\xA0\x80\"}"},
      {"lone high surrogate escape", R"({"a":"\uD83D"})"},
      {"high surrogate escape then letter", R"({"a":"\uD83Dx"})"},
      {"lone low surrogate escape", R"({"a":"\uDE00"})"},
      {"lone low surrogate escape in a name", R"({"\uDE00":1})"},
      {"reversed surrogate escapes", R"({"a":"\uDE00\uD83D"})"},
      {"short unicode escape", R"({"a":"\u12"})"},
      {"unknown escape", R"({"a":"\q"})"},
  };
  expect_each_invalid(cases, [](const std::string& text) { parse_json_object(text); });
}

TEST(ParseJsonObject, DecodesEscapes) {
  const JsonDocument document =
      parse_json_object(R"({"a":"\uD83D\ude00","b":"\u00e9\u00E9\/\"\\\b\f\n\r\t","c":"\u0000"})");
  EXPECT_EQ(require_member(document, "a").GetString(), std::string("\xF0\x9F\x98\x80"));
  EXPECT_EQ(read_string_member(document, "b"), "\xC3\xA9\xC3\xA9/\"\\\b\f\n\r\t");
  EXPECT_EQ(require_member(document, "c").GetStringLength(), 1u);
}

TEST(ParseJsonObject, TextLengthIsBoundedAt32MiB) {
  // {"a":"xxx...x"} padded to the exact limit.
  std::string text = "{\"a\":\"" + std::string(kMaxTextBytes - 8, 'x') + "\"}";
  ASSERT_EQ(text.size(), kMaxTextBytes);
  EXPECT_EQ(read_string_member(parse_json_object(text), "a").size(), kMaxTextBytes - 8);
  text.insert(text.end() - 1, ' ');
  EXPECT_TRUE(throws_failure([&] { parse_json_object(text); }, Text::InvalidMetadata));
}

// Nesting as deep as the size limit allows: neither the stack nor the heap may pay for
// every level (without the early cut-off this takes most of a gigabyte).
TEST(ParseJsonObject, HostileNestingIsRefusedCheaply) {
  const std::string unclosed = "{\"a\":" + std::string(kMaxTextBytes - 5, '[');
  EXPECT_TRUE(throws_failure([&] { parse_json_object(unclosed); }, Text::InvalidMetadata));
  const std::string closed = nested(kMaxTextBytes / 2 - 4, "");
  ASSERT_LE(closed.size(), kMaxTextBytes);
  EXPECT_TRUE(throws_failure([&] { parse_json_object(closed); }, Text::InvalidMetadata));
}

TEST(MemberReaders, ReadUint64AcceptsOnlyPlainIntegersInRange) {
  const JsonDocument document = parse_json_object(
      R"({"zero":0,"negative zero":-0,"max":18446744073709551615,"one":1,)"
      R"("fraction":1.0,"exponent":1e3,"negative":-1,"too big":18446744073709551616,)"
      R"("string":"1","null":null,"bool":true})");
  const std::pair<const char*, std::uint64_t> accepted[] = {
      {"zero", 0}, {"negative zero", 0}, {"max", UINT64_MAX}, {"one", 1}};
  for (const auto& [name, expected] : accepted) {
    SCOPED_TRACE(name);
    EXPECT_EQ(read_uint64_member(document, name), expected);
  }
  const std::pair<const char*, const char*> refused[] = {
      {"fraction", "fraction"}, {"exponent", "exponent"}, {"negative", "negative"},
      {"too big", "too big"},   {"string", "string"},     {"null", "null"},
      {"bool", "bool"},         {"missing", "missing"}};
  expect_each_invalid(refused, [&](const char* name) { read_uint64_member(document, name); });
  EXPECT_EQ(read_uint64_member(document, "missing", true), 0u);
  EXPECT_TRUE(throws_failure([&] { read_uint64_member(document, "negative", true); },
                             Text::InvalidMetadata));
}

TEST(MemberReaders, ReadStringCopiesBytesAndRefusesNul) {
  const JsonDocument document =
      parse_json_object(R"({"s":"caf\u00e9","empty":"","null":null,"n":1,"nul":"a\u0000b",)"
                        R"("o":{"s":"inner"},"list":["s"]})");
  EXPECT_EQ(read_string_member(document, "s"), "caf\xC3\xA9");
  EXPECT_EQ(read_string_member(document, "empty"), "");
  EXPECT_EQ(read_string_member(document, "missing", true), "");
  EXPECT_EQ(read_string_member(require_member(document, "o"), "s"), "inner");
  // A member that is present must be a string even when the member is optional.
  const std::pair<const char*, const char*> refused[] = {
      {"null", "null"}, {"number", "n"}, {"escaped NUL", "nul"}};
  for (bool optional : {false, true}) {
    SCOPED_TRACE(optional);
    expect_each_invalid(refused,
                        [&](const char* name) { read_string_member(document, name, optional); });
  }
  EXPECT_TRUE(
      throws_failure([&] { read_string_member(document, "missing"); }, Text::InvalidMetadata));
}

TEST(MemberReaders, RequireMemberNeedsAnObjectWithTheMember) {
  const JsonDocument document = parse_json_object(R"({"list":["a"],"o":{}})");
  EXPECT_TRUE(require_member(document, "list").IsArray());
  const JsonValue& list = require_member(document, "list");
  const std::pair<const char*, const JsonValue*> refused[] = {
      {"array", &list},
      {"string", &list[0]},
      {"object without it", &require_member(document, "o")}};
  expect_each_invalid(refused, [](const JsonValue* value) { require_member(*value, "a"); });
  // Optional members are optional only inside an object.
  EXPECT_TRUE(throws_failure([&] { read_string_member(list, "a", true); }, Text::InvalidMetadata));
  EXPECT_TRUE(
      throws_failure([&] { read_uint64_member(list[0], "a", true); }, Text::InvalidMetadata));
}

TEST(WriteJson, WritesCompactTextInStoredOrderWithMinimalEscapes) {
  JsonDocument document(rapidjson::kObjectType);
  auto& allocator = document.GetAllocator();
  const std::string text("\x01\t/\x7F\xC3\xA9\"\\\b\f\n\r\x1F\0", 14);
  document.AddMember(
      "b", JsonValue(text.data(), static_cast<rapidjson::SizeType>(text.size()), allocator),
      allocator);
  document.AddMember("a", JsonValue(std::uint64_t{18446744073709551615u}), allocator);
  JsonValue list(rapidjson::kArrayType);
  list.PushBack(JsonValue(std::int64_t{-5}), allocator).PushBack(JsonValue(true), allocator);
  list.PushBack(JsonValue(rapidjson::kObjectType), allocator);
  document.AddMember("c", list, allocator);
  EXPECT_EQ(write_json(document),
            "{\"b\":\"\\u0001\\t/\x7F\xC3\xA9\\\"\\\\\\b\\f\\n\\r\\u001F\\u0000\","
            "\"a\":18446744073709551615,\"c\":[-5,true,{}]}");
}

TEST(WriteJson, OutputParsesBackToTheSameDocument) {
  const std::string text =
      R"({"files":[{"path":"game/\u00e9.pak","size_bytes":12,"sha256":"ab"}],"n":null})";
  const JsonDocument document = parse_json_object(text);
  const std::string written = write_json(document);
  EXPECT_EQ(write_json(parse_json_object(written)), written);
  EXPECT_EQ(parse_json_object(written), document);
}

TEST(WriteJson, RefusesNonFiniteNumbers) {
  JsonDocument document(rapidjson::kObjectType);
  document.AddMember("x", JsonValue(std::numeric_limits<double>::infinity()),
                     document.GetAllocator());
  EXPECT_TRUE(throws_failure([&] { write_json(document); }, Text::InvalidMetadata));
}

}  // namespace
}  // namespace zyr::update
