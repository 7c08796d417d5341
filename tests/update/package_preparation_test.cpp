#include "update/package_preparation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "common/encoding.h"
#include "common/expect_failure.h"
#include "install/scratch_directory.h"
#include "update/fixtures.h"
#include "update/local_transport.h"
#include "update/release_verification.h"

namespace zyr::update {
namespace {

namespace fs = std::filesystem;
using testing::files_below;
using testing::fixture_path;
using testing::LocalTransport;
using testing::read_fixture;

Package package_fixture(const std::string& package_id) {
  return parse_package_response(read_fixture("tree/packages/" + package_id + ".json"),
                                trusted_keys());
}

// An installation folder (with release r1 when asked) and its job directory.
class Preparation : public ::testing::Test {
 protected:
  void install_release_1() {
    fs::copy(fs::path(fixture_path("releases/r1")), fs::path(installation),
             fs::copy_options::recursive);
    current = package_fixture("full-1").release;
  }

  void prepare(const Package& package) {
    prepare_package(package, current, installation, job, transport, context);
  }

  std::map<std::string, std::string> installed_files() const {
    auto files = files_below(installation);
    std::erase_if(files, [](const auto& item) { return item.first.starts_with(".update/"); });
    return files;
  }

  ScratchDirectory scratch;
  std::wstring installation = scratch / L"game";
  std::wstring job = installation + L"\\.update\\job";
  std::optional<Release> current;
  LocalTransport transport;
  Context context;
};

TEST_F(Preparation, StagesFullPackagesFromArchiveOrSingleFiles) {
  for (const char* package_id : {"full-2", "full-2-files"}) {
    SCOPED_TRACE(package_id);
    fs::remove_all(fs::path(installation));
    const Package package = package_fixture(package_id);
    prepare(package);
    EXPECT_EQ(files_below(job + L"\\staging"), files_below(fixture_path("releases/r2")));
    EXPECT_EQ(read_fixture(std::string("tree/packages/") + package_id + ".json"),
              files_below(job).at("package.json"));
    EXPECT_TRUE(installed_files().empty());
  }
}

TEST_F(Preparation, DeltaDownloadsOnlyChangesAndCopiesTheRest) {
  install_release_1();
  const auto installed_before = installed_files();
  for (const char* package_id : {"delta-1-2", "delta-1-2-files"}) {
    SCOPED_TRACE(package_id);
    fs::remove_all(fs::path(job));
    transport.requested.clear();
    prepare(package_fixture(package_id));
    EXPECT_EQ(files_below(job + L"\\staging"), files_below(fixture_path("releases/r2")));
    EXPECT_EQ(installed_files(), installed_before);
    for (const std::string& url : transport.requested) {
      EXPECT_EQ(url.find("common.pak"), std::string::npos) << url;
      EXPECT_EQ(url.find("ZYR_ENGINE.exe"), std::string::npos) << url;
    }
  }
  // Changed, new and empty files: four single downloads, or the archive alone.
  EXPECT_EQ(transport.requested.size(), 4u);
}

TEST_F(Preparation, DeltaNeedsItsVerifiedBaseBeforeAnyDownload) {
  install_release_1();
  const Package delta = package_fixture("delta-1-2-files");

  Release renamed = *current;
  renamed.release_id = "another";
  current = renamed;
  EXPECT_TRUE(throws_failure([&] { prepare(delta); }, Text::DigestMismatch));
  current.reset();
  EXPECT_TRUE(throws_failure([&] { prepare(delta); }, Text::DigestMismatch));
  EXPECT_TRUE(transport.requested.empty());

  current = package_fixture("full-1").release;
  Package unknown_algorithm = delta;
  unknown_algorithm.patch_algorithm = "bsdiff";
  EXPECT_TRUE(throws_failure([&] { prepare(unknown_algorithm); }, Text::UnsupportedPackageFormat));

  Package deleting_unknown = delta;
  FileEntry never_installed;
  never_installed.path = "never-installed.txt";
  never_installed.operation = "delete";
  deleting_unknown.files.push_back(never_installed);
  EXPECT_TRUE(throws_failure([&] { prepare(deleting_unknown); }, Text::UnsafePath));

  Package with_patch = delta;
  with_patch.files[0].operation = "patch";
  EXPECT_TRUE(throws_failure([&] { prepare(with_patch); }, Text::UnsupportedPackageFormat));

  // An installed file that no longer matches its release stops the delta.
  const std::wstring damaged = installation + L"\\data/common.pak";
  fs::resize_file(fs::path(damaged), fs::file_size(fs::path(damaged)) - 1);
  EXPECT_TRUE(throws_failure([&] { prepare(delta); }, Text::DigestMismatch, damaged));
  EXPECT_TRUE(transport.requested.empty());
}

TEST_F(Preparation, RefusesHostileArchivesWithoutWritingOutsideStaging) {
  const struct {
    const char* package_id;
    Text expected;
    const wchar_t* detail = L"";
  } rows[] = {
      {"zip-traversal", Text::UnsafePath, L"../evil.txt"},
      {"zip-absolute", Text::UnsafePath, L"/abs.txt"},
      {"zip-backslash", Text::UnsafePath, L"data\\x.txt"},
      {"zip-case-duplicate", Text::UnsafePath},
      {"zip-symbolic-link", Text::InvalidMetadata},
      {"zip-reparse-point", Text::InvalidMetadata},
      {"zip-encrypted", Text::InvalidMetadata},
      {"zip-unsupported-method", Text::InvalidMetadata},
      {"zip-not-listed", Text::InvalidMetadata},
      {"zip-size-differs", Text::InvalidMetadata},
      {"zip-entries-40002", Text::InvalidMetadata},
      {"zip-missing-listed-file", Text::DigestMismatch},
      {"zip-corrupted-data", Text::DigestMismatch},
      {"zip-digest-wrong", Text::DigestMismatch},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.package_id);
    fs::remove_all(fs::path(scratch.path()));
    fs::create_directories(fs::path(scratch.path()));
    EXPECT_TRUE(throws_failure([&] { prepare(package_fixture(row.package_id)); }, row.expected,
                               row.detail));
    const auto written = files_below(scratch.path());
    for (const auto& [path, content] : written) {
      EXPECT_TRUE(path.starts_with("game/.update/job/")) << path;
      EXPECT_FALSE(path.ends_with("package.json")) << path;
    }
  }
}

TEST_F(Preparation, AcceptsArchivesUpToTheEntryLimit) {
  for (const char* package_id : {"zip-valid", "zip-valid-with-directories", "zip-entries-40001"}) {
    SCOPED_TRACE(package_id);
    fs::remove_all(fs::path(installation));
    prepare(package_fixture(package_id));
    EXPECT_EQ(files_below(job + L"\\staging"), files_below(fixture_path("releases/small")));
  }
}

TEST_F(Preparation, ReportsMonotonicProgressAndAlwaysGivesBackTheByteCallback) {
  struct Report {
    std::size_t done, total;
    std::wstring name;
  };
  std::vector<Report> reports;
  context.progress = [&](Text text, std::size_t done, std::size_t total, const std::wstring& name) {
    if (text == Text::DownloadingUpdate) reports.push_back({done, total, name});
  };
  int own_callback_calls = 0;
  context.byte_progress = [&](std::size_t, std::size_t, const std::wstring&) {
    ++own_callback_calls;
  };

  const Package package = package_fixture("full-2-files");
  prepare(package);
  std::size_t total = 0;
  for (const FileEntry& entry : package.files) total += entry.size_bytes;
  ASSERT_FALSE(reports.empty());
  std::size_t previous = 0;
  for (const Report& report : reports) {
    EXPECT_GE(report.done, previous);
    EXPECT_EQ(report.total, total);
    EXPECT_FALSE(report.name.empty());
    previous = report.done;
  }
  EXPECT_EQ(reports.back().done, total);
  EXPECT_EQ(reports.front().name, to_utf16(package.files.front().path));

  fs::remove_all(fs::path(job));
  transport.fail_url = package.files.back().download->url;
  EXPECT_TRUE(throws_failure([&] { prepare(package); }, Text::HttpsFailed, L"HTTP 503"));
  ASSERT_TRUE(context.byte_progress);
  context.byte_progress(0, 0, L"");
  EXPECT_EQ(own_callback_calls, 1);
}

TEST(VerifyReleaseFiles, NamesTheFileThatIsOneByteShort) {
  const Release release = package_fixture("full-1").release;
  ScratchDirectory scratch;
  fs::copy(fs::path(fixture_path("releases/r1")), fs::path(scratch.path()),
           fs::copy_options::recursive);
  Context context;
  std::vector<std::size_t> done;
  context.progress = [&](Text text, std::size_t count, std::size_t total, const std::wstring&) {
    if (text == Text::VerifyingFiles && total != 0) done.push_back(count);
  };
  verify_release_files(scratch.path(), release, context);
  EXPECT_EQ(done, (std::vector<std::size_t>{1, 2, 3, 4, 5}));

  const std::wstring shortened = scratch.path() + L"\\data/changed.bin";
  fs::resize_file(fs::path(shortened), fs::file_size(fs::path(shortened)) - 1);
  EXPECT_TRUE(throws_failure([&] { verify_release_files(scratch.path(), release, context); },
                             Text::DigestMismatch, shortened));
}

}  // namespace
}  // namespace zyr::update
