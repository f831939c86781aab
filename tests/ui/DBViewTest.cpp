// The database view and the action editor, built in this process over a data
// file in a scratch folder. Dialogs that a command opens are answered from
// timers, which their modal loops dispatch.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "data/ActRecList.h"
#include "data/DataDir.h"
#include "data/Errors.h"
#include "dialogs/ActionEditDlg.h"
#include "dialogs/DBViewDialog.h"
#include "platform/DateTime.h"
#include "platform/Platform.h"
#include "ui/Application.h"

namespace horalog {
namespace {

using test::After;
using test::CaptureErrors;
using test::Bytes;
using test::PatternedRecord;
using test::ReadBytes;
using test::RecordsBytes;
using test::WriteRecords;

const TDateTime Day = 37683.0;  // Mon, 03 Mar 2003

// Seven records in time order, odd Status and Action bytes among them, each
// with its own Reserved pattern.
std::vector<TActRec> SevenRecords() {
  return {PatternedRecord(0, 0, Day + 0.30, 1), PatternedRecord(0, 1, Day + 0.40, 2),
          PatternedRecord(7, 0, Day + 0.45, 3), PatternedRecord(0, 2, Day + 0.50, 4),
          PatternedRecord(0, 0, Day + 1.30, 5), PatternedRecord(-5, 1, Day + 1.40, 6),
          PatternedRecord(0, 0, Day + 2.30, 7)};
}

TActionEditDialog* OpenEditor() {
  HWND window = FindWindowA(TActionEditDialog::ClassName, "Action Editor");
  if (!window || !IsWindowVisible(window)) return nullptr;
  return dynamic_cast<TActionEditDialog*>(
      reinterpret_cast<ui::TWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA)));
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM joined) {
  if (test::ClassOf(child) == "Static") *reinterpret_cast<std::string*>(joined) += test::WindowText(child);
  return TRUE;
}

std::string StaticTexts(HWND dialog) {
  std::string joined;
  EnumChildWindows(dialog, CollectStaticText, reinterpret_cast<LPARAM>(&joined));
  return joined;
}

class DBView : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDataDir(scratch.Path());
    data = DataDir() + "hl.dat";
  }
  void TearDown() override {
    view.reset();
    test::DrainQuit();
  }
  void Create() {
    view = std::make_unique<TDBViewDlg>();
    // Alone in this process, the view would be taken for the main window.
    if (ui::Application().MainForm() == view.get()) ui::Application().SetMainForm(nullptr);
  }
  HWND List() const { return view->DBListView.Handle(); }
  std::string Cell(int row, int column) const {
    char text[256] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(List(), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  int StatePicture(int row) const {
    return static_cast<int>((ListView_GetItemState(List(), row, LVIS_STATEIMAGEMASK) >> 12)) - 1;
  }
  void Select(std::initializer_list<int> rows) {
    ListView_SetItemState(List(), -1, 0, LVIS_SELECTED);
    for (int row : rows) view->DBListView.SetSelected(row, true);
  }
  // Answers the next Warning box with key, recording its text.
  void AnswerWarning(WPARAM key) {
    After(150, [this, key] {
      HWND box = test::FindDialog("Warning");
      ASSERT_NE(box, nullptr) << "no Warning box";
      warningText = StaticTexts(box);
      test::PressKey(box, key);
    });
  }
  // Runs fill on the next editor that opens, then presses OK or Cancel.
  void AnswerEditor(std::function<void(TActionEditDialog&)> fill, bool ok = true) {
    After(150, [this, fill, ok] {
      TActionEditDialog* editor = OpenEditor();
      ASSERT_NE(editor, nullptr) << "no action editor";
      editorAction = editor->ActionComboBox.ItemIndex();
      editorDate = editor->DatePicker.DateTime();
      editorTime = editor->TimePicker.DateTime();
      if (fill) fill(*editor);
      (ok ? editor->OKBtn : editor->CancelBtn).Click();
    });
  }

  test::ScratchDir scratch;
  std::string data;
  std::unique_ptr<TDBViewDlg> view;
  std::string warningText;
  int editorAction = -2;
  TDateTime editorDate = -1, editorTime = -1;
};

TEST_F(DBView, IsAHiddenSizeableWindowWithoutAMenu) {
  CaptureErrors errors;
  Create();
  EXPECT_TRUE(errors.texts.empty()) << "a missing data file is no error";
  HWND window = view->Handle();
  EXPECT_EQ(test::ClassOf(window), "TDBViewDlg");
  EXPECT_EQ(test::WindowText(window), "View Horalog Database");
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(GetMenu(window), nullptr);
  EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_THICKFRAME);
  RECT r{};
  GetWindowRect(window, &r);
  EXPECT_EQ(r.right - r.left, ui::TWindow::Scale(343));
  EXPECT_EQ(r.bottom - r.top, ui::TWindow::Scale(434));
}

// Refresh; Insert, Edit; Delete; Close, pictures only.
TEST_F(DBView, ToolbarHoldsTheCommandsAsPictures) {
  Create();
  HWND toolbar = view->ActionToolBar1.Handle();
  const std::vector<ui::TAction*> order = {view->RefreshAction, nullptr, view->InsertAction,
                                           view->EditAction, nullptr, view->DeleteAction,
                                           nullptr, view->CloseAction};
  ASSERT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), static_cast<LRESULT>(order.size()));
  for (size_t i = 0; i < order.size(); ++i) {
    TBBUTTON button{};
    SendMessageA(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
    if (!order[i]) {
      EXPECT_TRUE(button.fsStyle & BTNS_SEP) << i;
      continue;
    }
    EXPECT_EQ(button.idCommand, static_cast<int>(order[i]->Id));
    EXPECT_EQ(button.iBitmap, order[i]->ImageIndex);
    EXPECT_FALSE(button.fsStyle & BTNS_SHOWTEXT);
  }
  EXPECT_EQ(view->ImageList1.Count(), 5);
  EXPECT_EQ(view->ImageList2.Count(), 2);

  EXPECT_EQ(ui::ShortCutText(view->EditAction->ShortCut), "Ctrl+Enter");
}

TEST_F(DBView, ListIsAReportOfThreeColumnsWithFullRowsAndManySelected) {
  Create();
  const LONG style = GetWindowLongA(List(), GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(style & LVS_OWNERDATA);
  EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
  EXPECT_TRUE(style & LVS_NOSORTHEADER);
  EXPECT_FALSE(style & (LVS_SINGLESEL | LVS_EDITLABELS));
  EXPECT_TRUE(ListView_GetExtendedListViewStyle(List()) & LVS_EX_FULLROWSELECT);
  const char* captions[] = {"Activity", "Date", "Time"};
  const int widths[] = {100, 120, 100};
  for (int i = 0; i < 3; ++i) {
    char text[64] = {};
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    ASSERT_TRUE(SendMessageA(List(), LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(text, captions[i]);
    EXPECT_EQ(column.cx, ui::TWindow::Scale(widths[i]));
  }
}

TEST_F(DBView, CloseHidesAndTheWindowStays) {
  Create();
  HWND window = view->Handle();
  view->Show();
  EXPECT_TRUE(view->Visible());
  view->CloseAction->Execute();
  EXPECT_FALSE(view->Visible());
  EXPECT_TRUE(IsWindow(window));
  view->Show();
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(test::PumpUntil([&] { return !view->Visible(); }));
  EXPECT_FALSE(view->Visible());
  EXPECT_TRUE(IsWindow(window));
}

// The rows' pictures are the view's: the list leaves them when it goes, and
// the view frees them once.
TEST_F(DBView, TheRowsPicturesOutliveTheList) {
  Create();
  DestroyWindow(List());
  EXPECT_EQ(ImageList_GetImageCount(view->ImageList2.Handle()), 2);
}

TEST_F(DBView, ListsEveryRecordButDeletedOnesInTimeOrder) {
  std::vector<TActRec> records = SevenRecords();
  // Out of order on the disk, with a deleted record among them.
  WriteRecords(data, {records[4], records[0], PatternedRecord(-1, 0, Day + 0.2, 9), records[6],
                      records[1], records[2], records[3], records[5]});
  Create();
  ASSERT_EQ(view->DBListView.RowCount(), 7);
  EXPECT_EQ(RecordsBytes(view->Rows()), RecordsBytes(records));
  EXPECT_EQ(view->DBListView.SelectedCount(), 0);
  // Texts and pictures of every row are read in the end-to-end walk.
  EXPECT_EQ(Cell(2, 2), TimeText(records[2].Time));
  EXPECT_EQ(StatePicture(0), TDBViewDlg::StartStateImage);
  EXPECT_EQ(StatePicture(3), TDBViewDlg::StopStateImage);
  EXPECT_EQ(Cell(0, 1), "Mon, 03 Mar 2003");
  EXPECT_EQ(Cell(3, 0), "Stop") << "Action 2 reads as Stop";

  // The list is a picture of the last fill: showing it does not refill, Refresh does.
  WriteRecords(data, {records[0]});
  view->Show();
  EXPECT_EQ(view->DBListView.RowCount(), 7);
  SendMessageA(view->Handle(), WM_COMMAND, MAKEWPARAM(view->RefreshAction->Id, 1), 0);
  EXPECT_EQ(view->DBListView.RowCount(), 1);
  DeleteFileA(data.c_str());
  view->RefreshAction->Execute();
  EXPECT_EQ(view->DBListView.RowCount(), 0);
}

TEST_F(DBView, DeleteAsksFirstAndCanEmptyTheFile) {
  const std::vector<TActRec> records = SevenRecords();
  WriteRecords(data, records);
  Create();
  EXPECT_EQ(test::ErrorText<Error>([&] { view->DeleteActionExecute(); }),
            "Please select item(s) to delete");

  // No changes nothing; the word stays "items" for one.
  Select({2});
  AnswerWarning(VK_ESCAPE);
  view->DeleteActionExecute();
  EXPECT_EQ(warningText, "You are just about to delete 1 items.\rAre you sure?");
  EXPECT_EQ(ReadBytes(data), RecordsBytes(records));
  EXPECT_EQ(view->DBListView.SelectedCount(), 1);

  // Every row: an empty file and an empty list.
  Select({0, 1, 2, 3, 4, 5, 6});
  AnswerWarning(VK_RETURN);
  view->DeleteActionExecute();
  EXPECT_EQ(platform::FileFound(data), true);
  EXPECT_TRUE(ReadBytes(data).empty());
  EXPECT_EQ(view->DBListView.RowCount(), 0);
}

// Insert: the editor comes with today and now, no action chosen. A Stop dated
// a day before the last record lands in time order.
TEST_F(DBView, InsertGoesThroughTheEditorInTimeOrder) {
  const std::vector<TActRec> records = SevenRecords();
  WriteRecords(data, records);
  Create();
  const TDateTime before = platform::Now();
  AnswerEditor([](TActionEditDialog& e) {
    e.ActionComboBox.SetItemIndex(1);
    e.DatePicker.SetDate(Day + 1);
    e.TimePicker.SetTime(0.75);
  });
  view->InsertActionExecute();
  EXPECT_EQ(editorAction, -1);
  EXPECT_EQ(editorDate, WholePart(before));
  EXPECT_GE(editorTime, FractionPart(before) - 1e-6);
  EXPECT_LT(editorTime, 1.0);
  std::vector<TActRec> expected = records;
  expected.insert(expected.begin() + 6, MakeRecord(1, Day + 1.75));
  EXPECT_EQ(ReadBytes(data), RecordsBytes(expected));
  EXPECT_EQ(view->DBListView.RowCount(), 8);
}

// Cancel leaves the file byte for byte and the list as it was.
TEST_F(DBView, CancelInTheEditorChangesNothing) {
  const std::vector<TActRec> records = SevenRecords();
  WriteRecords(data, records);
  Create();
  Select({2});
  AnswerEditor([](TActionEditDialog& e) { e.ActionComboBox.SetItemIndex(1); }, false);
  view->InsertActionExecute();
  AnswerEditor([](TActionEditDialog& e) { e.ActionComboBox.SetItemIndex(1); }, false);
  view->EditActionExecute();
  EXPECT_EQ(ReadBytes(data), RecordsBytes(records));
  EXPECT_EQ(view->DBListView.SelectedCount(), 1);
}

// Edit takes the topmost selected row and changes only its action and moment;
// the editor comes with the record's split moment.
TEST_F(DBView, EditChangesOnlyTheTopmostSelectedRecordsActionAndMoment) {
  std::vector<TActRec> expected = SevenRecords();
  WriteRecords(data, expected);
  Create();
  Select({5, 2, 4});
  AnswerEditor([](TActionEditDialog& e) {
    e.ActionComboBox.SetItemIndex(1);
    e.TimePicker.SetTime(0.25);
  });
  view->EditActionExecute();
  EXPECT_EQ(editorAction, 0);
  EXPECT_EQ(editorDate, Day);
  EXPECT_EQ(editorTime, FractionPart(Day + 0.45));
  TActRec edited = expected[2];
  edited.Action = 1;
  edited.Time = Day + 0.25;
  expected.erase(expected.begin() + 2);
  expected.insert(expected.begin(), edited);
  EXPECT_EQ(ReadBytes(data), RecordsBytes(expected));
}

TEST_F(DBView, EditOfAnOddActionAndWithoutASelection) {
  WriteRecords(data, SevenRecords());
  Create();
  // A record of Action 2 opens with no action chosen.
  Select({3});
  AnswerEditor(nullptr, false);
  view->EditActionExecute();
  EXPECT_EQ(editorAction, -1);

  Select({});
  EXPECT_EQ(test::ErrorText<Error>([&] { view->EditActionExecute(); }),
            "Please select an item first");
  // A double click on the list runs Edit.
  CaptureErrors errors;
  NMHDR click{List(), static_cast<UINT_PTR>(TDBViewDlg::DBListViewId), static_cast<UINT>(NM_DBLCLK)};
  SendMessageA(view->Handle(), WM_NOTIFY, click.idFrom, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(errors.texts, std::vector<std::string>{"Please select an item first."});
}

TEST_F(DBView, WithoutADataFileCommandsFailAndCreateNone) {
  WriteRecords(data, SevenRecords());
  Create();
  DeleteFileA(data.c_str());
  Select({0});
  AnswerWarning(VK_RETURN);
  EXPECT_EQ(test::IoErrorText([&] { view->DeleteActionExecute(); }), "File not found");
  EXPECT_EQ(test::IoErrorText([&] { view->EditActionExecute(); }), "File not found");
  AnswerEditor([](TActionEditDialog& e) { e.ActionComboBox.SetItemIndex(0); });
  EXPECT_EQ(test::IoErrorText([&] { view->InsertActionExecute(); }), "File not found");
  EXPECT_FALSE(platform::FileFound(data));
  EXPECT_EQ(view->DBListView.RowCount(), 7) << "a failed command does not refill";
}

// The detector appends while the editor is open: Edit reads the file again
// after OK, so the new record stays.
TEST_F(DBView, EditKeepsRecordsAppendedWhileTheEditorIsOpen) {
  const std::vector<TActRec> records = SevenRecords();
  WriteRecords(data, records);
  Create();
  Select({1});
  AnswerEditor([this](TActionEditDialog& e) {
    AppendActionRecord(data, ActionStart, Day + 3);
    e.ActionComboBox.SetItemIndex(0);
  });
  view->EditActionExecute();
  std::vector<TActRec> expected = records;
  expected[1].Action = 0;
  expected.push_back(MakeRecord(ActionStart, Day + 3));
  EXPECT_EQ(ReadBytes(data), RecordsBytes(expected));
  EXPECT_EQ(view->DBListView.RowCount(), 8);
}

// Rows stand for the records they were filled from, wherever those have moved
// in the file since.
TEST_F(DBView, CommandsFindTheSelectedRecordsWhereverTheyMoved) {
  std::vector<TActRec> records = SevenRecords();
  WriteRecords(data, records);
  Create();

  // A record dated before all others was put into the file (another copy of
  // the program): every position has moved by one.
  const TActRec early = PatternedRecord(0, 0, Day - 1, 11);
  WriteRecords(data, {early, records[0], records[1], records[2], records[3], records[4],
                      records[5], records[6]});
  Select({1, 4});
  AnswerWarning(VK_RETURN);
  view->DeleteActionExecute();
  EXPECT_EQ(ReadBytes(data),
            RecordsBytes({early, records[0], records[2], records[3], records[5], records[6]}));

  // The same for Edit: the row of records[3] stands at file position 2 once
  // the early record is gone, where row 3 would find records[5].
  Select({3});
  WriteRecords(data, {records[0], records[2], records[3], records[5], records[6]});  // early is gone
  AnswerEditor([](TActionEditDialog& e) { e.ActionComboBox.SetItemIndex(1); });
  view->EditActionExecute();
  TActRec changed = records[3];
  changed.Action = 1;
  EXPECT_EQ(ReadBytes(data), RecordsBytes({records[0], records[2], changed, records[5], records[6]}));

  // A selected record that is no longer there: nothing changes, the list
  // shows the file as it is with the rows still found selected, and the user is told.
  ASSERT_EQ(view->DBListView.RowCount(), 5);
  Select({1, 3});  // records[2] and records[5]
  const std::vector<TActRec> now = {records[0], records[5], records[6]};  // records[2] compacted away
  WriteRecords(data, now);
  AnswerWarning(VK_RETURN);
  EXPECT_EQ(test::ErrorText<Error>([&] { view->DeleteActionExecute(); }), JournalChangedText);
  EXPECT_EQ(ReadBytes(data), RecordsBytes(now));
  EXPECT_EQ(RecordsBytes(view->Rows()), RecordsBytes(now));
  EXPECT_EQ(view->DBListView.SelectedRows(), std::vector<int>{1});

  Select({0});
  WriteRecords(data, {records[5], records[6]});
  EXPECT_EQ(test::ErrorText<Error>([&] { view->EditActionExecute(); }), JournalChangedText);
  EXPECT_EQ(view->DBListView.RowCount(), 2);
  EXPECT_EQ(ReadBytes(data), RecordsBytes({records[5], records[6]}));

  // Gone while the editor was open: nothing is written.
  Select({0});
  AnswerEditor([this, &records](TActionEditDialog& e) {
    WriteRecords(data, {records[6]});
    e.ActionComboBox.SetItemIndex(0);
  });
  EXPECT_EQ(test::ErrorText<Error>([&] { view->EditActionExecute(); }), JournalChangedText);
  EXPECT_EQ(ReadBytes(data), RecordsBytes({records[6]}));
  EXPECT_EQ(view->DBListView.RowCount(), 1);
}

// The commands that rewrite the file go through the recorder's door, which
// appends its waiting records first: the rewrite keeps them.
TEST_F(DBView, CommandsLetTheWaitingRecordsInBeforeTheyRewrite) {
  const std::vector<TActRec> records = SevenRecords();
  WriteRecords(data, records);
  Create();
  const TActRec waiting = MakeRecord(ActionStart, Day + 3);
  std::vector<TFileCommand> uses;
  view->Door = [&](TFileCommand use, const std::function<void()>& command) {
    uses.push_back(use);
    AppendActionRecord(data, waiting.Action, waiting.Time);
    command();
  };
  Select({0});
  AnswerWarning(VK_RETURN);
  view->DeleteActionExecute();
  EXPECT_EQ(uses, std::vector<TFileCommand>{TFileCommand::Rewrites});
  std::vector<TActRec> expected(records.begin() + 1, records.end());
  expected.push_back(waiting);
  EXPECT_EQ(ReadBytes(data), RecordsBytes(expected));
  EXPECT_EQ(RecordsBytes(view->Rows()), RecordsBytes(expected));
}

// A load that fails shows no rows, not the part read before the failure, and
// keeps none of their memory; a journal too large for memory fails at once.
TEST_F(DBView, AFailedFillShowsNoRows) {
  std::vector<TActRec> records;
  for (int i = 0; i < 4200; ++i) records.push_back(PatternedRecord(0, i & 1, Day + i / 24.0, i));
  WriteRecords(data, records);
  Create();
  ASSERT_EQ(view->DBListView.RowCount(), 4200);
  {
    CaptureErrors errors;
    // Exists, open, size, then the first block of records read and the second refused.
    platform::FailFileOperation(7);
    SendMessageA(view->Handle(), WM_COMMAND, MAKEWPARAM(view->RefreshAction->Id, 1), 0);
    EXPECT_TRUE(platform::FileOperationFailed());
    platform::FailFileOperation(0);
    ASSERT_EQ(errors.texts.size(), 1u);
  }
  EXPECT_EQ(view->DBListView.RowCount(), 0);
  EXPECT_EQ(view->Rows().capacity(), 0u);

  // About 3.9 GB of records, sparse on the disk: more than this process can hold.
  HANDLE file = CreateFileA(data.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = 3900LL * 1000 * 1000;
  ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(file));
  CloseHandle(file);
  EXPECT_EQ(test::ErrorText<Error>([&] { view->FillList(); }), OutOfMemoryText);
  EXPECT_EQ(view->DBListView.RowCount(), 0);
  EXPECT_EQ(view->Rows().capacity(), 0u);
}

using ActionEditor = test::MainFormTest;

TEST_F(ActionEditor, RefusesOKWithoutAnActionAndGivesCancelOtherwise) {
  TActionEditDialog editor(nullptr);
  if (ui::Application().MainForm() == &editor) ui::Application().SetMainForm(nullptr);
  HWND window = editor.Handle();
  EXPECT_EQ(test::WindowText(window), "Action Editor");
  EXPECT_FALSE(GetWindowLongA(window, GWL_STYLE) & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, ui::TWindow::Scale(250));
  EXPECT_EQ(client.bottom, ui::TWindow::Scale(180));
  EXPECT_EQ(editor.ActionComboBox.ItemIndex(), -1);
  EXPECT_EQ(editor.ActionComboBox.Count(), 2);

  // OK at once: the action is asked for and the editor stays open.
  CaptureErrors errors;
  After(150, [&] { SendMessageA(editor.OKBtn.Handle(), BM_CLICK, 0, 0); });
  After(400, [&] {
    EXPECT_TRUE(IsWindowVisible(window));
    editor.ActionComboBox.SetItemIndex(1);
    editor.OKBtn.Click();
  });
  EXPECT_EQ(editor.ShowModal(), IDOK);
  EXPECT_EQ(errors.texts, std::vector<std::string>{"Please specify the action."});
  EXPECT_EQ(editor.ActionComboBox.ItemIndex(), 1);

  // The labels' letters reach their fields; Esc cancels.
  std::vector<HWND> reached;
  auto altKey = [](char letter) { PostMessageA(GetFocus(), WM_SYSCHAR, letter, 0x20000000); };
  After(150, [&] {
    altKey('d');
    After(100, [&] {
      reached.push_back(GetFocus());
      altKey('t');
      After(100, [&] {
        reached.push_back(GetFocus());
        altKey('a');
        After(100, [&] {
          reached.push_back(GetFocus());
          test::PressKey(window, VK_ESCAPE);
        });
      });
    });
  });
  EXPECT_EQ(editor.ShowModal(), IDCANCEL);
  EXPECT_EQ(reached, (std::vector<HWND>{editor.DatePicker.Handle(), editor.TimePicker.Handle(),
                                        editor.ActionComboBox.Handle()}));
  After(150, [&] { PostMessageA(window, WM_CLOSE, 0, 0); });
  EXPECT_EQ(editor.ShowModal(), IDCANCEL);
  After(150, [&] { editor.CancelBtn.Click(); });
  EXPECT_EQ(editor.ShowModal(), IDCANCEL);
}

}  // namespace
}  // namespace horalog
