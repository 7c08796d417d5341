#include "launch/launch_path.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace zyr::update {
namespace {

TEST(LaunchPath, ConvertsStrictly) {
  EXPECT_EQ(utf8_launch_path_to_wide(""), L"");
  EXPECT_EQ(utf8_launch_path_to_wide("C:\\\xE6\xB8\xB8\xE6\x88\x8F\\ZYR_Shell.exe"),
            L"C:\\\u6E38\u620F\\ZYR_Shell.exe");
  for (const std::string& bad : {std::string("C:\\\xC3\x28.exe"), std::string("\xC0\x80"),
                                 std::string("\xED\xA0\x80"), std::string("a\0b", 3)}) {
    SCOPED_TRACE(bad);
    try {
      utf8_launch_path_to_wide(bad);
      ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "Invalid UTF-8 launch path");
    }
  }
}

TEST(LaunchPath, OnlyRootedPathsAreAbsolute) {
  const struct {
    std::wstring path;
    bool absolute;
  } cases[] = {
      {L"C:\\Games\\ZYR_Shell.exe", true},
      {L"d:/Games/ZYR_Shell.exe", true},
      {L"\\\\server\\share\\ZYR_Shell.exe", true},
      {L"\\\\?\\C:\\Games\\ZYR_Shell.exe", true},
      {L"C:ZYR_Shell.exe", false},
      {L"\\Games\\ZYR_Shell.exe", false},
      {L"ZYR_Shell.exe", false},
      {L"..\\ZYR_Shell.exe", false},
      {L"1:\\ZYR_Shell.exe", false},
      {L"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    EXPECT_EQ(is_absolute_launch_path(c.path), c.absolute);
  }
}

TEST(LaunchPath, CommandLineQuotesThePath) {
  EXPECT_EQ(client_command_line(L"C:\\My Games\\ZYR_Shell.exe"),
            L"\"C:\\My Games\\ZYR_Shell.exe\" ZYR_Shell_Main");
}

}  // namespace
}  // namespace zyr::update
