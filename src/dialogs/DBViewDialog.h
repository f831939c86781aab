// TDBViewDlg, the database view: every record of the data file in a list,
// and the commands that correct the journal by hand (insert, edit, delete).
//
// The window is a picture of the data file at its last fill. Each command that
// changes data loads the file afresh, changes it and writes it back whole. The
// records the rows were filled from are kept, so that a command finds the
// records the user selected in the file by their content, wherever they have
// moved since; when one of them is gone the command changes nothing.
#pragma once

#include <windows.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "data/ActRec.h"
#include "data/ActRecList.h"
#include "recorder/Recorder.h"
#include "ui/Action.h"
#include "ui/Controls.h"
#include "ui/Dialog.h"
#include "ui/ListView.h"

namespace horalog {

inline constexpr const char* JournalChangedText =
    "The journal has changed since the list was filled. Please check the selection";

class TDBViewDlg : public ui::TDialog {
 public:
  // Picture numbers of ImageList1 (the commands) and ImageList2 (the rows' state).
  enum TDBViewImage : int {
    DeleteImage = 0,
    RefreshImage = 1,
    CloseImage = 2,
    InsertImage = 3,
    EditImage = 4,
  };
  enum TDBStateImage : int { StopStateImage = 0, StartStateImage = 1 };

  // The window class name other programs find this window by; it stays.
  static constexpr const char* ClassName = "TDBViewDlg";
  static constexpr int DBListViewId = 10;
  enum TColumn : int { ActivityColumn = 0, DateColumn = 1, TimeColumn = 2 };

  // Builds the window hidden and runs FormCreate, which fills the list from
  // the data file in DataDir. An error of the fill is shown, and the window
  // shows no rows.
  explicit TDBViewDlg(ui::TComponent* owner = nullptr);
  ~TDBViewDlg() override { DestroyHandle(); }

  // Commands.
  ui::TActionList ActionManager1;
  ui::TAction* RefreshAction = nullptr;
  ui::TAction* InsertAction = nullptr;
  ui::TAction* EditAction = nullptr;
  ui::TAction* DeleteAction = nullptr;
  ui::TAction* CloseAction = nullptr;

  // Controls.
  ui::TImageList ImageList1;
  ui::TImageList ImageList2;
  ui::TToolBar ActionToolBar1;
  ui::TListView DBListView;

  // Set once by FormCreate.
  std::string DataDir;
  std::string DataFileName;  // the path: DataDir + "hl.dat"

  // The recorder's door, through which Refresh reads the data file and
  // Insert, Edit and Delete rewrite it: the journal's waiting records are
  // written first, so that the rewrite and the rows show them, and the hours
  // are read after.
  TFileDoor Door;

  void FormCreate();
  // Clears the list and fills it from the data file; a missing file leaves it
  // empty, and so does a failed load, which raises.
  void FillList();

  void RefreshActionExecute();
  void InsertActionExecute();
  void EditActionExecute();
  void DeleteActionExecute();
  void CloseActionExecute();

  // The records the rows were filled from, row by row.
  const std::vector<TActRec>& Rows() const { return rows_; }
  // The texts of a row's cell and its state picture.
  std::string CellText(int row, int column) const;
  int StatePicture(int row) const;

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void BuildActions();
  void LayOut();
  // Writes the list over the data file and fills the rows from it.
  void SaveAndShow(TActRecList& list);
  // The rows of the list's live entries; the list is empty after.
  void ShowRows(TActRecList& list);
  // The entries of list that the rows stand for. When one is not there, the
  // list shows the file as it is now, with the rows still found selected, and
  // the command ends with JournalChangedText.
  std::vector<int> RecordsOfRows(std::span<const TActRec> filledFrom, std::span<const int> rows,
                                 TActRecList& list);

  std::vector<TActRec> rows_;
};

}  // namespace horalog
