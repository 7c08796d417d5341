// Proves that the test environment has a display. Without one Wine's TaskDialogIndirect
// returns S_OK with button -1 and never shows a window, which a UI test could mistake for
// success; this test fails in that case.
#include <gtest/gtest.h>

#include "common/windows_api.h"

#include <commctrl.h>

namespace {

struct Observed {
  bool created = false;
  HWND window = nullptr;
};

HRESULT CALLBACK press_ok_once_shown(HWND window, UINT notification, WPARAM, LPARAM,
                                     LONG_PTR data) {
  auto* observed = reinterpret_cast<Observed*>(data);
  if (notification == TDN_CREATED) {
    observed->created = true;
    observed->window = window;
    PostMessageW(window, TDM_CLICK_BUTTON, IDOK, 0);
  }
  return S_OK;
}

TEST(TestDisplay, TaskDialogReallyAppears) {
  Observed observed;
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof(config);
  config.pszWindowTitle = L"display check";
  config.pszMainInstruction = L"A dialog that presses its own OK button";
  config.dwCommonButtons = TDCBF_OK_BUTTON;
  config.pfCallback = press_ok_once_shown;
  config.lpCallbackData = reinterpret_cast<LONG_PTR>(&observed);

  int button = 0;
  ASSERT_EQ(TaskDialogIndirect(&config, &button, nullptr, nullptr), S_OK);
  EXPECT_TRUE(observed.created) << "no window was created: is there a display?";
  EXPECT_NE(observed.window, nullptr);
  EXPECT_EQ(button, IDOK);
}

}  // namespace
