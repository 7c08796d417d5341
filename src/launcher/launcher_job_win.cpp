#include "launcher/launcher_job.h"

namespace zyr::update {

// This launcher cannot yet check for updates, install or start the client: a normal start
// reports its phase and ends with nothing done, and a helper start, which would have an
// installation to apply, fails rather than pretend it applied one.
void run_launcher_job(LauncherRun& run, Context& context, HWND) {
  if (run.helper) {
    throw_failure(Text::InternalError);
  }
  if (context.progress) {
    context.progress(Text::CheckingForUpdates, 0, 0, std::wstring());
  }
  throw_if_cancelled(context);
}

}  // namespace zyr::update
