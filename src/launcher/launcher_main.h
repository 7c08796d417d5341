// The launcher's top level: decides the mode, language and installation directory of a
// start, runs the job and turns its outcome into the process exit code.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "common/context.h"
#include "common/windows_api.h"
#include "launcher/launcher_run.h"

namespace zyr::update {

// What launcher_main calls beyond itself and the dialogs. The production set holds the
// real routines; a step whose routines are empty is skipped, which is how a start runs
// while the launcher does not have them yet.
struct LauncherServices {
  std::function<bool()> supports_direct3d12;
  // Full path of the running executable.
  std::function<std::wstring()> module_path;

  // Hand-over to the launcher of another, registered installation: asked only when the
  // installation holds no pending launch transaction; all three or none.
  std::function<bool(const std::wstring& installation_directory)> has_launch_transaction;
  std::function<std::optional<std::wstring>(const std::wstring& executable_path)>
      find_registered_launcher;
  std::function<void(const std::wstring& installation_directory)> relaunch_launcher;

  // Serves the launch transactions the client left, before the job.
  std::function<void(const std::wstring& installation_directory)> run_client_loop;

  // Runs on the progress dialog's worker thread, once per attempt.
  std::function<void(LauncherRun& run, Context& context, HWND progress_window)> job;
};

LauncherServices production_launcher_services();

// `arguments` as CommandLineToArgvW returns them; argument 0 is the program path. May
// throw: the process entry shows anything that escapes as an internal error.
int launcher_main(int count, wchar_t** arguments);
int launcher_main(int count, wchar_t** arguments, const LauncherServices& services);

}  // namespace zyr::update
