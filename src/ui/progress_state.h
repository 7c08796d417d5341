// What the progress dialog's worker thread and user-interface thread share: the job's last
// report, its outcome, and the rule for turning whatever the job threw into a Failure.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "common/context.h"
#include "common/failure.h"
#include "common/text.h"

// The window handle type of the platform, declared without its header so that portable
// code can pass it along.
struct HWND__;

namespace zyr::update {

using WindowHandle = HWND__*;

// A job run by the progress dialog: its Context and the dialog's window, which the job may
// use as the owner of nested dialogs and hide or show.
using Job = std::function<void(Context& context, WindowHandle window)>;

// A copy of the reported state taken once per timer tick.
struct ProgressSnapshot {
  bool finished = false;
  Text text = Text::CheckingForUpdates;
  std::wstring detail;
  std::size_t done = 0;
  std::size_t total = 0;
};

class ProgressState {
 public:
  // The job's `progress` callable: stores the report and nothing else, so a job may call it
  // for every block it downloads.
  void report(Text text, std::size_t done, std::size_t total, const std::wstring& name);

  // Stores the job's outcome and marks it finished. Never throws: if storing fails, the
  // failure of storing is stored instead, so the dialog never waits for ever.
  void finish(std::optional<Failure> outcome) noexcept;

  ProgressSnapshot snapshot() const;
  std::optional<Failure> failure() const;

  // The player pressed Cancel (or Escape, or the close box). An install step is never
  // interrupted, so the request is ignored while the phase is Text::Installing.
  void request_cancel(Context& context) const;

 private:
  mutable std::mutex lock_;
  Text text_ = Text::CheckingForUpdates;
  std::wstring detail_;
  std::size_t done_ = 0;
  std::size_t total_ = 0;
  bool finished_ = false;
  std::optional<Failure> failure_;
};

// The Failure the player is shown for the exception being handled: a Failure as it is, a
// standard file-system error as Text::FileOperationFailed with its first path, anything
// else as Text::InternalError. Call only inside a catch block. Never throws.
Failure failure_from_current_exception() noexcept;

// The worker thread's whole life: runs `job` (an empty job counts as an exception) and
// stores its outcome in `state`.
void run_job(const Job& job, Context& context, WindowHandle window, ProgressState& state) noexcept;

}  // namespace zyr::update
