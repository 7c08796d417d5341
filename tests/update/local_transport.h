// A Transport that serves the published tree's files from the fixture folder instead of
// the network, for tests of what happens around downloads. It keeps the contract of the
// real transport: the target must not exist, its parent is created, the body must be
// exactly the expected size, and progress goes to the byte callback when one is set.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "common/failure.h"
#include "install/file_operations.h"
#include "install/local_path.h"
#include "update/fixtures.h"
#include "update/transport.h"

namespace zyr::update::testing {

class LocalTransport final : public Transport {
 public:
  static constexpr char served_origin[] = "https://localhost:25556/files/";

  std::string post(std::wstring_view, std::string_view, const Context&) override {
    throw_failure(Text::HttpsFailed, std::wstring(L"HTTP 404"));
  }

  void download(const Download& source, const std::wstring& target, std::uint64_t expected_size,
                const Context& context) override {
    throw_if_cancelled(context);
    requested.push_back(source.url);
    if (source.url == fail_url) throw_failure(Text::HttpsFailed, std::wstring(L"HTTP 503"));
    if (source.url.rfind(served_origin, 0) != 0)
      throw_failure(Text::HttpsFailed, std::wstring(L"HTTP 404"));
    std::ifstream body(
        std::filesystem::path(fixture_path(
            "tree/files/" + percent_decoded(source.url.substr(sizeof(served_origin) - 1)))),
        std::ios::binary);
    if (!body) throw_failure(Text::HttpsFailed, std::wstring(L"HTTP 404"));

    create_directories_checked(parent_path(target));
    if (std::filesystem::exists(std::filesystem::path(target))) {
      throw_failure(Text::FileOperationFailed, with_error_code(target, 80));
    }
    std::ofstream out(std::filesystem::path(target), std::ios::binary);
    std::vector<char> block(64 * 1024);
    std::uint64_t total = 0;
    while (body.read(block.data(), static_cast<std::streamsize>(block.size())) ||
           body.gcount() > 0) {
      const auto count = static_cast<std::uint64_t>(body.gcount());
      if (total + count > expected_size) throw_failure(Text::DigestMismatch);
      out.write(block.data(), body.gcount());
      total += count;
      if (context.byte_progress) {
        context.byte_progress(total, expected_size, L"");
      } else if (context.progress) {
        context.progress(Text::DownloadingUpdate, total, expected_size, L"");
      }
    }
    if (total != expected_size) throw_failure(Text::DigestMismatch);
  }

  std::vector<std::string> requested;
  std::string fail_url;

 private:
  static std::string percent_decoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '%' && i + 2 < text.size()) {
        out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        out += text[i];
      }
    }
    return out;
  }
};

}  // namespace zyr::update::testing
