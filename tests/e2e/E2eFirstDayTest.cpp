// A new user's first day, end to end: the program starts hidden, the timeout
// is set to one minute in Options, a spell of work ends after a minute's
// quiet, a second one is still open when View lists the three records and
// Report shows a pair with its total and an open In, Compact keeps a backup,
// and Exit ends the second spell with the final Stop; then every file is checked.
#include <gmock/gmock.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <sstream>

#include "E2eDriver.h"
#include "version.h"

#include <commctrl.h>

namespace horalog::e2e {
namespace {

using ::testing::HasSubstr;

constexpr int TimeOutEditId = 102;
constexpr DWORD PastAMinute = 90000;

// A span as the report prints it: whole milliseconds first, then hh:mm:ss.
std::string Clock(double days) {
  const long long ms = std::llround(days * 86400000.0);
  char text[16];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
  return text;
}

// The report's rows: (In, Out, difference) cells of each "<tr><td>" line.
std::vector<std::vector<std::string>> ReportRows(const std::string& html) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(html);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("<tr><td>", 0) != 0) continue;
    std::vector<std::string> cells;
    for (size_t at = line.find("<td>"); at != std::string::npos; at = line.find("<td>", at + 1))
      cells.push_back(line.substr(at + 4, line.find("</td>", at) - at - 4));
    rows.push_back(cells);
  }
  return rows;
}

std::set<std::string> FilesIn(const std::string& dir) {
  std::set<std::string> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Wide(dir + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(Utf8(data.cFileName));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

class FirstDay : public WindowRounds {
 protected:
  void SetUp() override {
    // Keys typed by earlier tests would count as input in this program's first
    // ticks: their pressed-since-last-query bits are taken now.
    for (int pass = 0; pass < 2; ++pass)
      for (int key = 1; key < 256; ++key) GetAsyncKeyState(key);
    WindowRounds::SetUp();
  }
  // Four seconds of work: the pointer moves once a second.
  void Work(int x) {
    for (int i = 0; i < 4; ++i) {
      MoveCursor(x + 10 * i, 300);
      Sleep(1000);
    }
  }
  size_t RecordCount() { return ReadRecords(DataFile()).size(); }
  // Answers a box by its button and returns its text.
  std::string Answer(HWND box, int button) {
    const std::string text = box != nullptr ? DialogText(box) : "(no box)";
    Close(box, button);
    return text;
  }
};

TEST_F(FirstDay, StartWorkQuietWorkViewReportCompactExit) {
  Process& program = StartReady();
  EXPECT_FALSE(IsWindowVisible(Main())) << "the program starts with only its tray icon";
  PostMessageA(Tray(), WmTrayNotify, TrayIconId, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Main()) != FALSE; }));

  HWND options = Command("&Tools", "&Options", "TOptionsDlg", "Options");
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(options, TimeOutEditId)), "10") << "the default timeout";
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(GetDlgItem(options, TimeOutEditId), WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>("1"), SMTO_ABORTIFHUNG, 5000, &ignored);
  Close(options, IDOK);

  Work(300);
  ASSERT_TRUE(WaitUntil([&] { return RecordCount() >= 1; })) << Log();
  ASSERT_TRUE(WaitUntil([&] { return RecordCount() >= 2; }, PastAMinute)) << "no Stop: " << Log();
  Work(500);
  ASSERT_TRUE(WaitUntil([&] { return RecordCount() >= 3; })) << Log();

  // The view, opened while the second spell runs, lists what is there.
  HWND view = Command("&Tools", "&View", "TDBViewDlg", "View Horalog Database");
  ASSERT_NE(view, nullptr);
  // It shows the journal as it was at start-up (empty) until Refresh (F5).
  Key(view, VK_F5);
  DWORD_PTR rows = 0;
  EXPECT_TRUE(WaitUntil([&] {
    SendMessageTimeoutA(FindChild(view, WC_LISTVIEWA), LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &rows);
    return rows == 3;
  })) << rows << " rows, not Start, Stop, Start";
  Close(view, 0);
  const auto day = ReadRecords(DataFile());
  ASSERT_EQ(day.size(), 3u);
  for (size_t i = 0; i < day.size(); ++i) {
    EXPECT_EQ(day[i].status, 0);
    EXPECT_EQ(day[i].action, i % 2) << "record " << i;
  }

  // Today's report: the first spell as a pair with its total, the open one
  // as an In without an Out.
  HWND report = ReportForToday();
  ASSERT_NE(report, nullptr);
  Close(report, 0);
  const std::string html = ReadAll(dir_->Path("report.html"));
  const auto pairs = ReportRows(html);
  ASSERT_EQ(pairs.size(), 2u) << html;
  ASSERT_EQ(pairs[0].size(), 3u) << html;
  EXPECT_EQ(pairs[0][2], Clock(day[1].time - day[0].time)) << html;
  EXPECT_EQ(pairs[1], (std::vector<std::string>{pairs[1][0], "", ""})) << html;
  EXPECT_FALSE(pairs[1][0].empty()) << html;
  EXPECT_THAT(html, HasSubstr("<p><b>Total time: " + Clock(day[1].time - day[0].time) + "</b></p>"));

  HWND confirm = Command("&Tools", "&Compact", "#32770", "Confirm");
  EXPECT_THAT(Answer(confirm, IDYES), HasSubstr("Do you want to compact the database now?"));
  EXPECT_THAT(Answer(WaitDialog("Information"), IDOK), HasSubstr("Operation successful"));

  const std::string beforeExit = ReadAll(DataFile());
  confirm = Command("&File", "&Exit", "#32770", "Confirm");
  EXPECT_THAT(Answer(confirm, IDYES), HasSubstr("Are you sure you want to exit from Horalog?"));
  ASSERT_TRUE(program.WaitExit(10000));
  EXPECT_EQ(program.ExitCode(), 0u);

  // Every file of the day: the journal whose second spell the final Stop
  // ends, its backup from before it, the settings, the report, and nothing else.
  EXPECT_EQ(FilesIn(dir_->Path()),
            (std::set<std::string>{"Horalog.exe", "Horalog.ini", "hl.bak", "hl.dat", "report.html"}));
  const auto journal = ReadRecords(DataFile());
  ASSERT_EQ(journal.size(), 4u);
  EXPECT_EQ(ReadAll(DataFile()).substr(0, beforeExit.size()), beforeExit);
  EXPECT_EQ(journal[3].status, 0);
  EXPECT_EQ(journal[3].action, 1);
  EXPECT_GE(journal[3].time, journal[2].time);
  EXPECT_NEAR(journal[3].time, NowAsDateTime(), 1.0 / 1440);
  EXPECT_EQ(ReadAll(dir_->Path("hl.bak")), beforeExit);
  char interval[16] = {};
  GetPrivateProfileStringA("Options", "Interval", "", interval, sizeof interval,
                           dir_->Path("Horalog.ini").c_str());
  EXPECT_STREQ(interval, "1");
  EXPECT_EQ(PublishedWindow(), nullptr);
}

// The same program in a folder whose name the ANSI code page cannot hold (a
// Cyrillic or Chinese user name on a system set to English): the settings,
// the journal, the view, the report, compaction, the about box and load at
// log-in all find the real folder.
class FarFolder : public FirstDay {
 protected:
  static constexpr const wchar_t* RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  void SetUp() override {
    folderLeaf_ = "Документы 文档";
    RegDeleteKeyValueW(HKEY_CURRENT_USER, RunKey, L"Horalog");
    FirstDay::SetUp();
  }
  void TearDown() override {
    FirstDay::TearDown();
    RegDeleteKeyValueW(HKEY_CURRENT_USER, RunKey, L"Horalog");
  }
  static void SetText(HWND control, const std::string& text) {
    DWORD_PTR ignored = 0;
    const std::wstring wide = Wide(text);
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
  }
  static bool Checked(HWND button) {
    DWORD_PTR state = 0;
    SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return state == BST_CHECKED;
  }
  std::wstring RunValue() {
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_CURRENT_USER, RunKey, L"Horalog", RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
      return L"(none)";
    return text;
  }
};

TEST_F(FarFolder, SettingsJournalViewReportCompactAboutAndLoadAtLogIn) {
  ASSERT_NE(dir_->Path().find("Документы 文档"), std::string::npos);
  // A zero timeout ends a spell at the first quiet tick: only when the
  // settings file was read.
  WriteIni("[Options]\r\nInterval=0\r\n");
  Process& program = StartReady();
  MoveCursor(300, 300);
  ASSERT_TRUE(WaitUntil([&] { return RecordCount() >= 2; }, 15000))
      << "no Start and Stop in the folder's journal: " << Log();
  ShowMain();

  HWND view = Command("&Tools", "&View", "TDBViewDlg", "View Horalog Database");
  ASSERT_NE(view, nullptr);
  Key(view, VK_F5);
  DWORD_PTR rows = 0;
  EXPECT_TRUE(WaitUntil([&] {
    SendMessageTimeoutA(FindChild(view, WC_LISTVIEWA), LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG,
                        5000, &rows);
    return rows >= 2;
  })) << "the view lists " << rows << " records";
  Close(view, 0);

  // The report is written in the folder and shown from there.
  const std::string page = dir_->Path("report.html");
  HWND report = ReportForToday();
  ASSERT_NE(report, nullptr);
  EXPECT_THAT(ReadAll(page), HasSubstr("<tr><td>"));
  if (HWND note = FindChild(report, "Static")) {
    EXPECT_THAT(WindowTextUtf8(note), HasSubstr(page)) << "the window names another file";
  }
  Close(report, 0);

  HWND confirm = Command("&Tools", "&Compact", "#32770", "Confirm");
  EXPECT_THAT(Answer(confirm, IDYES), HasSubstr("Do you want to compact the database now?"));
  EXPECT_THAT(Answer(WaitDialog("Information"), IDOK), HasSubstr("Operation successful"));
  EXPECT_GE(FileSize(dir_->Path("hl.bak")), 2 * 141) << "no backup in the folder";

  // The version resource comes from the executable in the folder.
  HWND about = Command("&Help", "&About", "TAboutDlg", "About");
  EXPECT_THAT(Answer(about, IDOK),
              HasSubstr(HORALOG_PRODUCT_NAME "\nVersion\n" HORALOG_VERSION_TEXT));

  // Load at log-in names the real path, and reads back as on.
  HWND options = Command("&Tools", "&Options", "TOptionsDlg", "Options");
  ASSERT_NE(options, nullptr);
  SendMessageTimeoutA(GetDlgItem(options, 101), BM_SETCHECK, BST_CHECKED, 0, SMTO_ABORTIFHUNG,
                      5000, nullptr);
  SetText(GetDlgItem(options, TimeOutEditId), "7");
  Close(options, IDOK);
  EXPECT_EQ(Utf8(RunValue()), exe_);
  wchar_t interval[16] = {};
  GetPrivateProfileStringW(L"Options", L"Interval", L"", interval, 16,
                           Wide(dir_->Path("Horalog.ini")).c_str());
  EXPECT_EQ(Utf8(interval), "7");
  options = Command("&Tools", "&Options", "TOptionsDlg", "Options");
  ASSERT_NE(options, nullptr);
  EXPECT_TRUE(Checked(GetDlgItem(options, 101))) << "the Run value does not read back as on";
  Close(options, 0);

  confirm = Command("&File", "&Exit", "#32770", "Confirm");
  Answer(confirm, IDYES);
  ASSERT_TRUE(program.WaitExit(10000));
  EXPECT_EQ(program.ExitCode(), 0u);
  EXPECT_EQ(FilesIn(dir_->Path()),
            (std::set<std::string>{"Horalog.exe", "Horalog.ini", "hl.bak", "hl.dat", "report.html"}));
}

}  // namespace
}  // namespace horalog::e2e
