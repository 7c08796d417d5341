// Time of extract_package_zip on a published package archive.
// Usage: bench_extract DOCUMENT ARCHIVE STAGING   (STAGING must not exist)
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "common/context.h"
#include "common/encoding.h"
#include "common/failure.h"
#include "install/file_operations.h"
#include "update/package_preparation.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_extract DOCUMENT ARCHIVE STAGING\n");
    return 2;
  }
  try {
    using namespace zyr::update;
    std::ifstream file(argv[1], std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const Package package = parse_package_response(text, trusted_keys());
    Context context;
    create_directories_checked(argv[3]);
    const auto start = std::chrono::steady_clock::now();
    extract_package_zip(package, argv[2], argv[3], context);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("extract_package_zip: %zu files in %.2f s\n", package.files.size(), took.count());
    std::printf("seconds=%.3f\n", took.count());
  } catch (const zyr::update::Failure& failure) {
    std::fprintf(stderr, "failed: text %d\n", static_cast<int>(failure.code));
    return 1;
  }
  return 0;
}
