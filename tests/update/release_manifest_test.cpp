#include "update/release_manifest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/encoding.h"
#include "common/expect_failure.h"
#include "update/fixtures.h"

namespace zyr::update {
namespace {

using testing::read_fixture;

Package parse_fixture(const std::string& relative) {
  return parse_package_response(read_fixture(relative), trusted_keys());
}

const FileEntry* find_entry(const std::vector<FileEntry>& files, const std::string& path) {
  for (const FileEntry& entry : files) {
    if (entry.path == path) return &entry;
  }
  return nullptr;
}

TEST(ParsePackageResponse, ReadsAPublishedFullArchivePackage) {
  const std::string text = read_fixture("tree/packages/full-2.json");
  const Package package = parse_package_response(text, trusted_keys());
  EXPECT_EQ(package.package_id, "full-2");
  EXPECT_EQ(package.type, "full");
  EXPECT_EQ(package.document_text, text);
  EXPECT_EQ(package.release.release_id, "r2");
  EXPECT_EQ(package.release.version, "2.0");
  EXPECT_EQ(package.release.build, 2u);
  ASSERT_EQ(package.release.files.size(), 6u);
  ASSERT_EQ(package.files.size(), 6u);
  ASSERT_TRUE(package.archive.has_value());
  EXPECT_EQ(package.archive->download.url, "https://localhost:25556/files/full-2/package.zip");
  const FileEntry* changed = find_entry(package.release.files, "data/changed.bin");
  ASSERT_NE(changed, nullptr);
  EXPECT_EQ(changed->size_bytes, 300000u);
  const FileEntry* empty = find_entry(package.release.files, "empty.cfg");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->sha256, sha256_of(std::string_view()));
}

TEST(ParsePackageResponse, ReadsAPublishedDeltaWithDownloadsAndDeletes) {
  const Package package = parse_fixture("tree/packages/delta-1-2-files.json");
  EXPECT_EQ(package.type, "delta");
  EXPECT_EQ(package.base_release_id, "r1");
  EXPECT_EQ(package.base_build, 1u);
  EXPECT_EQ(package.patch_algorithm, "file-replace-v1");
  EXPECT_FALSE(package.archive.has_value());
  // Changed and new files are brought, the removed one deleted, the rest not listed.
  EXPECT_EQ(package.files.size(), 5u);
  const FileEntry* added = find_entry(package.files, "data/new/\xC3\xA9t\xC3\xA9 file.txt");
  ASSERT_NE(added, nullptr);
  ASSERT_TRUE(added->download.has_value());
  EXPECT_EQ(added->download->url,
            "https://localhost:25556/files/delta-1-2-files/f/data/new/%C3%A9t%C3%A9%20file.txt");
  const FileEntry* removed = find_entry(package.files, "data/old.txt");
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(removed->operation, "delete");
  EXPECT_EQ(find_entry(package.files, "data/common.pak"), nullptr);
}

TEST(ParsePackageResponse, RefusesEveryBrokenVariant) {
  const struct {
    const char* variant;
    Text expected;
  } rows[] = {
      {"unknown_key_id", Text::SignatureInvalid},
      {"algorithm_lower_case", Text::SignatureInvalid},
      {"release_byte_flipped", Text::SignatureInvalid},
      {"manifest_digest_wrong", Text::SignatureInvalid},
      {"signed_by_other_key", Text::SignatureInvalid},
      {"signature_truncated", Text::SignatureInvalid},
      {"package_id_differs", Text::InvalidMetadata},
      {"target_release_id_differs", Text::InvalidMetadata},
      {"target_build_differs", Text::InvalidMetadata},
      {"target_manifest_digest_differs", Text::InvalidMetadata},
      {"package_manifest_version_2", Text::InvalidMetadata},
      {"release_channel_beta", Text::UnsupportedVersion},
      // The version is refused before the (mistyped) platform is read.
      {"release_version_2_bad_platform", Text::UnsupportedVersion},
      {"release_build_0", Text::InvalidMetadata},
      {"release_case_duplicate", Text::UnsafePath},
      {"release_file_as_directory", Text::UnsafePath},
      {"full_missing_file", Text::InvalidMetadata},
      {"replace_digest_differs", Text::DigestMismatch},
      {"replace_spelling_differs", Text::DigestMismatch},
      {"type_unknown", Text::UnsupportedPackageFormat},
      {"full_with_base_build", Text::InvalidMetadata},
      {"operation_patch_in_full", Text::UnsupportedPackageFormat},
      {"download_http", Text::HttpsFailed},
      {"download_scheme_upper_case", Text::HttpsFailed},
      {"download_method_post", Text::InvalidMetadata},
      {"download_missing", Text::InvalidMetadata},
      {"download_header_not_string", Text::InvalidMetadata},
      {"archive_format_unknown", Text::UnsupportedPackageFormat},
      {"archive_size_over_4_gib", Text::InvalidMetadata},
      {"file_over_8_gib", Text::InvalidMetadata},
      {"delta_base_build_is_target", Text::InvalidMetadata},
      {"delta_base_release_id_empty", Text::InvalidMetadata},
      {"delta_delete_size_1", Text::InvalidMetadata},
      {"delta_delete_of_target_file", Text::InvalidMetadata},
      {"files_20001", Text::InvalidMetadata},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.variant);
    const std::string text = read_fixture(std::string("variants/") + row.variant + ".json");
    EXPECT_TRUE(
        throws_failure([&] { parse_package_response(text, trusted_keys()); }, row.expected));
  }
}

TEST(ParsePackageResponse, RefusesTraversalWithThePathAsDetail) {
  const std::string text = read_fixture("variants/path_traversal.json");
  EXPECT_TRUE(throws_failure([&] { parse_package_response(text, trusted_keys()); },
                             Text::UnsafePath, L"../outside.txt"));
}

TEST(ParsePackageResponse, AcceptsTheLimitsThemselves) {
  for (const char* name :
       {"files_20000", "delta_no_files", "delta_empty_but_delete", "archive_size_4_gib"}) {
    SCOPED_TRACE(name);
    EXPECT_NO_THROW(parse_fixture(std::string("accepted/") + name + ".json"));
  }
  const Package with_headers = parse_fixture("accepted/archive_size_4_gib.json");
  ASSERT_TRUE(with_headers.archive.has_value());
  EXPECT_EQ(with_headers.archive->size_bytes, 4294967296u);
  EXPECT_EQ(with_headers.archive->download.headers.at("X-Token"), "t");
}

TEST(ParsePackageResponse, TrustsOnlyTheKeysItIsGiven) {
  const std::string text = read_fixture("tree/packages/full-2.json");
  std::vector<TrustedKey> keys = trusted_keys();
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].key_id, "client-release-key-1");
  keys[0].public_key[0] ^= 1;
  EXPECT_TRUE(throws_failure([&] { parse_package_response(text, keys); }, Text::SignatureInvalid));
  keys[0].public_key.pop_back();
  EXPECT_TRUE(throws_failure([&] { parse_package_response(text, keys); }, Text::SignatureInvalid));
  EXPECT_TRUE(throws_failure([&] { parse_package_response(text, {}); }, Text::SignatureInvalid));
}

TEST(LoadReleaseEnvelope, ReadsOnlyTheTargetRelease) {
  const Release release =
      load_release_envelope(read_fixture("tree/packages/delta-1-2.json"), trusted_keys());
  EXPECT_EQ(release.release_id, "r2");
  EXPECT_EQ(release.files.size(), 6u);
  // A broken package signature does not matter to the stored record...
  EXPECT_NO_THROW(
      load_release_envelope(read_fixture("variants/signed_by_other_key.json"), trusted_keys()));
  // ...a broken release signature does.
  const std::string flipped = read_fixture("variants/release_byte_flipped.json");
  EXPECT_TRUE(throws_failure([&] { load_release_envelope(flipped, trusted_keys()); },
                             Text::SignatureInvalid));
}

std::vector<FileEntry> file_list(const std::string& json_files, bool full_listing) {
  const JsonDocument document = parse_json_object("{\"files\":" + json_files + "}");
  return parse_file_list(require_member(document, "files"), full_listing);
}

const std::string digest_a = "\"" + std::string(64, 'a') + "\"";

TEST(ParseFileList, AppliesOperationAndSizeRules) {
  const auto entry = [](const std::string& members) { return "[{" + members + "}]"; };
  EXPECT_EQ(file_list(entry("\"path\":\"a\",\"operation\":\"delete\",\"size_bytes\":0"), false)
                .at(0)
                .operation,
            "delete");
  EXPECT_EQ(
      file_list(entry("\"path\":\"a\",\"size_bytes\":8589934592,\"sha256\":" + digest_a), true)
          .at(0)
          .operation,
      "replace");
  EXPECT_EQ(file_list("[]", false).size(), 0u);
  EXPECT_EQ(file_list(entry("\"path\":\"a\",\"operation\":\"patch\",\"size_bytes\":1,"
                            "\"sha256\":" +
                            digest_a),
                      false)
                .size(),
            1u);

  const struct {
    const char* name;
    std::string files;
    bool full;
    Text expected;
  } rows[] = {
      {"empty full listing", "[]", true, Text::InvalidMetadata},
      {"not an array", "{}", false, Text::InvalidMetadata},
      {"delete with size", entry("\"path\":\"a\",\"operation\":\"delete\",\"size_bytes\":1"), false,
       Text::InvalidMetadata},
      {"delete with download",
       entry("\"path\":\"a\",\"operation\":\"delete\",\"download\":{\"method\":\"GET\","
             "\"url\":\"https://x/a\"}"),
       false, Text::InvalidMetadata},
      {"delete in full listing", entry("\"path\":\"a\",\"operation\":\"delete\""), true,
       Text::UnsupportedPackageFormat},
      {"unknown operation", entry("\"path\":\"a\",\"operation\":\"Delete\""), false,
       Text::UnsupportedPackageFormat},
      {"file over 8 GiB", entry("\"path\":\"a\",\"size_bytes\":8589934593,\"sha256\":" + digest_a),
       false, Text::InvalidMetadata},
      {"total over 16 GiB",
       "[{\"path\":\"a\",\"size_bytes\":8589934592,\"sha256\":" + digest_a +
           "},{\"path\":\"b\",\"size_bytes\":8589934592,\"sha256\":" + digest_a +
           "},{\"path\":\"c\",\"size_bytes\":1,\"sha256\":" + digest_a + "}]",
       false, Text::InvalidMetadata},
      {"missing digest", entry("\"path\":\"a\",\"size_bytes\":1"), false, Text::InvalidMetadata},
      {"case duplicate",
       "[{\"path\":\"a\",\"operation\":\"delete\"},{\"path\":\"A\",\"operation\":\"delete\"}]",
       false, Text::UnsafePath},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(throws_failure([&] { file_list(row.files, row.full); }, row.expected));
  }
}

TEST(ParseFileList, FileBelowAFileIsRefusedOnlyInAFullListing) {
  const std::string files = "[{\"path\":\"data\",\"size_bytes\":1,\"sha256\":" + digest_a +
                            "},{\"path\":\"DATA/x\",\"size_bytes\":1,\"sha256\":" + digest_a + "}]";
  EXPECT_TRUE(throws_failure([&] { file_list(files, true); }, Text::UnsafePath));
  EXPECT_EQ(file_list(files, false).size(), 2u);
}

TEST(ParseDownload, AcceptsOnlyHttpsGetWithStringHeaders) {
  const auto download = [](const std::string& text) {
    const JsonDocument document = parse_json_object(text);
    return parse_download(document);
  };
  const Download parsed =
      download(R"({"method":"GET","url":"https://cdn/x?a=1","headers":{"b":"2","A":"1"}})");
  EXPECT_EQ(parsed.url, "https://cdn/x?a=1");
  EXPECT_EQ(parsed.headers, (std::map<std::string, std::string>{{"A", "1"}, {"b", "2"}}));

  std::string headers_33 = R"({"method":"GET","url":"https://cdn/x","headers":{)";
  for (int i = 0; i < 33; ++i) {
    headers_33.append(i == 0 ? "\"h" : ",\"h").append(std::to_string(i)).append("\":\"v\"");
  }
  headers_33 += "}}";
  const std::string long_url =
      R"({"method":"GET","url":"https://)" + std::string(8192 - 8 + 1, 'a') + "\"}";
  const struct {
    const char* name;
    std::string text;
    Text expected;
  } rows[] = {
      {"lower-case method", R"({"method":"get","url":"https://cdn/x"})", Text::InvalidMetadata},
      {"plain http", R"({"method":"GET","url":"http://cdn/x"})", Text::HttpsFailed},
      {"scheme only", R"({"method":"GET","url":"https:/"})", Text::HttpsFailed},
      {"url of 8193 bytes", long_url, Text::HttpsFailed},
      {"33 headers", headers_33, Text::InvalidMetadata},
      {"headers not an object", R"({"method":"GET","url":"https://c/x","headers":[]})",
       Text::InvalidMetadata},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(throws_failure([&] { download(row.text); }, row.expected));
  }
}

TEST(IndexByFoldedPath, FirstOfTwoThatFoldAlikeWins) {
  std::vector<FileEntry> files(3);
  files[0].path = "Data/A.txt";
  files[0].size_bytes = 1;
  files[1].path = "data/a.TXT";
  files[1].size_bytes = 2;
  files[2].path = "b";
  const FoldedFileIndex index = index_by_folded_path(files);
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(index.at(L"DATA/A.TXT").size_bytes, 1u);
  EXPECT_EQ(index.begin()->first, L"B");
}

}  // namespace
}  // namespace zyr::update
