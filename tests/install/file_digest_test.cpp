// Runs on Windows and natively (with the host's file API standing in).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/digest.h"
#include "common/expect_failure.h"
#include "common/failure.h"
#include "install/file_operations.h"

namespace zyr::update {
namespace {

namespace fs = std::filesystem;

// Spans several 256 KiB blocks and ends in a partial one.
constexpr std::uint64_t kMultiBlockSize = 3 * 256 * 1024 + 17;

class Sha256OfFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("zyr-digest-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::wstring write(const std::string& name, const std::string& bytes) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.wstring();
  }

  fs::path folder_;
  const Context context_;
};

std::string patterned(std::uint64_t size) {
  std::string bytes(size, '\0');
  for (std::uint64_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>((i * 7919) >> 8);
  }
  return bytes;
}

TEST_F(Sha256OfFile, HashesTheWholeContentAcrossBlocks) {
  const std::string content = patterned(kMultiBlockSize);
  EXPECT_EQ(sha256_of_file(write("data.bin", content), context_, kMultiBlockSize),
            sha256_of(content));
  EXPECT_EQ(sha256_of_file(write("empty.bin", ""), context_, 0),
            parse_digest_text("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
}

TEST_F(Sha256OfFile, RefusesWrongSizesDirectoriesAndCancellation) {
  const std::wstring file = write("data.bin", patterned(kMultiBlockSize));
  for (const std::uint64_t wrong_size :
       {kMultiBlockSize - 1, kMultiBlockSize + 1, kMaxFileSize + 1}) {
    EXPECT_TRUE(throws_failure([&] { sha256_of_file(file, context_, wrong_size); },
                               Text::DigestMismatch, file));
  }
  EXPECT_TRUE(throws_failure([&] { sha256_of_file(folder_.wstring(), context_, 0); },
                             Text::UnsafePath, folder_.wstring()));
  Context cancelled;
  cancelled.cancelled = true;
  EXPECT_TRUE(throws_failure([&] { sha256_of_file(file, cancelled, kMultiBlockSize); },
                             Text::OperationCancelled));
}

}  // namespace
}  // namespace zyr::update
