#include "launcher/launcher_main.h"

#include <filesystem>
#include <string_view>
#include <utility>

#include "common/failure.h"
#include "common/language.h"
#include "install/layout.h"
#include "install/path_rules.h"
#include "launcher/direct3d12_support.h"
#include "launcher/launcher_job.h"
#include "ui/failure_message.h"
#include "ui/message_dialogs.h"
#include "ui/progress_dialog.h"

namespace zyr::update {
namespace {

bool equals_ascii_case_insensitive(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  const auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c + (L'a' - L'A') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

// The helper runs as `<installation>\.update\helper\ZYR_ENGINE.apply.exe`; anything else
// could make it apply a job to a folder that is not its installation.
std::wstring installation_of_helper(const std::filesystem::path& executable) {
  const std::filesystem::path helper_directory = executable.parent_path();
  const std::filesystem::path update_directory = helper_directory.parent_path();
  if (!equals_ascii_case_insensitive(executable.filename().native(), L"ZYR_ENGINE.apply.exe") ||
      helper_directory.filename().native() != L"helper" ||
      update_directory.filename().native() != L".update") {
    throw_failure(Text::UnsafePath);
  }
  return update_directory.parent_path().native();
}

int show_failure(const LauncherRun& run, const Failure& failure, FailureChoices choices) {
  return show_failure_message(run.language, failure_message(failure, run.language), choices);
}

// One run of the job inside the progress dialog.
std::optional<Failure> attempt(LauncherRun& run, const LauncherServices& services) {
  run.client_process.reset();
  run.pending_failure.reset();
  return progress_dialog(run.language, [&run, &services](Context& context, WindowHandle window) {
    services.job(run, context, window);
  });
}

bool client_still_running(const LauncherRun& run) {
  return run.client_process && WaitForSingleObject(run.client_process.get(), 0) != WAIT_OBJECT_0;
}

}  // namespace

LauncherServices production_launcher_services() {
  LauncherServices services;
  services.supports_direct3d12 = supports_direct3d12;
  services.module_path = [] { return module_path(); };
  services.job = run_launcher_job;
  // The registered-launcher hand-over and the client run loop join here as they are built.
  return services;
}

int launcher_main(int count, wchar_t** arguments) {
  return launcher_main(count, arguments, production_launcher_services());
}

int launcher_main(int count, wchar_t** arguments, const LauncherServices& services) {
  LauncherRun run;
  run.language = detect_language();
  run.arguments.assign(arguments, arguments + count);

  // Exact and case-sensitive: "--Apply-Update" is no helper start.
  if (count == 4) {
    run.helper = run.arguments[1] == L"--apply-update" || run.arguments[1] == L"--recover-update";
    run.recover = run.arguments[1] == L"--recover-update";
  }

  // Before anything touches the disk, and before the arguments are looked at.
  if (!run.helper && !services.supports_direct3d12()) {
    show_direct3d12_unsupported(run.language);
    return 1;
  }
  if (count != 1 && !run.helper) {
    throw_failure(Text::InvalidMetadata);
  }

  run.executable_path = services.module_path();
  const std::filesystem::path executable(run.executable_path);
  run.installation_directory =
      run.helper ? installation_of_helper(executable) : executable.parent_path().native();
  ensure_no_reparse_points(run.installation_directory);
  if (!SetCurrentDirectoryW(run.installation_directory.c_str())) {
    throw_last_error(Text::FileOperationFailed, run.installation_directory);
  }

  if (!run.helper) {
    if (services.has_launch_transaction && services.find_registered_launcher &&
        services.relaunch_launcher &&
        !services.has_launch_transaction(run.installation_directory)) {
      if (const auto registered = services.find_registered_launcher(run.executable_path)) {
        try {
          services.relaunch_launcher(std::filesystem::path(*registered).parent_path().native());
          return 0;
        } catch (const Failure&) {
          // That launcher could not be started: this one carries on from its own folder.
        }
      }
    }
    if (services.run_client_loop) {
      try {
        services.run_client_loop(run.installation_directory);
      } catch (const Failure& failure) {
        show_failure(run, failure, FailureChoices::OkOnly);
      }
    }
  }

  run.fresh_install = false;
  for (;;) {
    const std::optional<Failure> failure = attempt(run, services);
    if (!failure || failure->code == Text::OperationCancelled) {
      run.client_process.reset();  // the client keeps running without us
      return 0;
    }
    if (client_still_running(run)) {
      show_failure(run, *failure, FailureChoices::ExitOnly);
      return 1;
    }
    run.client_process.reset();
    if (run.helper) {
      show_failure(run, *failure, FailureChoices::ExitOnly);
      return 1;
    }
    if (show_failure(run, *failure, FailureChoices::RetryOrExit) != retry_button_id) {
      return 1;
    }
  }
}

}  // namespace zyr::update
