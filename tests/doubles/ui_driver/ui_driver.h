// Plays the player's part in Windows tests: finds the launcher's dialogs (in this process or
// a child), reads what they show and presses their buttons, and starts the launcher as a
// child process with a chosen environment.
//
// Text is read from the dialog's child controls as Wine builds task dialogs and message
// boxes (static controls, buttons with the button identifiers, a progress bar control).
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "common/windows_api.h"

namespace zyr::testing {

using namespace std::chrono_literals;

struct DialogButton {
  int id = 0;
  std::wstring label;
  bool enabled = false;
};

struct ProgressBarView {
  int position = 0;
  bool marquee = false;
};

class Dialog {
 public:
  explicit Dialog(HWND window) : window_(window) {}

  HWND window() const { return window_; }
  HWND owner() const;
  bool exists() const;
  std::wstring title() const;

  // The non-empty texts of the static controls, in creation order: a task dialog's main
  // instruction, then its content; a message box's text.
  std::vector<std::wstring> texts() const;
  std::wstring instruction() const;  // first text, or empty
  std::wstring content() const;      // second text, or empty

  std::vector<DialogButton> buttons() const;
  std::optional<DialogButton> button(int id) const;
  std::optional<ProgressBarView> progress_bar() const;

  // The task dialog's own way of pressing a button (TDM_CLICK_BUTTON); it reaches the
  // dialog's callback whether or not the button is enabled.
  void click_task_button(int id) const;
  // A click on a message box's button (BM_CLICK).
  void click_button(int id) const;
  void press_escape() const;
  // What the close box and Alt+F4 send.
  void close() const;

 private:
  HWND window_;
};

// Polls `condition` every few milliseconds until it holds or `timeout` passes.
bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s);

// Visible top-level dialogs (class "#32770") of `process_id`.
std::vector<Dialog> dialogs_of(DWORD process_id);

// Waits for a visible dialog of `process_id` titled `title` that `accept` takes (any, when
// empty). Empty after `timeout`, or as soon as `give_up` holds (say, the code that should
// have shown the dialog has returned without it).
std::optional<Dialog> wait_for_dialog(DWORD process_id, const std::wstring& title,
                                      const std::function<bool(const Dialog&)>& accept = {},
                                      std::chrono::milliseconds timeout = 10s,
                                      const std::function<bool()>& give_up = {});

// Waits for a dialog of this process with the given main instruction (or, for a message
// box, text).
std::optional<Dialog> wait_for_dialog_showing(const std::wstring& title,
                                              const std::wstring& first_text,
                                              std::chrono::milliseconds timeout = 10s);

// A started child process.
struct ChildProcess {
  update::ScopedKernelHandle process;
  DWORD id = 0;

  // The exit code (GetExitCodeProcess), or empty if it did not exit within `timeout`; then
  // the process is terminated.
  std::optional<DWORD> wait_for_exit(std::chrono::milliseconds timeout = 20s);
};

// Starts `executable` with `arguments` (already quoted as needed) and this process's
// environment with `environment` set on top (an empty value removes the variable).
ChildProcess start_process(const std::wstring& executable, const std::wstring& arguments,
                           const std::map<std::wstring, std::wstring>& environment = {});

// An empty folder `<temp>\\<name>-<process id>` for one test's files.
std::filesystem::path fresh_temp_directory(const std::wstring& name);

// A path from the build (a Unix path in an environment variable set by the test runner) as
// a Windows path through Wine's Z: drive.
std::wstring build_path_from_environment(const char* variable);

}  // namespace zyr::testing
