// Stand-in for the Win32 file operations in the Linux build, where hashing runs under the
// sanitizers and is measured against other tools. Paths are host paths here; a file is
// opened without following a final link, and anything but a regular file is refused.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "common/encoding.h"
#include "common/failure.h"
#include "install/file_digest.h"
#include "install/file_operations.h"

namespace zyr::update {
namespace {

class ScopedDescriptor {
 public:
  explicit ScopedDescriptor(int descriptor) : descriptor_(descriptor) {}
  ScopedDescriptor(const ScopedDescriptor&) = delete;
  ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
  ~ScopedDescriptor() {
    if (descriptor_ >= 0) {
      close(descriptor_);
    }
  }
  int get() const { return descriptor_; }

 private:
  int descriptor_;
};

[[noreturn]] void throw_errno(Text code, const std::wstring& path) {
  throw_failure(code, with_error_code(path, static_cast<std::uint32_t>(errno)));
}

}  // namespace

Digest sha256_of_file(const std::wstring& path, const Context& context,
                      std::uint64_t expected_size) {
  const ScopedDescriptor file(open(to_utf8(path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (file.get() < 0) {
    if (errno == ELOOP) {
      throw_failure(Text::UnsafePath, path);
    }
    throw_errno(Text::FileOperationFailed, path);
  }
  struct stat status = {};
  if (fstat(file.get(), &status) != 0) {
    throw_errno(Text::FileOperationFailed, path);
  }
  if (!S_ISREG(status.st_mode)) {
    throw_failure(Text::UnsafePath, path);
  }
  std::optional<std::uint64_t> file_size;
  if (status.st_size >= 0) {
    file_size = static_cast<std::uint64_t>(status.st_size);
  }
  return sha256_of_open_file(
      path, context, expected_size, file_size, [&](std::span<std::uint8_t> buffer) -> std::size_t {
        const ssize_t read_count = read(file.get(), buffer.data(), buffer.size());
        if (read_count < 0) {
          throw_errno(Text::FileOperationFailed, path);
        }
        return static_cast<std::size_t>(read_count);
      });
}

}  // namespace zyr::update
