#include "install/path_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "common/encoding.h"
#include "common/failure.h"

namespace zyr::update {
namespace {

enum class Outcome { accepted, refused_with_path, refused_without_detail, invalid_metadata };

struct UpdatePathCase {
  std::string path;
  Outcome outcome;
};

std::string repeated(const std::string& unit, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += unit;
  }
  return text;
}

TEST(ValidateUpdatePath, AppliesEveryRule) {
  const std::string kSuperscriptOne = "\xC2\xB9";
  const std::string kThreeByteCharacter = "\xE4\xB8\xAD";
  const UpdatePathCase cases[] = {
      {"data/maps/a.pak", Outcome::accepted},
      {"data\\maps\\a.pak", Outcome::refused_with_path},
      {"/data/a.pak", Outcome::refused_with_path},
      {"data/a.pak/", Outcome::refused_with_path},
      {"data//a.pak", Outcome::refused_with_path},
      {"./a", Outcome::refused_with_path},
      {"a/../b", Outcome::refused_with_path},
      {"a/.", Outcome::refused_with_path},
      {"...", Outcome::refused_with_path},
      {".hidden/file", Outcome::accepted},
      {"a./b", Outcome::refused_with_path},
      {"a /b", Outcome::refused_with_path},
      {"a .b/c", Outcome::accepted},
      {"con", Outcome::refused_with_path},
      {"Con.txt", Outcome::refused_with_path},
      {"data/nul.bin", Outcome::refused_with_path},
      {"CONIN$", Outcome::refused_with_path},
      {"clock$.dat", Outcome::refused_with_path},
      {"console.txt", Outcome::accepted},
      {"nullable/x", Outcome::accepted},
      {"COM1", Outcome::refused_with_path},
      {"lpt9.log", Outcome::refused_with_path},
      {"com0", Outcome::refused_with_path},
      {"COM" + kSuperscriptOne, Outcome::refused_with_path},
      {"data/lpt" + kSuperscriptOne + ".txt", Outcome::refused_with_path},
      {"COM10", Outcome::accepted},
      {"COMX", Outcome::accepted},
      {"LPT", Outcome::accepted},
      {"save/slot1.sav", Outcome::refused_with_path},
      {"Config", Outcome::refused_with_path},
      {"CONFIG/x.ini", Outcome::refused_with_path},
      {".update/installed.json", Outcome::refused_with_path},
      {"zyr_cache/x", Outcome::refused_with_path},
      {"Cef_User_Data/x", Outcome::refused_with_path},
      {"saves/x", Outcome::accepted},
      {"config.ini", Outcome::accepted},
      {"data/save/x", Outcome::accepted},
      {"logs/x", Outcome::accepted},
      {"a\tb", Outcome::refused_with_path},
      {"C:x", Outcome::refused_with_path},
      {"what?", Outcome::refused_with_path},
      {"a<b", Outcome::refused_with_path},
      {"a|b", Outcome::refused_with_path},
      {"a\"b", Outcome::refused_with_path},
      {"a*b", Outcome::refused_with_path},
      {"", Outcome::refused_without_detail},
      // Both length limits are inclusive: 2,048 bytes and 1,024 UTF-16 units.
      {repeated(kThreeByteCharacter, 682) + "ab", Outcome::accepted},
      {repeated(kThreeByteCharacter, 682) + "abc", Outcome::refused_without_detail},
      {repeated("a", 1024), Outcome::accepted},
      {repeated("a", 1025), Outcome::refused_without_detail},
      {repeated(kThreeByteCharacter, 600), Outcome::accepted},
      {repeated(kThreeByteCharacter, 700), Outcome::refused_without_detail},
      {std::string("a\0b", 3), Outcome::invalid_metadata},
      {"\xC0\x80", Outcome::invalid_metadata},
      {"\xFF", Outcome::invalid_metadata},
  };
  for (const UpdatePathCase& row : cases) {
    SCOPED_TRACE(row.path.substr(0, 40));
    try {
      validate_update_path(row.path);
      EXPECT_EQ(row.outcome, Outcome::accepted);
    } catch (const Failure& failure) {
      switch (row.outcome) {
        case Outcome::accepted:
          ADD_FAILURE() << "refused with code " << static_cast<int>(failure.code);
          break;
        case Outcome::refused_with_path:
          EXPECT_EQ(failure.code, Text::UnsafePath);
          EXPECT_EQ(failure.detail, to_utf16(row.path));
          break;
        case Outcome::refused_without_detail:
          EXPECT_EQ(failure.code, Text::UnsafePath);
          EXPECT_EQ(failure.detail, L"");
          break;
        case Outcome::invalid_metadata:
          EXPECT_EQ(failure.code, Text::InvalidMetadata);
          EXPECT_EQ(failure.detail, L"");
          break;
      }
    }
  }
}

TEST(FoldCase, UpperCasesAndKeepsLength) {
  EXPECT_EQ(fold_case("Data/Maps/a.pak"), L"DATA/MAPS/A.PAK");
  EXPECT_EQ(fold_case(""), L"");
  // Two update paths that differ only in case name the same file, also beyond ASCII.
  EXPECT_EQ(fold_case("\xC3\xA9t\xC3\xA9"), fold_case("\xC3\x89T\xC3\x89"));
  const std::string emoji = "\xF0\x9F\x98\x80x";  // a surrogate pair and one letter
  EXPECT_EQ(fold_case(emoji), std::wstring({wchar_t(0xD83D), wchar_t(0xDE00), L'X'}));
  try {
    fold_case("\xC0\x80");
    ADD_FAILURE() << "overlong UTF-8 accepted";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.code, Text::InvalidMetadata);
  }
}

}  // namespace
}  // namespace zyr::update
