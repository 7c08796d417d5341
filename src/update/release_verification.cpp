#include "update/release_verification.h"

#include "common/encoding.h"
#include "common/failure.h"
#include "install/file_operations.h"
#include "install/path_rules.h"

namespace zyr::update {

void verify_file(const std::wstring& path, const FileEntry& entry, const Context& context) {
  if (context.progress) context.progress(Text::VerifyingFiles, 0, 0, to_utf16(entry.path));
  if (sha256_of_file(path, context, entry.size_bytes) != entry.sha256) {
    throw_failure(Text::DigestMismatch, path);
  }
}

void verify_release_files(const std::wstring& directory, const Release& release,
                          const Context& context) {
  const std::size_t count = release.files.size();
  for (std::size_t index = 0; index < count; ++index) {
    throw_if_cancelled(context);
    const FileEntry& entry = release.files[index];
    verify_file(resolve_update_path(directory, entry.path), entry, context);
    if (context.progress) {
      context.progress(Text::VerifyingFiles, index + 1, count, to_utf16(entry.path));
    }
  }
}

}  // namespace zyr::update
