#include "install/local_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/layout.h"

namespace zyr::update {
namespace {

TEST(JoinPath, InsertsOneBackslashOnlyWhereNeeded) {
  EXPECT_EQ(join_path(L"C:\\Games", L"x"), L"C:\\Games\\x");
  EXPECT_EQ(join_path(L"C:\\Games\\", L"x"), L"C:\\Games\\x");
  EXPECT_EQ(join_path(L"C:/Games/", L"x"), L"C:/Games/x");
  EXPECT_EQ(join_path(L"C:", L"x"), L"C:x");
  EXPECT_EQ(join_path(L"", L"x"), L"x");
}

TEST(Layout, ComposesTheUpdateTreeFromTheInstallationDirectory) {
  const std::wstring d = L"C:\\Games\\ZYR_ENGINE";
  EXPECT_EQ(lock_file_path(d), L"C:\\Games\\ZYR_ENGINE\\.update\\launcher.lock");
  EXPECT_EQ(lock_file_path(d + L"\\"), lock_file_path(d));
  EXPECT_EQ(job_journal_path(d), d + L"\\.update\\job\\transaction.json");
  EXPECT_EQ(job_staging_directory(d), d + L"\\.update\\job\\staging");
  EXPECT_EQ(helper_executable_path(d), d + L"\\.update\\helper\\ZYR_ENGINE.apply.exe");
  EXPECT_EQ(job_installed_old_record_path(d), d + L"\\.update\\job\\installed.old.json");
  EXPECT_EQ(client_executable_path(d), d + L"\\ZYR_Shell.exe");
  EXPECT_EQ(temporary_path_of(job_journal_path(d)), d + L"\\.update\\job\\transaction.json.tmp");
}

TEST(ParentPath, DropsLastNameAndTrailingSeparators) {
  EXPECT_EQ(parent_path(L"C:\\a\\b.txt"), L"C:\\a");
  EXPECT_EQ(parent_path(L"C:\\a\\\\b.txt"), L"C:\\a");
  EXPECT_EQ(parent_path(L"C:/a/b"), L"C:/a");
  EXPECT_EQ(parent_path(L"b.txt"), L"");
}

TEST(MakeAbsoluteLexically, ResolvesAgainstTheCurrentDirectoryWithoutTheFileSystem) {
  const std::wstring cwd = L"C:\\work\\dir";
  const struct {
    std::wstring path;
    std::wstring expected;
  } cases[] = {
      {L"a\\b", L"C:\\work\\dir\\a\\b"},
      {L"a/./b//c", L"C:\\work\\dir\\a\\b\\c"},
      {L"..\\x", L"C:\\work\\x"},
      {L"..\\..\\..\\..\\x", L"C:\\x"},
      {L"\\top\\x", L"C:\\top\\x"},
      {L"D:\\a\\..\\b", L"D:\\b"},
      {L"c:rel", L"c:\\work\\dir\\rel"},
      {L"D:rel", L"D:\\rel"},
      {L"C:\\", L"C:\\"},
      {L"\\\\server\\share\\a\\..\\b", L"\\\\server\\share\\b"},
      {L"\\\\server\\share\\..\\..", L"\\\\server\\share\\"},
      {L"\\\\?\\C:\\a\\b", L"\\\\?\\C:\\a\\b"},
      {L"\\\\?\\UNC\\server\\share\\a", L"\\\\?\\UNC\\server\\share\\a"},
      {L"a.\\b ", L"C:\\work\\dir\\a.\\b "},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(std::string(row.path.begin(), row.path.end()));
    EXPECT_EQ(make_absolute_lexically(row.path, cwd), row.expected);
  }
}

TEST(PathPrefixes, RootNameThenRootThenEachComponent) {
  EXPECT_EQ(path_prefixes(L"C:\\a\\b"),
            (std::vector<std::wstring>{L"C:", L"C:\\", L"C:\\a", L"C:\\a\\b"}));
  EXPECT_EQ(path_prefixes(L"C:\\"), (std::vector<std::wstring>{L"C:", L"C:\\"}));
  EXPECT_EQ(
      path_prefixes(L"\\\\srv\\share\\a"),
      (std::vector<std::wstring>{L"\\\\srv\\share", L"\\\\srv\\share\\", L"\\\\srv\\share\\a"}));
}

TEST(EqualsAsciiCaseInsensitive, FoldsOnlyAsciiLetters) {
  EXPECT_TRUE(
      equals_ascii_case_insensitive(L"C:\\Games\\ZYR_Shell.EXE", L"c:\\games\\zyr_shell.exe"));
  EXPECT_FALSE(equals_ascii_case_insensitive(L"\u00C9", L"\u00E9"));
  EXPECT_FALSE(equals_ascii_case_insensitive(L"abc", L"abcd"));
}

}  // namespace
}  // namespace zyr::update
