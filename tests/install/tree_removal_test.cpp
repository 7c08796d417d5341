#include "install/tree_removal.h"

#include <gtest/gtest.h>

#include <string>

#include "common/expect_failure.h"
#include "common/failure.h"
#include "install/layout.h"
#include "install/scratch_directory.h"

namespace zyr::update {
namespace {

TEST(RemoveUpdateSubtree, RemovesATreeStrictlyInsideUpdate) {
  ScratchDirectory scratch;
  const std::wstring installation = scratch.path();
  write_test_file(job_staging_directory(installation) + L"\\data\\a.pak", "a");
  write_test_file(job_journal_path(installation), "{}");
  const std::wstring read_only = job_backup_directory(installation) + L"\\ro.txt";
  write_test_file(read_only, "r");
  SetFileAttributesW(read_only.c_str(), FILE_ATTRIBUTE_READONLY);
  write_test_file(installed_record_path(installation), "{}");

  remove_update_subtree(installation, job_directory(installation));
  EXPECT_FALSE(path_exists(job_directory(installation)));
  EXPECT_TRUE(path_exists(installed_record_path(installation)));
  EXPECT_NO_THROW(remove_update_subtree(installation, job_directory(installation)));
}

TEST(RemoveUpdateSubtree, RefusesTargetsNotStrictlyInsideUpdate) {
  ScratchDirectory scratch;
  const std::wstring installation = scratch / L"game";
  const std::wstring update = update_directory(installation);
  write_test_file(installed_record_path(installation), "{}");
  write_test_file(installation + L"\\ZYR_Shell.exe", "client");
  write_test_file(installation + L"\\.update2\\x\\f", "sibling");
  const struct {
    std::wstring target;
    std::wstring refused_as;
  } cases[] = {
      {update, update},
      {update + L"\\", update},
      {update + L"\\.", update},
      {installation, installation},
      {update + L"\\..\\.update2\\x", installation + L"\\.update2\\x"},
      {installation + L"\\.update2\\x", installation + L"\\.update2\\x"},
      {scratch.path(), scratch.path()},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(std::string(row.target.begin(), row.target.end()));
    EXPECT_TRUE(throws_failure([&] { remove_update_subtree(installation, row.target); },
                               Text::UnsafePath, row.refused_as));
  }
  EXPECT_TRUE(path_exists(installed_record_path(installation)));
  EXPECT_TRUE(path_exists(installation + L"\\ZYR_Shell.exe"));
  EXPECT_TRUE(path_exists(installation + L"\\.update2\\x\\f"));
}

// A link deep inside the tree stops the removal before anything is deleted.
TEST(RemoveUpdateSubtree, RefusesALinkInsideTheTreeAndDeletesNothing) {
  const std::wstring installation = link_fixture_path(L"install");
  const std::wstring link = job_staging_directory(installation) + L"\\sub\\zlink";
  EXPECT_TRUE(
      throws_failure([&] { remove_update_subtree(installation, job_directory(installation)); },
                     Text::UnsafePath, link));
  EXPECT_TRUE(path_exists(job_staging_directory(installation) + L"\\sub\\file.txt"));
  EXPECT_TRUE(path_exists(link_fixture_path(L"outside\\keep.txt")));
}

TEST(RemoveEmptyDirectoryTree, RemovesEmptyFoldersAndStopsAtAFile) {
  ScratchDirectory scratch;
  const std::wstring empty_tree = scratch / L"empty";
  CreateDirectoryW(empty_tree.c_str(), nullptr);
  for (const wchar_t* sub : {L"\\a", L"\\a\\b", L"\\a\\b\\c", L"\\d"}) {
    CreateDirectoryW((empty_tree + sub).c_str(), nullptr);
  }
  remove_empty_directory_tree(empty_tree);
  EXPECT_FALSE(path_exists(empty_tree));

  const std::wstring mixed = scratch / L"mixed";
  write_test_file(mixed + L"\\b\\file.txt", "x");
  EXPECT_TRUE(throws_failure([&] { remove_empty_directory_tree(mixed); }, Text::FileOperationFailed,
                             mixed + L"\\b"));
  EXPECT_TRUE(path_exists(mixed + L"\\b\\file.txt"));

  const std::wstring file = scratch / L"file";
  write_test_file(file, "x");
  EXPECT_NO_THROW(remove_empty_directory_tree(file));
  EXPECT_NO_THROW(remove_empty_directory_tree(scratch / L"missing"));
  EXPECT_TRUE(path_exists(file));
}

TEST(RemoveInstallerUpdateDir, RemovesTheFolderBesideTheInstaller) {
  ScratchDirectory scratch;
  const std::wstring installer = scratch / L"ZYR_ENGINE.exe";
  write_test_file(installer, "exe");
  EXPECT_NO_THROW(remove_installer_update_dir(installer));
  write_test_file(lock_file_path(scratch.path()), "");
  write_test_file(job_journal_path(scratch.path()), "{}");
  remove_installer_update_dir(installer);
  EXPECT_FALSE(path_exists(update_directory(scratch.path())));
  EXPECT_TRUE(path_exists(installer));
}

TEST(RemoveInstallerUpdateDir, RefusesALinkedUpdateFolderAndLeavesItsTarget) {
  const std::wstring installer = link_fixture_path(L"installer\\ZYR_ENGINE.exe");
  EXPECT_TRUE(throws_failure([&] { remove_installer_update_dir(installer); }, Text::UnsafePath,
                             link_fixture_path(L"installer\\.update")));
  EXPECT_TRUE(path_exists(link_fixture_path(L"outside\\keep.txt")));
}

}  // namespace
}  // namespace zyr::update
