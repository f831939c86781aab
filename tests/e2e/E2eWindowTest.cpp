// The main window's title-bar commands, the tray callback and Exit.
#include <gmock/gmock.h>

#include "E2eDriver.h"

namespace horalog::e2e {
namespace {

using ::testing::HasSubstr;

constexpr double FiveMinutes = 5.0 / 1440;

class Window : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    MoveCursor(0, 0);  // no input: the data file gets only what the test causes
  }
  void ExpectOneFinalStop() {
    const auto records = ReadRecords(DataFile());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].status, 0);
    EXPECT_EQ(records[0].action, 1);
    EXPECT_NEAR(records[0].time, NowAsDateTime(), FiveMinutes);
  }
  bool Visible() { return IsWindowVisible(Main()) != FALSE; }
};

TEST_F(Window, CloseAndMinimiseFromTheTitleBarOnlyHide) {
  Process& p = StartReady();
  ShowMain();
  PostMessageA(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !Visible(); })) << "SC_CLOSE did not hide the window";

  ShowMain();
  PostMessageA(Main(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !Visible(); })) << "SC_MINIMIZE did not hide the window";
  EXPECT_FALSE(IsIconic(Main()));

  // Other system commands reach the window unchanged.
  ShowMain();
  PostMessageA(Main(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  EXPECT_TRUE(WaitUntil([&] { return IsZoomed(Main()) != FALSE; }));
  EXPECT_TRUE(Visible());

  EXPECT_TRUE(p.Running());
  EXPECT_EQ(FileSize(DataFile()), -1) << "hiding wrote to the data file";
}

TEST_F(Window, CloseMessageEndsTheProgramWithAFinalStop) {
  Process& p = StartReady();
  PostMessageA(Main(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(p.WaitExit(10000)) << "WM_CLOSE did not end the program";
  EXPECT_EQ(p.ExitCode(), 0u);
  ExpectOneFinalStop();
}

// The end of the session ends the program without a close. A spell still
// running gets its Stop where the activity ended, so that the last spell of
// the day is not left open ...
TEST_F(Window, EndOfSessionEndsARunningSpellAtItsLastActivity) {
  Process& p = StartReady();
  MoveCursor(40, 30);
  ASSERT_TRUE(WaitUntil([&] { return FileSize(DataFile()) >= 141; })) << "no Start";
  const double sent = NowAsDateTime();
  DWORD_PTR result = 0;
  SendMessageTimeoutA(Main(), WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
  SendMessageTimeoutA(Main(), WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &result);
  ASSERT_TRUE(p.WaitExit(10000)) << "the program went on after the session";
  const auto records = ReadRecords(DataFile());
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].action, 0);
  EXPECT_EQ(records[1].action, 1);
  EXPECT_GE(records[1].time, records[0].time);
  EXPECT_LE(records[1].time, sent);
}

// ... and an idle user has no spell to close: no Out without an In.
TEST_F(Window, EndOfSessionWhileIdleAppendsNothing) {
  WriteIni("[Options]\r\nInterval=0\r\n");
  Process& p = StartReady();
  MoveCursor(40, 30);
  // The first quiet tick ends the spell (keys typed by earlier tests first).
  ASSERT_TRUE(WaitUntil([&] {
    const auto records = ReadRecords(DataFile());
    return !records.empty() && records.back().action == 1;
  }, 15000)) << "the detector did not go idle";
  const size_t count = ReadRecords(DataFile()).size();
  DWORD_PTR result = 0;
  SendMessageTimeoutA(Main(), WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
  SendMessageTimeoutA(Main(), WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &result);
  ASSERT_TRUE(p.WaitExit(10000)) << "the program went on after the session";
  EXPECT_EQ(ReadRecords(DataFile()).size(), count);
}

TEST_F(Window, TrayRightButtonOpensThePopupMenu) {
  StartReady();
  PostMessageA(Tray(), WmTrayNotify, TrayIconId, WM_RBUTTONDOWN);
  HWND menu = WaitPopupMenu();
  ASSERT_NE(menu, nullptr) << "no popup menu";
  DismissPopupMenu(menu);
  EXPECT_FALSE(Visible());

  // Show, by its mnemonic, shows the main window.
  PostMessageA(Tray(), WmTrayNotify, TrayIconId, WM_RBUTTONDOWN);
  menu = WaitPopupMenu();
  ASSERT_NE(menu, nullptr);
  PostMessageA(menu, WM_CHAR, 's', 0);
  EXPECT_TRUE(WaitUntil([&] { return Visible(); })) << "Show did not show the window";
}

TEST_F(Window, TrayDoubleClickShowsTheMainWindow) {
  StartReady();
  PostMessageA(Tray(), WmTrayNotify, TrayIconId, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return Visible(); }));
  EXPECT_EQ(FindVisible(First().Pid(), "#32768"), nullptr);
}

TEST_F(Window, TrayMessagesOfAnotherIconOrOtherMouseActionsDoNothing) {
  StartReady();
  HWND tray = Tray();
  PostMessageA(tray, WmTrayNotify, TrayIconId + 1, WM_RBUTTONDOWN);
  PostMessageA(tray, WmTrayNotify, TrayIconId + 1, WM_LBUTTONDBLCLK);
  PostMessageA(tray, WmTrayNotify, TrayIconId, WM_RBUTTONUP);
  PostMessageA(tray, WmTrayNotify, TrayIconId, WM_LBUTTONDOWN);
  PostMessageA(tray, WmTrayNotify, TrayIconId, WM_LBUTTONUP);
  // Posted messages arrive in order: once this one's menu is up, the ones
  // above have been handled.
  PostMessageA(tray, WmTrayNotify, TrayIconId, WM_RBUTTONDOWN);
  HWND menu = WaitPopupMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_FALSE(Visible()) << "a message of another icon showed the window";
  DismissPopupMenu(menu);
  EXPECT_FALSE(WaitUntil([&] { return FindVisible(First().Pid(), "#32768") != nullptr; }, 1000))
      << "a second popup menu opened";
  EXPECT_TRUE(First().Running());
}

TEST_F(Window, ExitAnsweredNoOrEscKeepsRunning) {
  Process& p = StartReady();
  ShowMain();
  ChooseMenuItem("&File", "&Exit");
  HWND box = WaitDialog("Confirm");
  ASSERT_NE(box, nullptr) << "no confirmation";
  EXPECT_THAT(DialogText(box), HasSubstr("Are you sure you want to exit from Horalog?"));
  ASSERT_TRUE(ClickButton(box, IDNO));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));

  ChooseMenuItem("&File", "&Exit");
  box = WaitDialog("Confirm");
  ASSERT_NE(box, nullptr);
  // Esc, as the dialog's keyboard handling gets it at the focused button.
  HWND focus = GetDlgItem(box, IDYES);
  PostMessageA(focus != nullptr ? focus : box, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(focus != nullptr ? focus : box, WM_KEYUP, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); })) << "Esc did not answer the box";

  EXPECT_FALSE(WaitUntil([&] { return !p.Running(); }, 1000)) << "the program ended";
  // Keys typed by the tests before may count as activity here, and a Start with
  // them; the Stop that only an exit writes must not be there.
  for (const Record& record : ReadRecords(DataFile()))
    EXPECT_EQ(record.action, 0) << "a Stop was written without an exit";
}

TEST_F(Window, ExitAnsweredYesAppendsTheFinalStopAndEndsWithZero) {
  Process& p = StartReady();
  ShowMain();
  ChooseMenuItem("&File", "&Exit");
  HWND box = WaitDialog("Confirm");
  ASSERT_NE(box, nullptr) << "no confirmation";
  ASSERT_TRUE(ClickButton(box, IDYES));
  ASSERT_TRUE(p.WaitExit(10000)) << "Yes did not end the program";
  EXPECT_EQ(p.ExitCode(), 0u);
  ExpectOneFinalStop();
  EXPECT_EQ(PublishedWindow(), nullptr);

  // A start after the exit runs as a first instance.
  first_ = nullptr;
  Process& again = StartReady();
  EXPECT_TRUE(again.Running());
  EXPECT_NE(Main(), nullptr);
}

}  // namespace
}  // namespace horalog::e2e
