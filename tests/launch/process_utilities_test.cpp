#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "launch/child_processes.h"
#include "launch/log_capture.h"
#include "launch/process_snapshot.h"
#include "launch/process_termination.h"
#include "launch/process_token.h"

#include <tlhelp32.h>

namespace zyr::update {
namespace {

using testing::LaunchLogCapture;
using testing::ScratchFolder;
using testing::StartedProcess;

// Two running copies of the idle helper under a name no other process has.
class NamedProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto program =
        testing::copy_program(L"launch_idle_child.exe", folder_.path(), lower_name_);
    for (auto& copy : copies_) {
      copy = testing::start_process(program);
      ASSERT_TRUE(copy.process);
    }
  }
  void TearDown() override {
    for (auto& copy : copies_) {
      if (copy.process) {
        TerminateProcess(copy.process.get(), 99);
        WaitForSingleObject(copy.process.get(), 5000);
      }
    }
  }

  // The first copy the process list reports, which is not necessarily the first started.
  DWORD first_listed_id() const {
    DWORD first = 0;
    for_each_process_named(lower_name_, [&](std::uint32_t id) {
      first = id;
      return false;
    });
    return first;
  }

  ScratchFolder folder_;
  const std::wstring lower_name_ = L"zyr_idle_" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  const std::string upper_name_ = "ZYR_IDLE_" + std::to_string(GetCurrentProcessId()) + ".EXE";
  StartedProcess copies_[2];
};

// Wine gives every process an elevated token, so only the elevated answer is seen here; a
// limited token (false, no line) needs Windows.
TEST(IsElevated, AnswersTrueAndSaysSoUnderWine) {
  LaunchLogCapture log;
  EXPECT_TRUE(is_elevated());
  EXPECT_EQ(log.lines(), std::vector<std::string>{
                             "[Launcher] Running as administrator, will downgrade privileges"});
}

TEST_F(NamedProcesses, FindProcessTokenTakesTheFirstMatchIgnoringCase) {
  LaunchLogCapture log;
  const std::wstring upper_wide(upper_name_.begin(), upper_name_.end());
  const ScopedKernelHandle token = find_process_token(upper_wide);
  ASSERT_TRUE(token);
  TOKEN_TYPE type{};
  DWORD size = 0;
  ASSERT_TRUE(GetTokenInformation(token.get(), TokenType, &type, sizeof(type), &size));
  EXPECT_EQ(log.lines(),
            std::vector<std::string>{"[Launcher] Found process: " + upper_name_ +
                                     " (PID=" + std::to_string(first_listed_id()) + ")"});
}

TEST(FindProcessToken, NoProcessOfThatNameGivesNothingAndNoLine) {
  LaunchLogCapture log;
  EXPECT_FALSE(find_process_token(L"no-such-process-anywhere.exe"));
  EXPECT_TRUE(log.lines().empty());
}

// Wine's desktop runs explorer.exe, so the svchost.exe fallback (a session without the
// shell) is not reached here.
TEST(DuplicateShellToken, GivesAPrimaryTokenOfTheShell) {
  // Wine starts its desktop process on the first use of the desktop, not with the server.
  ASSERT_NE(GetDesktopWindow(), nullptr);
  LaunchLogCapture log;
  const ScopedKernelHandle token = duplicate_shell_token();
  ASSERT_TRUE(token);
  TOKEN_TYPE type{};
  DWORD size = 0;
  ASSERT_TRUE(GetTokenInformation(token.get(), TokenType, &type, sizeof(type), &size));
  EXPECT_EQ(type, TokenPrimary);
  const auto lines = log.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "[Launcher] Attempting to get low integrity token");
  EXPECT_TRUE(lines[1].starts_with("[Launcher] Found process: explorer.exe (PID=")) << lines[1];
  EXPECT_EQ(lines[2], "[Launcher] Low integrity token created successfully");
}

TEST_F(NamedProcesses, TerminateProcessesNamedEndsEveryMatchWithExitCodeZero) {
  LaunchLogCapture log;
  terminate_processes_named(upper_name_);
  for (auto& copy : copies_) {
    EXPECT_EQ(testing::exit_code_after(copy.process.get(), 10000), 0u);
  }
  const auto lines = log.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "[Launcher] Checking and terminating processes with name: " + upper_name_);
  std::vector<std::string> expected = {
      "[Launcher] Terminating process PID=" + std::to_string(copies_[0].id),
      "[Launcher] Terminating process PID=" + std::to_string(copies_[1].id)};
  std::vector<std::string> seen = {lines[1], lines[2]};
  std::sort(expected.begin(), expected.end());
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, expected);
}

TEST(TerminateProcessesNamed, ANameNoProcessHasOnlyLogsTheCheck) {
  LaunchLogCapture log;
  terminate_processes_named("no-such-process-anywhere.exe");
  EXPECT_EQ(log.lines(), std::vector<std::string>{"[Launcher] Checking and terminating processes "
                                                  "with name: no-such-process-anywhere.exe"});
}

}  // namespace
}  // namespace zyr::update
