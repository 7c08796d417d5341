// Published releases, packages and broken variants made by tests/update/make_fixtures.py
// before the update tests run (ctest fixture "update_fixtures").
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>

#include "common/encoding.h"

namespace zyr::update::testing {

// Local path of `relative` (with "/") inside the fixture folder named by
// ZYR_UPDATE_FIXTURES. Under Wine the Unix folder is reached through drive Z:.
inline std::wstring fixture_path(const std::string& relative) {
  const char* root = std::getenv("ZYR_UPDATE_FIXTURES");
  if (root == nullptr) throw std::runtime_error("ZYR_UPDATE_FIXTURES is not set");
  std::wstring path = to_utf16(std::string(root) + "/" + relative);
#ifdef _WIN32
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  path = L"Z:" + path;
#endif
  return path;
}

inline std::string read_fixture(const std::string& relative) {
  std::ifstream file(std::filesystem::path(fixture_path(relative)), std::ios::binary);
  if (!file) throw std::runtime_error("missing fixture " + relative);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Every regular file below `root` as (generic relative path in UTF-8, content); empty when
// `root` does not exist.
inline std::map<std::string, std::string> files_below(const std::wstring& root) {
  std::map<std::string, std::string> found;
  const std::filesystem::path base(root);
  if (!std::filesystem::exists(base)) return found;
  for (const auto& item : std::filesystem::recursive_directory_iterator(base)) {
    if (!item.is_regular_file()) continue;
    std::ifstream file(item.path(), std::ios::binary);
    found[to_utf8(std::filesystem::relative(item.path(), base).generic_wstring())] = {
        std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }
  return found;
}

}  // namespace zyr::update::testing
