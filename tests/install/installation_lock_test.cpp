// The lock is proven between real processes: lock_child (beside this test) acquires or
// adopts it and reports through its exit code.
#include "install/installation_lock.h"

#include <gtest/gtest.h>

#include <string>

#include "common/expect_failure.h"
#include "common/failure.h"
#include "common/scoped_handle.h"
#include "install/layout.h"
#include "install/local_path.h"
#include "install/scratch_directory.h"

namespace zyr::update {
namespace {

constexpr DWORD kChildTimeoutMs = 20000;

std::wstring handle_text(HANDLE handle) {
  return std::to_wstring(reinterpret_cast<std::uintptr_t>(handle));
}

ScopedKernelHandle inheritable_event() {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  return ScopedKernelHandle(CreateEventW(&inherit, TRUE, FALSE, nullptr));
}

ScopedFileHandle inheritable_duplicate(HANDLE handle) {
  HANDLE duplicate = nullptr;
  EXPECT_TRUE(DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &duplicate, 0, TRUE,
                              DUPLICATE_SAME_ACCESS));
  return ScopedFileHandle(duplicate);
}

class LockChild {
 public:
  explicit LockChild(const std::wstring& arguments) {
    std::wstring command =
        L"\"" + join_path(parent_path(module_path()), L"lock_child.exe") + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &startup, &process))
        << GetLastError();
    process_.reset(process.hProcess);
    ScopedKernelHandle thread(process.hThread);
  }
  ~LockChild() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.get(), 1);
      WaitForSingleObject(process_.get(), kChildTimeoutMs);
    }
  }

  DWORD exit_code() {
    EXPECT_EQ(WaitForSingleObject(process_.get(), kChildTimeoutMs), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
  }

  // Waits until the child signals that it holds the lock; false when it ended instead.
  bool wait_until_holding(HANDLE event) {
    const HANDLE handles[] = {event, process_.get()};
    return WaitForMultipleObjects(2, handles, FALSE, kChildTimeoutMs) == WAIT_OBJECT_0;
  }

  void kill() {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), kChildTimeoutMs);
  }

 private:
  ScopedKernelHandle process_;
};

DWORD failed_with(Text code) { return 100 + static_cast<DWORD>(code); }

TEST(InstallationLock, SecondProcessIsRefusedWhileTheLockIsHeld) {
  ScratchDirectory scratch;
  const ScopedFileHandle lock = acquire_installation_lock(scratch.path());
  ASSERT_TRUE(lock);
  const ScopedKernelHandle event = inheritable_event();
  LockChild child(L"acquire \"" + scratch.path() + L"\" " + handle_text(event.get()));
  EXPECT_EQ(child.exit_code(), failed_with(Text::LauncherAlreadyRunning));
}

TEST(InstallationLock, EndsWithItsHolderAndHidesUpdateAgain) {
  ScratchDirectory scratch;
  const ScopedKernelHandle event = inheritable_event();
  LockChild child(L"acquire \"" + scratch.path() + L"\" " + handle_text(event.get()));
  ASSERT_TRUE(child.wait_until_holding(event.get()));
  EXPECT_TRUE(throws_failure([&] { acquire_installation_lock(scratch.path()); },
                             Text::LauncherAlreadyRunning));

  const std::wstring update = update_directory(scratch.path());
  SetFileAttributesW(update.c_str(), FILE_ATTRIBUTE_NORMAL);  // the player made it visible
  child.kill();  // the leftover lock file blocks nobody
  const ScopedFileHandle lock = acquire_installation_lock(scratch.path());
  EXPECT_TRUE(lock);
  EXPECT_NE(GetFileAttributesW(update.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(read_test_file(lock_file_path(scratch.path())), "");
}

TEST(InstallationLock, HelperAdoptsAnInheritedDuplicateOfTheSameOpenFile) {
  ScratchDirectory scratch;
  const ScopedKernelHandle event = inheritable_event();
  ScopedFileHandle lock = acquire_installation_lock(scratch.path());
  ScopedFileHandle duplicate = inheritable_duplicate(lock.get());
  LockChild helper(L"adopt \"" + scratch.path() + L"\" " + handle_text(duplicate.get()) + L" " +
                   handle_text(event.get()));
  ASSERT_TRUE(helper.wait_until_holding(event.get())) << helper.exit_code();
  // With the launcher's handles closed, the helper's adopted handle still excludes everybody.
  duplicate.reset();
  lock.reset();
  EXPECT_TRUE(throws_failure([&] { acquire_installation_lock(scratch.path()); },
                             Text::LauncherAlreadyRunning));
  helper.kill();
  EXPECT_TRUE(acquire_installation_lock(scratch.path()));
}

TEST(InstallationLock, AdoptionRefusesAndClosesAHandleToAnotherFile) {
  ScratchDirectory scratch;
  const ScopedKernelHandle event = inheritable_event();
  const ScopedFileHandle lock = acquire_installation_lock(scratch.path());
  const std::wstring log = scratch / L"client.log";
  write_test_file(log, "log");
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  const ScopedFileHandle other(CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(other);
  LockChild helper(L"adopt \"" + scratch.path() + L"\" " + handle_text(other.get()) + L" " +
                   handle_text(event.get()));
  EXPECT_EQ(helper.exit_code(), failed_with(Text::UnsafePath));
}

TEST(InstallationLock, UnopenableLockFileGivesTheWritableHint) {
  ScratchDirectory scratch;
  // Tests run as a user who may write everywhere, so a folder standing where the lock file
  // belongs is what makes the open fail with access denied.
  const std::wstring lock = lock_file_path(scratch.path());
  ASSERT_TRUE(CreateDirectoryW(update_directory(scratch.path()).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(lock.c_str(), nullptr));
  EXPECT_TRUE(throws_failure([&] { acquire_installation_lock(scratch.path()); },
                             Text::InstallDirWritableHint, lock + L" [5]"));
}

TEST(InstallationLock, RefusesALinkedUpdateFolder) {
  const std::wstring installation = link_fixture_path(L"linked_install");
  EXPECT_TRUE(throws_failure([&] { acquire_installation_lock(installation); }, Text::UnsafePath,
                             update_directory(installation)));
  EXPECT_FALSE(path_exists(link_fixture_path(L"outside\\launcher.lock")));
}

}  // namespace
}  // namespace zyr::update
