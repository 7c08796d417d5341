// download_bench URL TARGET SIZE: downloads URL into the new file TARGET (SIZE bytes) with
// the launcher's transport and prints the seconds it took.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/failure.h"
#include "update/winhttp_transport.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: download_bench URL TARGET SIZE\n");
    return 2;
  }
  const std::string target_text = argv[2];
  const std::wstring target(target_text.begin(), target_text.end());
  const std::uint64_t size = std::strtoull(argv[3], nullptr, 10);
  zyr::update::WinHttpTransport transport;
  zyr::update::Context context;
  const auto start = std::chrono::steady_clock::now();
  try {
    transport.download({argv[1], {}}, target, size, context);
  } catch (const zyr::update::Failure& failure) {
    std::fprintf(stderr, "download failed: text %d, detail %ls\n", static_cast<int>(failure.code),
                 failure.detail.c_str());
    return 1;
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("%.3f\n", seconds.count());
  return 0;
}
