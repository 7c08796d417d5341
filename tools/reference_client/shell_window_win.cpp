#include "shell_window.h"

#include "common/windows_api.h"

namespace zyr::shell {
namespace {

constexpr wchar_t kWindowClass[] = L"ZYR_Shell_Window";
constexpr UINT_PTR kRelaunchTimer = 1;

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* options = reinterpret_cast<ShellWindowOptions*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_CREATE: {
      options = static_cast<ShellWindowOptions*>(
          reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(options));
      CreateWindowExW(0, L"STATIC", options->summary.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, 16,
                      16, 600, 300, window, nullptr, nullptr, nullptr);
      if (options->relaunch_after_ms) {
        SetTimer(window, kRelaunchTimer, *options->relaunch_after_ms, nullptr);
      }
      return 0;
    }
    case WM_TIMER:
      if (wparam == kRelaunchTimer) {
        KillTimer(window, kRelaunchTimer);
        options->relaunch();
        DestroyWindow(window);
      }
      return 0;
    case WM_CLOSE:
      if (!options->ignore_close) {
        DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int run_shell_window(ShellWindowOptions options) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kWindowClass;
  RegisterClassExW(&window_class);

  const HWND window =
      CreateWindowExW(0, kWindowClass, L"ZYR Shell", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, 660, 380, nullptr, nullptr, window_class.hInstance, &options);
  if (window == nullptr) {
    return 3;
  }
  ShowWindow(window, SW_SHOWNORMAL);
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace zyr::shell
