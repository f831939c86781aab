// The Options dialog, on its own and through the main window's command.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "UiTestSupport.h"
#include "app/HoralogMain.h"
#include "data/SettingsRules.h"
#include "dialogs/DBViewDialog.h"
#include "dialogs/OptionsDialog.h"
#include "ui/MessageBoxes.h"

namespace horalog {
namespace {

using test::CaptureErrors;
using test::Steps;
using test::PressKey;

constexpr const char* RangeError = "Inactivity timeout value can be a number between 1 and 59.";

std::string Text(HWND w) { return test::WindowText(w); }

using OptionsDlgTest = test::MainFormTest;

TEST_F(OptionsDlgTest, FixedFrameWithTheEditsUpDownAndOKAsDefault) {
  TOptionsDlg dlg(nullptr);
  HWND w = dlg.Handle();
  EXPECT_EQ(test::ClassOf(w), "TOptionsDlg");
  EXPECT_EQ(Text(w), "Options");
  const LONG style = GetWindowLongA(w, GWL_STYLE);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  RECT client{};
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, ui::TWindow::Scale(313));
  EXPECT_EQ(client.bottom, ui::TWindow::Scale(180));
  EXPECT_EQ(HWND(SendMessageA(dlg.TimeOutUpDown.Handle(), UDM_GETBUDDY, 0, 0)),
            dlg.TimeOutEdit.Handle());
  EXPECT_EQ(dlg.DefaultButton(), &dlg.OKBtn);
}

// Tab order, the label's accelerator, the arrow keys without wrapping, Esc.
TEST_F(OptionsDlgTest, TabAcceleratorArrowsAndEscape) {
  TOptionsDlg dlg(nullptr);
  HWND w = dlg.Handle();
  HWND seen[4] = {};
  bool returned = false, finished = false;
  Steps({
      [&] {
        dlg.LoadAtLoginCheckBox.SetFocus();
        PressKey(w, VK_TAB);
      },
      [&] {
        seen[0] = GetFocus();
        PressKey(w, VK_TAB);
      },
      [&] {
        seen[1] = GetFocus();
        dlg.OKBtn.SetFocus();
        PostMessageA(GetFocus(), WM_SYSCHAR, 'i', 0x20000000);  // Alt+I
      },
      [&] {
        seen[2] = GetFocus();
        dlg.TimeOutEdit.SetText("58");
        for (int i = 0; i < 3; ++i) PressKey(w, VK_UP);
      },
      [&] {
        EXPECT_EQ(Text(dlg.TimeOutEdit.Handle()), "59");
        dlg.TimeOutEdit.SetText("2");
        for (int i = 0; i < 3; ++i) PressKey(w, VK_DOWN);
      },
      [&] {
        EXPECT_EQ(Text(dlg.TimeOutEdit.Handle()), "1");
        PressKey(w, VK_ESCAPE);
      },
      [&] {
        if (!returned) dlg.SetModalResult(IDABORT);  // Esc did nothing
        finished = true;
      },
  });
  EXPECT_EQ(dlg.ShowModal(), IDCANCEL);
  returned = true;
  // The last step runs after the dialog has gone: it must not run in the
  // next test's loop, with this one's dialog gone.
  EXPECT_TRUE(test::PumpUntil([&] { return finished; }));
  EXPECT_EQ(seen[0], dlg.TimeOutEdit.Handle());
  EXPECT_EQ(seen[1], dlg.OKBtn.Handle()) << "the up-down takes no focus of its own";
  EXPECT_EQ(seen[2], dlg.TimeOutEdit.Handle()) << "Alt+I focuses the edit";
}

TEST_F(OptionsDlgTest, TheCloseBoxGivesCancel) {
  TOptionsDlg dlg(nullptr);
  HWND w = dlg.Handle();
  Steps({[&] { PostMessageA(w, WM_CLOSE, 0, 0); }});
  EXPECT_EQ(dlg.ShowModal(), IDCANCEL);
}

TEST_F(OptionsDlgTest, OkRefusesAllButNumbersFrom1To59AndKeepsTheText) {
  TOptionsDlg dlg(nullptr);
  CaptureErrors errors;
  for (const char* refused : {"0", "60", "-5", "", "   ", "five", "5 min", "99999999999"}) {
    dlg.TimeOutEdit.SetText(refused);
    Steps({[&] { SendMessageA(dlg.OKBtn.Handle(), BM_CLICK, 0, 0); },
           [&] {
             EXPECT_TRUE(dlg.InModal()) << "closed on \"" << refused << "\"";
             EXPECT_EQ(Text(dlg.TimeOutEdit.Handle()), refused);
             dlg.SetModalResult(IDABORT);
           }});
    EXPECT_EQ(dlg.ShowModal(), IDABORT) << refused;
    ASSERT_EQ(errors.texts.size(), 1u) << refused;
    EXPECT_EQ(errors.texts[0], RangeError);
    errors.texts.clear();
  }
}

// The number is the edit's, in any form the conversion takes.
TEST_F(OptionsDlgTest, OkTakesTheNumberInAnyFormTheConversionTakes) {
  TOptionsDlg dlg(nullptr);
  CaptureErrors errors;
  for (auto [accepted, number] : {std::pair{"1", 1}, {"59", 59}, {" +7", 7}, {"$1E", 30}}) {
    dlg.TimeOutEdit.SetText(accepted);
    Steps({[&] {
      dlg.TimeOutEdit.SetFocus();
      PressKey(dlg.Handle(), VK_RETURN);
    }});
    EXPECT_EQ(dlg.ShowModal(), IDOK) << accepted;
    EXPECT_EQ(dlg.TimeOut(), number);
  }
  EXPECT_TRUE(errors.texts.empty());
}

TEST_F(OptionsDlgTest, AStoredNumberOutsideTheRangeIsShownAtItsNearestEnd) {
  TOptionsDlg dlg(nullptr);
  dlg.SetTimeOut(70);
  EXPECT_EQ(Text(dlg.TimeOutEdit.Handle()), "59");
  dlg.SetTimeOut(-3);
  EXPECT_EQ(Text(dlg.TimeOutEdit.Handle()), "1");
}

// The Options command of a main window whose files are in a scratch folder
// and whose Run value is in a scratch key.
class OptionsCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::Application().Initialize();
    test::DrainQuit();
    dir = scratch.Path();
    exe = dir + "Horalog.exe";
    ini = dir + "Horalog.ini";
    RegDeleteTreeA(HKEY_CURRENT_USER, ScratchKey);
    form = std::make_unique<TForm1>(exe);
    form->RunKey.parent = std::string("\\") + ScratchKey;
  }
  void TearDown() override {
    form.reset();
    test::DrainQuit();
    RegDeleteTreeA(HKEY_CURRENT_USER, ScratchKey);
  }
  std::string Interval() {
    char text[64] = {};
    GetPrivateProfileStringA("Options", "Interval", "(none)", text, sizeof text, ini.c_str());
    return text;
  }
  std::string RunValue() {
    char text[MAX_PATH] = {};
    DWORD size = sizeof text;
    if (RegGetValueA(HKEY_CURRENT_USER, (std::string(ScratchKey) + "\\Run").c_str(), "Horalog",
                     RRF_RT_ANY, nullptr, text, &size) != ERROR_SUCCESS)
      return "(none)";
    return text;
  }
  HWND Dialog() { return FindWindowA(TOptionsDlg::ClassName, "Options"); }
  TOptionsDlg* OpenDialog() {
    return dynamic_cast<TOptionsDlg*>(
        reinterpret_cast<ui::TWindow*>(GetWindowLongPtrA(Dialog(), GWLP_USERDATA)));
  }
  // Runs the command; `inDialog` acts on the open dialog.
  void RunOptions(std::function<void(TOptionsDlg&)> inDialog) {
    Steps({[&] {
      TOptionsDlg* dlg = OpenDialog();
      ASSERT_NE(dlg, nullptr) << "no Options dialog";
      shown = dlg->TimeOutEdit.Text();
      ticked = dlg->LoadAtLoginCheckBox.Checked();
      inDialog(*dlg);
    }});
    form->OptionsActionExecute();
    EXPECT_EQ(Dialog(), nullptr) << "the dialog was not freed";
  }

  static constexpr const char* ScratchKey = "Software\\Horalog tests\\Options";
  test::ScratchDir scratch;
  std::string dir, exe, ini, shown;
  bool ticked = false;
  std::unique_ptr<TForm1> form;
};

TEST_F(OptionsCommand, OkSavesAndAppliesTheNumberInTheEditBox) {
  // Options on the menu bar, the toolbar and the tray menu; About on the menu bar.
  HMENU bar = GetMenu(form->Handle());
  const UINT options = form->OptionsAction->Id;
  EXPECT_FALSE(GetMenuState(bar, options, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_FALSE(GetMenuState(form->PopupMenu1->Handle(), options, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(SendMessageA(form->ActionToolBar1.Handle(), TB_ISBUTTONENABLED, options, 0));
  EXPECT_FALSE(GetMenuState(bar, form->AboutAction->Id, MF_BYCOMMAND) & MF_GRAYED);

  // No settings file: the default, saved unchanged on OK with the box ticked.
  RunOptions([](TOptionsDlg& dlg) {
    dlg.LoadAtLoginCheckBox.SetChecked(true);
    dlg.OKBtn.Click();
  });
  EXPECT_EQ(shown, "10");
  EXPECT_FALSE(ticked);
  EXPECT_EQ(Interval(), "10");
  EXPECT_EQ(RunValue(), exe);

  // A number stored by hand outside the range shows clamped, and OK saves
  // and applies what the edit holds.
  WritePrivateProfileStringA("Options", "Interval", "70", ini.c_str());
  RunOptions([](TOptionsDlg& dlg) { dlg.OKBtn.Click(); });
  EXPECT_EQ(shown, "59");
  EXPECT_TRUE(ticked);
  EXPECT_EQ(Interval(), "59");
  EXPECT_NEAR(form->Recorder().IdleSpan(), 59 * OneMinute, 1e-12);
}

TEST_F(OptionsCommand, FailuresLeaveWhatWasNotYetWritten) {
  // A Run value of another type: the dialog is never shown.
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(ScratchKey) + "\\Run").c_str(), 0, nullptr, 0,
                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
  const DWORD number = 1;
  RegSetValueExA(key, "Horalog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
  RegCloseKey(key);
  bool opened = false;
  test::After(300, [&] { opened = Dialog() != nullptr; });
  try {
    form->OptionsActionExecute();
    ADD_FAILURE() << "no error";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Horalog'");
  }
  test::Pump(400);
  EXPECT_FALSE(opened);
  EXPECT_EQ(Dialog(), nullptr);

  // The settings file cannot be written: the registry is, the timeout stays.
  RegDeleteTreeA(HKEY_CURRENT_USER, ScratchKey);
  CreateDirectoryA(ini.c_str(), nullptr);
  Steps({[&] {
    TOptionsDlg* dlg = OpenDialog();
    ASSERT_NE(dlg, nullptr);
    dlg->TimeOutEdit.SetText("7");
    dlg->LoadAtLoginCheckBox.SetChecked(true);
    dlg->OKBtn.Click();
  }});
  try {
    form->OptionsActionExecute();
    ADD_FAILURE() << "no error";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + ini);
  }
  EXPECT_EQ(Dialog(), nullptr);
  EXPECT_EQ(RunValue(), exe);
  EXPECT_NEAR(form->Recorder().IdleSpan(), 10 * OneMinute, 1e-12);
}

TEST_F(OptionsCommand, WhileOpenNoOtherWindowTakesInputAndTheTrayLeadsBackToIt) {
  auto view = std::make_unique<TDBViewDlg>();
  form->DBViewDlg = view.get();
  view->Show();
  HWND main = form->Handle(), viewWindow = view->Handle();
  HWND notify = form->TrayIcon->NotifyWindow();
  auto tray = [notify](UINT mouse) {
    SendMessageA(notify, TmsTrayIcon::WM_TRAYNOTIFY, TmsTrayIcon::IconId, mouse);
  };

  bool menuShown = false, boxSeen = false;
  HWND foreground = nullptr, options = nullptr;
  RunOptions([&](TOptionsDlg& dlg) {
    options = dlg.Handle();
    EXPECT_FALSE(IsWindowEnabled(main));
    EXPECT_FALSE(IsWindowEnabled(viewWindow));
    EXPECT_TRUE(IsWindowEnabled(options));

    // The tray's menu does not open, and its double click (Show) only brings
    // the dialog forward.
    test::After(300, [&] {
      HWND menu = FindWindowA("#32768", nullptr);
      menuShown = menu && IsWindowVisible(menu);
      if (menuShown) EndMenu();
    });
    tray(WM_RBUTTONDOWN);
    test::Pump(400);
    EXPECT_FALSE(menuShown);
    tray(WM_LBUTTONDBLCLK);
    EXPECT_FALSE(IsWindowVisible(main));
    foreground = GetForegroundWindow();

    // A box over the dialog disables the dialog too, and only it comes back.
    test::After(300, [&] {
      HWND box = test::FindDialog("Information");
      boxSeen = box != nullptr;
      EXPECT_FALSE(IsWindowEnabled(options));
      EXPECT_EQ(form->Handle(), main);
      EXPECT_EQ(ui::Application().ModalWindow(), box);
      if (box) SendMessageA(box, WM_COMMAND, IDOK, 0);
    });
    ui::Information("Nested", options);
    EXPECT_TRUE(IsWindowEnabled(options));
    EXPECT_FALSE(IsWindowEnabled(main));
    EXPECT_FALSE(IsWindowEnabled(viewWindow));
    EXPECT_EQ(ui::Application().ModalWindow(), options);
    dlg.CancelBtn.Click();
  });
  EXPECT_EQ(foreground, options);
  EXPECT_TRUE(boxSeen);
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_TRUE(IsWindowEnabled(viewWindow));
  EXPECT_EQ(ui::Application().ModalWindow(), nullptr);
  form->DBViewDlg = nullptr;
}

}  // namespace
}  // namespace horalog
