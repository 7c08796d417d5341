// Hashes one file with sha256_of_file and prints "<seconds> <hex digest>".
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "common/failure.h"
#include "install/file_operations.h"

int main(int argc, char** argv) {
  using namespace zyr::update;
  if (argc != 2) {
    std::fprintf(stderr, "usage: sha256_file_bench <file>\n");
    return 2;
  }
  const std::filesystem::path path = argv[1];
  try {
    const Context context;
    const auto start = std::chrono::steady_clock::now();
    const Digest digest = sha256_of_file(path.wstring(), context, std::filesystem::file_size(path));
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%.3f ", elapsed.count());
    for (const std::uint8_t byte : digest) {
      std::printf("%02x", byte);
    }
    std::printf("\n");
  } catch (const Failure& failure) {
    std::fprintf(stderr, "failure %d\n", static_cast<int>(failure.code));
    return 1;
  }
  return 0;
}
