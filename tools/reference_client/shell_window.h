// The reference client's one top-level window: a short summary of what it received. It
// closes on WM_CLOSE unless told to ignore it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zyr::shell {

struct ShellWindowOptions {
  std::wstring summary;
  bool ignore_close = false;
  // Run `relaunch` this long after the window shows, then close it.
  std::optional<std::uint32_t> relaunch_after_ms;
  std::function<void()> relaunch;
};

// Shows the window and runs its message loop until it is destroyed. Returns the exit code
// for the process: 0, or 3 when no window could be made (no display).
int run_shell_window(ShellWindowOptions options);

}  // namespace zyr::shell
