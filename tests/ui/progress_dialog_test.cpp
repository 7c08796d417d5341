// The progress dialog under Wine with a display. Each job plays the player from the worker
// thread: it reads the dialog it was given and presses its buttons, so every test fails
// when no dialog really appeared.
#include "ui/progress_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include "ui_driver/ui_driver.h"

namespace zyr::update {
namespace {

using testing::Dialog;
using testing::wait_until;

const std::wstring title = lookup_text(Text::AppTitle, Language::English);

// Waits until the dialog shows `instruction` (the timer updates it about every 200 ms).
bool shows(const Dialog& dialog, Text instruction) {
  return wait_until(
      [&] { return dialog.instruction() == lookup_text(instruction, Language::English); });
}

void expect_failure(const std::optional<Failure>& result, Text code, const std::wstring& detail) {
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->code, code);
  EXPECT_EQ(result->detail, detail);
}

TEST(ProgressDialog, AppearsAsCreatedAndClosesWhenTheJobReturns) {
  bool appeared = false;
  const auto result = progress_dialog(Language::English, [&](Context&, WindowHandle window) {
    const Dialog dialog(window);
    appeared = dialog.exists() && dialog.title() == title;
    EXPECT_EQ(dialog.texts(), (std::vector<std::wstring>{L"Checking for updates...", L" "}));
    const auto cancel = dialog.button(IDCANCEL);
    ASSERT_TRUE(cancel);
    EXPECT_EQ(cancel->label, L"Cancel");
    EXPECT_TRUE(IsWindowVisible(window));
  });
  EXPECT_TRUE(appeared);
  EXPECT_FALSE(result.has_value());
}

TEST(ProgressDialog, FollowsTheReportsWithMarqueeAndBar) {
  bool saw_all = false;
  const auto result =
      progress_dialog(Language::English, [&](Context& context, WindowHandle window) {
        const Dialog dialog(window);
        context.progress(Text::DownloadingUpdate, 0, 0, L"");
        ASSERT_TRUE(shows(dialog, Text::DownloadingUpdate));
        // No name and no counters: the initial single space stays.
        EXPECT_EQ(dialog.content(), L" ");
        EXPECT_TRUE(wait_until([&] { return dialog.progress_bar()->marquee; }));

        context.progress(Text::DownloadingUpdate, 50, 200, L"package.zip");
        ASSERT_TRUE(wait_until([&] { return dialog.progress_bar()->position == 250; }));
        EXPECT_FALSE(dialog.progress_bar()->marquee);
        EXPECT_EQ(dialog.content(), L"package.zip\nCompleted 50 B / 200 B");

        context.progress(Text::DownloadingUpdate, 300, 200, L"package.zip");
        ASSERT_TRUE(wait_until([&] { return dialog.progress_bar()->position == 1000; }));

        context.progress(Text::ExtractingUpdate, 0, 0, L"");
        ASSERT_TRUE(shows(dialog, Text::ExtractingUpdate));
        EXPECT_TRUE(wait_until([&] { return dialog.progress_bar()->marquee; }));
        saw_all = true;
      });
  EXPECT_TRUE(saw_all);
  EXPECT_FALSE(result.has_value());
}

TEST(ProgressDialog, CancelEscapeAndCloseBoxAskTheJobToStopAndWaitForIt) {
  const struct {
    const char* name;
    void (*press)(const Dialog&);
  } ways[] = {
      {"Cancel button", [](const Dialog& d) { d.click_task_button(IDCANCEL); }},
      {"Escape", [](const Dialog& d) { d.press_escape(); }},
      {"close box", [](const Dialog& d) { d.close(); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    bool stayed_open = false;
    const auto result =
        progress_dialog(Language::English, [&](Context& context, WindowHandle window) {
          const Dialog dialog(window);
          context.progress(Text::DownloadingUpdate, 1, 10, L"package.zip");
          ASSERT_TRUE(shows(dialog, Text::DownloadingUpdate));
          ASSERT_TRUE(dialog.button(IDCANCEL)->enabled);
          way.press(dialog);
          ASSERT_TRUE(wait_until([&] { return context.cancelled.load(); }));
          // The dialog stays until the job ends, with Cancel disabled from the next tick.
          EXPECT_TRUE(wait_until([&] { return !dialog.button(IDCANCEL)->enabled; }));
          stayed_open = dialog.exists() && IsWindowVisible(window);
          throw_if_cancelled(context);
        });
    EXPECT_TRUE(stayed_open);
    expect_failure(result, Text::OperationCancelled, L"");
  }
}

TEST(ProgressDialog, InstallingCannotBeCancelled) {
  const auto result =
      progress_dialog(Language::English, [&](Context& context, WindowHandle window) {
        const Dialog dialog(window);
        context.progress(Text::Installing, 0, 3, L"");
        ASSERT_TRUE(shows(dialog, Text::Installing));
        EXPECT_TRUE(wait_until([&] { return !dialog.button(IDCANCEL)->enabled; }));
        // Sent, not posted: the callback has answered when this returns.
        SendMessageW(window, TDM_CLICK_BUTTON, IDCANCEL, 0);
        EXPECT_FALSE(context.cancelled.load());
        EXPECT_TRUE(dialog.exists());
        throw_if_cancelled(context);
      });
  EXPECT_FALSE(result.has_value());
}

TEST(ProgressDialog, ReturnsAFileSystemErrorWithItsPath) {
  bool appeared = false;
  const auto result = progress_dialog(Language::English, [&](Context&, WindowHandle window) {
    appeared = Dialog(window).title() == title;
    throw std::filesystem::filesystem_error("open", std::filesystem::path(L"C:\\x"),
                                            std::make_error_code(std::errc::io_error));
  });
  EXPECT_TRUE(appeared);
  expect_failure(result, Text::FileOperationFailed, L"C:\\x");
}

TEST(ProgressDialog, WithoutAWorkerThreadClosesWithAnInternalError) {
  ProgressDialogPlatform platform = default_progress_dialog_platform();
  bool asked_for_thread = false;
  platform.start_thread = [&](std::function<void()>) -> std::thread {
    asked_for_thread = true;  // only ever asked once the dialog exists
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  };
  bool job_ran = false;
  const auto result = progress_dialog(
      Language::English, [&](Context&, WindowHandle) { job_ran = true; }, platform);
  EXPECT_TRUE(asked_for_thread);
  EXPECT_FALSE(job_ran);
  expect_failure(result, Text::InternalError, L"");
}

TEST(ProgressDialog, AFailingDialogCancelsAndJoinsTheJob) {
  ProgressDialogPlatform platform = default_progress_dialog_platform();
  platform.show_dialog = [](const TASKDIALOGCONFIG& config) {
    // The worker starts as it would, then the dialog fails.
    config.pfCallback(nullptr, TDN_CREATED, 0, 0, config.lpCallbackData);
    return E_OUTOFMEMORY;
  };
  bool job_saw_cancel = false;
  const auto result = progress_dialog(
      Language::English,
      [&](Context& context, WindowHandle) {
        job_saw_cancel = wait_until([&] { return context.cancelled.load(); });
        throw_if_cancelled(context);
      },
      platform);
  EXPECT_TRUE(job_saw_cancel);
  // Whatever the job left, the dialog's failure decides.
  expect_failure(result, Text::InternalError, L"");
}

TEST(ProgressDialog, ADialogThatNeverAppearedIsNoSuccess) {
  ProgressDialogPlatform platform = default_progress_dialog_platform();
  // What Wine's TaskDialogIndirect does without a display.
  platform.show_dialog = [](const TASKDIALOGCONFIG&) { return S_OK; };
  bool job_ran = false;
  const auto result = progress_dialog(
      Language::English, [&](Context&, WindowHandle) { job_ran = true; }, platform);
  EXPECT_FALSE(job_ran);
  expect_failure(result, Text::InternalError, L"");
}

}  // namespace
}  // namespace zyr::update
