// A release published with tools/publish, served by the real update service over HTTPS and
// fetched with the WinHTTP transport: asked for, verified and staged, full and delta.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "common/encoding.h"
#include "common/json.h"
#include "install/scratch_directory.h"
#include "update/fixtures.h"
#include "update/package_preparation.h"
#include "update/winhttp_transport.h"

namespace zyr::update {
namespace {

namespace fs = std::filesystem;
using testing::files_below;
using testing::fixture_path;
using testing::read_fixture;

// Points the running service at the fixture tree for the lifetime of the object.
class ServedTree {
 public:
  ServedTree() {
    const char* state = std::getenv("ZYR_UPDATE_SERVICE_STATE");
    if (state == nullptr) throw std::runtime_error("run through ctest: no service state");
    control_ = fs::path(L"Z:" + to_utf16(state)) / "tree";
    std::ofstream(control_) << to_utf8(fixture_path("tree"));
  }
  ~ServedTree() {
    std::error_code ignored;
    fs::remove(control_, ignored);
  }

 private:
  fs::path control_;
};

TEST(PublishedRelease, IsVerifiedAndStagedOverHttps) {
  ServedTree served;
  WinHttpTransport transport;
  Context context;

  const JsonDocument answer = parse_json_object(
      transport.post(L"/rpc/v1/client-update/check-update",
                     R"({"protocol_version":1,"platform":"windows","architecture":"x86_64",)"
                     R"("channel":"stable","current_build":0,"current_version":""})",
                     context));
  EXPECT_EQ(read_string_member(answer, "fallback_package_id", false), "full-2");

  for (const char* package_id : {"full-2", "full-2-files", "delta-1-2", "delta-1-2-files"}) {
    SCOPED_TRACE(package_id);
    const std::string response =
        transport.post(L"/rpc/v1/client-update/get-package",
                       std::string("{\"package_id\":\"") + package_id + "\"}", context);
    EXPECT_EQ(response, read_fixture(std::string("tree/packages/") + package_id + ".json"));
    const Package package = parse_package_response(response, trusted_keys());

    ScratchDirectory scratch;
    std::optional<Release> current;
    if (package.type == "delta") {
      fs::copy(fs::path(fixture_path("releases/r1")), fs::path(scratch.path()),
               fs::copy_options::recursive);
      current = load_release_envelope(read_fixture("tree/packages/full-1.json"), trusted_keys());
    }
    const std::wstring job = scratch.path() + L"\\.update\\job";
    prepare_package(package, current, scratch.path(), job, transport, context);
    EXPECT_EQ(files_below(job + L"\\staging"), files_below(fixture_path("releases/r2")));
  }
}

}  // namespace
}  // namespace zyr::update
