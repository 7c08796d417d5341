#include <chrono>
#include <vector>

#include "common/failure.h"
#include "common/windows_api.h"

#include <tlhelp32.h>  // after windows.h, which it needs
#include "install/client_detection.h"
#include "install/file_operations.h"
#include "install/layout.h"
#include "install/local_path.h"

namespace zyr::update {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kClientExitWait = 10s;
constexpr DWORD kClientExitPollMs = 20;
constexpr auto kPoliteCloseWait = 10s;
constexpr DWORD kPoliteClosePollMs = 50;
constexpr DWORD kPoliteCloseSleepMs = 10;
constexpr DWORD kTerminationWaitMs = 10000;
constexpr UINT kForcedExitCode = 1067;
constexpr DWORD kImageNameCapacity = 32768;

bool is_signalled(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

// Whether the process `process_id`, named ZYR_Shell.exe, runs the image `expected`.
bool runs_image(DWORD process_id, const std::wstring& expected) {
  const ScopedKernelHandle process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  if (!process) {
    return true;  // cannot be inspected: may well be ours
  }
  std::vector<wchar_t> image(kImageNameCapacity);
  DWORD length = kImageNameCapacity;
  if (!QueryFullProcessImageNameW(process.get(), 0, image.data(), &length)) {
    return true;
  }
  return equals_ascii_case_insensitive(std::wstring_view(image.data(), length), expected);
}

HWND find_close_target(DWORD process_id) {
  ClientWindowSearch search;
  search.process_id = process_id;
  EnumWindows(find_client_window, reinterpret_cast<LPARAM>(&search));
  return search.visible_window != nullptr ? search.visible_window : search.first_window;
}

}  // namespace

bool has_launch_transaction(const std::wstring& installation) {
  return is_regular_file(launch_transaction_path(installation));
}

bool is_client_running(const std::wstring& installation) {
  // The snapshot call reports failure as INVALID_HANDLE_VALUE, not null.
  const HANDLE raw_snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (raw_snapshot == INVALID_HANDLE_VALUE) {
    throw_last_error(Text::FileOperationFailed);
  }
  const ScopedKernelHandle snapshot(raw_snapshot);
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  if (!Process32FirstW(snapshot.get(), &entry)) {
    throw_last_error(Text::FileOperationFailed);
  }
  const std::wstring expected = client_executable_path(installation);
  do {
    if (equals_ascii_case_insensitive(entry.szExeFile, kClientFileName) &&
        runs_image(entry.th32ProcessID, expected)) {
      return true;
    }
  } while (Process32NextW(snapshot.get(), &entry));
  return false;
}

void wait_for_client_exit(const std::wstring& installation) {
  const auto deadline = Clock::now() + kClientExitWait;
  while (is_client_running(installation)) {
    if (Clock::now() >= deadline) {
      throw_failure(Text::ClientStillRunning);
    }
    Sleep(kClientExitPollMs);
  }
}

void close_client_process(ScopedKernelHandle& process) {
  if (!process) {
    return;
  }
  if (!is_signalled(process.get())) {
    const DWORD process_id = GetProcessId(process.get());
    if (process_id == 0) {
      throw_last_error(Text::ClientStillRunning);
    }
    const auto deadline = Clock::now() + kPoliteCloseWait;
    bool posted = false;
    while (true) {
      if (Clock::now() >= deadline) {
        if (!is_signalled(process.get()) && !TerminateProcess(process.get(), kForcedExitCode) &&
            GetLastError() != ERROR_ACCESS_DENIED) {
          throw_last_error(Text::ClientStillRunning);
        }
        if (WaitForSingleObject(process.get(), kTerminationWaitMs) != WAIT_OBJECT_0) {
          throw_failure(Text::ClientStillRunning);
        }
        break;
      }
      if (!posted) {
        // A client may not have created its window yet; the search is repeated each pass.
        if (const HWND target = find_close_target(process_id)) {
          PostMessageW(target, WM_CLOSE, 0, 0);
          posted = true;
        }
      }
      if (WaitForSingleObject(process.get(), kPoliteClosePollMs) == WAIT_OBJECT_0) {
        break;
      }
      Sleep(kPoliteCloseSleepMs);
    }
  }
  process.reset();
}

BOOL CALLBACK find_client_window(HWND window, LPARAM search_pointer) {
  auto& search = *reinterpret_cast<ClientWindowSearch*>(search_pointer);
  DWORD process_id = 0;
  if (GetWindowThreadProcessId(window, &process_id) == 0 || process_id != search.process_id) {
    return TRUE;
  }
  if (GetWindow(window, GW_OWNER) != nullptr) {
    return TRUE;
  }
  if (search.first_window == nullptr) {
    search.first_window = window;
  }
  if (IsWindowVisible(window)) {
    search.visible_window = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace zyr::update
