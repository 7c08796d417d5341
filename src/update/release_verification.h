// Checks files on disk against a release: size first, then SHA-256.
#pragma once

#include <string>

#include "common/context.h"
#include "update/release_manifest.h"

namespace zyr::update {

// Throws Failure(Text::DigestMismatch, path) unless the file at `path` has the entry's size
// and digest.
void verify_file(const std::wstring& path, const FileEntry& entry, const Context& context);

// Every file of `release` below `directory`, in manifest order, with progress per file.
void verify_release_files(const std::wstring& directory, const Release& release,
                          const Context& context);

}  // namespace zyr::update
