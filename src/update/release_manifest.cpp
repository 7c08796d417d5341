#include "update/release_manifest.h"

#include <set>

#include "common/failure.h"
#include "install/path_rules.h"
#include "update/signed_blob.h"
#include "zyr/build_settings.h"

namespace zyr::update {
namespace {

constexpr std::size_t max_listed_files = 20'000;
constexpr std::uint64_t max_file_bytes = 8'589'934'592;      // 8 GiB
constexpr std::uint64_t max_listing_bytes = 17'179'869'184;  // 16 GiB
constexpr std::uint64_t max_archive_bytes = 4'294'967'296;   // 4 GiB
constexpr std::size_t max_url_bytes = 8192;
constexpr std::size_t max_download_headers = 32;
constexpr std::size_t max_release_text_bytes = 128;

[[noreturn]] void invalid_metadata() { throw_failure(Text::InvalidMetadata); }

bool has_member(const JsonValue& value, const char* name) {
  return value.IsObject() && value.FindMember(name) != value.MemberEnd();
}

const JsonValue& require_object_member(const JsonValue& value, const char* name) {
  const JsonValue& member = require_member(value, name);
  if (!member.IsObject()) invalid_metadata();
  return member;
}

}  // namespace

std::vector<TrustedKey> trusted_keys() {
  const auto& key = build::release_public_key;
  return {TrustedKey{"client-release-key-1", std::vector<std::uint8_t>(key.begin(), key.end())}};
}

FoldedFileIndex index_by_folded_path(const std::vector<FileEntry>& files) {
  FoldedFileIndex index;
  for (const FileEntry& entry : files) index.try_emplace(fold_case(entry.path), entry);
  return index;
}

Download parse_download(const JsonValue& descriptor) {
  if (read_string_member(descriptor, "method", false) != "GET") invalid_metadata();
  std::string url = read_string_member(descriptor, "url", false);
  if (url.size() <= 7 || !url.starts_with("https://") || url.size() > max_url_bytes) {
    throw_failure(Text::HttpsFailed);
  }
  Download download;
  download.url = std::move(url);
  if (has_member(descriptor, "headers")) {
    const JsonValue& headers = descriptor["headers"];
    if (!headers.IsObject() || headers.MemberCount() > max_download_headers) invalid_metadata();
    for (const auto& header : headers.GetObject()) {
      if (!header.value.IsString()) invalid_metadata();
      download.headers.emplace(
          std::string(header.name.GetString(), header.name.GetStringLength()),
          std::string(header.value.GetString(), header.value.GetStringLength()));
    }
  }
  return download;
}

std::vector<FileEntry> parse_file_list(const JsonValue& files, bool full_listing) {
  if (!files.IsArray() || files.Size() > max_listed_files || (full_listing && files.Empty())) {
    invalid_metadata();
  }
  std::vector<FileEntry> entries;
  entries.reserve(files.Size());
  std::set<std::wstring> folded_paths;
  std::uint64_t total_bytes = 0;
  for (const JsonValue& element : files.GetArray()) {
    FileEntry entry;
    entry.path = read_string_member(element, "path", false);
    validate_update_path(entry.path);
    if (!folded_paths.insert(fold_case(entry.path)).second) throw_failure(Text::UnsafePath);

    if (has_member(element, "operation")) {
      entry.operation = read_string_member(element, "operation", false);
    }
    const bool accepted =
        entry.operation == "replace" ||
        (!full_listing && (entry.operation == "delete" || entry.operation == "patch"));
    if (!accepted) throw_failure(Text::UnsupportedPackageFormat);

    if (entry.operation == "delete") {
      if (read_uint64_member(element, "size_bytes", true) != 0 || has_member(element, "download")) {
        invalid_metadata();
      }
    } else {
      entry.size_bytes = read_uint64_member(element, "size_bytes", false);
      if (entry.size_bytes > max_file_bytes) invalid_metadata();
      total_bytes += entry.size_bytes;  // at most 20,000 x 8 GiB: no overflow
      if (total_bytes > max_listing_bytes) invalid_metadata();
      entry.sha256 = parse_digest_text(read_string_member(element, "sha256", false));
      if (has_member(element, "download")) entry.download = parse_download(element["download"]);
    }
    entries.push_back(std::move(entry));
  }

  if (full_listing) {
    // A listed file may not stand where another listed path needs a directory.
    for (const std::wstring& folded : folded_paths) {
      for (std::size_t slash = folded.find(L'/'); slash != std::wstring::npos;
           slash = folded.find(L'/', slash + 1)) {
        if (folded_paths.contains(folded.substr(0, slash))) throw_failure(Text::UnsafePath);
      }
    }
  }
  return entries;
}

Release parse_release_manifest(std::string_view manifest_bytes) {
  const JsonDocument document = parse_json_object(manifest_bytes);
  if (read_uint64_member(document, "manifest_version", false) != 1) {
    throw_failure(Text::UnsupportedVersion);
  }
  static constexpr std::pair<const char*, const char*> required_targets[] = {
      {"platform", "windows"}, {"architecture", "x86_64"}, {"channel", "stable"}};
  for (const auto& [member, expected] : required_targets) {
    if (read_string_member(document, member, false) != expected) {
      throw_failure(Text::UnsupportedVersion);
    }
  }
  Release release;
  release.release_id = read_string_member(document, "release_id", false);
  release.version = read_string_member(document, "version", false);
  release.build = read_uint64_member(document, "build", false);
  if (release.release_id.empty() || release.release_id.size() > max_release_text_bytes ||
      release.version.size() > max_release_text_bytes || release.build == 0) {
    invalid_metadata();
  }
  release.files = parse_file_list(require_member(document, "files"), true);
  return release;
}

Package parse_package_response(std::string_view response_text, std::span<const TrustedKey> keys) {
  const JsonDocument response = parse_json_object(response_text);
  const std::string release_bytes =
      verify_signed_blob(response, "target_release_manifest_base64url",
                         "target_release_manifest_sha256", "target_release_signature", keys);
  const std::string manifest_bytes =
      verify_signed_blob(response, "manifest_base64url", "manifest_sha256", "signature", keys);

  const JsonDocument manifest = parse_json_object(manifest_bytes);
  Package package;
  package.release = parse_release_manifest(release_bytes);
  package.document_text = std::string(response_text);
  package.package_id = read_string_member(manifest, "package_id", false);
  package.type = read_string_member(manifest, "type", false);
  package.base_release_id = read_string_member(manifest, "base_release_id", true);
  package.base_build = read_uint64_member(manifest, "base_build", true);
  package.patch_algorithm = read_string_member(manifest, "patch_algorithm", true);

  const Release& target = package.release;
  if (read_uint64_member(manifest, "manifest_version", false) != 1 || package.package_id.empty() ||
      package.package_id != read_string_member(response, "package_id", false) ||
      read_string_member(manifest, "target_release_id", false) != target.release_id ||
      read_uint64_member(manifest, "target_build", false) != target.build ||
      parse_digest_text(read_string_member(manifest, "target_manifest_sha256", false)) !=
          sha256_of(release_bytes)) {
    invalid_metadata();
  }

  const bool full = package.type == "full";
  if (full) {
    if (package.base_build != 0 || !package.base_release_id.empty() ||
        !package.patch_algorithm.empty()) {
      invalid_metadata();
    }
  } else if (package.type == "delta") {
    if (package.base_build == 0 || package.base_build >= target.build ||
        package.base_release_id.empty()) {
      invalid_metadata();
    }
  } else {
    throw_failure(Text::UnsupportedPackageFormat);
  }

  package.files = parse_file_list(require_member(manifest, "files"), full);

  if (has_member(manifest, "archive")) {
    const JsonValue& archive = require_object_member(manifest, "archive");
    if (read_string_member(archive, "format", false) != "zip-v1") {
      throw_failure(Text::UnsupportedPackageFormat);
    }
    PackageArchive result;
    result.download = parse_download(require_member(archive, "download"));
    result.size_bytes = read_uint64_member(archive, "size_bytes", false);
    result.sha256 = parse_digest_text(read_string_member(archive, "sha256", false));
    if (result.size_bytes == 0 || result.size_bytes > max_archive_bytes) invalid_metadata();
    package.archive = std::move(result);
  }

  const FoldedFileIndex release_index = index_by_folded_path(target.files);
  if (full && package.files.size() != release_index.size()) invalid_metadata();
  for (const FileEntry& entry : package.files) {
    const auto found = release_index.find(fold_case(entry.path));
    if (entry.operation == "delete") {
      if (found != release_index.end()) invalid_metadata();
      continue;
    }
    if (found == release_index.end() || found->second.path != entry.path) {
      throw_failure(Text::DigestMismatch);
    }
    if (entry.operation == "replace" &&
        (found->second.size_bytes != entry.size_bytes || found->second.sha256 != entry.sha256)) {
      throw_failure(Text::DigestMismatch);
    }
    if (!entry.download && !package.archive) invalid_metadata();
  }
  return package;
}

Release load_release_envelope(std::string_view stored_text, std::span<const TrustedKey> keys) {
  const JsonDocument stored = parse_json_object(stored_text);
  return parse_release_manifest(verify_signed_blob(stored, "target_release_manifest_base64url",
                                                   "target_release_manifest_sha256",
                                                   "target_release_signature", keys));
}

}  // namespace zyr::update
