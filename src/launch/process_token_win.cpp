#include "launch/process_token.h"

#include <string>

#include "launch/launch_log.h"
#include "launch/process_snapshot.h"

namespace zyr::update {
namespace {

// The log is byte text; process names of interest are ASCII.
std::string low_bytes(std::wstring_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (const wchar_t unit : text) {
    narrow.push_back(static_cast<char>(unit & 0xFF));
  }
  return narrow;
}

}  // namespace

bool is_elevated() {
  ScopedKernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
    launch_log("[Launcher] Failed to open process token");
    return false;
  }
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size)) {
    return false;
  }
  if (elevation.TokenIsElevated == 0) {
    return false;
  }
  launch_log("[Launcher] Running as administrator, will downgrade privileges");
  return true;
}

ScopedKernelHandle find_process_token(std::wstring_view image_name) {
  ScopedKernelHandle found;
  const bool listed = for_each_process_named(image_name, [&](std::uint32_t process_id) {
    const ScopedKernelHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
    if (!process) {
      return true;
    }
    ScopedKernelHandle token;
    if (!OpenProcessToken(process.get(), TOKEN_DUPLICATE | TOKEN_IMPERSONATE | TOKEN_QUERY,
                          token.put())) {
      return true;
    }
    launch_log("[Launcher] Found process: " + low_bytes(image_name) +
               " (PID=" + std::to_string(process_id) + ")");
    found = std::move(token);
    return false;
  });
  if (!listed) {
    launch_log("[Launcher] Failed to create process snapshot");
  }
  return found;
}

ScopedKernelHandle duplicate_shell_token() {
  launch_log("[Launcher] Attempting to get low integrity token");
  ScopedKernelHandle shell_token = find_process_token(L"explorer.exe");
  if (!shell_token) {
    launch_log("[Launcher] explorer.exe not found, trying svchost.exe");
    shell_token = find_process_token(L"svchost.exe");
  }
  if (!shell_token) {
    launch_log("[Launcher] Could not find suitable process for token");
    return {};
  }
  ScopedKernelHandle primary;
  if (!DuplicateTokenEx(shell_token.get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification,
                        TokenPrimary, primary.put())) {
    launch_log("[Launcher] Failed to duplicate token: " + std::to_string(GetLastError()));
    return {};
  }
  launch_log("[Launcher] Low integrity token created successfully");
  return primary;
}

}  // namespace zyr::update
