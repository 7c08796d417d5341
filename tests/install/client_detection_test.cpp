// Real client processes: client_double (beside this test) copied as ZYR_Shell.exe into one
// installation and into another folder. The windows need the test display.
#include "install/client_detection.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "common/expect_failure.h"
#include "common/failure.h"
#include "common/scoped_handle.h"
#include "install/layout.h"
#include "install/local_path.h"
#include "install/scratch_directory.h"

namespace zyr::update {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr DWORD kProcessTimeoutMs = 30000;
constexpr DWORD kForcedExitCode = 1067;

// A client started from a folder; keeps its own handle to read the exit code after
// close_client_process has closed the one it was given.
class Client {
 public:
  Client(const std::wstring& installation, const std::wstring& arguments) {
    const std::wstring image = client_executable_path(installation);
    CreateDirectoryW(installation.c_str(), nullptr);
    CopyFileW(join_path(parent_path(module_path()), L"client_double.exe").c_str(), image.c_str(),
              FALSE);
    std::wstring command = L"\"" + image + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(CreateProcessW(image.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               installation.c_str(), &startup, &process))
        << GetLastError();
    observer_.reset(process.hProcess);
    ScopedKernelHandle thread(process.hThread);
  }
  ~Client() {
    if (WaitForSingleObject(observer_.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(observer_.get(), 1);
      WaitForSingleObject(observer_.get(), kProcessTimeoutMs);
    }
  }

  // A second handle, as the launcher job owns one.
  ScopedKernelHandle handle() const {
    HANDLE duplicate = nullptr;
    DuplicateHandle(GetCurrentProcess(), observer_.get(), GetCurrentProcess(), &duplicate, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    return ScopedKernelHandle(duplicate);
  }

  void terminate(UINT code) {
    TerminateProcess(observer_.get(), code);
    WaitForSingleObject(observer_.get(), kProcessTimeoutMs);
  }

  // Waits until the client shows its main window, so that a slow start under load does not
  // count against the deadlines being tested.
  bool wait_for_window() const {
    for (int attempt = 0; attempt < 300; ++attempt) {
      ClientWindowSearch search;
      search.process_id = GetProcessId(observer_.get());
      EnumWindows(find_client_window, reinterpret_cast<LPARAM>(&search));
      if (search.visible_window != nullptr) {
        return true;
      }
      Sleep(100);
    }
    return false;
  }

  // True once the client waits for input in its message loop.
  bool wait_until_idle() const { return WaitForInputIdle(observer_.get(), kProcessTimeoutMs) == 0; }

  DWORD exit_code() const {
    EXPECT_EQ(WaitForSingleObject(observer_.get(), kProcessTimeoutMs), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(observer_.get(), &code);
    return code;
  }

 private:
  ScopedKernelHandle observer_;
};

// close_client_process on a fresh handle of `client`; returns the seconds it took.
double close_and_time(const Client& client) {
  ScopedKernelHandle handle = client.handle();
  const auto start = Clock::now();
  close_client_process(handle);
  EXPECT_FALSE(handle);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(IsClientRunning, LooksOnlyForThisInstallationsImage) {
  ScratchDirectory scratch;
  const std::wstring game = scratch / L"game";
  const std::wstring other = scratch / L"other";
  EXPECT_FALSE(is_client_running(game));

  Client foreign(other, L"windowless");
  EXPECT_FALSE(is_client_running(game));
  EXPECT_TRUE(is_client_running(other));
  std::wstring other_upper = other;
  for (wchar_t& c : other_upper) {
    c = (c >= L'a' && c <= L'z') ? c - 32 : c;
  }
  EXPECT_TRUE(is_client_running(other_upper));

  Client own(game, L"windowless");
  EXPECT_TRUE(is_client_running(game));
  std::thread ender([&] {
    Sleep(300);
    own.terminate(0);
  });
  EXPECT_NO_THROW(wait_for_client_exit(game));
  ender.join();
  EXPECT_FALSE(is_client_running(game));
}

TEST(HasLaunchTransaction, SeesOnlyARegularFile) {
  ScratchDirectory scratch;
  EXPECT_FALSE(has_launch_transaction(scratch.path()));
  CreateDirectoryW(launch_transaction_path(scratch.path()).c_str(), nullptr);
  EXPECT_FALSE(has_launch_transaction(scratch.path()));
  RemoveDirectoryW(launch_transaction_path(scratch.path()).c_str());
  write_test_file(launch_transaction_path(scratch.path()), "request");
  EXPECT_TRUE(has_launch_transaction(scratch.path()));
}

TEST(CloseClientProcess, EmptyOrEndedHandlesAreOnlyClosed) {
  ScopedKernelHandle empty;
  EXPECT_NO_THROW(close_client_process(empty));

  ScratchDirectory scratch;
  Client ended(scratch / L"game", L"windowless");
  ended.terminate(7);
  EXPECT_LT(close_and_time(ended), 1.0);
  EXPECT_EQ(ended.exit_code(), 7u);
}

TEST(CloseClientProcess, ClientThatHonoursCloseIsNotTerminated) {
  ScratchDirectory scratch;
  Client client(scratch / L"game", L"close 1500");
  ASSERT_TRUE(client.wait_for_window());
  const double seconds = close_and_time(client);
  EXPECT_EQ(client.exit_code(), 0u);  // 3 would mean the hidden or owned window was chosen
  EXPECT_GE(seconds, 1.4);
  EXPECT_LT(seconds, 9.0);
}

TEST(CloseClientProcess, CloseIsPostedOnceAWindowAppears) {
  ScratchDirectory scratch;
  Client client(scratch / L"game", L"late-window 3000");
  // The window's delay starts when the client's message loop does; Wine's start of a GUI
  // process can take seconds under load and must not count against the close deadline.
  ASSERT_TRUE(client.wait_until_idle());
  const double seconds = close_and_time(client);
  EXPECT_EQ(client.exit_code(), 0u);
  EXPECT_GE(seconds, 2.5);
  EXPECT_LT(seconds, 9.0);
}

// The two ten-second deadlines run side by side to keep the test short.
TEST(ClientDeadlines, IgnoredCloseIsTerminatedAndALingeringClientTimesOut) {
  ScratchDirectory scratch;
  Client stubborn(scratch / L"stubborn", L"ignore-close");
  Client lingering(scratch / L"lingering", L"windowless");
  ASSERT_TRUE(stubborn.wait_for_window());
  auto waited = std::async(std::launch::async, [&] {
    const auto start = Clock::now();
    EXPECT_TRUE(throws_failure([&] { wait_for_client_exit(scratch / L"lingering"); },
                               Text::ClientStillRunning));
    return std::chrono::duration<double>(Clock::now() - start).count();
  });
  const double closing = close_and_time(stubborn);
  EXPECT_EQ(stubborn.exit_code(), kForcedExitCode);
  EXPECT_GE(closing, 9.9);
  EXPECT_GE(waited.get(), 9.9);
}

}  // namespace
}  // namespace zyr::update
