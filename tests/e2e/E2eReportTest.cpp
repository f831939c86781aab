// The Report command: the dates dialog, the report window and its Save.
#include <gmock/gmock.h>

#include "E2eDriver.h"

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace horalog::e2e {
namespace {

using ::testing::HasSubstr;

constexpr const char* DatesClass = "TStartEndDatesDlg";
constexpr const char* DatesCaption = "Select Start and End Dates";
constexpr const char* ReportClass = "TReportDlg";
constexpr int StartPickerId = 10, EndPickerId = 11;
constexpr int FileNameEdit = 0x480, FileNameCombo = 0x47C, FileTypeCombo = 0x470;

double Today() { return static_cast<double>(static_cast<int64_t>(NowAsDateTime())); }
double Hours(double h) { return h / 24.0; }

SYSTEMTIME DayOf(double dateTime) {
  // Day 0 is 30 December 1899; the system counts from 1 January 1601.
  const ULONGLONG ticksPerDay = 864000000000ULL;
  const ULONGLONG days1601To1899 = 109205;
  ULARGE_INTEGER ticks;
  ticks.QuadPart = (static_cast<ULONGLONG>(static_cast<int64_t>(dateTime)) + days1601To1899) *
                   ticksPerDay;
  FILETIME file{ticks.LowPart, ticks.HighPart};
  SYSTEMTIME day{};
  FileTimeToSystemTime(&file, &day);
  return day;
}

std::string DayHeading(double dateTime) {
  SYSTEMTIME day = DayOf(dateTime);
  char text[128] = {};
  GetDateFormatA(LOCALE_USER_DEFAULT, 0, &day, "dddd, MMMM dd yyyy", text, sizeof text);
  return text;
}

class Report : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    MoveCursor(0, 0);
  }

  std::string ReportFile() const { return dir_->Path("report.html"); }

  // Starts the program and gives it the journal once its first ticks have
  // passed (keys another program typed may count as activity in them).
  void StartWithJournal(const std::string& journal) {
    StartReady();
    Sleep(2500);
    WriteAll(DataFile(), journal);
  }

  // Tools > Report, by the menu's letters; the dates dialog that opens.
  HWND OpenDatesDialog() {
    ShowMain();
    ChooseMenuItem("&Tools", "&Report");
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindVisible(First().Pid(), DatesClass, DatesCaption)); });
    return dialog;
  }

  HWND WaitReportWindow(DWORD timeoutMs = 10000) {
    HWND window = nullptr;
    WaitUntil([&] { return (window = FindVisible(First().Pid(), ReportClass, "Report")); },
              timeoutMs);
    return window;
  }

  // Under Wine here a process cannot write another's memory (so no
  // DTM_SETSYSTEMTIME from outside): a picker is changed as the user would,
  // by its label's letter (Alt+letter) and keys. A picker that gets the focus
  // has no field selected; Right selects the next field, and the year is the
  // third of the short date here (M/d/yyyy); Up and Down step it by one.
  void StepYear(HWND dialog, char labelLetter, int years) {
    const char other = labelLetter == 's' ? 'e' : 's';
    for (char letter : {other, labelLetter})
      PostMessageA(dialog, WM_SYSCHAR, static_cast<WPARAM>(letter), 1 << 29);
    HWND picker = GetDlgItem(dialog, labelLetter == 's' ? StartPickerId : EndPickerId);
    for (int i = 0; i < 3; ++i) PostMessageA(picker, WM_KEYDOWN, VK_RIGHT, 0);
    for (int i = 0; i < (years < 0 ? -years : years); ++i)
      PostMessageA(picker, WM_KEYDOWN, years < 0 ? VK_DOWN : VK_UP, 0);
    Sleep(300);
  }

  void Foreground(HWND window) {
    SetForegroundWindow(window);
    WaitUntil([&] { return GetForegroundWindow() == window; }, 2000);
  }

  // Types a name into the save dialog and confirms it.
  void SaveAs(HWND save, const std::string& name) {
    HWND edit = GetDlgItem(save, FileNameEdit);
    if (!edit) edit = FindChild(GetDlgItem(save, FileNameCombo), "Edit");
    ASSERT_NE(edit, nullptr) << "no file name field in the save dialog";
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    ASSERT_TRUE(ClickButton(save, IDOK));
  }

  HWND WaitErrorBox() { return WaitDialog("Horalog"); }
};

// Today's records, between records of other days and one that is deleted.
std::string TodaysJournal() {
  const double today = Today();
  return RecordBytes(0, 0, today - 1 + Hours(9)) + RecordBytes(0, 1, today - 1 + Hours(10)) +
         RecordBytes(0, 0, today + Hours(9)) + RecordBytes(-1, 1, today + Hours(10)) +
         RecordBytes(0, 1, today + Hours(12.5));
}

// The builder's page for TodaysJournal over today..today.
std::string TodaysPage() {
  return "<html>\r\n<body>\r\n<font face=\"arial\">\r\n"
         "<h3><font color=\"red\">" + DayHeading(Today()) + "</font></h3>\r\n"
         "<table border=\"1\" cellpadding=\"5\" cellspacing=\"5\">\r\n"
         "<tr><th>In</th><th>Out</th><th>Time difference</th></tr>\r\n"
         "<tr><td>09:00:00 am</td><td>12:30:00 pm</td><td>03:30:00</td></tr>\r\n"
         "</table>\r\n"
         "<p><b>Total time: 03:30:00</b></p>\r\n"
         "</font>\r\n</body>\r\n</html>\r\n";
}

// The whole walk: Enter in the dates dialog shows today's report; Ctrl+S
// saves a byte-identical copy under a new name and refuses an existing
// one, keeping it; Esc closes the window.
TEST_F(Report, TodaysReportIsShownSavedAndClosedFromTheKeyboard) {
  StartWithJournal(TodaysJournal());
  HWND dates = OpenDatesDialog();
  ASSERT_NE(dates, nullptr) << "no dates dialog";

  Foreground(dates);
  PressKeys({VK_RETURN});
  HWND report = WaitReportWindow();
  ASSERT_NE(report, nullptr) << "Enter did not open the report window";
  EXPECT_FALSE(IsWindow(dates)) << "the dates dialog is still there";
  EXPECT_EQ(ReadAll(ReportFile()), TodaysPage());
  EXPECT_FALSE(IsWindowEnabled(Main())) << "the report window is not modal";

  // Where no page engine draws it, the window says where the report is.
  if (HWND open = FindChild(report, "Button")) {
    EXPECT_EQ(WindowText(open), "Open in browser");
    EXPECT_THAT(DialogText(report), HasSubstr(ReportFile()));
  }

  // Save under a new name.
  Foreground(report);
  PressKeys({VK_CONTROL, 'S'});
  HWND save = WaitDialog("Save Report");
  ASSERT_NE(save, nullptr) << "Ctrl+S did not open the save dialog";
  EXPECT_EQ(WindowText(GetDlgItem(save, FileTypeCombo)), "HTML files (*.htm; *.html)");
  SaveAs(save, dir_->Path("copy.html"));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }));
  // The copy exists before the system has written all of it.
  const std::string page = ReadAll(ReportFile());
  EXPECT_TRUE(WaitUntil([&] { return ReadAll(dir_->Path("copy.html")) == page; }))
      << "no byte-identical copy";

  // An existing file is refused and stays as it was.
  const std::string kept = dir_->Path("kept.html");
  WriteAll(kept, "the user's own file");
  Foreground(report);
  PressKeys({VK_CONTROL, 'S'});
  save = WaitDialog("Save Report");
  ASSERT_NE(save, nullptr);
  SaveAs(save, kept);
  HWND error = WaitErrorBox();
  ASSERT_NE(error, nullptr) << "no error for an existing file";
  EXPECT_THAT(DialogText(error), HasSubstr("System Error.  Code: 80."));
  EXPECT_EQ(ReadAll(kept), "the user's own file");
  ClickButton(error, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(error); }));
  EXPECT_TRUE(IsWindowVisible(report)) << "the report window went with the error";

  Foreground(report);
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(report) || !IsWindowVisible(report); }))
      << "Esc did not close the report window";
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Main()) != FALSE; }));
  EXPECT_TRUE(First().Running());
}

// Cancel shows nothing and writes nothing; a start after the end is refused
// with the dialog left open; one day for both is a range.
TEST_F(Report, DatesDialogRefusesAStartAfterTheEndAndCancelWritesNothing) {
  StartWithJournal(TodaysJournal());
  HWND dates = OpenDatesDialog();
  ASSERT_NE(dates, nullptr);
  ASSERT_TRUE(ClickButton(dates, IDCANCEL));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dates); }));
  EXPECT_EQ(WaitReportWindow(1500), nullptr) << "Cancel showed a report";
  EXPECT_EQ(FileSize(ReportFile()), -1) << "Cancel wrote a report";

  dates = OpenDatesDialog();
  ASSERT_NE(dates, nullptr);
  StepYear(dates, 's', +1);
  ASSERT_TRUE(ClickButton(dates, IDOK));
  HWND error = WaitErrorBox();
  ASSERT_NE(error, nullptr) << "no error for a start after the end";
  EXPECT_EQ(DialogText(error), "Start date is lesser then the end date.");
  ClickButton(error, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(error); }));
  EXPECT_TRUE(IsWindowVisible(dates)) << "the dates dialog closed on the error";
  EXPECT_EQ(FileSize(ReportFile()), -1);

  // From a year ago to today: yesterday and today.
  StepYear(dates, 's', -2);
  ASSERT_TRUE(ClickButton(dates, IDOK));
  HWND report = WaitReportWindow();
  ASSERT_NE(report, nullptr) << "no report from a year ago to today";
  const std::string page = ReadAll(ReportFile());
  EXPECT_THAT(page, HasSubstr(DayHeading(Today() - 1)));
  EXPECT_THAT(page, HasSubstr(DayHeading(Today())));

  PostMessageA(report, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(report); }));
}

// A journal of 100,000 records over 200 days up to today, reported whole.
TEST_F(Report, WindowForAHundredThousandRecordsAppears) {
  const double today = Today();
  const int records = 100000, days = 200;
  std::string journal;
  journal.reserve(static_cast<size_t>(records) * 141);
  const int perDay = records / days;
  for (int d = 0; d < days; ++d) {
    for (int i = 0; i < perDay; ++i) {
      const double time = today - (days - 1) + d + Hours(6) + i * (Hours(12) / perDay);
      journal += RecordBytes(0, static_cast<uint8_t>(i % 2), time);
    }
  }
  StartWithJournal(journal);
  HWND dates = OpenDatesDialog();
  ASSERT_NE(dates, nullptr);
  StepYear(dates, 's', -1);
  const auto from = std::chrono::steady_clock::now();
  ASSERT_TRUE(ClickButton(dates, IDOK));
  HWND report = WaitReportWindow(120000);
  const auto took = std::chrono::steady_clock::now() - from;
  ASSERT_NE(report, nullptr);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
  std::printf("[  FIGURE  ] report window for %d records (%d days) appeared after %lld ms; "
              "report.html has %lld bytes\n",
              records, days, static_cast<long long>(ms),
              static_cast<long long>(FileSize(ReportFile())));
  RecordProperty("report_window_ms", static_cast<int>(ms));
  EXPECT_THAT(ReadAll(ReportFile()), HasSubstr(DayHeading(today)));
  PostMessageA(report, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(report); }));
}

}  // namespace
}  // namespace horalog::e2e
