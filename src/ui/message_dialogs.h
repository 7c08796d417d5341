// The launcher's message and choice dialogs. Those owned by the progress dialog's window
// are opened by the job on its worker thread.
#pragma once

#include <string>

#include "common/text.h"
#include "common/windows_api.h"

#include <commctrl.h>

namespace zyr::update {

// Button identifiers the dialogs use besides IDOK and IDCANCEL.
inline constexpr int retry_button_id = 100;
inline constexpr int update_now_button_id = 100;
inline constexpr int view_update_details_button_id = 101;

// The buttons of the failure message.
enum class FailureChoices {
  RetryOrExit,  // 100 Retry, IDCANCEL Exit; cancellation allowed
  ExitOnly,     // IDCANCEL Exit; cancellation allowed
  OkOnly,       // IDOK OK; no cancellation
};

// "Operation failed" with `message` as content and the error icon, owned by nobody. Returns
// the identifier of the button that closed it.
int show_failure_message(Language language, const std::wstring& message, FailureChoices choices);

// The explanation shown on a machine that cannot run the game.
void show_direct3d12_unsupported(Language language);

// Update now (true), View update details (opens the page, stays open) or Cancel (throws
// Failure(Text::OperationCancelled)). Any other result is false.
bool prompt_update_available(HWND owner, Language language);

// Update now returns; anything else throws Failure(Text::OperationCancelled).
void confirm_update_required(HWND owner, Language language);

void notify_update_check_unavailable(HWND owner, Language language);

// Shows the full path of the shortcut just placed on the desktop.
void notify_shortcut_placed(HWND owner, Language language, const std::wstring& shortcut_path);

// Callback of the update-available dialog: "View update details" opens the update-details
// page in the browser and keeps the dialog open.
HRESULT CALLBACK open_update_details(HWND window, UINT notification, WPARAM wparam, LPARAM lparam,
                                     LONG_PTR data);

}  // namespace zyr::update
