// The tray icon against the real notification area of the shell.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <memory>
#include <vector>

#include "UiTestSupport.h"
#include "data/Errors.h"
#include "ms/msTi.h"
#include "ui/Action.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/Window.h"

namespace horalog {
namespace {

using test::After;

// An owner window that records the system commands reaching it.
class OwnerForm : public ui::TWindow {
 public:
  OwnerForm() {
    TCreateParams params;
    params.className = "HoralogTrayOwner";
    params.caption = "Tray owner";
    params.width = 200;
    params.height = 100;
    CreateHandle(params);
  }
  std::vector<WPARAM> commands;
  int closes = 0;

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SYSCOMMAND) {
      commands.push_back(wParam);
      return 0;
    }
    if (message == WM_CLOSE) {
      ++closes;
      return 0;
    }
    return TWindow::WndProc(message, wParam, lParam);
  }
};

class TrayIcon : public ::testing::Test {
 protected:
  void SetUp() override {
    owner = std::make_unique<OwnerForm>();
    first = &actions.Add("&First", "First|", -1, [this] { ran.push_back(1); });
    second = &actions.Add("&Second", "Second|", -1, [this] { ran.push_back(2); });
    third = &actions.Add("&Third", "Third|", -1, [this] { ran.push_back(3); });
    popup = std::make_unique<ui::TPopupMenu>(owner.get());
    popup->AddItem(*first);
    popup->AddSeparator();
    popup->AddItem(*second, true);
    popup->AddItem(*third, true);
    tray = std::make_unique<TmsTrayIcon>(owner.get());
    tray->SetPopUpMenu(popup.get());
  }
  void TearDown() override {
    tray.reset();
    popup.reset();
    owner.reset();
    test::DrainQuit();
  }
  LRESULT Notify(WPARAM id, UINT mouse) {
    return SendMessageA(tray->NotifyWindow(), TmsTrayIcon::WM_TRAYNOTIFY, id, mouse);
  }
  // Whether the shell knows the icon: a change of an icon it does not have fails.
  bool ShellHasIcon() {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof(data));
    data.cbSize = 88;
    data.hWnd = tray->NotifyWindow();
    data.uID = TmsTrayIcon::IconId;
    data.uFlags = NIF_TIP;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
  }

  std::unique_ptr<OwnerForm> owner;
  ui::TActionList actions;
  ui::TAction *first = nullptr, *second = nullptr, *third = nullptr;
  std::unique_ptr<ui::TPopupMenu> popup;
  std::unique_ptr<TmsTrayIcon> tray;
  std::vector<int> ran;
};

TEST_F(TrayIcon, LivesInTheNotificationAreaThroughAHiddenWindow) {
  HWND notify = tray->NotifyWindow();
  ASSERT_TRUE(IsWindow(notify));
  EXPECT_EQ(test::ClassOf(notify), "TmsTrayIcon");
  EXPECT_FALSE(IsWindowVisible(notify));
  EXPECT_TRUE(ShellHasIcon());
  tray.reset();
  EXPECT_FALSE(IsWindow(notify));
}

TEST_F(TrayIcon, DoubleClickRunsTheFirstDefaultItemOnly) {
  EXPECT_EQ(Notify(TmsTrayIcon::IconId, WM_LBUTTONDBLCLK), 0);
  EXPECT_EQ(ran, std::vector<int>{2});
  // Single clicks, releases and other icons' messages do nothing.
  Notify(TmsTrayIcon::IconId, WM_LBUTTONDOWN);
  Notify(TmsTrayIcon::IconId, WM_LBUTTONUP);
  Notify(TmsTrayIcon::IconId, WM_RBUTTONUP);
  Notify(TmsTrayIcon::IconId, WM_MOUSEMOVE);
  Notify(4, WM_LBUTTONDBLCLK);
  EXPECT_EQ(ran, std::vector<int>{2});

  ui::TPopupMenu plain(owner.get());
  plain.AddItem(*first);
  tray->SetPopUpMenu(&plain);
  Notify(TmsTrayIcon::IconId, WM_LBUTTONDBLCLK);
  EXPECT_EQ(ran, std::vector<int>{2});
  tray->SetPopUpMenu(popup.get());
}

TEST_F(TrayIcon, RightButtonOpensTheMenuInFrontAndItClosesAfterwards) {
  bool menuShown = false;
  HWND foreground = nullptr;
  After(300, [&] {
    foreground = GetForegroundWindow();
    HWND menu = FindWindowA("#32768", nullptr);
    menuShown = menu && IsWindowVisible(menu);
    EndMenu();
  });
  EXPECT_EQ(Notify(TmsTrayIcon::IconId, WM_RBUTTONDOWN), 0);
  EXPECT_TRUE(menuShown);
  // The menu's owner was in front, so a click elsewhere closes the menu ...
  EXPECT_EQ(foreground, tray->NotifyWindow());
  // ... and a null message follows the menu.
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, tray->NotifyWindow(), WM_NULL, WM_NULL, PM_REMOVE));
  EXPECT_TRUE(ran.empty());
}

TEST_F(TrayIcon, ADestroyedMenuLeavesNoReferenceBehind) {
  popup.reset();
  EXPECT_EQ(tray->PopUpMenu(), nullptr);
  Notify(TmsTrayIcon::IconId, WM_LBUTTONDBLCLK);
  Notify(TmsTrayIcon::IconId, WM_RBUTTONDOWN);
  EXPECT_TRUE(ran.empty());
}

TEST_F(TrayIcon, TheOwnerHidesOnCloseAndMinimiseOnly) {
  // Constructed directly: not hooked until NoClose is written.
  EXPECT_TRUE(tray->NoClose());
  EXPECT_FALSE(tray->Hooked());
  LONG original = GetWindowLongA(owner->Handle(), GWL_WNDPROC);
  tray->SetNoClose(true);
  tray->SetNoClose(true);  // twice is harmless
  ASSERT_TRUE(tray->Hooked());
  ShowWindow(owner->Handle(), SW_SHOWNOACTIVATE);

  SendMessageA(owner->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindowVisible(owner->Handle()));
  EXPECT_TRUE(IsWindow(owner->Handle()));
  ShowWindow(owner->Handle(), SW_SHOWNOACTIVATE);
  SendMessageA(owner->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_FALSE(IsWindowVisible(owner->Handle()));
  EXPECT_TRUE(owner->commands.empty());

  // Every other command, the low bits of these included, reaches the owner.
  for (WPARAM command : {WPARAM(SC_MAXIMIZE), WPARAM(SC_RESTORE), WPARAM(SC_MOVE),
                         WPARAM(SC_CLOSE | 1), WPARAM(SC_MINIMIZE | 2)})
    SendMessageA(owner->Handle(), WM_SYSCOMMAND, command, 0);
  EXPECT_EQ(owner->commands.size(), 5u);
  SendMessageA(owner->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(owner->closes, 1);

  tray->SetNoClose(false);
  EXPECT_FALSE(tray->Hooked());
  EXPECT_EQ(GetWindowLongA(owner->Handle(), GWL_WNDPROC), original);
  ShowWindow(owner->Handle(), SW_SHOWNOACTIVATE);
  SendMessageA(owner->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(owner->commands.size(), 6u);
}

TEST_F(TrayIcon, LoadingHidesTheMainFormAndHooksTheOwner) {
  ui::Application().ShowMainAtStart = true;
  tray->Loaded();
  EXPECT_FALSE(ui::Application().ShowMainAtStart);
  EXPECT_TRUE(tray->Hooked());
  // The owner's window goes first: the hook goes with it, and the tray icon
  // is freed without touching it.
  owner->DestroyHandle();
  EXPECT_FALSE(tray->Hooked());
  ui::Application().ShowMainAtStart = true;
}

TEST_F(TrayIcon, TipKeepsItsWholeTextAndPicturesAreOwned) {
  std::string longTip(70, 'x');
  tray->SetTip(longTip);
  EXPECT_EQ(tray->Tip(), longTip);
  tray->SetTip(std::string(63, 'y'));
  tray->SetTip("");
  HICON icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  tray->SetIcon(icon);  // a copy
  EXPECT_NE(tray->IconHandle(), nullptr);
  EXPECT_NE(tray->IconHandle(), icon);
  tray->SetIcon(nullptr);
  EXPECT_EQ(tray->IconHandle(), nullptr);
}

// A balloon goes to the shell in the larger record of its own, beside the
// icon's 88-byte ones; its click comes back as the icon's callback with the
// balloon's event in place of a mouse message, and runs the handler once
// with the balloon's tag. The balloon's other events and the mouse's
// handling stay as they were. Once a balloon of another tag came before,
// a click while the latest is off the screen may be an older one's from the
// notification centre: it names none.
TEST_F(TrayIcon, ABalloonIsShownAndItsClickRunsItsHandler) {
  std::vector<std::optional<uint32_t>> clicks;
  tray->OnBalloonClick = [&clicks](std::optional<uint32_t> tag) { clicks.push_back(tag); };
  EXPECT_TRUE(tray->ShowBalloon("Horalog", std::string(300, 'a'), 7));
  EXPECT_TRUE(ShellHasIcon()) << "the 88-byte record no longer taken";
  for (UINT event : {UINT{NIN_BALLOONSHOW}, UINT{NIN_BALLOONHIDE}, UINT{NIN_BALLOONTIMEOUT}})
    EXPECT_EQ(Notify(TmsTrayIcon::IconId, event), 0);
  EXPECT_TRUE(clicks.empty());
  EXPECT_EQ(Notify(TmsTrayIcon::IconId, NIN_BALLOONUSERCLICK), 0);
  Notify(4, NIN_BALLOONUSERCLICK);
  EXPECT_EQ(clicks, (std::vector<std::optional<uint32_t>>{7}));
  Notify(TmsTrayIcon::IconId, WM_LBUTTONDBLCLK);
  EXPECT_EQ(ran, std::vector<int>{2});

  EXPECT_TRUE(tray->ShowBalloon("Horalog", "b", 8));
  Notify(TmsTrayIcon::IconId, NIN_BALLOONUSERCLICK);
  Notify(TmsTrayIcon::IconId, NIN_BALLOONTIMEOUT);
  Notify(TmsTrayIcon::IconId, NIN_BALLOONUSERCLICK);
  EXPECT_EQ(clicks, (std::vector<std::optional<uint32_t>>{7, 8, std::nullopt}));

  // Without an icon in the shell there is no balloon, and nothing else.
  test::CaptureErrors errors;
  TmsTrayIcon::FailAdds(1);
  SendMessageA(tray->NotifyWindow(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_FALSE(tray->ShowBalloon("Horalog", "away"));
  TmsTrayIcon::FailAdds(0);
  KillTimer(tray->NotifyWindow(), TmsTrayIcon::RetryTimerId);
  EXPECT_TRUE(errors.texts.empty());
}

// The retry settings of one test, put back afterwards.
struct RetrySettings {
  RetrySettings(UINT intervalMs, ULONGLONG giveUpAfterMs) {
    TmsTrayIcon::RetryIntervalMs = intervalMs;
    TmsTrayIcon::GiveUpAfterMs = giveUpAfterMs;
  }
  ~RetrySettings() {
    TmsTrayIcon::RetryIntervalMs = interval;
    TmsTrayIcon::GiveUpAfterMs = giveUp;
    TmsTrayIcon::FailAdds(0);
    TmsTrayIcon::FailUpdates(0);
  }
  UINT interval = TmsTrayIcon::RetryIntervalMs;
  ULONGLONG giveUp = TmsTrayIcon::GiveUpAfterMs;
};

// After the add has worked, a picture or tip that the shell refuses raises
// nothing: the icon is added again with both on the add's retry, also when the
// shell announces a new taskbar.
TEST_F(TrayIcon, ARefusedPictureOrTipIsRetriedAsTheAddIs) {
  test::CaptureErrors errors;
  RetrySettings settings(20, 60000);
  TmsTrayIcon::FailUpdates(2);
  EXPECT_NO_THROW(tray->SetTip("Horalog"));
  EXPECT_NO_THROW(tray->SetIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION))));
  EXPECT_FALSE(tray->Added());
  ASSERT_TRUE(test::PumpUntil([&] { return tray->Added(); })) << "the change was not tried again";

  TmsTrayIcon::FailUpdates(1);
  SendMessageA(tray->NotifyWindow(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_FALSE(tray->Added()) << "the picture was refused";
  ASSERT_TRUE(test::PumpUntil([&] { return tray->Added(); })) << "the picture was not tried again";
  EXPECT_TRUE(errors.texts.empty());
}

// Early in a log-in the notification area may not exist yet: the adds that
// fail are tried again, silently, and the picture and tip set meanwhile go
// with the one that works.
TEST_F(TrayIcon, FailedAddsAreRetriedUntilTheShellTakesTheIcon) {
  tray.reset();
  test::CaptureErrors errors;
  RetrySettings settings(20, 60000);
  TmsTrayIcon::FailAdds(3);
  ASSERT_NO_THROW(tray = std::make_unique<TmsTrayIcon>(owner.get()));
  EXPECT_FALSE(tray->Added());
  EXPECT_FALSE(ShellHasIcon());
  EXPECT_NO_THROW(tray->SetTip("Horalog"));
  EXPECT_NO_THROW(
      tray->AssignIconHandle(CopyIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)))));

  ASSERT_TRUE(test::PumpUntil([&] { return tray->Added(); })) << "the add was not tried again";
  EXPECT_TRUE(ShellHasIcon());
  EXPECT_FALSE(KillTimer(tray->NotifyWindow(), TmsTrayIcon::RetryTimerId)) << "still retrying";
  EXPECT_TRUE(errors.texts.empty());
  EXPECT_NO_THROW(tray->SetTip("Horalog"));
}

// An add that still fails when the grace time is up shows one error and stops
// trying; the shell's announcement of a new taskbar still brings the icon.
TEST_F(TrayIcon, AnAddStillFailingAfterTheGraceTimeShowsOneErrorOnly) {
  tray.reset();
  test::CaptureErrors errors;
  RetrySettings settings(20, 100);
  TmsTrayIcon::FailAdds(1000000);
  tray = std::make_unique<TmsTrayIcon>(owner.get());
  ASSERT_TRUE(test::PumpUntil([&] { return !errors.texts.empty(); })) << "no error shown";
  EXPECT_EQ(errors.texts, std::vector<std::string>{
                              "The Horalog icon could not be added to the notification area. "
                              "Starting Horalog again shows its window.\r\n"
                              "A call to an OS function failed."});
  EXPECT_FALSE(KillTimer(tray->NotifyWindow(), TmsTrayIcon::RetryTimerId)) << "still retrying";
  EXPECT_FALSE(tray->Added());

  TmsTrayIcon::FailAdds(0);
  SendMessageA(tray->NotifyWindow(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(tray->Added());
  EXPECT_TRUE(ShellHasIcon());
  EXPECT_EQ(errors.texts.size(), 1u);
}

}  // namespace
}  // namespace horalog
