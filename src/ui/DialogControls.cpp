#include "ui/DialogControls.h"

#include <algorithm>
#include <cstdlib>

#include "platform/SystemError.h"
#include "ui/Dialog.h"

namespace horalog::ui {

namespace {

constexpr int NoId = -1;  // the id of controls that send no commands

}  // namespace

HFONT DialogFont() {
  static win32::UniqueFont font = [] {
    win32::WindowDC dc;
    int dpi = GetDeviceCaps(dc.get(), LOGPIXELSY);
    return win32::UniqueFont(CreateFontA(-MulDiv(8, dpi > 0 ? dpi : 96, 72), 0, 0, 0, FW_NORMAL,
                                         FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                         DEFAULT_PITCH | FF_SWISS, "MS Sans Serif"));
  }();
  return font.get();
}

void TDialogControl::CreateChild(TDialog& parent, const char* className, int id,
                                 const std::string& text, DWORD style, DWORD exStyle, int x,
                                 int y, int width, int height) {
  Attach(CreateWindowExA(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style,
                         TWindow::Scale(x), TWindow::Scale(y), TWindow::Scale(width),
                         TWindow::Scale(height), parent.Handle(),
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleA(nullptr), nullptr));
  if (!handle_) RaiseLastOSError();
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
  id_ = id;
}

bool TDialogControl::Enabled() const { return IsWindowEnabled(handle_) != FALSE; }
void TDialogControl::SetEnabled(bool enabled) { EnableWindow(handle_, enabled ? TRUE : FALSE); }
void TDialogControl::SetFocus() { ::SetFocus(handle_); }
bool TDialogControl::Focused() const { return handle_ && GetFocus() == handle_; }

void TButton::Create(TDialog& parent, int id, const std::string& caption, int x, int y,
                     int width, int height, bool isDefault) {
  dialog_ = &parent;
  CreateChild(parent, "Button", id, caption,
              WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0, x, y, width, height);
  if (isDefault) parent.SetDefaultButton(this);
}

void TButton::Click() {
  if (OnClick) OnClick();
  if (ModalResult != 0 && dialog_) dialog_->SetModalResult(ModalResult);
}

bool TButton::Command(WORD /*id*/, WORD code) {
  if (code != BN_CLICKED) return false;
  Click();
  return true;
}

void TCheckBox::Create(TDialog& parent, int id, const std::string& caption, int x, int y,
                       int width, int height) {
  CreateChild(parent, "Button", id, caption, WS_TABSTOP | BS_AUTOCHECKBOX, 0, x, y, width,
              height);
}

bool TCheckBox::Checked() const {
  return SendMessageA(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked) {
  SendMessageA(handle_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TLabel::Create(TDialog& parent, const std::string& caption, int x, int y, int width,
                    int height, bool autoSize) {
  autoSize_ = autoSize;
  CreateChild(parent, "Static", NoId, "", autoSize ? SS_LEFTNOWORDWRAP : SS_LEFT, 0, x, y, width,
              height);
  SetCaption(caption);
}

void TLabel::SetCaption(const std::string& caption) {
  SetText(caption);
  if (!autoSize_) return;
  // One line as wide as the text in the dialog's font; "&" marks are not drawn.
  win32::WindowDC dc;
  win32::SelectGuard font(dc.get(), DialogFont());
  RECT extent{0, 0, 0, 0};
  DrawTextA(dc.get(), caption.empty() ? " " : caption.c_str(), -1, &extent,
            DT_CALCRECT | DT_SINGLELINE | DT_LEFT);
  RECT own{};
  GetWindowRect(handle_, &own);
  int width = caption.empty() ? 0 : extent.right - extent.left;
  SetWindowPos(handle_, nullptr, 0, 0, width, own.bottom - own.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(GetParent(handle_), nullptr, TRUE);
}

void TBevel::Create(TDialog& parent, int x, int y, int width, int height) {
  CreateChild(parent, "Static", NoId, "", SS_ETCHEDFRAME, 0, x, y, width, height);
}

void TIconImage::Create(TDialog& parent, int x, int y, int width, int height) {
  CreateChild(parent, "Static", NoId, "", SS_ICON | SS_CENTERIMAGE, 0, x, y, width, height);
}

void TIconImage::SetIcon(HICON icon) {
  SendMessageA(handle_, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

HICON TIconImage::Icon() const {
  return reinterpret_cast<HICON>(SendMessageA(handle_, STM_GETICON, 0, 0));
}

void TEdit::Create(TDialog& parent, int id, const std::string& text, int x, int y, int width,
                   int height) {
  CreateChild(parent, "Edit", id, text, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, x, y,
              width, height);
}

void TUpDown::Create(TDialog& parent, int id, TEdit& buddy, int min, int max, int position) {
  // Placed at its own bounds right of the edit (an aligned up-down would
  // shrink the edit instead).
  RECT edit{};
  GetWindowRect(buddy.Handle(), &edit);
  MapWindowPoints(nullptr, parent.Handle(), reinterpret_cast<POINT*>(&edit), 2);
  Attach(CreateWindowExA(0, UPDOWN_CLASSA, "",
                         WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                         edit.right, edit.top, GetSystemMetrics(SM_CXVSCROLL),
                         edit.bottom - edit.top, parent.Handle(),
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleA(nullptr), nullptr));
  if (!handle_) RaiseLastOSError();
  id_ = id;
  buddy_ = &buddy;
  SendMessageA(handle_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy.Handle()), 0);
  SetRange(min, max);
  SetPosition(position);
}

void TUpDown::SetRange(int min, int max) {
  min_ = min;
  max_ = max;
  SendMessageA(handle_, UDM_SETRANGE32, static_cast<WPARAM>(min), static_cast<LPARAM>(max));
}

void TUpDown::SetPosition(int position) {
  last_ = std::clamp(position, min_, max_);
  SendMessageA(handle_, UDM_SETPOS32, 0, last_);
  if (buddy_) buddy_->SetText(std::to_string(last_));
}

int TUpDown::Position() const {
  if (buddy_) {
    std::string text = buddy_->Text();
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && end && *end == '\0') {
      last_ = static_cast<int>(std::clamp<long>(value, min_, max_));
      return last_;
    }
  }
  BOOL failed = FALSE;
  LRESULT position = SendMessageA(handle_, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed));
  if (!failed) last_ = std::clamp(static_cast<int>(position), min_, max_);
  return last_;
}

void TComboBox::Create(TDialog& parent, int id, int x, int y, int width, int dropDownHeight,
                       const std::vector<std::string>& items) {
  CreateChild(parent, "ComboBox", id, "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, x, y,
              width, dropDownHeight);
  for (const std::string& item : items) SendMessageA(handle_, CB_ADDSTRING, 0,
                                                     reinterpret_cast<LPARAM>(item.c_str()));
}

int TComboBox::ItemIndex() const {
  LRESULT index = SendMessageA(handle_, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? -1 : static_cast<int>(index);
}

void TComboBox::SetItemIndex(int index) {
  SendMessageA(handle_, CB_SETCURSEL, index >= 0 && index < Count() ? index : -1, 0);
}

int TComboBox::Count() const { return static_cast<int>(SendMessageA(handle_, CB_GETCOUNT, 0, 0)); }

void TDateTimePicker::Create(TDialog& parent, int id, TKind kind, int x, int y, int width,
                             int height) {
  kind_ = kind;
  CreateChild(parent, DATETIMEPICK_CLASSA, id, "",
              WS_TABSTOP | (kind == TKind::Date ? DTS_SHORTDATEFORMAT : DTS_TIMEFORMAT), 0, x, y,
              width, height);
}

void TDateTimePicker::SetValue(const SYSTEMTIME& value) {
  SYSTEMTIME copy = value;
  if (handle_) SendMessageA(handle_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&copy));
}

bool TDateTimePicker::GetValue(SYSTEMTIME& value) const {
  return handle_ &&
         SendMessageA(handle_, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&value)) == GDT_VALID;
}

}  // namespace horalog::ui
