// Time of parse_package_response on a signed get-package document against a bare
// parse_json_object of the same text, as a ratio. Usage: bench_manifest DOCUMENT [ROUNDS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "common/failure.h"
#include "common/json.h"
#include "update/release_manifest.h"

namespace {

template <typename Work>
double best_seconds(int rounds, Work&& work) {
  double best = 1e30;
  for (int round = 0; round < rounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (took.count() < best) best = took.count();
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_manifest DOCUMENT [ROUNDS]\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  try {
    using namespace zyr::update;
    const auto keys = trusted_keys();
    std::size_t files = 0;
    const double bare = best_seconds(rounds, [&] { parse_json_object(text); });
    const double full =
        best_seconds(rounds, [&] { files = parse_package_response(text, keys).files.size(); });
    std::printf("document: %zu bytes, %zu files\n", text.size(), files);
    std::printf("parse_json_object:      %8.2f ms (best of %d)\n", bare * 1e3, rounds);
    std::printf("parse_package_response: %8.2f ms (best of %d)\n", full * 1e3, rounds);
    std::printf("ratio verified/bare:    %8.2f\n", full / bare);
  } catch (const zyr::update::Failure& failure) {
    std::fprintf(stderr, "refused: text %d\n", static_cast<int>(failure.code));
    return 1;
  }
  return 0;
}
