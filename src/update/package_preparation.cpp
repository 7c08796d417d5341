#include "update/package_preparation.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <utility>

#include "common/encoding.h"
#include "common/failure.h"
#include "install/file_operations.h"
#include "install/local_path.h"
#include "install/path_rules.h"
#include "update/release_verification.h"

namespace zyr::update {
namespace {

using ByteProgress = decltype(Context::byte_progress);

// Lends the context's byte progress callback to package preparation and gives it back on
// every way out.
class BorrowedByteProgress {
 public:
  BorrowedByteProgress(Context& context, ByteProgress replacement)
      : context_(context), saved_(std::exchange(context.byte_progress, std::move(replacement))) {}
  ~BorrowedByteProgress() { context_.byte_progress = std::move(saved_); }
  BorrowedByteProgress(const BorrowedByteProgress&) = delete;
  BorrowedByteProgress& operator=(const BorrowedByteProgress&) = delete;

 private:
  Context& context_;
  ByteProgress saved_;
};

bool is_accepted_delta_algorithm(const std::string& algorithm) {
  return algorithm == "zip-v1" || algorithm == "replace-v1" || algorithm == "file-replace-v1";
}

std::uint64_t progress_total(const Package& package) {
  if (package.archive) return package.archive->size_bytes;
  std::uint64_t total = 0;
  for (const FileEntry& entry : package.files) {
    if (entry.operation == "delete") continue;
    if (entry.size_bytes > std::numeric_limits<std::uint64_t>::max() - total) {
      throw_failure(Text::InvalidMetadata);
    }
    total += entry.size_bytes;
  }
  return total;
}

}  // namespace

void prepare_package(const Package& package, const std::optional<Release>& current,
                     const std::wstring& installation_directory, const std::wstring& job_directory,
                     Transport& transport, Context& context) {
  const std::wstring staging = join_path(job_directory, L"staging");
  const std::wstring downloads = join_path(job_directory, L"downloads");
  create_directories_checked(staging);
  create_directories_checked(downloads);

  if (package.type == "delta") {
    if (!current || current->release_id != package.base_release_id ||
        current->build != package.base_build) {
      throw_failure(Text::DigestMismatch);
    }
    if (!is_accepted_delta_algorithm(package.patch_algorithm)) {
      throw_failure(Text::UnsupportedPackageFormat);
    }
    verify_release_files(installation_directory, *current, context);
  }

  const FoldedFileIndex package_index = index_by_folded_path(package.files);
  const FoldedFileIndex current_index =
      current ? index_by_folded_path(current->files) : FoldedFileIndex{};

  for (const FileEntry& entry : package.files) {
    if (entry.operation == "patch") throw_failure(Text::UnsupportedPackageFormat);
    if (entry.operation == "delete" && !current_index.contains(fold_case(entry.path))) {
      throw_failure(Text::UnsafePath);
    }
  }

  // Files the package does not bring are carried over from the installation unchanged.
  for (const FileEntry& target : package.release.files) {
    const std::wstring folded = fold_case(target.path);
    if (package_index.contains(folded)) continue;
    const auto installed = current_index.find(folded);
    if (package.type != "delta" || installed == current_index.end() ||
        installed->second.size_bytes != target.size_bytes ||
        installed->second.sha256 != target.sha256) {
      throw_failure(Text::DigestMismatch);
    }
    throw_if_cancelled(context);
    copy_file_flushed(resolve_update_path(installation_directory, target.path),
                      resolve_update_path(staging, target.path), context);
  }

  const std::uint64_t total = progress_total(package);
  std::uint64_t done_before_file = 0;
  std::wstring display_name;
  {
    BorrowedByteProgress borrowed(
        context, [&context, &done_before_file, &display_name, total](
                     std::size_t done_in_file, std::size_t file_total, const std::wstring&) {
          if (context.progress) {
            context.progress(Text::DownloadingUpdate,
                             done_before_file + std::min(done_in_file, file_total), total,
                             display_name);
          }
        });

    if (package.archive) {
      const PackageArchive& archive = *package.archive;
      display_name = L"package.zip";
      const std::wstring archive_path = join_path(downloads, L"package.zip");
      transport.download(archive.download, archive_path, archive.size_bytes, context);
      done_before_file += archive.size_bytes;
      if (sha256_of_file(archive_path, context, archive.size_bytes) != archive.sha256) {
        throw_failure(Text::DigestMismatch);
      }
      extract_package_zip(package, archive_path, staging, context);
    } else {
      for (const FileEntry& entry : package.files) {
        throw_if_cancelled(context);
        if (entry.operation == "delete") continue;
        if (!entry.download) throw_failure(Text::InvalidMetadata);
        display_name = to_utf16(entry.path);
        const std::wstring target = resolve_update_path(staging, entry.path);
        transport.download(*entry.download, target, entry.size_bytes, context);
        done_before_file += entry.size_bytes;
        verify_file(target, entry, context);
      }
    }
  }

  verify_release_files(staging, package.release, context);
  write_file_atomically(join_path(job_directory, L"package.json"), package.document_text);
}

}  // namespace zyr::update
