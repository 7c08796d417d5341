// The work of one start, run by the progress dialog on its worker thread.
#pragma once

#include "common/context.h"
#include "common/windows_api.h"
#include "launcher/launcher_run.h"

namespace zyr::update {

void run_launcher_job(LauncherRun& run, Context& context, HWND progress_window);

}  // namespace zyr::update
