#include "dialogs/DBViewDialog.h"

#include <cstdio>
#include <memory>

#include "data/DataDir.h"
#include "data/Errors.h"
#include "data/RecordMatch.h"
#include "dialogs/ActionEditDlg.h"
#include "platform/DateTime.h"
#include "platform/Platform.h"
#include "ui/Application.h"
#include "ui/MessageBoxes.h"

namespace horalog {

TDBViewDlg::TDBViewDlg(ui::TComponent* owner) : TDialog(owner) {
  CreateForm({.className = ClassName,
              .caption = "View Horalog Database",
              .width = 343,
              .height = 434,
              .clientSize = false,
              .border = ui::TBorderStyle::Sizeable});

  Actions = &ActionManager1;
  BuildActions();
  SetShortcuts(ActionManager1);
  ImageList1.LoadStrip("DBVIEWIMAGES", 16);
  ImageList2.LoadStrip("DBSTATEIMAGES", 16);

  ActionToolBar1.Create(Handle(), &ImageList1, false);
  ActionToolBar1.AddButton(*RefreshAction);
  ActionToolBar1.AddSeparator();
  ActionToolBar1.AddButton(*InsertAction);
  ActionToolBar1.AddButton(*EditAction);
  ActionToolBar1.AddSeparator();
  ActionToolBar1.AddButton(*DeleteAction);
  ActionToolBar1.AddSeparator();
  ActionToolBar1.AddButton(*CloseAction);
  ActionToolBar1.AutoSize();

  DBListView.Create(Handle(), DBListViewId, {{"Activity", 100}, {"Date", 120}, {"Time", 100}},
                    &ImageList2);
  DBListView.OnGetText = [this](int row, int column) { return CellText(row, column); };
  DBListView.OnGetStatePicture = [this](int row) { return StatePicture(row); };
  DBListView.OnDoubleClick = [this] { EditActionExecute(); };
  LayOut();

  ui::TSteps steps;
  steps.Run([this] { FormCreate(); });
  steps.ShowErrors();
}

void TDBViewDlg::BuildActions() {
  auto add = [this](const char* caption, const char* hint, int image, ui::TShortCut shortCut,
                    void (TDBViewDlg::*handler)()) {
    ui::TAction& action =
        ActionManager1.Add(caption, hint, image, [this, handler] { (this->*handler)(); });
    action.ShortCut = shortCut;
    return &action;
  };
  RefreshAction = add("&Refresh", "Refresh", RefreshImage, {0, VK_F5},
                      &TDBViewDlg::RefreshActionExecute);
  InsertAction = add("&Insert", "Insert", InsertImage, {0, VK_INSERT},
                     &TDBViewDlg::InsertActionExecute);
  EditAction = add("&Edit", "Edit", EditImage, {FCONTROL, VK_RETURN},
                   &TDBViewDlg::EditActionExecute);
  DeleteAction = add("&Delete", "Delete", DeleteImage, {0, VK_DELETE},
                     &TDBViewDlg::DeleteActionExecute);
  CloseAction = add("&Close", "Close", CloseImage, {0, VK_ESCAPE},
                    &TDBViewDlg::CloseActionExecute);
}

void TDBViewDlg::LayOut() {
  if (!Handle() || !ActionToolBar1.Handle() || !DBListView.Handle()) return;
  const RECT area = ui::AreaBetweenBars(Handle(), ActionToolBar1);
  DBListView.SetBounds(area.left, area.top, area.right - area.left, area.bottom - area.top);
}

void TDBViewDlg::FormCreate() {
  DataDir = horalog::DataDir();
  DataFileName = DataDir + DataFileBaseName;
  FillList();
}

void TDBViewDlg::FillList() {
  // The rows' memory goes back too: a failed load must not leave a journal's
  // worth of it held for the life of the program.
  std::vector<TActRec>().swap(rows_);
  DBListView.SetRowCount(0);
  // No journal is an empty one; one that the system cannot tell is there or
  // not fails as a load does.
  if (!platform::FileFound(DataFileName)) return;
  // A load that fails shows nothing rather than part of the journal out of order.
  TActRecList list;
  list.LoadFromFile(DataFileName);
  ShowRows(list);
}

void TDBViewDlg::ShowRows(TActRecList& list) {
  rows_ = list.TakeLiveEntries();
  DBListView.SetRowCount(static_cast<int>(rows_.size()));
}

std::string TDBViewDlg::CellText(int row, int column) const {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return {};
  const TActRec& record = rows_[static_cast<size_t>(row)];
  switch (column) {
    case ActivityColumn:
      return record.Action == ActionStart ? "Start" : "Stop";
    case DateColumn:
      return FormatDateTime("ddd, dd mmm yyyy", record.Time);
    case TimeColumn:
      return TimeText(record.Time);
    default:
      return {};
  }
}

int TDBViewDlg::StatePicture(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return -1;
  return rows_[static_cast<size_t>(row)].Action == ActionStart ? StartStateImage : StopStateImage;
}

std::vector<int> TDBViewDlg::RecordsOfRows(std::span<const TActRec> filledFrom,
                                           std::span<const int> rows, TActRecList& list) {
  std::vector<int> found = MatchRecords(filledFrom, rows, list.Entries());
  bool complete = true;
  for (int index : found) complete = complete && index != RecordNotFound;
  if (complete) return found;
  ShowRows(list);
  for (int index : found) {
    if (index != RecordNotFound) DBListView.SetSelected(index, true);
  }
  throw Error(JournalChangedText);
}

void TDBViewDlg::SaveAndShow(TActRecList& list) {
  list.SaveToFile(DataFileName);
  // The list is what the file holds now, in time order: the rows are filled
  // from it without reading the file again.
  ShowRows(list);
}

void TDBViewDlg::RefreshActionExecute() {
  ThroughDoor(Door, TFileCommand::Reads, [this] { FillList(); });
}

void TDBViewDlg::InsertActionExecute() {
  auto editor = std::make_unique<TActionEditDialog>(this);
  editor->DatePicker.SetDateTime(WholePart(platform::Now()));
  editor->TimePicker.SetDateTime(FractionPart(platform::Now()));
  if (editor->ShowModal() != IDOK) return;

  const TActRec record =
      MakeRecord(static_cast<uint8_t>(editor->ActionComboBox.ItemIndex()),
                 JoinMoment(editor->DatePicker.DateTime(), editor->TimePicker.DateTime()));
  ThroughDoor(Door, TFileCommand::Rewrites, [this, &record] {
    TActRecList list;
    list.LoadFromFile(DataFileName);
    list.Add(record);
    list.SortByTime();
    SaveAndShow(list);
  });
}

void TDBViewDlg::EditActionExecute() {
  const int row = DBListView.FirstSelected();
  if (row < 0) throw Error("Please select an item first");

  TActRecList before;
  before.LoadFromFile(DataFileName);
  const int index = RecordsOfRows(rows_, std::span(&row, 1), before)[0];
  const TActRec& original = before.Items(index);

  auto editor = std::make_unique<TActionEditDialog>(this);
  editor->ActionComboBox.SetItemIndex(original.Action);
  const TMomentFields fields = SplitMoment(original.Time);
  editor->DatePicker.SetDateTime(fields.date);
  editor->TimePicker.SetDateTime(fields.time);
  if (editor->ShowModal() != IDOK) return;

  // The file as it is now, with whatever was appended while the editor was open.
  const uint8_t action = static_cast<uint8_t>(editor->ActionComboBox.ItemIndex());
  const TDateTime time = JoinMoment(editor->DatePicker.DateTime(), editor->TimePicker.DateTime());
  ThroughDoor(Door, TFileCommand::Rewrites, [&] {
    TActRecList list;
    list.LoadFromFile(DataFileName);
    TActRec& entry = list.Items(RecordsOfRows(before.Entries(), std::span(&index, 1), list)[0]);
    entry.Action = action;
    entry.Time = time;
    list.SortByTime();
    SaveAndShow(list);
  });
}

void TDBViewDlg::DeleteActionExecute() {
  const std::vector<int> selected = DBListView.SelectedRows();
  if (selected.empty()) throw Error("Please select item(s) to delete");
  char text[128];
  std::snprintf(text, sizeof text, "You are just about to delete %d items.\rAre you sure?",
                static_cast<int>(selected.size()));
  if (!ui::Warning(text, Handle())) return;

  ThroughDoor(Door, TFileCommand::Rewrites, [this, &selected] {
    TActRecList list;
    list.LoadFromFile(DataFileName);
    for (int index : RecordsOfRows(rows_, selected, list)) list.MarkDeleted(index);
    SaveAndShow(list);
  });
}

void TDBViewDlg::CloseActionExecute() { Close(); }

LRESULT TDBViewDlg::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      LayOut();
      break;
    default:
      break;
  }
  return TDialog::WndProc(message, wParam, lParam);
}

}  // namespace horalog
