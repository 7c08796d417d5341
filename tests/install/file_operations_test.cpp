#include "install/file_operations.h"

#include <gtest/gtest.h>

#include <string>

#include "common/expect_failure.h"
#include "common/failure.h"
#include "common/scoped_handle.h"
#include "install/file_handles.h"
#include "install/scratch_directory.h"

namespace zyr::update {
namespace {

// Spans several 256 KiB read blocks and ends in a partial one.
constexpr std::size_t kMultiBlockSize = 3 * 256 * 1024 + 17;

ScopedFileHandle hold_exclusively(const std::wstring& path) {
  return ScopedFileHandle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(WriteFileAtomically, CreatesParentsAndReplacesOldContentAndLeftoverTemporary) {
  ScratchDirectory scratch;
  const std::wstring target = scratch / L"a\\b\\record.json";
  write_file_atomically(target, "first");
  EXPECT_EQ(read_test_file(target), "first");

  write_test_file(target + L".tmp", std::string(1000, 'x'));  // left by an earlier failure
  const std::string large = patterned_bytes(kMultiBlockSize);
  write_file_atomically(target, large);
  EXPECT_EQ(read_test_file(target), large);
  EXPECT_FALSE(path_exists(target + L".tmp"));
}

TEST(WriteFileAtomically, FailedMoveKeepsTheOldContent) {
  ScratchDirectory scratch;
  const std::wstring target = scratch / L"record.json";
  write_test_file(target, "old");
  {
    const ScopedFileHandle held = hold_exclusively(target);
    ASSERT_TRUE(held);
    try {
      write_file_atomically(target, "new");
      ADD_FAILURE() << "replaced a file that another process holds";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.code, Text::FileOperationFailed);
      EXPECT_EQ(failure.detail.rfind(target + L" [", 0), 0u);
    }
  }
  EXPECT_EQ(read_test_file(target), "old");
  EXPECT_EQ(read_test_file(target + L".tmp"), "new");
}

TEST(ReadFileLimited, ReadsUpToTheLimitAndRefusesBeyondIt) {
  ScratchDirectory scratch;
  const std::wstring large = scratch / L"large.bin";
  const std::string content = patterned_bytes(kMultiBlockSize);
  write_test_file(large, content);
  EXPECT_EQ(read_file_limited(large, kMultiBlockSize), content);
  EXPECT_TRUE(throws_failure([&] { read_file_limited(large, kMultiBlockSize - 1); },
                             Text::InvalidMetadata, large));

  const std::wstring empty = scratch / L"empty.json";
  write_test_file(empty, "");
  EXPECT_EQ(read_file_limited(empty, kMaxJsonFileSize), "");

  const std::wstring missing = scratch / L"missing.json";
  EXPECT_TRUE(throws_failure([&] { read_file_limited(missing, kMaxJsonFileSize); },
                             Text::FileOperationFailed, missing + L" [2]"));
}

TEST(OpenForRead, RefusesDirectoriesAndSharesWithReadersOnly) {
  ScratchDirectory scratch;
  EXPECT_TRUE(
      throws_failure([&] { open_for_read(scratch.path()); }, Text::UnsafePath, scratch.path()));
  const std::wstring file = scratch / L"f.txt";
  write_test_file(file, "x");
  const ScopedFileHandle reader = open_for_read(file);
  EXPECT_TRUE(open_for_read(file));
  EXPECT_TRUE(
      throws_failure([&] { open_for_write(file); }, Text::FileOperationFailed, file + L" [32]"));
}

TEST(CopyFileFlushed, CopiesExactlyIntoNewFolders) {
  ScratchDirectory scratch;
  const Context context;
  const struct {
    std::wstring name;
    std::string content;
  } cases[] = {{L"empty", ""}, {L"one", "1"}, {L"multi", patterned_bytes(kMultiBlockSize)}};
  for (const auto& row : cases) {
    const std::wstring source = scratch / (row.name + L".src");
    const std::wstring destination = scratch / (L"out\\" + row.name);
    write_test_file(source, row.content);
    copy_file_flushed(source, destination, context);
    EXPECT_EQ(read_test_file(destination), row.content);
  }
}

TEST(CopyFileFlushed, CancelledBeforeTheFirstBlockLeavesAnEmptyDestination) {
  ScratchDirectory scratch;
  Context context;
  context.cancelled = true;
  const std::wstring source = scratch / L"src";
  const std::wstring destination = scratch / L"dst";
  write_test_file(source, "content");
  EXPECT_TRUE(throws_failure([&] { copy_file_flushed(source, destination, context); },
                             Text::OperationCancelled));
  EXPECT_TRUE(path_exists(destination));
  EXPECT_EQ(read_test_file(destination), "");
}

TEST(DeleteFileIfPresent, MissingCountsAsDeletedButAHeldFileFails) {
  ScratchDirectory scratch;
  EXPECT_NO_THROW(delete_file_if_present(scratch / L"missing.txt"));
  EXPECT_NO_THROW(delete_file_if_present(scratch / L"missing\\missing.txt"));
  const std::wstring file = scratch / L"f.txt";
  write_test_file(file, "x");
  {
    const ScopedFileHandle held = hold_exclusively(file);
    EXPECT_TRUE(throws_failure([&] { delete_file_if_present(file); }, Text::FileOperationFailed,
                               file + L" [32]"));
  }
  delete_file_if_present(file);
  EXPECT_FALSE(path_exists(file));
}

TEST(CreateDirectoriesChecked, CreatesAncestorsAndFailsOnAFileInTheWay) {
  ScratchDirectory scratch;
  const std::wstring nested = scratch / L"a\\b\\c";
  create_directories_checked(nested);
  create_directories_checked(nested);  // existing is fine
  EXPECT_FALSE(is_regular_file(nested));
  EXPECT_TRUE(path_exists(nested));

  write_test_file(scratch / L"file", "x");
  const std::wstring below_file = scratch / L"file\\sub";
  EXPECT_TRUE(throws_failure([&] { create_directories_checked(below_file); },
                             Text::FileOperationFailed, below_file));
  EXPECT_TRUE(is_regular_file(scratch / L"file"));
  EXPECT_FALSE(is_regular_file(scratch / L"missing"));
}

// Folder links stand in for every kind of reparse point here (see reparse_points_test.cpp).
TEST(FileOperations, RefuseFolderLinksOnTheirPath) {
  const std::wstring link = link_fixture_path(L"links\\dirlink");
  const std::wstring through_link = link + L"\\keep.txt";
  const Context context;
  EXPECT_TRUE(throws_failure([&] { open_for_read(through_link); }, Text::UnsafePath, link));
  EXPECT_TRUE(throws_failure([&] { is_regular_file(through_link); }, Text::UnsafePath, link));
  EXPECT_TRUE(throws_failure([&] { write_file_atomically(link + L"\\new.json", "x"); },
                             Text::UnsafePath, link));
  EXPECT_TRUE(
      throws_failure([&] { delete_file_if_present(through_link); }, Text::UnsafePath, link));
  EXPECT_TRUE(
      throws_failure([&] { sha256_of_file(through_link, context, 5); }, Text::UnsafePath, link));
  EXPECT_EQ(read_test_file(link_fixture_path(L"outside\\keep.txt")), "keep\n");
  EXPECT_FALSE(path_exists(link_fixture_path(L"outside\\new.json")));
  EXPECT_FALSE(path_exists(link_fixture_path(L"outside\\new.json.tmp")));
}

}  // namespace
}  // namespace zyr::update
