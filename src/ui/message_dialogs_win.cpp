#include "ui/message_dialogs.h"

#include <array>
#include <span>

#include "common/failure.h"
#include "ui/task_dialog.h"
#include "ui/update_details.h"

#include <shellapi.h>

namespace zyr::update {
namespace {

TASKDIALOG_BUTTON button(int id, Text label, Language language) {
  return TASKDIALOG_BUTTON{id, lookup_text(label, language)};
}

void show_notice(HWND owner, Language language, Text instruction, const std::wstring& content,
                 PCWSTR icon) {
  const std::array buttons{button(IDOK, Text::Ok, language)};
  show_task_dialog(owner, language, instruction, content, buttons, icon, false, nullptr);
}

}  // namespace

int show_failure_message(Language language, const std::wstring& message, FailureChoices choices) {
  const std::array retry_or_exit{button(retry_button_id, Text::Retry, language),
                                 button(IDCANCEL, Text::Exit, language)};
  std::span<const TASKDIALOG_BUTTON> buttons(retry_or_exit);
  if (choices == FailureChoices::ExitOnly) {
    buttons = buttons.subspan(1);
  }
  const std::array ok{button(IDOK, Text::Ok, language)};
  if (choices == FailureChoices::OkOnly) {
    buttons = ok;
  }
  return show_task_dialog(nullptr, language, Text::OperationFailed, message, buttons, TD_ERROR_ICON,
                          choices != FailureChoices::OkOnly, nullptr);
}

void show_direct3d12_unsupported(Language language) {
  show_failure_message(language, lookup_text(Text::DirectX12Unsupported, language),
                       FailureChoices::OkOnly);
}

bool prompt_update_available(HWND owner, Language language) {
  const std::array buttons{button(update_now_button_id, Text::UpdateNow, language),
                           button(view_update_details_button_id, Text::ViewUpdateDetails, language),
                           button(IDCANCEL, Text::Cancel, language)};
  const int result = show_task_dialog(owner, language, Text::UpdateAvailablePrompt, L"", buttons,
                                      TD_INFORMATION_ICON, true, open_update_details);
  if (result == IDCANCEL) {
    throw_failure(Text::OperationCancelled);
  }
  return result == update_now_button_id;
}

void confirm_update_required(HWND owner, Language language) {
  const std::array buttons{button(update_now_button_id, Text::UpdateNow, language),
                           button(IDCANCEL, Text::Cancel, language)};
  const int result = show_task_dialog(owner, language, Text::UpdateRequiredPrompt, L"", buttons,
                                      TD_WARNING_ICON, true, nullptr);
  if (result != update_now_button_id) {
    throw_failure(Text::OperationCancelled);
  }
}

void notify_update_check_unavailable(HWND owner, Language language) {
  show_notice(owner, language, Text::UpdateCheckUnavailable, L"", TD_WARNING_ICON);
}

void notify_shortcut_placed(HWND owner, Language language, const std::wstring& shortcut_path) {
  show_notice(owner, language, Text::ShortcutPlaced, shortcut_path, TD_INFORMATION_ICON);
}

HRESULT CALLBACK open_update_details(HWND, UINT notification, WPARAM wparam, LPARAM, LONG_PTR) {
  if (notification == TDN_BUTTON_CLICKED && wparam == view_update_details_button_id) {
    // The player sees the browser or nothing; a failure to open it changes nothing here,
    // and nothing may be thrown through the dialog's callback.
    try {
      ShellExecuteW(nullptr, L"open", update_details_url().c_str(), nullptr, nullptr,
                    SW_SHOWNORMAL);
    } catch (...) {
    }
    return S_FALSE;
  }
  return S_OK;
}

}  // namespace zyr::update
