#include "install/file_digest.h"

#include <memory>

#include "common/failure.h"
#include "common/sha256.h"
#include "install/file_operations.h"

namespace zyr::update {

Digest sha256_of_open_file(const std::wstring& path, const Context& context,
                           std::uint64_t expected_size, std::optional<std::uint64_t> file_size,
                           const std::function<std::size_t(std::span<std::uint8_t>)>& read_block) {
  if (!file_size || *file_size != expected_size || expected_size > kMaxFileSize) {
    throw_failure(Text::DigestMismatch, path);
  }
  Sha256 hash;
  const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kFileBlockSize);
  std::uint64_t total = 0;
  while (true) {
    throw_if_cancelled(context);
    const std::size_t read = read_block(std::span<std::uint8_t>(buffer.get(), kFileBlockSize));
    if (read == 0) {
      break;
    }
    total += read;
    if (total > expected_size) {
      throw_failure(Text::DigestMismatch, path);
    }
    hash.update(std::span<const std::uint8_t>(buffer.get(), read));
  }
  if (total != expected_size) {
    throw_failure(Text::DigestMismatch, path);
  }
  return hash.finish();
}

}  // namespace zyr::update
