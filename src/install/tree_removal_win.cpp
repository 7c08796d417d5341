#include <filesystem>

#include "common/failure.h"
#include "common/scoped_handle.h"
#include "common/windows_api.h"
#include "install/layout.h"
#include "install/local_path.h"
#include "install/path_rules.h"
#include "install/tree_removal.h"

namespace zyr::update {
namespace {

namespace fs = std::filesystem;

constexpr int kRemovalAttempts = 10;
constexpr DWORD kPauseBetweenAttemptsMs = 50;

bool is_strictly_inside(const std::wstring& path, const std::wstring& directory) {
  return path.size() > directory.size() + 1 && path[directory.size()] == L'\\' &&
         equals_ascii_case_insensitive(std::wstring_view(path).substr(0, directory.size()),
                                       directory);
}

// Refuses the removal before anything is deleted when any entry below `root` is a link.
void ensure_tree_has_no_reparse_points(const std::wstring& root) {
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    ensure_no_reparse_points(entry.path().wstring());
  }
}

// One pass of deleting `directory` with its content. Never descends into a reparse point:
// one that appeared after the check stops the removal. False when something remained.
bool delete_tree_once(const std::wstring& directory) {
  WIN32_FIND_DATAW entry = {};
  ScopedFindHandle search(FindFirstFileW(join_path(directory, L"*").c_str(), &entry));
  bool complete = true;
  if (search) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") {
        continue;
      }
      const std::wstring path = join_path(directory, name);
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        throw_failure(Text::UnsafePath, path);
      }
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        complete = delete_tree_once(path) && complete;
      } else {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
          SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        complete = DeleteFileW(path.c_str()) && complete;
      }
    } while (FindNextFileW(search.get(), &entry));
  }
  search.reset();
  return RemoveDirectoryW(directory.c_str()) && complete;
}

void delete_tree_with_retries(const std::wstring& directory) {
  for (int attempt = 1; attempt <= kRemovalAttempts; ++attempt) {
    if (delete_tree_once(directory)) {
      return;
    }
    if (GetFileAttributesW(directory.c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND) {
      return;
    }
    if (attempt < kRemovalAttempts) {
      Sleep(kPauseBetweenAttemptsMs);
    }
  }
  throw_failure(Text::FileOperationFailed, directory);
}

}  // namespace

void remove_update_subtree(const std::wstring& installation, const std::wstring& target) {
  const std::wstring update = make_absolute(update_directory(installation));
  const std::wstring absolute_target = make_absolute(target);
  if (!is_strictly_inside(absolute_target, update)) {
    throw_failure(Text::UnsafePath, absolute_target);
  }
  ensure_no_reparse_points(absolute_target);
  if (!fs::exists(fs::symlink_status(absolute_target))) {
    return;
  }
  ensure_tree_has_no_reparse_points(absolute_target);
  delete_tree_with_retries(absolute_target);
}

void remove_empty_directory_tree(const std::wstring& path) {
  ensure_no_reparse_points(path);
  if (!fs::is_directory(fs::status(path))) {
    return;
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
    const std::wstring child = entry.path().wstring();
    ensure_no_reparse_points(child);
    if (!fs::is_directory(fs::status(child))) {
      throw_failure(Text::FileOperationFailed, path);
    }
    remove_empty_directory_tree(child);
  }
  if (!RemoveDirectoryW(path.c_str())) {
    throw_failure(Text::FileOperationFailed, path);
  }
}

void remove_installer_update_dir(const std::wstring& installer) {
  const std::wstring update = update_directory(parent_path(installer));
  ensure_no_reparse_points(update);
  const DWORD attributes = GetFileAttributesW(update.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    switch (GetLastError()) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
      case ERROR_BAD_NETPATH:
      case ERROR_NETNAME_DELETED:
      case ERROR_INVALID_NAME:
      case ERROR_DIRECTORY:
        return;
      default:
        throw_failure(Text::FileOperationFailed, update);
    }
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    throw_failure(Text::UnsafePath, update);
  }
  ensure_tree_has_no_reparse_points(update);
  delete_tree_with_retries(update);
}

}  // namespace zyr::update
