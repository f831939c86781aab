#include "ui/ListView.h"

#include "platform/SystemError.h"
#include "ui/Window.h"

namespace horalog::ui {

void TListView::Create(HWND parent, int id, const std::vector<TColumn>& columns,
                       TImageList* statePictures) {
  Attach(CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                         WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA |
                             LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | LVS_SHAREIMAGELISTS,
                         0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleA(nullptr), nullptr));
  if (!handle_) RaiseLastOSError();
  ListView_SetExtendedListViewStyle(handle_, LVS_EX_FULLROWSELECT);
  for (size_t i = 0; i < columns.size(); ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(columns[i].caption.c_str());
    column.cx = TWindow::Scale(columns[i].width);
    column.iSubItem = static_cast<int>(i);
    SendMessageA(handle_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
  if (statePictures) {
    // The picture list stays its owner's: the list must not free it.
    ListView_SetImageList(handle_, statePictures->Handle(), LVSIL_STATE);
    // The rows' state pictures come from the owner too.
    ListView_SetCallbackMask(handle_, LVIS_STATEIMAGEMASK);
  }
}

void TListView::SetRowCount(int count) {
  // Through no rows at all: that drops the selection and the focus at once,
  // where clearing them row by row would cost as many rows as the list had.
  ListView_SetItemCountEx(handle_, 0, 0);
  ListView_SetItemCountEx(handle_, count, 0);
  InvalidateRect(handle_, nullptr, TRUE);
}

int TListView::RowCount() const { return ListView_GetItemCount(handle_); }

std::vector<int> TListView::SelectedRows() const {
  std::vector<int> rows;
  rows.reserve(static_cast<size_t>(SelectedCount()));
  for (int row = ListView_GetNextItem(handle_, -1, LVNI_SELECTED); row >= 0;
       row = ListView_GetNextItem(handle_, row, LVNI_SELECTED))
    rows.push_back(row);
  return rows;
}

int TListView::SelectedCount() const { return ListView_GetSelectedCount(handle_); }

int TListView::FirstSelected() const { return ListView_GetNextItem(handle_, -1, LVNI_SELECTED); }

void TListView::SetSelected(int row, bool selected) {
  ListView_SetItemState(handle_, row, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

bool TListView::Notify(const NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != handle_) return false;
  result = 0;
  switch (header.code) {
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW: {
      // The A and W forms differ only in the text pointer's kind.
      auto& item = reinterpret_cast<NMLVDISPINFOA&>(const_cast<NMHDR&>(header)).item;
      if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        text_ = OnGetText ? OnGetText(item.iItem, item.iSubItem) : std::string();
        if (header.code == LVN_GETDISPINFOA) {
          lstrcpynA(item.pszText, text_.c_str(), item.cchTextMax);
        } else {
          auto* wide = reinterpret_cast<wchar_t*>(item.pszText);
          if (!MultiByteToWideChar(CP_ACP, 0, text_.c_str(), -1, wide, item.cchTextMax))
            wide[item.cchTextMax - 1] = L'\0';
        }
      }
      if ((item.mask & LVIF_STATE) && item.iSubItem == 0 && OnGetStatePicture) {
        int picture = OnGetStatePicture(item.iItem);
        item.state = (item.state & ~LVIS_STATEIMAGEMASK) |
                     (picture >= 0 ? INDEXTOSTATEIMAGEMASK(picture + 1) : 0);
        item.stateMask |= LVIS_STATEIMAGEMASK;
      }
      return true;
    }
    case NM_DBLCLK:
      if (OnDoubleClick) OnDoubleClick();
      return true;
    case LVN_COLUMNCLICK:
      return true;
    default:
      return false;
  }
}

}  // namespace horalog::ui
