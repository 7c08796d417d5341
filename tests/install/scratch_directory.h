// Folders the Windows tests of the installation store work in.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/windows_api.h"

namespace zyr::update {

// A fresh folder below the temporary directory, removed with its content at scope exit.
// Tests never place links in it.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp) + L"zyr-install-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

 private:
  std::wstring path_;
};

// A path inside the folder of links that link_fixture.sh made for this test run.
inline std::wstring link_fixture_path(const std::wstring& relative) {
  const wchar_t* root = _wgetenv(L"ZYR_LINK_FIXTURE");
  EXPECT_NE(root, nullptr) << "run through ctest, which makes the link fixture";
  return root == nullptr ? relative : std::wstring(root) + L"\\" + relative;
}

inline void write_test_file(const std::wstring& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

inline std::string read_test_file(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Bytes that differ from block to block, so a misplaced block shows.
inline std::string patterned_bytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>((i * 7919) >> 8);
  }
  return bytes;
}

inline bool path_exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace zyr::update
