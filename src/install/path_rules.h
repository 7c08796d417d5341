// The two rules every path passes before the launcher touches the file system: update paths
// from the service must be plain relative paths that stay out of the protected folders, and
// no existing component of a local path may be a reparse point.
#pragma once

#include <string>
#include <string_view>

namespace zyr::update {

// UTF-8 text converted to UTF-16 and upper-cased in the invariant locale; the identity of an
// update path. The result has as many code units as the converted input.
std::wstring fold_case(std::string_view utf8);

// Throws Failure (Text::UnsafePath or Text::InvalidMetadata) when `update_path` is not a
// plain, portable, non-reserved relative path outside the protected top-level folders.
void validate_update_path(std::string_view update_path);

// The local path of `update_path` below `base`, validated and checked for reparse points.
std::wstring resolve_update_path(const std::wstring& base, std::string_view update_path);

// Throws Failure when an existing component of `path` (made absolute against the current
// directory) is a reparse point (Text::UnsafePath) or cannot be examined
// (Text::FileOperationFailed).
void ensure_no_reparse_points(const std::wstring& path);

}  // namespace zyr::update
