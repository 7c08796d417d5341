// The hashing loop of sha256_of_file, shared by the Windows implementation and the native
// stand-in; they differ only in how the file is opened, measured and read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "common/context.h"
#include "common/digest.h"

namespace zyr::update {

inline constexpr std::size_t kFileBlockSize = 256 * 1024;

// Hashes what `read_block` delivers (0 at the end of the file) through one 256 KiB buffer.
// `file_size` is what the open file reported, empty when it could not be queried; it and the
// bytes actually read must both be `expected_size` (Text::DigestMismatch with `path`).
Digest sha256_of_open_file(const std::wstring& path, const Context& context,
                           std::uint64_t expected_size, std::optional<std::uint64_t> file_size,
                           const std::function<std::size_t(std::span<std::uint8_t>)>& read_block);

}  // namespace zyr::update
