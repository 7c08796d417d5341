#include "ui/progress_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "ui/failure_message.h"

namespace zyr::update {
namespace {

TEST(RunJob, MapsWhatTheJobThrowsToTheFailureShown) {
  const struct {
    const char* name;
    Job job;
    std::optional<Failure> expected;
  } cases[] = {
      {"returns", [](Context&, WindowHandle) {}, std::nullopt},
      {"failure",
       [](Context&, WindowHandle) { throw_failure(Text::DigestMismatch, std::wstring(L"a.pak")); },
       Failure(Text::DigestMismatch, L"a.pak")},
      {"file-system error",
       [](Context&, WindowHandle) {
         throw std::filesystem::filesystem_error(
             "remove", std::filesystem::path(L"C:\\x"), std::filesystem::path(L"C:\\y"),
             std::make_error_code(std::errc::permission_denied));
       },
       Failure(Text::FileOperationFailed, L"C:\\x")},
      {"other exception", [](Context&, WindowHandle) { throw std::runtime_error("boom"); },
       Failure(Text::InternalError, L"")},
      {"not an exception type", [](Context&, WindowHandle) { throw 7; },
       Failure(Text::InternalError, L"")},
      {"empty job", Job(), Failure(Text::InternalError, L"")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ProgressState state;
    Context context;
    run_job(c.job, context, nullptr, state);
    EXPECT_TRUE(state.snapshot().finished);
    const auto failure = state.failure();
    ASSERT_EQ(failure.has_value(), c.expected.has_value());
    if (failure) {
      EXPECT_EQ(failure->code, c.expected->code);
      EXPECT_EQ(failure->detail, c.expected->detail);
    }
  }
}

TEST(ProgressState, CancelIsIgnoredOnlyWhileInstalling) {
  ProgressState state;
  Context context;
  state.report(Text::Installing, 1, 2, L"a");
  state.request_cancel(context);
  EXPECT_FALSE(context.cancelled);

  state.report(Text::VerifyingFiles, 1, 2, L"a");
  state.request_cancel(context);
  EXPECT_TRUE(context.cancelled);
}

TEST(ProgressState, KeepsTheLatestReport) {
  ProgressState state;
  EXPECT_EQ(state.snapshot().text, Text::CheckingForUpdates);
  state.report(Text::DownloadingUpdate, 5, 10, L"one.zip");
  state.report(Text::DownloadingUpdate, 7, 10, L"two.zip");
  const ProgressSnapshot snapshot = state.snapshot();
  EXPECT_FALSE(snapshot.finished);
  EXPECT_EQ(snapshot.done, 7u);
  EXPECT_EQ(snapshot.detail, L"two.zip");
}

TEST(FailureMessage, AddsTheDetailAfterABlankLineOnlyWhenThereIsOne) {
  EXPECT_EQ(
      failure_message(Failure(Text::FileOperationFailed, L"C:\\Games [5]"), Language::English),
      L"File operation failed. Check permissions and open files.\n\nC:\\Games [5]");
  EXPECT_EQ(failure_message(Failure(Text::InvalidMetadata, L""), Language::SimplifiedChinese),
            L"更新数据格式无效。");
}

}  // namespace
}  // namespace zyr::update
