// Turns a verified package into a complete, checked copy of its target release in the job
// directory (`staging`), next to the verbatim get-package response (`package.json`). The
// installed files are only read, never changed.
#pragma once

#include <optional>
#include <string>

#include "common/context.h"
#include "update/release_manifest.h"
#include "update/transport.h"

namespace zyr::update {

// `current` is the trusted installed release, if any; a delta package needs it as its base.
// The context's byte progress callback is borrowed while files download and is always put
// back, also when this throws.
void prepare_package(const Package& package, const std::optional<Release>& current,
                     const std::wstring& installation_directory, const std::wstring& job_directory,
                     Transport& transport, Context& context);

// Extracts the package's files from its downloaded zip archive into `staging_directory`.
// Every entry must be a plain file or directory the package lists with the same size; the
// files are streamed into newly created files.
void extract_package_zip(const Package& package, const std::wstring& archive_path,
                         const std::wstring& staging_directory, const Context& context);

}  // namespace zyr::update
