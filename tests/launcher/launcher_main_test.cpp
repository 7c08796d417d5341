// launcher_main's decisions with real dialogs under Wine: a player thread answers them. The
// routines beyond launcher_main (graphics check, executable path, job, hand-over, run loop)
// are test values, so every path of a start can be reached in this process.
#include "launcher/launcher_main.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "ui/failure_message.h"
#include "ui/message_dialogs.h"
#include "ui_driver/ui_driver.h"

namespace zyr::update {
namespace {

using testing::Dialog;

const Language language = Language::English;
const std::wstring title = lookup_text(Text::AppTitle, language);

std::wstring text(Text code) { return lookup_text(code, language); }

std::vector<std::pair<int, std::wstring>> buttons_of(const Dialog& dialog) {
  std::vector<std::pair<int, std::wstring>> buttons;
  for (const auto& button : dialog.buttons()) {
    buttons.emplace_back(button.id, button.label);
  }
  return buttons;
}

const std::vector<std::pair<int, std::wstring>> retry_or_exit{{100, L"Retry"}, {IDCANCEL, L"Exit"}};
const std::vector<std::pair<int, std::wstring>> exit_only{{IDCANCEL, L"Exit"}};
const std::vector<std::pair<int, std::wstring>> ok_only{{IDOK, L"OK"}};

// Waits for the failure message (not the progress dialog) until `give_up` holds.
std::optional<Dialog> wait_for_failure_message(const std::function<bool()>& give_up) {
  return testing::wait_for_dialog(
      GetCurrentProcessId(), title,
      [](const Dialog& dialog) { return dialog.instruction() == text(Text::OperationFailed); },
      std::chrono::seconds(10), give_up);
}

std::optional<Dialog> failure_message_now() {
  for (const Dialog& dialog : testing::dialogs_of(GetCurrentProcessId())) {
    if (dialog.title() == title && dialog.instruction() == text(Text::OperationFailed)) {
      return dialog;
    }
  }
  return std::nullopt;
}

std::vector<wchar_t*> argv_of(std::vector<std::wstring>& arguments) {
  std::vector<wchar_t*> argv;
  for (auto& argument : arguments) {
    argv.push_back(argument.data());
  }
  return argv;
}

class LauncherMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testing::fresh_temp_directory(L"zyr-launcher-main");
    std::filesystem::create_directories(root_ / L"inst");
    original_directory_ = std::filesystem::current_path();
    executable_ = path(L"inst\\ZYR_ENGINE.exe");

    services_.supports_direct3d12 = [] { return true; };
    services_.module_path = [this] { return executable_; };
    services_.job = [this](LauncherRun& run, Context&, HWND window) {
      ++attempts_;
      seen_.push_back(Seen{run.helper, run.recover, run.fresh_install, run.installation_directory,
                           std::filesystem::current_path().native(),
                           Dialog(window).title() == title});
      if (job_) {
        job_(run);
      }
    };
  }

  void TearDown() override {
    std::filesystem::current_path(original_directory_);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  int run(std::vector<std::wstring> arguments) {
    arguments.insert(arguments.begin(), executable_);
    auto argv = argv_of(arguments);
    return launcher_main(static_cast<int>(argv.size()), argv.data(), services_);
  }

  // Runs launcher_main while a player thread waits for the failure message and hands it to
  // `answer`. A message that never appeared fails the test.
  int run_answering(std::vector<std::wstring> arguments,
                    const std::function<void(const Dialog&)>& answer) {
    bool shown = false;
    std::atomic<bool> returned = false;
    int code = 0;
    {
      std::jthread player([&] {
        if (const auto dialog = wait_for_failure_message([&] { return returned.load(); })) {
          shown = true;
          answer(*dialog);
        }
      });
      try {
        code = run(std::move(arguments));
      } catch (...) {
        returned = true;
        throw;
      }
      returned = true;
    }
    EXPECT_TRUE(shown) << "no failure message appeared";
    return code;
  }

  std::wstring path(const std::wstring& relative) { return (root_ / relative).native(); }

  struct Seen {
    bool helper, recover, fresh_install;
    std::wstring installation_directory, current_directory;
    bool in_progress_dialog;
  };

  std::filesystem::path root_;
  std::filesystem::path original_directory_;
  std::wstring executable_;
  LauncherServices services_;
  std::function<void(LauncherRun&)> job_;
  int attempts_ = 0;
  std::vector<Seen> seen_;
};

TEST_F(LauncherMainTest, WithoutDirect3D12ExplainsWhyBeforeTouchingAnything) {
  bool asked_for_path = false;
  services_.supports_direct3d12 = [] { return false; };
  services_.module_path = [&] {
    asked_for_path = true;
    return executable_;
  };
  // An extra argument does not change that: the check comes first.
  for (const auto& arguments : {std::vector<std::wstring>{}, std::vector<std::wstring>{L"x"}}) {
    SCOPED_TRACE(arguments.size());
    const int code = run_answering(arguments, [&](const Dialog& dialog) {
      EXPECT_EQ(dialog.content(), text(Text::DirectX12Unsupported));
      EXPECT_EQ(buttons_of(dialog), ok_only);
      dialog.click_task_button(IDOK);
    });
    EXPECT_EQ(code, 1);
  }
  EXPECT_FALSE(asked_for_path);
  EXPECT_EQ(attempts_, 0);
}

TEST_F(LauncherMainTest, DecidesTheModeFromExactSwitches) {
  std::filesystem::create_directories(root_ / L"inst\\.update\\helper");
  const std::wstring helper_executable = path(L"inst\\.update\\helper\\ZYR_ENGINE.apply.exe");
  bool checked_graphics = false;
  services_.supports_direct3d12 = [&] {
    checked_graphics = true;
    return true;
  };
  bool ran_client_loop = false;
  services_.run_client_loop = [&](const std::wstring&) { ran_client_loop = true; };

  const struct {
    std::vector<std::wstring> arguments;
    bool refused, helper, recover;
  } cases[] = {
      {{}, false, false, false},
      {{L"--apply-update", L"1", L"2"}, false, true, false},
      {{L"--recover-update", L"1", L"2"}, false, true, true},
      {{L"--Apply-Update", L"1", L"2"}, true, false, false},
      {{L"--apply-update"}, true, false, false},
      {{L"--apply-update", L"1", L"2", L"3"}, true, false, false},
      {{L"--apply-update ", L"1", L"2"}, true, false, false},
      {{L"1", L"--apply-update", L"2"}, true, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.empty() ? "no argument"
                                     : std::string(c.arguments[0].begin(), c.arguments[0].end()));
    checked_graphics = ran_client_loop = false;
    seen_.clear();
    executable_ = c.helper ? helper_executable : path(L"inst\\ZYR_ENGINE.exe");
    if (c.refused) {
      try {
        run(c.arguments);
        ADD_FAILURE() << "not refused";
      } catch (const Failure& failure) {
        EXPECT_EQ(failure.code, Text::InvalidMetadata);
      }
      EXPECT_TRUE(seen_.empty());
      continue;
    }
    EXPECT_EQ(run(c.arguments), 0);
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_TRUE(seen_[0].in_progress_dialog);
    EXPECT_EQ(seen_[0].helper, c.helper);
    EXPECT_EQ(seen_[0].recover, c.recover);
    EXPECT_EQ(seen_[0].installation_directory, path(L"inst"));
    EXPECT_TRUE(std::filesystem::equivalent(seen_[0].current_directory, path(L"inst")));
    // Helper starts neither check the graphics nor serve launch transactions.
    EXPECT_EQ(checked_graphics, !c.helper);
    EXPECT_EQ(ran_client_loop, !c.helper);
  }
}

TEST_F(LauncherMainTest, AHelperMustBeTheInstallationsHelperCopy) {
  const struct {
    const wchar_t* executable;
    bool accepted;
  } cases[] = {
      {L"inst\\.update\\helper\\zyr_engine.APPLY.exe", true},
      {L"inst\\.update\\Helper\\ZYR_ENGINE.apply.exe", false},
      {L"inst\\.Update\\helper\\ZYR_ENGINE.apply.exe", false},
      {L"inst\\.update\\helper\\ZYR_ENGINE.exe", false},
      {L"inst\\helper\\ZYR_ENGINE.apply.exe", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::filesystem::path(c.executable).string());
    seen_.clear();
    executable_ = path(c.executable);
    std::filesystem::create_directories(std::filesystem::path(executable_).parent_path());
    if (!c.accepted) {
      try {
        run({L"--apply-update", L"1", L"2"});
        ADD_FAILURE() << "accepted";
      } catch (const Failure& failure) {
        EXPECT_EQ(failure.code, Text::UnsafePath);
      }
      EXPECT_TRUE(seen_.empty());
      continue;
    }
    EXPECT_EQ(run({L"--apply-update", L"1", L"2"}), 0);
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0].installation_directory, path(L"inst"));
  }
}

TEST_F(LauncherMainTest, AnInstallationDirectoryThatCannotBeEnteredIsAFailure) {
  executable_ = path(L"missing\\ZYR_ENGINE.exe");
  try {
    run({});
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.code, Text::FileOperationFailed);
    EXPECT_EQ(failure.detail.rfind(path(L"missing") + L" [", 0), 0u) << failure.detail;
  }
  EXPECT_EQ(attempts_, 0);
}

TEST_F(LauncherMainTest, RetryRunsTheJobAgainInTheFolderTheFirstAttemptChose) {
  const Failure failure(Text::InstallDirWritableHint,
                        path(L"chosen\\.update\\launcher.lock") + L" [5]");
  std::filesystem::create_directories(root_ / L"chosen");
  job_ = [&](LauncherRun& run) {
    if (attempts_ == 1) {
      run.installation_directory = path(L"chosen");
      run.fresh_install = true;
      throw failure;
    }
  };
  const int code = run_answering({}, [&](const Dialog& dialog) {
    EXPECT_EQ(dialog.content(), failure_message(failure, language));
    EXPECT_EQ(buttons_of(dialog), retry_or_exit);
    dialog.click_task_button(retry_button_id);
  });
  EXPECT_EQ(code, 0);
  ASSERT_EQ(seen_.size(), 2u);
  EXPECT_FALSE(seen_[0].fresh_install);
  EXPECT_TRUE(seen_[1].fresh_install);
  EXPECT_EQ(seen_[1].installation_directory, path(L"chosen"));
}

TEST_F(LauncherMainTest, ExitOrClosingTheFailureEndsWithOne) {
  job_ = [](LauncherRun&) { throw_failure(Text::HttpsFailed, std::wstring(L"HTTP/1.1 503")); };
  const struct {
    const char* name;
    void (*answer)(const Dialog&);
  } answers[] = {
      {"Exit", [](const Dialog& d) { d.click_task_button(IDCANCEL); }},
      {"Escape", [](const Dialog& d) { d.press_escape(); }},
      {"close box", [](const Dialog& d) { d.close(); }},
  };
  for (const auto& answer : answers) {
    SCOPED_TRACE(answer.name);
    attempts_ = 0;
    const int code = run_answering({}, [&](const Dialog& dialog) {
      EXPECT_EQ(dialog.content(), L"HTTPS request failed.\n\nHTTP/1.1 503");
      answer.answer(dialog);
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(attempts_, 1);
  }
}

ScopedKernelHandle handle_of_running_process() {
  // This process: it certainly runs while the test looks at it.
  HANDLE duplicate = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &duplicate,
                  SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0);
  return ScopedKernelHandle(duplicate);
}

ScopedKernelHandle handle_of_exited_process() {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  auto child = testing::start_process(std::wstring(system) + L"\\cmd.exe", L"/c exit 3");
  EXPECT_EQ(child.wait_for_exit(), 3u);
  return std::move(child.process);
}

TEST_F(LauncherMainTest, WhileTheStartedClientRunsOnlyExitIsOffered) {
  job_ = [](LauncherRun& run) {
    run.client_process = handle_of_running_process();
    throw_failure(Text::ClientStartFailed);
  };
  const int code = run_answering({}, [&](const Dialog& dialog) {
    EXPECT_EQ(buttons_of(dialog), exit_only);
    dialog.close();
  });
  EXPECT_EQ(code, 1);
}

TEST_F(LauncherMainTest, AClientThatHasExitedLeavesRetryOpenAndIsForgottenByTheNextAttempt) {
  bool second_attempt_started_empty = false;
  job_ = [&](LauncherRun& run) {
    if (attempts_ == 1) {
      run.client_process = handle_of_exited_process();
      run.pending_failure = Failure(Text::ClientStartFailed, L"");
      throw_failure(Text::ClientStartFailed);
    }
    second_attempt_started_empty = !run.client_process && !run.pending_failure;
  };
  const int code = run_answering({}, [&](const Dialog& dialog) {
    EXPECT_EQ(buttons_of(dialog), retry_or_exit);
    dialog.click_task_button(retry_button_id);
  });
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(second_attempt_started_empty);
}

TEST_F(LauncherMainTest, AFailingHelperOffersExitOnly) {
  std::filesystem::create_directories(root_ / L"inst\\.update\\helper");
  executable_ = path(L"inst\\.update\\helper\\ZYR_ENGINE.apply.exe");
  job_ = [](LauncherRun&) { throw_failure(Text::DigestMismatch); };
  const int code = run_answering({L"--recover-update", L"1", L"2"}, [&](const Dialog& dialog) {
    EXPECT_EQ(dialog.content(), text(Text::DigestMismatch));
    EXPECT_EQ(buttons_of(dialog), exit_only);
    dialog.click_task_button(IDCANCEL);
  });
  EXPECT_EQ(code, 1);
}

TEST_F(LauncherMainTest, CancellingTheProgressDialogEndsQuietlyWithZero) {
  services_.job = [](LauncherRun&, Context& context, HWND) {
    context.progress(Text::DownloadingUpdate, 1, 2, L"");
    testing::wait_until([&] { return context.cancelled.load(); });
    throw_if_cancelled(context);
  };
  std::atomic<bool> returned = false;
  bool cancelled = false;
  bool failure_shown = false;
  std::jthread player([&] {
    const auto progress = testing::wait_for_dialog(
        GetCurrentProcessId(), title,
        [](const Dialog& d) { return d.instruction() == text(Text::DownloadingUpdate); });
    if (!progress) return;
    cancelled = true;
    progress->click_task_button(IDCANCEL);
    // Until launcher_main returns, no failure message may appear.
    testing::wait_until([&] {
      if (const auto dialog = failure_message_now()) {
        failure_shown = true;
        dialog->click_task_button(IDCANCEL);
        return true;
      }
      return returned.load();
    });
  });
  const int code = run({});
  returned = true;
  player.join();
  EXPECT_TRUE(cancelled);
  EXPECT_FALSE(failure_shown);
  EXPECT_EQ(code, 0);
}

TEST_F(LauncherMainTest, HandsOverToARegisteredLauncherUnlessATransactionIsPending) {
  const struct {
    const char* name;
    bool transaction_pending;
    bool relaunch_fails;
    bool handed_over;
  } cases[] = {
      {"hand-over", false, false, true},
      {"hand-over fails", false, true, false},
      {"transaction pending", true, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    attempts_ = 0;
    std::vector<std::wstring> asked, relaunched;
    services_.has_launch_transaction = [&](const std::wstring& directory) {
      EXPECT_EQ(directory, path(L"inst"));
      return c.transaction_pending;
    };
    services_.find_registered_launcher = [&](const std::wstring& executable) {
      asked.push_back(executable);
      return std::optional<std::wstring>(L"D:\\Games\\ZYR_ENGINE\\ZYR_ENGINE.exe");
    };
    services_.relaunch_launcher = [&](const std::wstring& directory) {
      relaunched.push_back(directory);
      if (c.relaunch_fails) {
        throw_failure(Text::FileOperationFailed, std::wstring(L"D:\\Games\\ZYR_ENGINE [2]"));
      }
    };
    EXPECT_EQ(run({}), 0);
    EXPECT_EQ(asked, c.transaction_pending ? std::vector<std::wstring>{}
                                           : std::vector<std::wstring>{executable_});
    EXPECT_EQ(relaunched, c.transaction_pending
                              ? std::vector<std::wstring>{}
                              : std::vector<std::wstring>{L"D:\\Games\\ZYR_ENGINE"});
    EXPECT_EQ(attempts_, c.handed_over ? 0 : 1);
  }
}

TEST_F(LauncherMainTest, AFailingClientRunLoopIsShownWithOkAndTheJobStillRuns) {
  services_.run_client_loop = [](const std::wstring&) { throw_failure(Text::ClientStillRunning); };
  const int code = run_answering({}, [&](const Dialog& dialog) {
    EXPECT_EQ(dialog.content(), text(Text::ClientStillRunning));
    EXPECT_EQ(buttons_of(dialog), ok_only);
    dialog.click_task_button(IDOK);
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(attempts_, 1);
}

}  // namespace
}  // namespace zyr::update
