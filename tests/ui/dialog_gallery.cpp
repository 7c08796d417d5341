// Shows one of the launcher's dialogs for scripts/screenshots.sh, in the language of the
// user's locale. Once the dialog shows what it should, prints "RECT left top width height"
// of its window, waits for a line on standard input (the screenshot has been taken), and
// closes it.
//
//   dialog_gallery.exe failure|direct3d12|update-available|update-required|
//                      check-unavailable|shortcut-placed|progress-marquee|progress-bar
#include <cstdio>
#include <future>
#include <iostream>
#include <string>
#include <thread>

#include "common/failure.h"
#include "common/language.h"
#include "ui/failure_message.h"
#include "ui/message_dialogs.h"
#include "ui/progress_dialog.h"
#include "ui_driver/ui_driver.h"

using namespace zyr::update;
using zyr::testing::Dialog;

namespace {

// Reports where the dialog is, waits for the photographer, then lets `close` end it.
void photograph(const Dialog& dialog) {
  // Painting follows the text changes a moment later.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  RECT rect{};
  GetWindowRect(dialog.window(), &rect);
  std::printf("RECT %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top);
  std::fflush(stdout);
  std::string line;
  std::getline(std::cin, line);
}

// Shows a catalogue dialog on this thread while another photographs it and presses `close`.
void show_and_photograph(Language language, int close, const std::function<void()>& show) {
  auto photographer = std::async(std::launch::async, [&] {
    const auto dialog =
        zyr::testing::wait_for_dialog(GetCurrentProcessId(), lookup_text(Text::AppTitle, language));
    if (!dialog) {
      std::fprintf(stderr, "no dialog appeared\n");
      return;
    }
    photograph(*dialog);
    dialog->click_task_button(close);
  });
  try {
    show();
  } catch (const Failure&) {
    // The update questions end in Text::OperationCancelled when closed with Cancel.
  }
  photographer.get();
}

void show_progress(Language language, bool determinate) {
  progress_dialog(language, [&](Context& context, WindowHandle window) {
    const Dialog dialog(window);
    if (determinate) {
      context.progress(Text::DownloadingUpdate, 3 * 1024 * 1024 + 512 * 1024, 10 * 1024 * 1024,
                       L"ZYR_Shell.exe");
      zyr::testing::wait_until([&] {
        const auto bar = dialog.progress_bar();
        return bar && !bar->marquee && bar->position == 350;
      });
    } else {
      context.progress(Text::CheckingForUpdates, 0, 0, L"");
      zyr::testing::wait_until([&] {
        const auto bar = dialog.progress_bar();
        return bar && bar->marquee;
      });
    }
    photograph(dialog);
  });
}

}  // namespace

int main(int argc, char** argv) {
  const std::string which = argc > 1 ? argv[1] : "";
  const Language language = detect_language();
  if (which == "failure") {
    const Failure failure(Text::FileOperationFailed,
                          L"C:\\Users\\Player\\ZYR_ENGINE\\ZYR_Shell.exe [32]");
    show_and_photograph(language, IDCANCEL, [&] {
      show_failure_message(language, failure_message(failure, language),
                           FailureChoices::RetryOrExit);
    });
  } else if (which == "direct3d12") {
    show_and_photograph(language, IDOK, [&] { show_direct3d12_unsupported(language); });
  } else if (which == "update-available") {
    show_and_photograph(language, IDCANCEL, [&] { prompt_update_available(nullptr, language); });
  } else if (which == "update-required") {
    show_and_photograph(language, IDCANCEL, [&] { confirm_update_required(nullptr, language); });
  } else if (which == "check-unavailable") {
    show_and_photograph(language, IDOK,
                        [&] { notify_update_check_unavailable(nullptr, language); });
  } else if (which == "shortcut-placed") {
    show_and_photograph(language, IDOK, [&] {
      notify_shortcut_placed(nullptr, language, L"C:\\Users\\Player\\Desktop\\ZYR ENGINE.lnk");
    });
  } else if (which == "progress-marquee" || which == "progress-bar") {
    show_progress(language, which == "progress-bar");
  } else {
    std::fprintf(stderr, "unknown dialog '%s'\n", which.c_str());
    return 2;
  }
  return 0;
}
