// Every file the launcher reads, writes, copies or deletes goes through these operations.
// Each refuses reparse points on its path immediately before acting, never follows a link,
// never takes a directory for a file, and throws Failure naming the path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/context.h"
#include "common/digest.h"

namespace zyr::update {

// The largest file that is copied or hashed: 8 GiB, inclusive.
inline constexpr std::uint64_t kMaxFileSize = 0x200000000;
// The limit for every JSON file the launcher reads.
inline constexpr std::uint64_t kMaxJsonFileSize = 32 * 1024 * 1024;

// True when the path exists and is not a directory.
bool is_regular_file(const std::wstring& path);

// Creates the directory and every missing ancestor.
void create_directories_checked(const std::wstring& path);

// Writes `bytes` to "<path>.tmp", flushes it and moves it over `path` with write-through,
// so that a reader sees the old or the new content, never a mixture.
void write_file_atomically(const std::wstring& path, std::string_view bytes);

// The whole file; a file larger than `limit` is refused (Text::InvalidMetadata) before any
// memory is allocated for it.
std::string read_file_limited(const std::wstring& path, std::uint64_t limit);

// Copies in blocks, observing cancellation before each block, and flushes the destination.
// A failed or cancelled copy leaves a partial destination behind.
void copy_file_flushed(const std::wstring& source, const std::wstring& destination,
                       const Context& context);

// Missing files and missing directories count as deleted.
void delete_file_if_present(const std::wstring& path);

// The SHA-256 of the file's content, which must be exactly `expected_size` bytes long
// (Text::DigestMismatch otherwise; the size is checked before hashing and while reading).
Digest sha256_of_file(const std::wstring& path, const Context& context,
                      std::uint64_t expected_size);

}  // namespace zyr::update
