// The installation's fixed names and the paths of the `.update` tree. Every path is composed
// here from the installation directory, so no caller spells a name of its own.
#pragma once

#include <string>

namespace zyr::update {

inline constexpr wchar_t kLauncherFileName[] = L"ZYR_ENGINE.exe";
inline constexpr wchar_t kClientFileName[] = L"ZYR_Shell.exe";
inline constexpr wchar_t kInstallFolderName[] = L"ZYR_ENGINE";
inline constexpr wchar_t kTemporarySuffix[] = L".tmp";

// The launcher's own entry in a release, in its case-folded form.
inline constexpr wchar_t kFoldedLauncherUpdatePath[] = L"ZYR_ENGINE.EXE";

std::wstring update_directory(const std::wstring& installation);
std::wstring lock_file_path(const std::wstring& installation);
std::wstring installed_record_path(const std::wstring& installation);
std::wstring launch_transaction_path(const std::wstring& installation);
std::wstring helper_directory(const std::wstring& installation);
std::wstring helper_executable_path(const std::wstring& installation);
std::wstring job_directory(const std::wstring& installation);
std::wstring job_package_path(const std::wstring& installation);
std::wstring job_downloads_directory(const std::wstring& installation);
std::wstring job_staging_directory(const std::wstring& installation);
std::wstring job_backup_directory(const std::wstring& installation);
std::wstring job_installed_old_record_path(const std::wstring& installation);
std::wstring job_journal_path(const std::wstring& installation);

std::wstring launcher_executable_path(const std::wstring& installation);
std::wstring client_executable_path(const std::wstring& installation);

// The temporary of an atomic write: the full file name followed by ".tmp".
std::wstring temporary_path_of(const std::wstring& path);

// Full path of the running executable.
std::wstring module_path();

}  // namespace zyr::update
