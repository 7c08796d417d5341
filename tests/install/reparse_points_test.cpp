// Under Wine only Unix links to folders show as reparse points; Windows symbolic links to
// files, junctions and mount points cannot be made there, so these tests use folder links
// made by link_fixture.sh and cannot exercise the other kinds.
#include <gtest/gtest.h>

#include <string>

#include "common/expect_failure.h"
#include "common/failure.h"
#include "install/layout.h"
#include "install/path_rules.h"
#include "install/scratch_directory.h"

namespace zyr::update {
namespace {

TEST(EnsureNoReparsePoints, RefusesTheLinkEvenWhenTheRestIsMissing) {
  const std::wstring link = link_fixture_path(L"links\\dirlink");
  EXPECT_TRUE(throws_failure([&] { ensure_no_reparse_points(link); }, Text::UnsafePath, link));
  EXPECT_TRUE(throws_failure([&] { ensure_no_reparse_points(link + L"\\missing\\file.txt"); },
                             Text::UnsafePath, link));
  // Slashes, "." and ".." are resolved before the walk, so they do not hide the link.
  const std::wstring through_dots = link_fixture_path(L"links/./other/../dirlink/keep.txt");
  EXPECT_TRUE(
      throws_failure([&] { ensure_no_reparse_points(through_dots); }, Text::UnsafePath, link));
}

TEST(EnsureNoReparsePoints, AcceptsMissingComponentsBelowAnOrdinaryFolder) {
  ScratchDirectory scratch;
  EXPECT_NO_THROW(ensure_no_reparse_points(scratch / L"a\\b\\c.txt"));
  EXPECT_NO_THROW(ensure_no_reparse_points(scratch.path()));
}

TEST(EnsureNoReparsePoints, ReportsAPrefixThatCannotBeExamined) {
  ScratchDirectory scratch;
  const std::wstring bad = scratch / L"in<valid";
  try {
    ensure_no_reparse_points(bad + L"\\x");
    ADD_FAILURE() << "an invalid name was accepted";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.code, Text::FileOperationFailed);
    EXPECT_EQ(failure.detail.rfind(bad + L" [", 0), 0u);
  }
}

TEST(ResolveUpdatePath, ValidatesAppendsAndChecksLinks) {
  ScratchDirectory scratch;
  EXPECT_EQ(resolve_update_path(scratch.path(), "data/maps/a.pak"),
            scratch.path() + L"\\data/maps/a.pak");
  EXPECT_TRUE(throws_failure([&] { resolve_update_path(scratch.path(), "data/../x"); },
                             Text::UnsafePath, L"data/../x"));
  const std::wstring link = link_fixture_path(L"links\\dirlink");
  EXPECT_TRUE(
      throws_failure([&] { resolve_update_path(link, "keep.txt"); }, Text::UnsafePath, link));
}

TEST(ModulePath, NamesTheRunningExecutable) {
  const std::wstring path = module_path();
  EXPECT_TRUE(path.ends_with(L"install_files_test.exe")) << path.size();
  EXPECT_TRUE(path_exists(path));
}

}  // namespace
}  // namespace zyr::update
