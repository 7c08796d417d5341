// What the progress dialog shows, decided once per timer tick from a snapshot of the job's
// report. Every change reaches the window only when the shown value really changes, so a
// job may report for every block it downloads without flooding the dialog.
#pragma once

#include <string>

#include "common/text.h"
#include "ui/progress_state.h"

namespace zyr::update {

// Bar positions run from 0 to this value.
inline constexpr int progress_bar_range = 1000;

// The changes the display makes to the dialog window; the task dialog sends one message
// for each.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  virtual void set_instruction(const std::wstring& text) = 0;
  virtual void set_content(const std::wstring& text) = 0;
  // Switches the bar between marquee and determinate style.
  virtual void set_marquee_style(bool marquee) = 0;
  // Starts (at 30 ms a step) or stops the marquee animation.
  virtual void animate_marquee(bool running) = 0;
  virtual void set_position(int position) = 0;
  virtual void enable_cancel(bool enabled) = 0;
  // Presses Cancel on the dialog's behalf; the display is then closing and the press
  // closes the dialog.
  virtual void click_cancel() = 0;
};

// Bar position of `done` out of `total` (not 0), capped at the full bar.
int progress_position(std::size_t done, std::size_t total);

// The content area: the detail, and the counters on a second line when there are any.
std::wstring progress_content(const std::wstring& detail, std::size_t done, std::size_t total,
                              Language language);

class ProgressDisplay {
 public:
  explicit ProgressDisplay(Language language) : language_(language) {}

  void on_timer(const ProgressSnapshot& snapshot, bool cancelled, ProgressWindow& window);

  // True once the job has ended and the display has pressed Cancel to close the dialog.
  bool closing() const { return closing_; }

 private:
  Language language_;
  bool closing_ = false;
  bool marquee_mode_ = false;
  bool marquee_running_ = false;
  bool cancel_state_known_ = false;
  bool cancel_enabled_ = true;
  int shown_position_ = -1;
  std::wstring shown_instruction_;
  std::wstring shown_content_;
};

}  // namespace zyr::update
