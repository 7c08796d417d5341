#include <share.h>

#include <algorithm>

#include "common/failure.h"
#include "common/scoped_handle.h"
#include "common/windows_api.h"
#include "install/path_rules.h"
#include "update/package_zip_files.h"

namespace zyr::update {
namespace {

constexpr std::size_t max_write_piece = 262'144;

class Win32StagedFile final : public NewStagedFile {
 public:
  Win32StagedFile(std::wstring path, ScopedFileHandle file)
      : path_(std::move(path)), file_(std::move(file)) {}

  void write(std::span<const std::uint8_t> bytes) override {
    while (!bytes.empty()) {
      const DWORD piece = static_cast<DWORD>(std::min(bytes.size(), max_write_piece));
      DWORD written = 0;
      if (!WriteFile(file_.get(), bytes.data(), piece, &written, nullptr) || written == 0) {
        throw_last_error(Text::FileOperationFailed, path_);
      }
      bytes = bytes.subspan(written);
    }
  }

  void finish() override {
    if (!FlushFileBuffers(file_.get())) throw_last_error(Text::FileOperationFailed, path_);
    file_.reset();
  }

 private:
  std::wstring path_;
  ScopedFileHandle file_;
};

}  // namespace

std::FILE* open_archive_denying_writes(const std::wstring& path) {
  ensure_no_reparse_points(path);
  std::FILE* file = _wfsopen(path.c_str(), L"rb", _SH_DENYWR);
  if (file == nullptr) throw_failure(Text::FileOperationFailed, path);
  return file;
}

std::unique_ptr<NewStagedFile> create_new_staged_file(const std::wstring& path) {
  ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw_last_error(Text::FileOperationFailed, path);
  return std::make_unique<Win32StagedFile>(path, std::move(file));
}

}  // namespace zyr::update
