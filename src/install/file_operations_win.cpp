#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <optional>

#include "common/failure.h"
#include "common/scoped_handle.h"
#include "common/windows_api.h"
#include "install/file_digest.h"
#include "install/file_handles.h"
#include "install/file_operations.h"
#include "install/layout.h"
#include "install/local_path.h"
#include "install/path_rules.h"

namespace zyr::update {
namespace {

constexpr DWORD kBlockSize = kFileBlockSize;
constexpr std::size_t kMaxWriteBlock = 1024 * 1024;
constexpr std::size_t kCopyBufferAlignment = 32;

bool is_directory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

struct AlignedFree {
  void operator()(std::byte* memory) const {
    ::operator delete[](memory, std::align_val_t{kCopyBufferAlignment});
  }
};

std::unique_ptr<std::byte[], AlignedFree> allocate_copy_buffer() {
  return std::unique_ptr<std::byte[], AlignedFree>(static_cast<std::byte*>(
      ::operator new[](kBlockSize, std::align_val_t{kCopyBufferAlignment})));
}

// Reads up to one block; 0 at the end of the file.
DWORD read_block(HANDLE file, void* buffer, DWORD size, const std::wstring& path) {
  DWORD read = 0;
  if (!ReadFile(file, buffer, size, &read, nullptr)) {
    throw_last_error(Text::FileOperationFailed, path);
  }
  return read;
}

}  // namespace

bool is_regular_file(const std::wstring& path) {
  ensure_no_reparse_points(path);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void create_directories_checked(const std::wstring& path) {
  ensure_no_reparse_points(path);
  const std::vector<std::wstring> prefixes = path_prefixes(make_absolute(path));
  // The first prefixes are the root name and the root, which are not created.
  const std::size_t first_created = prefixes.front().back() == L'\\' ? 1 : 2;
  for (std::size_t i = first_created; i < prefixes.size(); ++i) {
    const std::wstring& directory = prefixes[i];
    if (is_directory(directory)) {
      continue;
    }
    if (!CreateDirectoryW(directory.c_str(), nullptr) &&
        !(GetLastError() == ERROR_ALREADY_EXISTS && is_directory(directory))) {
      throw_failure(Text::FileOperationFailed, path);
    }
  }
  ensure_no_reparse_points(path);
}

ScopedFileHandle open_for_read(const std::wstring& path) {
  ensure_no_reparse_points(path);
  ScopedFileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                  FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) {
    // Without backup semantics a directory cannot be opened at all; it is refused as the
    // wrong kind of file rather than reported as an access problem.
    if (GetLastError() == ERROR_ACCESS_DENIED && is_directory(path)) {
      throw_failure(Text::UnsafePath, path);
    }
    throw_last_error(Text::FileOperationFailed, path);
  }
  BY_HANDLE_FILE_INFORMATION information = {};
  if (!GetFileInformationByHandle(file.get(), &information)) {
    throw_last_error(Text::FileOperationFailed, path);
  }
  if ((information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
      0) {
    throw_failure(Text::UnsafePath, path);
  }
  return file;
}

ScopedFileHandle open_for_write(const std::wstring& path) {
  const std::wstring parent = parent_path(path);
  if (!parent.empty()) {
    create_directories_checked(parent);
  }
  ensure_no_reparse_points(path);
  ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    throw_last_error(Text::FileOperationFailed, path);
  }
  return file;
}

void write_fully(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD block = static_cast<DWORD>(std::min(bytes.size(), kMaxWriteBlock));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), block, &written, nullptr) || written == 0) {
      throw_last_error(Text::FileOperationFailed);
    }
    bytes.remove_prefix(written);
  }
}

void write_file_atomically(const std::wstring& path, std::string_view bytes) {
  const std::wstring temporary = temporary_path_of(path);
  {
    ScopedFileHandle file = open_for_write(temporary);
    write_fully(file.get(), bytes);
    if (!FlushFileBuffers(file.get())) {
      throw_last_error(Text::FileOperationFailed, temporary);
    }
  }
  ensure_no_reparse_points(path);
  if (!MoveFileExW(temporary.c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    throw_last_error(Text::FileOperationFailed, path);
  }
}

std::string read_file_limited(const std::wstring& path, std::uint64_t limit) {
  const ScopedFileHandle file = open_for_read(path);
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
      static_cast<std::uint64_t>(size.QuadPart) > limit) {
    throw_failure(Text::InvalidMetadata, path);
  }
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const DWORD wanted =
        static_cast<DWORD>(std::min<std::size_t>(bytes.size() - filled, kBlockSize));
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data() + filled, wanted, &read, nullptr)) {
      throw_last_error(Text::FileOperationFailed, path);
    }
    if (read == 0) {
      // The file shrank while it was read.
      SetLastError(ERROR_HANDLE_EOF);
      throw_last_error(Text::FileOperationFailed, path);
    }
    filled += read;
  }
  return bytes;
}

void copy_file_flushed(const std::wstring& source, const std::wstring& destination,
                       const Context& context) {
  const ScopedFileHandle input = open_for_read(source);
  const ScopedFileHandle output = open_for_write(destination);
  const auto buffer = allocate_copy_buffer();
  std::uint64_t total = 0;
  while (true) {
    throw_if_cancelled(context);
    const DWORD read = read_block(input.get(), buffer.get(), kBlockSize, source);
    if (read == 0) {
      break;
    }
    total += read;
    if (total > kMaxFileSize) {
      throw_failure(Text::InvalidMetadata, source);
    }
    write_fully(output.get(), std::string_view(reinterpret_cast<const char*>(buffer.get()), read));
  }
  if (!FlushFileBuffers(output.get())) {
    throw_last_error(Text::FileOperationFailed, destination);
  }
}

void delete_file_if_present(const std::wstring& path) {
  ensure_no_reparse_points(path);
  if (!DeleteFileW(path.c_str())) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      throw_last_error(Text::FileOperationFailed, path);
    }
  }
}

Digest sha256_of_file(const std::wstring& path, const Context& context,
                      std::uint64_t expected_size) {
  const ScopedFileHandle file = open_for_read(path);
  LARGE_INTEGER size = {};
  std::optional<std::uint64_t> file_size;
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart >= 0) {
    file_size = static_cast<std::uint64_t>(size.QuadPart);
  }
  return sha256_of_open_file(
      path, context, expected_size, file_size, [&](std::span<std::uint8_t> buffer) -> std::size_t {
        return read_block(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), path);
      });
}

}  // namespace zyr::update
