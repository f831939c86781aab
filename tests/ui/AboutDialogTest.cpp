// The about box: its frame, its keys, and a Windows version that cannot be read.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "UiTestSupport.h"
#include "data/Errors.h"
#include "ms/text/msWinVersion.h"
#include "ms/msabout.h"

namespace horalog {
namespace {

using test::Steps;
using test::PressKey;

using AboutDlgTest = test::MainFormTest;

TEST_F(AboutDlgTest, FrameFontIconAndTheRunningWindows) {
  TAboutDlg dlg(nullptr);
  HWND w = dlg.Handle();
  EXPECT_EQ(test::ClassOf(w), "TAboutDlg");
  EXPECT_EQ(test::WindowText(w), "About");
  EXPECT_FALSE(GetWindowLongA(w, GWL_STYLE) & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  RECT client{};
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, ui::TWindow::Scale(323));
  EXPECT_EQ(client.bottom, ui::TWindow::Scale(204));
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dlg.Label1.Handle(), WM_GETFONT, 0, 0)),
             sizeof font, &font);
  EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
  EXPECT_NE(dlg.Image1.Icon(), nullptr);
  EXPECT_EQ(test::WindowText(dlg.Label1.Handle()), "Version");
  const std::string windows = WindowsVersionText();
  EXPECT_FALSE(windows.empty());
  EXPECT_EQ(test::WindowText(dlg.WindowsVersionLabel.Handle()), windows);
}

TEST_F(AboutDlgTest, OnlyOkTakesTheFocusEscDoesNothingEnterAndSpaceClose) {
  TAboutDlg dlg(nullptr);
  HWND focus[2] = {};
  bool openAfterEsc = false;
  Steps({
      [&] {
        focus[0] = GetFocus();
        PressKey(dlg.Handle(), VK_TAB);
      },
      [&] {
        focus[1] = GetFocus();
        PressKey(dlg.Handle(), VK_ESCAPE);
      },
      [&] {
        openAfterEsc = dlg.InModal();
        PressKey(dlg.Handle(), VK_RETURN);
      },
  });
  EXPECT_EQ(dlg.ShowModal(), IDOK);
  EXPECT_EQ(focus[0], dlg.OKButton.Handle());
  EXPECT_EQ(focus[1], dlg.OKButton.Handle());
  EXPECT_TRUE(openAfterEsc);

  Steps({[&] { PressKey(dlg.Handle(), VK_SPACE); }});
  EXPECT_EQ(dlg.ShowModal(), IDOK);
}

TEST_F(AboutDlgTest, AVersionThatCannotBeReadIsShownAndLeavesTheLabelEmpty) {
  test::CaptureErrors errors;
  TAboutDlg dlg(nullptr, []() -> std::string { RaiseOSError(ERROR_INVALID_PARAMETER); });
  ASSERT_EQ(errors.texts.size(), 1u);
  EXPECT_EQ(errors.texts[0].rfind("System Error.  Code: 87.\r\n", 0), 0u) << errors.texts[0];
  EXPECT_EQ(test::WindowText(dlg.WindowsVersionLabel.Handle()), "");
  EXPECT_NE(dlg.Image1.Icon(), nullptr);
}

}  // namespace
}  // namespace horalog
