// The report window, its browser view and the dates dialog, under Wine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>

#include <filesystem>
#include <functional>
#include <string>

#include "UiTestSupport.h"
#include "data/ActRec.h"
#include "data/DataDir.h"
#include "data/Errors.h"
#include "platform/Platform.h"
#include "platform/win32/WideText.h"
#include "report/ReportCsv.h"
#include "dialogs/ReportDialog.h"
#include "dialogs/StartEndDatesDialog.h"
#include "ui/Application.h"
#include "ui/WebBrowser.h"
#include "ui/Window.h"

namespace horalog {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// Whether this system can draw HTML pages (Wine without its engine cannot).
bool HasPageEngine() {
  const CLSID htmlDocument = {
      0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};
  IUnknown* document = nullptr;
  HRESULT result = CoCreateInstance(htmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                    reinterpret_cast<void**>(&document));
  if (document) document->Release();
  return SUCCEEDED(result);
}

class Holder : public ui::TWindow {
 public:
  Holder() {
    TCreateParams params;
    params.className = "HoralogBrowserHolder";
    params.caption = "Holder";
    params.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    params.width = 500;
    params.height = 300;
    CreateHandle(params);
  }
};

using WindowTest = test::MainFormTest;

class BrowserView : public WindowTest {
 protected:
  test::ScratchDir scratch_;
};

// The control is embedded and told where to go; where no page engine draws
// the page, the note takes its place with the file's path and the button.
TEST_F(BrowserView, EmbedsTheControlAndShowsANoteWhereThePageCannotBeDrawn) {
  const std::string page = scratch_.Path("page.html");
  test::WriteText(page, "<html><body><h3>Hello</h3></body></html>\r\n");
  Holder holder;
  holder.Show();
  ui::TWebBrowser view;
  view.NoteText = "Nothing to see here.";
  view.Create(holder.Handle());
  view.SetBounds(0, 0, 400, 250);
  ASSERT_TRUE(view.Embedded()) << view.NoteReason();
  HWND control = GetWindow(view.Handle(), GW_CHILD);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(test::ClassOf(control), "Shell Embedding");

  view.Navigate(page);
  EXPECT_THAT(view.LocationURL(), HasSubstr(page));
  const bool engine = HasPageEngine();
  EXPECT_EQ(view.ShowsNote(), !engine) << view.NoteReason();
  if (engine) return;

  HWND note = GetDlgItem(view.Handle(), ui::TWebBrowser::NoteId);
  HWND open = GetDlgItem(view.Handle(), ui::TWebBrowser::OpenButtonId);
  ASSERT_NE(note, nullptr);
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(test::WindowText(note), "Nothing to see here.\r\n\r\nThe file is:\r\n" + page);
  EXPECT_EQ(test::WindowText(open), "Open in browser");
  EXPECT_TRUE(IsWindowVisible(open));
  EXPECT_FALSE(IsWindowVisible(control)) << "the empty control hides the note";

  // The note follows the view's size.
  RECT before{}, after{};
  GetWindowRect(note, &before);
  view.SetBounds(0, 0, 300, 250);
  GetWindowRect(note, &after);
  EXPECT_EQ((before.right - before.left) - (after.right - after.left), 100);
}

// A filter sees the keys that no accelerator took, before the dialog keys do.
using MessageFilter = WindowTest;
TEST_F(MessageFilter, SeesKeysAfterTheAcceleratorsAndBeforeTheDialogKeys) {
  struct Filter : ui::TMessageFilter {
    std::vector<WPARAM> seen;
    bool FilterMessage(MSG& msg) override {
      if (msg.message != WM_KEYDOWN) return false;
      seen.push_back(msg.wParam);
      return msg.wParam == VK_DOWN;  // taken: nobody else sees it
    }
  } filter;
  Holder holder;
  ACCEL escape{FVIRTKEY, VK_ESCAPE, 500};
  win32::UniqueAccel table(CreateAcceleratorTableA(&escape, 1));
  ui::Application().SetAccelerators(table.get(), holder.Handle());
  ui::Application().AddMessageFilter(&filter);
  for (WPARAM key : {VK_ESCAPE, VK_DOWN, VK_UP}) {
    PostMessageA(holder.Handle(), WM_KEYDOWN, key, 0);
    test::Pump(50);
  }
  ui::Application().RemoveMessageFilter(&filter);
  ui::Application().SetAccelerators(nullptr, holder.Handle());
  EXPECT_EQ(filter.seen, (std::vector<WPARAM>{VK_DOWN, VK_UP}));
}

class ReportWindow : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SetDataDir(scratch_.Path());
  }
  void TearDown() override {
    SetDataDir({});
    WindowTest::TearDown();
  }

  void WriteJournal(const std::vector<TActRec>& records) {
    test::WriteRecords(scratch_.Path("hl.dat"), records);
  }
  std::string ReportFile() const { return scratch_.Path("report.html"); }

  // A save onto the user's existing file is refused with the system's error
  // for an existing file, and the file stays as it was.
  void ExpectRefusedAndKept(const std::function<void(const std::string&)>& save,
                            const std::string& name) {
    const std::string path = scratch_.Path(name);
    test::WriteText(path, "the user's file");
    try {
      save(path);
      ADD_FAILURE() << "an existing file was overwritten";
    } catch (const EOSError& e) {
      EXPECT_EQ(e.Code(), static_cast<uint32_t>(ERROR_FILE_EXISTS));
      EXPECT_THAT(e.what(), ::testing::StartsWith("System Error.  Code: 80.\r\n"));
    }
    EXPECT_EQ(test::ReadText(path), "the user's file");
  }

  // A CSV text with "," and "." as the user's separators.
  static std::string Localised(const std::string& text) {
    const TCsvSeparators separators = CsvSeparators(platform::UserLocale());
    std::string localised;
    for (char c : text)
      localised += c == ',' ? std::string(1, separators.field)
                   : c == '.' ? separators.decimal
                              : std::string(1, c);
    return localised;
  }

  test::ScratchDir scratch_;
};

TEST_F(ReportWindow, ToolbarOverABrowserThatFollowsTheWindowsSize) {
  TReportDlg dialog(nullptr);
  HWND window = dialog.Handle();
  EXPECT_EQ(test::ClassOf(window), "TReportDlg");
  EXPECT_EQ(test::WindowText(window), "Report");
  EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_THICKFRAME);
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  RECT outer{};
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.right - outer.left, ui::TWindow::Scale(613));
  EXPECT_EQ(outer.bottom - outer.top, ui::TWindow::Scale(412));

  HWND toolbar = dialog.ActionToolBar1.Handle();
  ASSERT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), 2);
  TBBUTTON button{};
  SendMessageA(toolbar, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&button));
  EXPECT_EQ(static_cast<UINT>(button.idCommand), dialog.SaveAction->Id);
  EXPECT_EQ(button.iBitmap, 1);
  SendMessageA(toolbar, TB_GETBUTTON, 1, reinterpret_cast<LPARAM>(&button));
  EXPECT_EQ(static_cast<UINT>(button.idCommand), dialog.CloseAction->Id);
  EXPECT_EQ(button.iBitmap, 0);

  auto expectBrowserFills = [&] {
    RECT client{}, toolbarRect{}, browser{};
    GetClientRect(window, &client);
    GetWindowRect(toolbar, &toolbarRect);
    GetWindowRect(dialog.WebBrowser1.Handle(), &browser);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&browser), 2);
    EXPECT_EQ(browser.top, toolbarRect.bottom - toolbarRect.top);
    EXPECT_EQ(browser.left, 0);
    EXPECT_EQ(browser.right, client.right);
    EXPECT_EQ(browser.bottom, client.bottom);
  };
  expectBrowserFills();
  SetWindowPos(window, nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER);
  expectBrowserFills();
}

// What the window shows and saves is the report just asked for, also when
// there is no data file and an earlier run left its report behind.
TEST_F(ReportWindow, WithoutADataFileTheEmptyJournalIsShownAndSavedNotAnOldReport) {
  test::WriteText(ReportFile(), "an old report");
  TReportDlg dialog(nullptr);
  const TDateTime today = WholePart(platform::Now());
  dialog.BuildReport(today, today);
  const std::string bare =
      "<html>\r\n<body>\r\n<font face=\"arial\">\r\n</font>\r\n</body>\r\n</html>\r\n";
  EXPECT_EQ(test::ReadText(ReportFile()), bare);
  dialog.SaveReportAs(scratch_.Path("saved.html"));
  EXPECT_EQ(test::ReadText(scratch_.Path("saved.html")), bare);
}

TEST_F(ReportWindow, SaveCopiesTheReportAndNeverOverwritesAFile) {
  TReportDlg dialog(nullptr);
  dialog.ReportFileName = ReportFile();
  const std::string report = "<html>\r\n" + std::string(70000, 'x') + "\r\n</html>\r\n";
  test::WriteText(ReportFile(), report);

  dialog.SaveReportAs(scratch_.Path("copy.html"));
  EXPECT_EQ(test::ReadText(scratch_.Path("copy.html")), report);

  ExpectRefusedAndKept([&](const std::string& path) { dialog.SaveReportAs(path); }, "mine.html");

  // No report to copy: the system's error for a missing file, and no copy.
  fs::remove(ReportFile());
  try {
    dialog.SaveReportAs(scratch_.Path("none.html"));
    ADD_FAILURE() << "a missing report was copied";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.Code(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  }
  EXPECT_FALSE(fs::exists(scratch_.Path("none.html")));
}

// The save dialog's CSV type, or a name ending in ".csv", writes the rows the
// page showed as CSV, to a new file only.
TEST_F(ReportWindow, SaveAsCsvWritesThePagesRowsToANewFileOnly) {
  using Kind = TReportSaveKind;
  auto kind = [](const std::string& chosen, int type) { return ReportSaveTarget(chosen, type).kind; };
  EXPECT_EQ(ReportSaveTarget("C:\\r\\week", 2).path, "C:\\r\\week.csv");
  EXPECT_EQ(ReportSaveTarget("C:\\r.d\\week", 2).path, "C:\\r.d\\week.csv");
  EXPECT_EQ(ReportSaveTarget("C:\\r\\week.html", 2).path, "C:\\r\\week.html");
  EXPECT_EQ(kind("C:\\r\\week.html", 2), Kind::Csv);
  EXPECT_EQ(kind("C:\\r\\week.Csv", 1), Kind::Csv);
  EXPECT_EQ(ReportSaveTarget("C:\\r\\week.Csv", 4).path, "C:\\r\\week.Csv");
  EXPECT_EQ(kind("C:\\r\\week.Csv", 4), Kind::Csv);
  EXPECT_EQ(kind("C:\\r\\week.csv.html", 1), Kind::Page);
  EXPECT_EQ(kind("C:\\r\\week", 4), Kind::Page);
  // The day summary's type writes the summary, under any name.
  EXPECT_EQ(ReportSaveTarget("C:\\r\\days", 3).path, "C:\\r\\days.csv");
  EXPECT_EQ(kind("C:\\r\\days.csv", 3), Kind::DaySummary);
  EXPECT_EQ(kind("C:\\r\\days.txt", 3), Kind::DaySummary);

  const TDateTime monday = ComposeDate(2003, 3, 3);
  WriteJournal({MakeRecord(ActionStart, monday + 0.375), MakeRecord(ActionStop, monday + 0.5)});
  TReportDlg dialog(nullptr);
  dialog.BuildReport(monday, monday);
  // The journal changes after the page was built: the CSV holds the page's rows.
  WriteJournal({});
  dialog.SaveCsvAs(scratch_.Path("week.csv"));
  EXPECT_EQ(test::ReadText(scratch_.Path("week.csv")),
            Localised("Date,In,Out,Duration,Hours\r\n"
                      "2003-03-03,09:00:00,12:00:00,3:00:00,3.00\r\n"
                      "2003-03-03,Total,,3:00:00,3.00\r\n"
                      "Total,,,3:00:00,3.00\r\n"));

  ExpectRefusedAndKept([&](const std::string& path) { dialog.SaveCsvAs(path); }, "mine.csv");

  // A write that fails part-way leaves no file under the name.
  platform::FailFileOperation(2);
  EXPECT_THROW(dialog.SaveCsvAs(scratch_.Path("half.csv")), EInOutError);
  platform::FailFileOperation(0);
  EXPECT_FALSE(fs::exists(scratch_.Path("half.csv")));
}

// In the system's Save dialog: the CSV type and a name without extension
// give name.csv (not name.csv.html, not name.html), and a CSV under any name;
// with the HTML type a name ending in ".CSV" gives a CSV too. The day
// summary's type gives the summary. Days split at the working day's start
// the window was given, in the page, the CSV and the summary alike.
TEST_F(ReportWindow, SaveDialogsCsvTypeWritesNameDotCsv) {
  const TDateTime monday = ComposeDate(2003, 3, 3);
  WriteJournal({MakeRecord(ActionStart, monday + 22.0 / 24), MakeRecord(ActionStop, monday + 1 + 2.0 / 24)});
  THoursSettings settings;
  settings.dayStart = 4.0 / 24;
  for (int weekday = 1; weekday <= 5; ++weekday) settings.weekdayTargets[static_cast<size_t>(weekday)] = 8 * 3600;
  TReportDlg dialog(nullptr);
  dialog.BuildReport(monday, monday, settings);
  EXPECT_THAT(test::ReadText(ReportFile()),
              ::testing::HasSubstr("<tr><td>10:00:00 pm</td><td>02:00:00 am</td><td>04:00:00</td></tr>"));
  auto save = [&](const std::string& name, int type) {
    bool filled = false;
    test::Steps({[&] {
      HWND box = test::FindDialog("Save Report");
      if (!box) return;
      HWND types = GetDlgItem(box, cmb1);
      SendMessageA(types, CB_SETCURSEL, type - 1, 0);
      // As a choice by the user: the selection, then its end.
      for (WORD code : {CBN_SELCHANGE, CBN_SELENDOK})
        SendMessageA(box, WM_COMMAND, MAKEWPARAM(cmb1, code), reinterpret_cast<LPARAM>(types));
      HWND edit = GetDlgItem(box, cmb13) ? GetDlgItem(box, cmb13) : GetDlgItem(box, edt1);
      SetWindowTextW(edit, platform::WidePath(scratch_.Path(name)).c_str());
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      filled = true;
    }}, 500);
    dialog.SaveActionExecute();
    EXPECT_TRUE(filled) << "no save dialog";
  };
  save("week", TReportDlg::CsvFilterIndex);
  EXPECT_EQ(test::ReadText(scratch_.Path("week.csv")),
            Localised("Date,In,Out,Duration,Hours\r\n"
                      "2003-03-03,22:00:00,02:00:00,4:00:00,4.00\r\n"
                      "2003-03-03,Total,,4:00:00,4.00\r\n"
                      "Total,,,4:00:00,4.00\r\n"));
  for (const char* wrong : {"week", "week.html", "week.csv.html", "week.htm"})
    EXPECT_FALSE(fs::exists(scratch_.Path(wrong))) << wrong;
  save("sheet.txt", TReportDlg::CsvFilterIndex);
  EXPECT_THAT(test::ReadText(scratch_.Path("sheet.txt")), ::testing::StartsWith("Date"));

  save("plain.CSV", 1);
  EXPECT_THAT(test::ReadText(scratch_.Path("plain.CSV")), ::testing::StartsWith("Date"));
  save("page", 1);
  EXPECT_THAT(test::ReadText(scratch_.Path("page.htm")), ::testing::StartsWith("<html>"));

  save("days", TReportDlg::DaySummaryFilterIndex);
  EXPECT_EQ(test::ReadText(scratch_.Path("days.csv")),
            Localised("Date,First In,Last Out,Worked,Hours,Target,Difference,Balance\r\n"
                      "2003-03-03,22:00:00,02:00:00,4:00:00,4.00,8:00,-4:00,-4:00\r\n"
                      "Total,,,4:00:00,4.00,8:00,-4:00,\r\n"));
}

// A report that cannot be built shows no window: the error goes to the caller.
TEST_F(ReportWindow, ShowReportOfAnUnreadableJournalRaisesWithoutAWindow) {
  HANDLE held = CreateFileA(scratch_.Path("hl.dat").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  bool shown = false;
  test::After(300, [&] {
    shown = FindWindowA("TReportDlg", "Report") != nullptr;
    if (HWND w = FindWindowA("TReportDlg", "Report")) PostMessageA(w, WM_CLOSE, 0, 0);
  });
  const TDateTime today = WholePart(platform::Now());
  EXPECT_THROW(ShowReport(nullptr, today, today, THoursSettings{}), EInOutError);
  CloseHandle(held);
  test::Pump(400);
  EXPECT_FALSE(shown);
  EXPECT_EQ(FindWindowA("TReportDlg", nullptr), nullptr);
}

using DatesDialog = WindowTest;

TEST_F(DatesDialog, BothDaysAreTodayAndTheStartMustNotBeAfterTheEnd) {
  TStartEndDatesDlg dialog(nullptr);
  EXPECT_EQ(test::ClassOf(dialog.Handle()), "TStartEndDatesDlg");
  EXPECT_EQ(test::WindowText(dialog.Handle()), "Select Start and End Dates");
  const TDateTime today = WholePart(platform::Now());
  EXPECT_EQ(dialog.StartDatePicker.DateTime(), today);
  EXPECT_EQ(dialog.EndDatePicker.DateTime(), today);

  // One day for both is a range.
  dialog.OKBtnClick();
  EXPECT_EQ(dialog.ModalResult(), IDOK);

  dialog.SetModalResult(0);
  dialog.StartDatePicker.SetDateTime(today + 1);
  try {
    dialog.OKBtnClick();
    ADD_FAILURE() << "a start after the end was taken";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Start date is lesser then the end date");
  }
  EXPECT_EQ(dialog.ModalResult(), 0) << "the dialog would close";

  dialog.EndDatePicker.SetDateTime(today + 30);
  dialog.OKBtnClick();
  EXPECT_EQ(dialog.ModalResult(), IDOK);
  EXPECT_EQ(dialog.StartDate(), today + 1);
  EXPECT_EQ(dialog.EndDate(), today + 30);
}

}  // namespace
}  // namespace horalog
