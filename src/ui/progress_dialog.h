// The modal progress dialog that runs one job on a worker thread.
#pragma once

#include <functional>
#include <optional>
#include <thread>

#include "common/failure.h"
#include "common/text.h"
#include "common/windows_api.h"
#include "ui/progress_state.h"

#include <commctrl.h>

namespace zyr::update {

// Shows the progress dialog, starts `job` on a worker thread once the dialog exists, keeps
// the dialog current from the job's reports, and closes it when the job has ended. Returns
// after the worker has been joined: the job's Failure, or nothing when it returned
// normally. The dialog never shows the failure itself.
std::optional<Failure> progress_dialog(Language language, Job job);

// The two platform facilities the dialog relies on, replaceable so that their failures can
// be exercised: showing the task dialog, and starting a thread.
struct ProgressDialogPlatform {
  std::function<HRESULT(const TASKDIALOGCONFIG& config)> show_dialog;
  std::function<std::thread(std::function<void()> body)> start_thread;
};

ProgressDialogPlatform default_progress_dialog_platform();

std::optional<Failure> progress_dialog(Language language, Job job,
                                       const ProgressDialogPlatform& platform);

}  // namespace zyr::update
