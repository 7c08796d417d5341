#include "launch/child_processes.h"

#include <gtest/gtest.h>

#include <atomic>

namespace zyr::update::testing {

ScratchFolder::ScratchFolder() {
  static std::atomic<int> counter{0};
  path_ =
      std::filesystem::temp_directory_path() /
      (L"zyr-launch-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path test_program_folder() {
  std::wstring buffer(32768, L'\0');
  const DWORD length =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  buffer.resize(length);
  return std::filesystem::path(buffer).parent_path();
}

std::filesystem::path copy_program(const std::wstring& program, const std::filesystem::path& folder,
                                   const std::wstring& name) {
  const auto target = folder / name;
  std::filesystem::copy_file(test_program_folder() / program, target,
                             std::filesystem::copy_options::overwrite_existing);
  return target;
}

StartedProcess start_process(const std::filesystem::path& executable) {
  std::wstring command_line = L"\"" + executable.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION information{};
  if (!CreateProcessW(executable.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &information)) {
    ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
    return {};
  }
  CloseHandle(information.hThread);
  StartedProcess started;
  started.process.reset(information.hProcess);
  started.id = information.dwProcessId;
  return started;
}

DWORD exit_code_after(HANDLE process, DWORD timeout_ms) {
  WaitForSingleObject(process, timeout_ms);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return code;
}

}  // namespace zyr::update::testing
