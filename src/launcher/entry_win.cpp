// Process entry of ZYR_ENGINE.exe.
#include "common/language.h"
#include "common/scoped_handle.h"
#include "common/text.h"
#include "launcher/launcher_main.h"

#include <commctrl.h>
#include <shellapi.h>

using namespace zyr::update;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Every later library load searches the system directory only, so nothing planted next
  // to the executable (a download folder, say) is ever loaded.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);

  int count = 0;
  ScopedLocalMemory<LPWSTR> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!arguments) {
    return 1;
  }

  int result = 1;
  try {
    result = launcher_main(count, arguments.get());
  } catch (...) {
    const Language language = detect_language();
    MessageBoxW(nullptr, lookup_text(Text::InternalError, language),
                lookup_text(Text::AppTitle, language), MB_ICONERROR);
  }
  return result;
}
