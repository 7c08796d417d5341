#include "install/layout.h"

#include "install/local_path.h"

namespace zyr::update {

std::wstring update_directory(const std::wstring& installation) {
  return join_path(installation, L".update");
}

std::wstring lock_file_path(const std::wstring& installation) {
  return join_path(update_directory(installation), L"launcher.lock");
}

std::wstring installed_record_path(const std::wstring& installation) {
  return join_path(update_directory(installation), L"installed.json");
}

std::wstring launch_transaction_path(const std::wstring& installation) {
  return join_path(update_directory(installation), L"launch.transaction");
}

std::wstring helper_directory(const std::wstring& installation) {
  return join_path(update_directory(installation), L"helper");
}

std::wstring helper_executable_path(const std::wstring& installation) {
  return join_path(helper_directory(installation), L"ZYR_ENGINE.apply.exe");
}

std::wstring job_directory(const std::wstring& installation) {
  return join_path(update_directory(installation), L"job");
}

std::wstring job_package_path(const std::wstring& installation) {
  return join_path(job_directory(installation), L"package.json");
}

std::wstring job_downloads_directory(const std::wstring& installation) {
  return join_path(job_directory(installation), L"downloads");
}

std::wstring job_staging_directory(const std::wstring& installation) {
  return join_path(job_directory(installation), L"staging");
}

std::wstring job_backup_directory(const std::wstring& installation) {
  return join_path(job_directory(installation), L"backup");
}

std::wstring job_installed_old_record_path(const std::wstring& installation) {
  return join_path(job_directory(installation), L"installed.old.json");
}

std::wstring job_journal_path(const std::wstring& installation) {
  return join_path(job_directory(installation), L"transaction.json");
}

std::wstring launcher_executable_path(const std::wstring& installation) {
  return join_path(installation, kLauncherFileName);
}

std::wstring client_executable_path(const std::wstring& installation) {
  return join_path(installation, kClientFileName);
}

std::wstring temporary_path_of(const std::wstring& path) { return path + kTemporarySuffix; }

}  // namespace zyr::update
