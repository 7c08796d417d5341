// The one routine behind every short message and choice dialog of the launcher.
#pragma once

#include <span>
#include <string>

#include "common/text.h"
#include "common/windows_api.h"

#include <commctrl.h>

namespace zyr::update {

// Shows a modal task dialog titled Text::AppTitle on the calling thread and returns the
// identifier of the button that closed it. The first button is the default. With
// `allow_cancellation`, Escape, Alt+F4 and the close box close it with IDCANCEL. Throws
// Failure(Text::InternalError) when the dialog cannot be shown.
int show_task_dialog(HWND owner, Language language, Text main_instruction,
                     const std::wstring& content, std::span<const TASKDIALOG_BUTTON> buttons,
                     PCWSTR icon, bool allow_cancellation, PFTASKDIALOGCALLBACK callback);

}  // namespace zyr::update
