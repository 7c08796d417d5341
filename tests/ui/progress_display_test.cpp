#include "ui/progress_display.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zyr::update {
namespace {

// Records every change the display makes, one line each.
class RecordingWindow final : public ProgressWindow {
 public:
  std::vector<std::wstring> calls;

  std::vector<std::wstring> take() { return std::exchange(calls, {}); }

  void set_instruction(const std::wstring& text) override {
    calls.push_back(L"instruction " + text);
  }
  void set_content(const std::wstring& text) override { calls.push_back(L"content " + text); }
  void set_marquee_style(bool marquee) override {
    calls.push_back(marquee ? L"style marquee" : L"style bar");
  }
  void animate_marquee(bool running) override {
    calls.push_back(running ? L"marquee on" : L"marquee off");
  }
  void set_position(int position) override {
    calls.push_back(L"position " + std::to_wstring(position));
  }
  void enable_cancel(bool enabled) override {
    calls.push_back(enabled ? L"cancel enabled" : L"cancel disabled");
  }
  void click_cancel() override { calls.push_back(L"click cancel"); }
};

using Calls = std::vector<std::wstring>;

ProgressSnapshot report(Text text, std::size_t done, std::size_t total, std::wstring detail = L"") {
  return ProgressSnapshot{false, text, std::move(detail), done, total};
}

TEST(ProgressDisplay, FirstTickSetsEverythingButKeepsTheInitialContent) {
  ProgressDisplay display(Language::English);
  RecordingWindow window;
  display.on_timer(report(Text::CheckingForUpdates, 0, 0), false, window);
  EXPECT_EQ(window.take(), (Calls{L"instruction Checking for updates...", L"style marquee",
                                  L"marquee on", L"cancel enabled"}));
  // Nothing changed: nothing is sent.
  display.on_timer(report(Text::CheckingForUpdates, 0, 0), false, window);
  EXPECT_EQ(window.take(), Calls{});
}

TEST(ProgressDisplay, SwitchesBetweenMarqueeAndBar) {
  ProgressDisplay display(Language::English);
  RecordingWindow window;
  display.on_timer(report(Text::DownloadingUpdate, 0, 0), false, window);
  window.take();

  display.on_timer(report(Text::DownloadingUpdate, 50, 200, L"package.zip"), false, window);
  EXPECT_EQ(window.take(), (Calls{L"content package.zip\nCompleted 50 B / 200 B", L"marquee off",
                                  L"style bar", L"position 250"}));

  // More bytes than expected never push the bar past its end.
  display.on_timer(report(Text::DownloadingUpdate, 500, 200, L"package.zip"), false, window);
  EXPECT_EQ(window.take(),
            (Calls{L"content package.zip\nCompleted 500 B / 200 B", L"position 1000"}));

  // A change of counters that keeps the position sends the content only.
  display.on_timer(report(Text::DownloadingUpdate, 501, 200, L"package.zip"), false, window);
  EXPECT_EQ(window.take(), (Calls{L"content package.zip\nCompleted 501 B / 200 B"}));

  display.on_timer(report(Text::PreparingInstallation, 0, 0), false, window);
  EXPECT_EQ(window.take(), (Calls{L"instruction Preparing installation...", L"content ",
                                  L"style marquee", L"marquee on"}));

  // Back to a bar: the position is sent again even though it equals the last one shown.
  display.on_timer(report(Text::PreparingInstallation, 1000, 1000), false, window);
  EXPECT_EQ(window.take(), (Calls{L"content \nCompleted 1000 B / 1000 B", L"marquee off",
                                  L"style bar", L"position 1000"}));
}

TEST(ProgressDisplay, PositionTruncatesInSixtyFourBits) {
  EXPECT_EQ(progress_position(1, 3), 333);
  EXPECT_EQ(progress_position(2, 3), 666);
  EXPECT_EQ(progress_position(SIZE_MAX - 1, SIZE_MAX), 999);
  EXPECT_EQ(progress_position(SIZE_MAX, 1), 1000);
}

TEST(ProgressDisplay, DisablesCancelWhileInstallingAndOnceCancelled) {
  ProgressDisplay display(Language::English);
  RecordingWindow window;
  display.on_timer(report(Text::VerifyingFiles, 0, 0), false, window);
  EXPECT_EQ(window.take().back(), L"cancel enabled");

  display.on_timer(report(Text::Installing, 0, 0), false, window);
  EXPECT_EQ(window.take().back(), L"cancel disabled");

  display.on_timer(report(Text::VerifyingFiles, 0, 0), false, window);
  EXPECT_EQ(window.take().back(), L"cancel enabled");

  display.on_timer(report(Text::VerifyingFiles, 0, 0), true, window);
  EXPECT_EQ(window.take(), Calls{L"cancel disabled"});
}

TEST(ProgressDisplay, ClosesOnceTheJobHasFinished) {
  ProgressDisplay display(Language::TraditionalChinese);
  RecordingWindow window;
  display.on_timer(report(Text::Installing, 0, 0), false, window);
  window.take();
  EXPECT_FALSE(display.closing());

  ProgressSnapshot finished = report(Text::Installing, 0, 0);
  finished.finished = true;
  display.on_timer(finished, false, window);
  // The disabled button is enabled first, or the press would not close the dialog.
  EXPECT_EQ(window.take(), (Calls{L"cancel enabled", L"click cancel"}));
  EXPECT_TRUE(display.closing());
}

TEST(ProgressDisplay, ShowsTextsInTheChosenLanguage) {
  ProgressDisplay display(Language::SimplifiedChinese);
  RecordingWindow window;
  display.on_timer(report(Text::DownloadingUpdate, 1536, 10485760, L"data.pak"), false, window);
  const Calls calls = window.take();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0], L"instruction 正在下载更新…");
  EXPECT_EQ(calls[1], L"content data.pak\n已完成 1.5 kB / 10 MB");
}

}  // namespace
}  // namespace zyr::update
