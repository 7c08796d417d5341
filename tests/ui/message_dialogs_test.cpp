// Every dialog of the catalogue under Wine with a display: a player thread waits for the
// dialog, checks what it shows and presses a button while the main thread shows it. A
// dialog that never appeared fails the test.
#include "ui/message_dialogs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>

#include "common/failure.h"
#include "common/scoped_handle.h"
#include "ui/update_details.h"
#include "ui_driver/ui_driver.h"

namespace zyr::update {
namespace {

using testing::Dialog;
using testing::DialogButton;
using namespace std::chrono_literals;

struct Expected {
  Language language = Language::English;
  Text instruction;
  std::wstring content;
  std::vector<std::pair<int, Text>> buttons;
};

// Runs `show` on this thread while another thread waits for the dialog, checks it against
// `expected` and hands it to `play`. Returns whether the dialog appeared.
bool play_dialog(const Expected& expected, const std::function<void(const Dialog&)>& play,
                 const std::function<void()>& show) {
  std::atomic<bool> returned = false;
  auto player = std::async(std::launch::async, [&] {
    const auto dialog = testing::wait_for_dialog(GetCurrentProcessId(),
                                                 lookup_text(Text::AppTitle, expected.language), {},
                                                 10s, [&] { return returned.load(); });
    if (!dialog) {
      return false;
    }
    EXPECT_EQ(dialog->instruction(), lookup_text(expected.instruction, expected.language));
    EXPECT_EQ(dialog->content(), expected.content);
    const std::vector<DialogButton> buttons = dialog->buttons();
    EXPECT_EQ(buttons.size(), expected.buttons.size());
    for (std::size_t i = 0; i < std::min(buttons.size(), expected.buttons.size()); ++i) {
      EXPECT_EQ(buttons[i].id, expected.buttons[i].first);
      EXPECT_EQ(buttons[i].label, lookup_text(expected.buttons[i].second, expected.language));
    }
    play(*dialog);
    return true;
  });
  try {
    show();
  } catch (...) {
    returned = true;
    player.wait();
    throw;
  }
  returned = true;
  return player.get();
}

void press(const Dialog& dialog, int id) { dialog.click_task_button(id); }

TEST(FailureMessage, OffersTheButtonsOfEachForm) {
  const std::wstring message = L"File operation failed.\n\nC:\\Program Files\\ZYR ENGINE [5]";
  const struct {
    const char* name;
    FailureChoices choices;
    std::vector<std::pair<int, Text>> buttons;
    int press;
  } forms[] = {
      {"retry or exit",
       FailureChoices::RetryOrExit,
       {{100, Text::Retry}, {IDCANCEL, Text::Exit}},
       100},
      {"exit only", FailureChoices::ExitOnly, {{IDCANCEL, Text::Exit}}, IDCANCEL},
      {"ok only", FailureChoices::OkOnly, {{IDOK, Text::Ok}}, IDOK},
  };
  for (const auto& form : forms) {
    SCOPED_TRACE(form.name);
    int result = 0;
    EXPECT_TRUE(play_dialog(
        {Language::English, Text::OperationFailed, message, form.buttons},
        [&](const Dialog& dialog) { press(dialog, form.press); },
        [&] { result = show_failure_message(Language::English, message, form.choices); }));
    EXPECT_EQ(result, form.press);
  }
}

TEST(FailureMessage, EscapeAndCloseBoxExitUnlessOnlyOkIsOffered) {
  for (bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "escape" : "close box");
    int result = 0;
    EXPECT_TRUE(play_dialog(
        {Language::English, Text::OperationFailed, L"x", {{100, Text::Retry}, {2, Text::Exit}}},
        [&](const Dialog& dialog) { escape ? dialog.press_escape() : dialog.close(); },
        [&] {
          result = show_failure_message(Language::English, L"x", FailureChoices::RetryOrExit);
        }));
    EXPECT_EQ(result, IDCANCEL);

    // Without cancellation the key or the close box does nothing; the OK press posted after
    // it is what closes the dialog.
    EXPECT_TRUE(play_dialog(
        {Language::English, Text::OperationFailed, L"y", {{IDOK, Text::Ok}}},
        [&](const Dialog& dialog) {
          escape ? dialog.press_escape() : dialog.close();
          press(dialog, IDOK);
        },
        [&] { result = show_failure_message(Language::English, L"y", FailureChoices::OkOnly); }));
    EXPECT_EQ(result, IDOK);
  }
}

TEST(CatalogueDialogs, ShowTheirTextsInEveryLanguage) {
  const std::wstring shortcut = L"C:\\users\\player\\Desktop\\ZYR ENGINE.lnk";
  for (Language language :
       {Language::SimplifiedChinese, Language::TraditionalChinese, Language::English}) {
    SCOPED_TRACE(static_cast<int>(language));
    EXPECT_TRUE(play_dialog(
        {language,
         Text::OperationFailed,
         lookup_text(Text::DirectX12Unsupported, language),
         {{IDOK, Text::Ok}}},
        [](const Dialog& dialog) { press(dialog, IDOK); },
        [&] { show_direct3d12_unsupported(language); }));
    EXPECT_TRUE(play_dialog(
        {language, Text::UpdateCheckUnavailable, L"", {{IDOK, Text::Ok}}},
        [](const Dialog& dialog) { press(dialog, IDOK); },
        [&] { notify_update_check_unavailable(nullptr, language); }));
    EXPECT_TRUE(play_dialog(
        {language, Text::ShortcutPlaced, shortcut, {{IDOK, Text::Ok}}},
        [](const Dialog& dialog) { press(dialog, IDOK); },
        [&] { notify_shortcut_placed(nullptr, language, shortcut); }));
  }
}

const std::vector<std::pair<int, Text>> update_available_buttons{
    {100, Text::UpdateNow}, {101, Text::ViewUpdateDetails}, {IDCANCEL, Text::Cancel}};
const std::vector<std::pair<int, Text>> update_required_buttons{{100, Text::UpdateNow},
                                                                {IDCANCEL, Text::Cancel}};

Text cancelled_or(const std::function<void()>& show, Text otherwise) {
  try {
    show();
  } catch (const Failure& failure) {
    return failure.code;
  }
  return otherwise;
}

TEST(UpdateQuestions, UpdateNowAcceptsAndEverythingElseCancels) {
  bool accepted = false;
  EXPECT_TRUE(play_dialog(
      {Language::English, Text::UpdateAvailablePrompt, L"", update_available_buttons},
      [](const Dialog& dialog) { press(dialog, 100); },
      [&] { accepted = prompt_update_available(nullptr, Language::English); }));
  EXPECT_TRUE(accepted);

  Text outcome = Text::AppTitle;
  EXPECT_TRUE(play_dialog(
      {Language::English, Text::UpdateAvailablePrompt, L"", update_available_buttons},
      [](const Dialog& dialog) { press(dialog, IDCANCEL); },
      [&] {
        outcome = cancelled_or([] { prompt_update_available(nullptr, Language::English); },
                               Text::AppTitle);
      }));
  EXPECT_EQ(outcome, Text::OperationCancelled);

  EXPECT_TRUE(play_dialog(
      {Language::English, Text::UpdateRequiredPrompt, L"", update_required_buttons},
      [](const Dialog& dialog) { press(dialog, 100); },
      [&] {
        outcome = cancelled_or([] { confirm_update_required(nullptr, Language::English); },
                               Text::UpdateNow);
      }));
  EXPECT_EQ(outcome, Text::UpdateNow);

  EXPECT_TRUE(play_dialog(
      {Language::English, Text::UpdateRequiredPrompt, L"", update_required_buttons},
      [](const Dialog& dialog) { dialog.close(); },
      [&] {
        outcome = cancelled_or([] { confirm_update_required(nullptr, Language::English); },
                               Text::UpdateNow);
      }));
  EXPECT_EQ(outcome, Text::OperationCancelled);
}

// Points Wine's browser setting at a script that appends each URL it is given to a log, for
// as long as it lives.
class RecordingBrowser {
 public:
  RecordingBrowser()
      : script_(testing::build_path_from_environment("ZYR_RECORDING_BROWSER")),
        log_(testing::build_path_from_environment("ZYR_RECORDING_BROWSER_LOG")) {
    DeleteFileW(log_.c_str());
    const char* unix_script = std::getenv("ZYR_RECORDING_BROWSER");
    const std::wstring value(unix_script, unix_script + strlen(unix_script));
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", 0, nullptr, 0,
                    KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, key_.put(), nullptr);
    RegSetValueExW(key_.get(), L"Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  ~RecordingBrowser() { RegDeleteValueW(key_.get(), L"Browsers"); }

  std::vector<std::string> opened() const {
    std::ifstream file{std::filesystem::path(log_)};
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
      lines.push_back(line);
    }
    return lines;
  }

 private:
  std::wstring script_;
  std::wstring log_;
  ScopedRegistryKey key_;
};

TEST(UpdateQuestions, ViewDetailsOpensThePageAndKeepsTheDialogOpen) {
  RecordingBrowser browser;
  std::string url;
  for (wchar_t c : update_details_url()) {
    url += static_cast<char>(c);
  }
  Text outcome = Text::AppTitle;
  EXPECT_TRUE(play_dialog(
      {Language::English, Text::UpdateAvailablePrompt, L"", update_available_buttons},
      [&](const Dialog& dialog) {
        press(dialog, 101);
        EXPECT_TRUE(testing::wait_until([&] { return browser.opened().size() == 1; }));
        EXPECT_TRUE(dialog.exists());
        press(dialog, 101);
        EXPECT_TRUE(testing::wait_until([&] { return browser.opened().size() == 2; }));
        EXPECT_TRUE(dialog.exists());
        dialog.press_escape();
      },
      [&] {
        outcome = cancelled_or([] { prompt_update_available(nullptr, Language::English); },
                               Text::AppTitle);
      }));
  EXPECT_EQ(outcome, Text::OperationCancelled);
  EXPECT_EQ(browser.opened(), (std::vector<std::string>{url, url}));
}

}  // namespace
}  // namespace zyr::update
