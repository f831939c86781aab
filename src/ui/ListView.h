// A list in report view whose rows its owner supplies on demand: the control
// holds only the number of rows and their selection, and asks for the texts
// and the state picture of each row it draws (LVS_OWNERDATA). A list of any
// length fills at once and costs only what is on screen.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/Controls.h"

namespace horalog::ui {

class TListView : public TControl {
 public:
  struct TColumn {
    std::string caption;
    int width = 100;  // at 96 dpi
  };

  // Whole-row selection of any number of rows, the selection shown also
  // without the focus, no editing in place, headers that do not sort. The
  // state pictures are not owned.
  void Create(HWND parent, int id, const std::vector<TColumn>& columns,
              TImageList* statePictures);

  // The text of a cell and the state picture (-1 for none) of a row.
  std::function<std::string(int row, int column)> OnGetText;
  std::function<int(int row)> OnGetStatePicture;
  // A double click anywhere on the list, on a row or not.
  std::function<void()> OnDoubleClick;

  // Sets the number of rows; every row is drawn afresh and none is selected.
  void SetRowCount(int count);
  int RowCount() const;
  // The selected rows, from the top.
  std::vector<int> SelectedRows() const;
  int SelectedCount() const;
  // The topmost selected row, or -1.
  int FirstSelected() const;
  void SetSelected(int row, bool selected);

  // The list's requests for texts and pictures, and its double clicks.
  bool Notify(const NMHDR& header, LRESULT& result) override;

 private:
  std::string text_;
};

}  // namespace horalog::ui
