// The two file operations archive extraction needs from the platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace zyr::update {

// Opens the downloaded archive for reading in binary mode while denying write access to
// others, after checking the path for reparse points. Throws
// Failure(Text::FileOperationFailed, path) when it cannot.
std::FILE* open_archive_denying_writes(const std::wstring& path);

// A file created new (never opened over an existing one) and written without sharing.
class NewStagedFile {
 public:
  virtual ~NewStagedFile() = default;
  // Writes all of `bytes` in pieces of at most 256 KiB.
  virtual void write(std::span<const std::uint8_t> bytes) = 0;
  // Flushes to disk and closes.
  virtual void finish() = 0;
};

std::unique_ptr<NewStagedFile> create_new_staged_file(const std::wstring& path);

}  // namespace zyr::update
