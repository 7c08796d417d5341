// A second process for the lock tests. Its exit code tells the outcome: 0 for success, 100
// plus the Text code of a Failure, 98 when an adopted handle stayed inheritable, 99 when a
// refused handle was left open.
//
//   lock_child acquire <installation> <event>          holds the lock after signalling
//   lock_child adopt <installation> <handle> <event>   holds the adopted lock after signalling
#include <cstdint>
#include <cwchar>
#include <string>

#include "common/failure.h"
#include "common/windows_api.h"
#include "install/installation_lock.h"

namespace {

HANDLE handle_argument(const wchar_t* text) {
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::wcstoull(text, nullptr, 10)));
}

[[noreturn]] void signal_and_hold(HANDLE event) {
  SetEvent(event);
  Sleep(INFINITE);
  ExitProcess(0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using namespace zyr::update;
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"acquire" && argc == 4) {
    try {
      const ScopedFileHandle lock = acquire_installation_lock(argv[2]);
      signal_and_hold(handle_argument(argv[3]));
    } catch (const Failure& failure) {
      return 100 + static_cast<int>(failure.code);
    }
  }
  if (mode == L"adopt" && argc == 5) {
    const HANDLE received = handle_argument(argv[3]);
    try {
      const ScopedFileHandle lock = adopt_installation_lock(argv[2], received);
      DWORD flags = 0;
      if (!GetHandleInformation(lock.get(), &flags) || (flags & HANDLE_FLAG_INHERIT) != 0) {
        return 98;
      }
      signal_and_hold(handle_argument(argv[4]));
    } catch (const Failure& failure) {
      DWORD flags = 0;
      if (GetHandleInformation(received, &flags)) {
        return 99;
      }
      return 100 + static_cast<int>(failure.code);
    }
  }
  return 2;
}
