// Stands in for the game client in tests of client detection and shutdown. Copied into test
// folders as ZYR_Shell.exe; its behaviour is chosen by the command line:
//
//   client_double windowless               no window; runs until terminated
//   client_double close <delay ms>         a main window that exits <delay> after WM_CLOSE
//   client_double late-window <delay ms>   no window for <delay>, then as "close 0"
//   client_double ignore-close             a main window that ignores WM_CLOSE
//
// Beside its main window it keeps a hidden window and a visible owned window: WM_CLOSE sent
// to either of them means the wrong window was picked, and the double exits with 3.
// Exit codes: 0 after a proper close, 2 for a bad command line, 3 for a wrong window, 4 when
// its safety time-out of 60 s ends a forgotten double.
#include <cstdlib>
#include <cwchar>
#include <string>

#include "common/windows_api.h"

namespace {

constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT kSafetyTimeoutMs = 60000;

enum class Mode { windowless, close, late_window, ignore_close };

Mode mode = Mode::windowless;
UINT close_delay_ms = 0;
HWND main_window = nullptr;

LRESULT CALLBACK main_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CLOSE:
      if (mode != Mode::ignore_close) {
        SetTimer(window, kCloseTimer, close_delay_ms, nullptr);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, w, l);
  }
}

LRESULT CALLBACK decoy_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_CLOSE) {
    ExitProcess(3);
  }
  return DefWindowProcW(window, message, w, l);
}

void register_class(const wchar_t* name, WNDPROC procedure) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = name;
  RegisterClassW(&window_class);
}

HWND create(const wchar_t* class_name, const wchar_t* title, HWND owner, bool visible) {
  const DWORD style = WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0);
  return CreateWindowExW(0, class_name, title, style, 10, 10, 200, 100, owner, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

// The main window is visible from the moment it exists. The hidden window comes last, so it
// is on top and enumerated first: a search that took the first window found would pick it.
void create_windows() {
  main_window = create(L"ZyrClientMain", L"ZYR client double", nullptr, true);
  if (main_window == nullptr) {
    ExitProcess(5);  // no display
  }
  create(L"ZyrClientDecoy", L"owned", main_window, true);
  create(L"ZyrClientDecoy", L"hidden", nullptr, false);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const int argc = __argc;
  wchar_t** argv = __wargv;
  const std::wstring name = argc > 1 ? argv[1] : L"";
  const UINT delay = argc > 2 ? static_cast<UINT>(std::wcstoul(argv[2], nullptr, 10)) : 0;
  if (name == L"windowless") {
    Sleep(kSafetyTimeoutMs);
    return 4;
  }
  if (name == L"close") {
    mode = Mode::close;
    close_delay_ms = delay;
  } else if (name == L"late-window") {
    mode = Mode::late_window;
  } else if (name == L"ignore-close") {
    mode = Mode::ignore_close;
  } else {
    return 2;
  }
  register_class(L"ZyrClientMain", main_procedure);
  register_class(L"ZyrClientDecoy", decoy_procedure);
  // Thread timers get their identifiers from the system.
  const UINT_PTR safety_timer = SetTimer(nullptr, 0, kSafetyTimeoutMs, nullptr);
  UINT_PTR late_window_timer = 0;
  if (mode == Mode::late_window) {
    late_window_timer = SetTimer(nullptr, 0, delay, nullptr);
  } else {
    create_windows();
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == nullptr && message.message == WM_TIMER) {
      if (message.wParam == safety_timer) {
        return 4;
      }
      if (message.wParam == late_window_timer && main_window == nullptr) {
        create_windows();
      }
      continue;
    }
    if (message.message == WM_TIMER && message.wParam == kCloseTimer) {
      DestroyWindow(message.hwnd);
      continue;
    }
    DispatchMessageW(&message);
  }
  return 0;
}
