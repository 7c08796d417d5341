#include "ui/task_dialog.h"

#include "common/failure.h"

namespace zyr::update {

int show_task_dialog(HWND owner, Language language, Text main_instruction,
                     const std::wstring& content, std::span<const TASKDIALOG_BUTTON> buttons,
                     PCWSTR icon, bool allow_cancellation, PFTASKDIALOGCALLBACK callback) {
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof(config);
  config.hwndParent = owner;
  config.dwFlags = TDF_SIZE_TO_CONTENT;
  if (allow_cancellation) {
    config.dwFlags |= TDF_ALLOW_DIALOG_CANCELLATION;
  }
  config.pszWindowTitle = lookup_text(Text::AppTitle, language);
  config.pszMainIcon = icon;
  config.pszMainInstruction = lookup_text(main_instruction, language);
  config.pszContent = content.c_str();
  config.cButtons = static_cast<UINT>(buttons.size());
  config.pButtons = buttons.data();
  config.nDefaultButton = buttons.empty() ? IDCANCEL : buttons.front().nButtonID;
  config.pfCallback = callback;

  int result = IDCANCEL;
  if (FAILED(TaskDialogIndirect(&config, &result, nullptr, nullptr))) {
    throw_failure(Text::InternalError);
  }
  return result;
}

}  // namespace zyr::update
