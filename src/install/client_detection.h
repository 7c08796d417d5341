// What the launcher knows about a running client ZYR_Shell.exe besides starting it: whether
// one of this installation runs, whether it left a launch transaction, and how to close the
// one the launcher started. Windows only.
#pragma once

#include <cstdint>
#include <string>

#include "common/scoped_handle.h"

namespace zyr::update {

// True when the client left a relaunch request (`.update\launch.transaction`).
bool has_launch_transaction(const std::wstring& installation);

// True when a process whose image is this installation's ZYR_Shell.exe runs. A
// ZYR_Shell.exe that cannot be inspected counts as this installation's. Throws
// Text::FileOperationFailed only when the process list cannot be read.
bool is_client_running(const std::wstring& installation);

// Returns once no client of the installation runs; Text::ClientStillRunning after 10 s.
void wait_for_client_exit(const std::wstring& installation);

// Posts WM_CLOSE to the client's main window once one exists, and terminates the client with
// exit code 1067 when it has not exited 10 s after the call began. Returns with `process`
// closed and empty; an empty handle returns at once.
void close_client_process(ScopedKernelHandle& process);

// The window search of close_client_process: the first visible top-level window without an
// owner of the process, or else the first such window at all.
struct ClientWindowSearch {
  std::uint32_t process_id = 0;
  HWND visible_window = nullptr;
  HWND first_window = nullptr;
};

// EnumWindows callback; `search` points to a ClientWindowSearch.
BOOL CALLBACK find_client_window(HWND window, LPARAM search);

}  // namespace zyr::update
