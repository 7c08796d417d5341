// Releases and packages as the update service describes them, and their conversion from
// the signed get-package document. Every record here comes from a verified signature.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/digest.h"
#include "common/json.h"
#include "update/transport.h"

namespace zyr::update {

// A release-signing public key the launcher accepts, under the name the service uses.
struct TrustedKey {
  std::string key_id;
  std::vector<std::uint8_t> public_key;  // raw Ed25519, 32 bytes
};

// The built-in list: the release-signing key of this build under "client-release-key-1".
std::vector<TrustedKey> trusted_keys();

struct FileEntry {
  std::string path;                   // update path, "/"-separated UTF-8
  std::string operation = "replace";  // "replace", "delete" or "patch"
  std::uint64_t size_bytes = 0;
  Digest sha256{};
  std::optional<Download> download;
};

struct Release {
  std::string release_id;
  std::string version;
  std::uint64_t build = 0;
  std::vector<FileEntry> files;  // manifest order, all "replace"
};

struct PackageArchive {
  Download download;
  std::uint64_t size_bytes = 0;
  Digest sha256{};
};

struct Package {
  std::string package_id;
  std::string type;  // "full" or "delta"
  std::string base_release_id;
  std::string patch_algorithm;
  std::string document_text;  // the get-package response exactly as received
  std::uint64_t base_build = 0;
  Release release;  // the target release
  std::vector<FileEntry> files;
  std::optional<PackageArchive> archive;
};

// Entries keyed by the case-folded form of their path; the first of two that fold alike wins.
using FoldedFileIndex = std::map<std::wstring, FileEntry>;
FoldedFileIndex index_by_folded_path(const std::vector<FileEntry>& files);

// Release manifest bytes (already verified) to a Release.
Release parse_release_manifest(std::string_view manifest_bytes);

// A "files" array. A full listing names every file of a release: only "replace", at least
// one entry, and no file standing where another needs a directory.
std::vector<FileEntry> parse_file_list(const JsonValue& files, bool full_listing);

Download parse_download(const JsonValue& descriptor);

// Verifies both signatures of a get-package response and every rule that ties the package
// to its target release.
Package parse_package_response(std::string_view response_text, std::span<const TrustedKey> keys);

// The target release of a stored get-package response; only its release members are read.
Release load_release_envelope(std::string_view stored_text, std::span<const TrustedKey> keys);

}  // namespace zyr::update
