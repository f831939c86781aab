// The main window built in this process, with its data in a scratch folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ScriptedDay.h"
#include "UiTestSupport.h"
#include "app/HoralogMain.h"
#include "data/ActRec.h"
#include "data/DataDir.h"
#include "dialogs/ActionEditDlg.h"
#include "dialogs/DBViewDialog.h"
#include "platform/Platform.h"
#include "ui/Application.h"

namespace horalog {
namespace {

using test::After;
using test::CaptureErrors;

std::string MenuText(HMENU menu, UINT position) {
  char text[128] = {};
  GetMenuStringA(menu, position, text, sizeof(text), MF_BYPOSITION);
  return text;
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = scratch.Path();
    exe = dir + "Horalog.exe";
    ini = dir + "Horalog.ini";
    data = dir + "hl.dat";
  }
  void TearDown() override {
    form.reset();
    test::DrainQuit();
  }
  void WriteInterval(const char* text) {
    WritePrivateProfileStringA("Options", "Interval", text, ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
  }
  void Create() { form = std::make_unique<TForm1>(exe); }
  // A recorder that records nothing by itself, whatever the pointer does.
  void QuietDetector() { KillTimer(form->Handle(), TForm1::Timer1Id); }
  // The data file held open without sharing, as another program may hold it.
  HANDLE HoldDataFile() {
    HANDLE held = CreateFileA(data.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(held, INVALID_HANDLE_VALUE);
    return held;
  }
  std::string Log() { return test::WindowText(form->Memo1.Handle()); }
  std::vector<TActRec> Records() {
    std::vector<TActRec> records;
    if (!platform::FileFound(data)) return records;
    TActRecReader reader(data);
    TActRec record;
    while (reader.Next(record)) records.push_back(record);
    return records;
  }

  test::ScratchDir scratch;
  std::string dir, exe, ini, data;
  std::unique_ptr<TForm1> form;
};

TEST_F(MainWindow, IsBuiltHiddenAtItsSize) {
  CaptureErrors errors;
  Create();
  EXPECT_TRUE(errors.texts.empty());
  HWND window = form->Handle();
  EXPECT_EQ(test::ClassOf(window), "TForm1");
  EXPECT_EQ(test::WindowText(window), "Horalog");
  EXPECT_FALSE(IsWindowVisible(window));
  RECT r{};
  GetWindowRect(window, &r);
  EXPECT_EQ(r.right - r.left, ui::TWindow::Scale(696));
  EXPECT_EQ(r.bottom - r.top, ui::TWindow::Scale(480));
}

TEST_F(MainWindow, MenuBarHoldsFileToolsAndHelp) {
  Create();
  HMENU bar = GetMenu(form->Handle());
  ASSERT_EQ(GetMenuItemCount(bar), 3);
  EXPECT_EQ(MenuText(bar, 0), "&File");
  EXPECT_EQ(MenuText(bar, 1), "&Tools");
  EXPECT_EQ(MenuText(bar, 2), "&Help");
  HMENU tools = GetSubMenu(bar, 1);
  ASSERT_EQ(GetMenuItemCount(tools), 5);
  EXPECT_EQ(MenuText(tools, 0), "&View");
  EXPECT_EQ(MenuText(tools, 1), "&Report");
  EXPECT_EQ(MenuText(tools, 2), "&Options");
  EXPECT_TRUE(GetMenuState(tools, 3, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(MenuText(tools, 4), "&Compact");
  EXPECT_FALSE(GetMenuState(tools, 4, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_EQ(MenuText(GetSubMenu(bar, 0), 0), "&Exit");
  EXPECT_FALSE(GetMenuState(GetSubMenu(bar, 0), 0, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_EQ(MenuText(GetSubMenu(bar, 2), 0), "&About");
}

TEST_F(MainWindow, TrayIconHasItsMenuTipAndPicture) {
  Create();
  HMENU popup = form->PopupMenu1->Handle();
  ASSERT_EQ(GetMenuItemCount(popup), 7);
  EXPECT_EQ(MenuText(popup, 0), "&Show");
  EXPECT_EQ(GetMenuDefaultItem(popup, FALSE, 0), form->ShowAction->Id);
  EXPECT_EQ(MenuText(popup, 6), "&Exit");
  EXPECT_EQ(form->TrayIcon->PopUpMenu(), form->PopupMenu1.get());
  // The name, then the hours of an empty journal, read once the start-up has settled.
  EXPECT_EQ(form->TrayIcon->Tip(), "Horalog");
  EXPECT_TRUE(test::PumpUntil([this] { return form->TrayIcon->Tip() != "Horalog"; }));
  EXPECT_EQ(form->TrayIcon->Tip(), "Horalog\nToday 0:00\nThis week 0:00");
  EXPECT_NE(form->TrayIcon->IconHandle(), nullptr);
  EXPECT_EQ(test::ClassOf(form->TrayIcon->NotifyWindow()), "TmsTrayIcon");
}

TEST_F(MainWindow, ToolbarLogAndStatusLine) {
  Create();
  HWND window = form->Handle();
  EXPECT_EQ(test::ClassOf(form->ActionToolBar1.Handle()), "ToolbarWindow32");
  EXPECT_EQ(SendMessageA(form->ActionToolBar1.Handle(), TB_BUTTONCOUNT, 0, 0), 5);
  EXPECT_EQ(test::ClassOf(form->StatusBar1.Handle()), "msctls_statusbar32");

  HWND memo = FindWindowExA(window, nullptr, "EDIT", nullptr);
  ASSERT_EQ(memo, form->Memo1.Handle());
  LONG style = GetWindowLongA(memo, GWL_STYLE);
  EXPECT_TRUE(style & ES_MULTILINE);
  EXPECT_FALSE(style & ES_READONLY);
  EXPECT_EQ(test::WindowText(memo), "");
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(memo, WM_GETFONT, 0, 0)), sizeof(font), &font);
  EXPECT_STREQ(font.lfFaceName, "Lucida Console");
}

// The running instance is published, the data lives beside the executable
// and the timeout has its default.
TEST_F(MainWindow, PublishesItselfWithItsDataBesideTheProgram) {
  Create();
  HWND window = form->Handle();
  EXPECT_EQ(ReadRunningWindow(InstanceMemoryName), window);
  EXPECT_EQ(DataDir(), dir);
  EXPECT_DOUBLE_EQ(form->Recorder().IdleSpan(), 10 * OneMinute);
  EXPECT_TRUE(form->Recorder().Detector().Idle());
}

TEST_F(MainWindow, ReadsTheTimeoutAndSurvivesOneThatDoesNotConvert) {
  WriteInterval("0x1E");
  {
    CaptureErrors errors;
    Create();
    EXPECT_TRUE(errors.texts.empty());
    EXPECT_NEAR(form->Recorder().IdleSpan(), 30 * OneMinute, 1e-12);
  }
  form.reset();
  test::DrainQuit();

  WriteInterval("60");
  SetDataDir({});
  CaptureErrors errors;
  Create();
  ASSERT_EQ(errors.texts.size(), 1u);
  EXPECT_EQ(errors.texts[0], "Invalid argument to time encode.");
  // The rest of the start-up ran: the program works with the default.
  EXPECT_NEAR(form->Recorder().IdleSpan(), 10 * OneMinute, 1e-12);
  EXPECT_EQ(DataDir(), dir);
  EXPECT_NE(form->TrayIcon->IconHandle(), nullptr);
  ASSERT_TRUE(form->IniFile);
  EXPECT_EQ(form->IniFile->FileName(), ini);
}

// The hand-edited sections as Notepad saves them (UTF-8 with its mark); a key
// that cannot be read is told when it comes, and a later change elsewhere in
// the file, read within a minute, tells only what is new.
TEST_F(MainWindow, ASettingsProblemIsToldOncePerChange) {
  auto write = [this](const std::string& text, uint64_t minute) {
    HANDLE file = CreateFileA(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string bytes = "\xEF\xBB\xBF" + text;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    // A write time of its own, whatever the file system's resolution.
    const uint64_t time = 133000000000000000ull + minute * 600000000ull;
    FILETIME stamp{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    SetFileTime(file, nullptr, nullptr, &stamp);
    CloseHandle(file);
  };
  auto count = [this](const std::string& text) {
    size_t n = 0;
    for (size_t at = Log().find(text); at != std::string::npos; at = Log().find(text, at + 1)) ++n;
    return n;
  };
  write("[Hours]\r\nMonday=7:5\r\nTarget=8:00\r\n", 0);
  ScriptedDay day(1000, 0);
  form = std::make_unique<TForm1>(exe, &day);
  KillTimer(form->Handle(), TForm1::Timer1Id);
  EXPECT_EQ(count("Cannot read Monday=7:5 in [Hours] of "), 1u) << Log();
  EXPECT_EQ(form->Recorder().HoursSettings().weekdayTargets[2], 8 * 3600)
      << "the first key after the mark";

  write("[Hours]\r\nMonday=7:5\r\nTarget=7:00\r\n[Presence]\r\nConfirmStart=90\r\n", 1);
  day.Run([this] { form->Timer1Timer(); }, 62);
  EXPECT_EQ(form->Recorder().HoursSettings().weekdayTargets[2], 7 * 3600) << "read again";
  EXPECT_EQ(count("Cannot read Monday=7:5 in [Hours] of "), 1u) << Log();
  EXPECT_EQ(count("Cannot read ConfirmStart=90 in [Presence] of "), 1u) << Log();
}

TEST_F(MainWindow, AFailedPublicationStillLeavesAWorkingProgram) {
  // Another kind of object holding the block's name makes the mapping fail.
  HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, InstanceMemoryName);
  ASSERT_NE(squatter, nullptr);
  WriteInterval("60");
  SetDataDir({});
  {
    CaptureErrors errors;
    Create();
    ASSERT_EQ(errors.texts.size(), 2u);
    EXPECT_EQ(errors.texts[0].rfind("System Error.  Code: ", 0), 0u) << errors.texts[0];
    EXPECT_EQ(errors.texts[1], "Invalid argument to time encode.");
  }
  CloseHandle(squatter);
  EXPECT_FALSE(form->InstanceMemory);
  EXPECT_NEAR(form->Recorder().IdleSpan(), 10 * OneMinute, 1e-12);
  EXPECT_EQ(DataDir(), dir);
  EXPECT_NE(form->TrayIcon->IconHandle(), nullptr);
  EXPECT_TRUE(form->Recorder().Exit());
  EXPECT_EQ(Records().size(), 1u) << "the journal is not beside the executable";
}

TEST_F(MainWindow, StatusLineShowsTheLongHintUnderThePointer) {
  Create();
  HWND window = form->Handle();
  SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(form->ViewAction->Id, MF_HILITE),
               reinterpret_cast<LPARAM>(GetMenu(window)));
  EXPECT_EQ(form->StatusBar1.PanelText(), "View report");
  NMTBHOTITEM hot{};
  hot.hdr.hwndFrom = form->ActionToolBar1.Handle();
  hot.hdr.code = TBN_HOTITEMCHANGE;
  hot.idNew = static_cast<int>(form->ExitAction->Id);
  SendMessageA(window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hot));
  EXPECT_EQ(form->StatusBar1.PanelText(), "Close the program");
  // The pointer still over the toolbar keeps the hint; over the log pane it goes.
  HWND toolbar = form->ActionToolBar1.Handle();
  SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(toolbar),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(form->StatusBar1.PanelText(), "Close the program");
  SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(form->Memo1.Handle()),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(form->StatusBar1.PanelText(), "");

  SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(form->ViewAction->Id, MF_HILITE),
               reinterpret_cast<LPARAM>(GetMenu(window)));
  EXPECT_EQ(form->StatusBar1.PanelText(), "View report");
  SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_EQ(form->StatusBar1.PanelText(), "");
}

TEST_F(MainWindow, LogLinesStartLinesOfTheirOwnAndLeaveTheUsersCaret) {
  Create();
  HWND memo = form->Memo1.Handle();
  form->AddLogLine("first");
  EXPECT_EQ(test::WindowText(memo), "first\r\n");

  // The user types a note without a line break and selects part of it.
  SendMessageA(memo, EM_SETSEL, 7, 7);
  SendMessageA(memo, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("a note"));
  SendMessageA(memo, EM_SETSEL, 9, 11);
  form->AddLogLine("second");
  form->AddLogLine("third");
  EXPECT_EQ(test::WindowText(memo), "first\r\na note\r\nsecond\r\nthird\r\n");
  DWORD start = 0, end = 0;
  SendMessageA(memo, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 9u);
  EXPECT_EQ(end, 11u);
}

TEST_F(MainWindow, ShowMainShowsTheWindowAndCloseBoxHidesIt) {
  Create();
  HWND window = form->Handle();
  EXPECT_EQ(SendMessageA(window, WM_SHOWMAIN, 0, 0), 0);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(SendMessageA(window, WM_SHOWMAIN, 0, 0), 0);
  EXPECT_TRUE(IsWindowVisible(window));
  SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_TRUE(IsWindow(window));
  EXPECT_TRUE(Records().empty() || Records().back().Action == ActionStart);
}

TEST_F(MainWindow, ExitAsksAndOnlyYesClosesWithAFinalStop) {
  Create();
  HWND window = form->Handle();
  std::string question;
  After(250, [&] {
    HWND box = test::FindDialog("Confirm");
    ASSERT_NE(box, nullptr);
    question = test::WindowText(GetDlgItem(box, 101));
    SendMessageA(box, WM_COMMAND, IDNO, 0);
  });
  form->ExitAction->Execute();
  EXPECT_EQ(question, "Are you sure you want to exit from Horalog?");
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(form->Recorder().FinalStopWritten());

  After(250, [&] { SendMessageA(test::FindDialog("Confirm"), WM_COMMAND, IDYES, 0); });
  TDateTime before = platform::Now();
  form->ExitAction->Execute();
  TDateTime after = platform::Now();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(test::DrainQuit());  // the application ends
  EXPECT_FALSE(form->IniFile);
  EXPECT_FALSE(form->InstanceMemory);
  std::vector<TActRec> records = Records();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().Action, ActionStop);
  EXPECT_GE(records.back().Time, before - OneSecond);
  EXPECT_LE(records.back().Time, after + OneSecond);
  EXPECT_EQ(ReadRunningWindow(InstanceMemoryName), nullptr);
}

// Exit with a journal that cannot be written asks in a box whether to go
// without the records: No keeps the program, Yes ends it.
TEST_F(MainWindow, AFailedFinalStopAsksWhetherToExitAnyway) {
  Create();
  QuietDetector();
  HWND window = form->Handle();
  ASSERT_TRUE(CreateDirectoryA(data.c_str(), nullptr));  // the data file cannot be opened
  std::string question;
  auto answer = [&question](WPARAM button) {
    After(250, [&question, button] {
      HWND box = test::FindDialog("Confirm");
      ASSERT_NE(box, nullptr);
      question = test::WindowText(GetDlgItem(box, 101));
      SendMessageA(box, WM_COMMAND, button, 0);
    });
  };
  answer(IDNO);
  form->Close();
  EXPECT_EQ(question,
            "1 record could not be written to " + data + " (File access denied). Exit anyway?");
  EXPECT_TRUE(IsWindow(window));
  EXPECT_TRUE(form->IniFile);
  EXPECT_EQ(ReadRunningWindow(InstanceMemoryName), window);

  answer(IDYES);
  form->Close();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(test::DrainQuit());
  EXPECT_FALSE(form->InstanceMemory);
  EXPECT_EQ(ReadRunningWindow(InstanceMemoryName), nullptr);
}

TEST_F(MainWindow, TheEndOfTheSessionEndsARunningSpellAtItsLastActivity) {
  // Five seconds of work, then three minutes of quiet.
  ScriptedDay day(1000, 5);
  form = std::make_unique<TForm1>(exe, &day);
  HWND window = form->Handle();
  KillTimer(window, TForm1::Timer1Id);  // only the scripted ticks
  day.Run([this] { form->Timer1Timer(); }, 5 + 180);
  SendMessageA(window, WM_ENDSESSION, FALSE, 0);  // the session goes on
  EXPECT_FALSE(form->Recorder().FinalStopWritten());
  EXPECT_FALSE(test::DrainQuit());

  // A user who left minutes ago: the Stop goes where the activity ended.
  const TDateTime last = form->Recorder().Detector().LastActivity();
  EXPECT_EQ(last, 45000.0 + 4 * OneSecond);
  SendMessageA(window, WM_ENDSESSION, TRUE, 0);
  EXPECT_TRUE(form->Recorder().FinalStopWritten());
  EXPECT_TRUE(test::DrainQuit());
  std::vector<TActRec> records = Records();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().Action, ActionStop);
  EXPECT_EQ(records.back().Time, last);
  // Only one Stop, even when the window is closed after all.
  size_t count = records.size();
  form->Close();
  EXPECT_EQ(Records().size(), count);
}

// The tray icon's tip: the hours after start-up, and after an Insert in the
// database view, which reads them afresh.
TEST_F(MainWindow, TipShowsTodaysAndThisWeeksHours) {
  const TDateTime today = WholePart(platform::Now());
  auto at = [today](int minutes) { return today + minutes * OneMinute; };
  test::WriteRecords(data, {MakeRecord(ActionStart, today - 8 + 0.4),
                            MakeRecord(ActionStop, today - 8 + 0.6), MakeRecord(ActionStart, at(1)),
                            MakeRecord(ActionStop, at(31)), MakeRecord(ActionStart, at(60))});
  Create();
  KillTimer(form->Handle(), TForm1::Timer1Id);  // no tick samples the real pointer
  EXPECT_TRUE(test::PumpUntil([this] { return form->TrayIcon->Tip() != "Horalog"; }));
  EXPECT_EQ(form->TrayIcon->Tip(), "Horalog\nToday 0:30\nThis week 0:30");

  // A Stop at 01:30 ends the spell begun at 01:00.
  TDBViewDlg view;
  view.Door = form->Recorder().Door();
  After(150, [&] {
    HWND window = FindWindowA(TActionEditDialog::ClassName, "Action Editor");
    auto* editor = dynamic_cast<TActionEditDialog*>(
        reinterpret_cast<ui::TWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA)));
    ASSERT_NE(editor, nullptr);
    editor->ActionComboBox.SetItemIndex(ActionStop);
    editor->DatePicker.SetDate(today);
    editor->TimePicker.SetTime(90 * OneMinute);
    editor->OKBtn.Click();
  });
  view.InsertActionExecute();
  EXPECT_EQ(Records().size(), 6u);
  EXPECT_EQ(form->TrayIcon->Tip(), "Horalog\nToday 1:00\nThis week 1:00");
}

}  // namespace
}  // namespace horalog
