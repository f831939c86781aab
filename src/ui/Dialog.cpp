#include "ui/Dialog.h"

#include <algorithm>
#include <cstdlib>

#include "platform/SystemError.h"
#include "ui/Application.h"

namespace horalog::ui {

namespace {

constexpr int NoId = -1;  // the id of controls that send no commands

bool IsPushButton(HWND window) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof(className));
  if (lstrcmpiA(className, "Button") != 0) return false;
  LONG type = GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

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

// ---- Controls ---------------------------------------------------------------

void TDialogControl::CreateChild(TDialog& parent, const char* className, int id,
                                 const std::string& text, DWORD style, DWORD exStyle, int x,
                                 int y, int width, int height) {
  handle_ = CreateWindowExA(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style,
                            TWindow::Scale(x), TWindow::Scale(y), TWindow::Scale(width),
                            TWindow::Scale(height), parent.Handle(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleA(nullptr), nullptr);
  if (!handle_) RaiseLastOSError();
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
  id_ = id;
  if (id != NoId) parent.Register(this);
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

void TButton::Command(WORD code) {
  if (code == BN_CLICKED) Click();
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
  handle_ = CreateWindowExA(0, UPDOWN_CLASSA, "",
                            WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ARROWKEYS |
                                UDS_NOTHOUSANDS,
                            edit.right, edit.top, GetSystemMetrics(SM_CXVSCROLL),
                            edit.bottom - edit.top, parent.Handle(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleA(nullptr), nullptr);
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

// ---- The dialog ---------------------------------------------------------------

TDialog::TDialog(TComponent* owner) : TWindow(owner) {}

TDialog::~TDialog() = default;

void TDialog::CreateForm(const TDialogParams& params) {
  TCreateParams create;
  create.className = params.className;
  create.caption = params.caption;
  create.dialogKeys = true;
  switch (params.border) {
    case TBorderStyle::Dialog:
      create.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
      create.exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
      break;
    case TBorderStyle::Sizeable:
      create.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                     WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
      create.exStyle = WS_EX_CONTROLPARENT;
      break;
    case TBorderStyle::SizeToolWindow:
      create.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
      create.exStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
      break;
  }
  RECT bounds{0, 0, Scale(params.width), Scale(params.height)};
  if (params.clientSize) AdjustWindowRectEx(&bounds, create.style, FALSE, create.exStyle);
  create.x = 0;
  create.y = 0;
  create.width = bounds.right - bounds.left;
  create.height = bounds.bottom - bounds.top;
  if (auto* window = dynamic_cast<TWindow*>(Owner())) create.parent = window->Handle();
  CreateHandle(create);
  CenterOnScreen();
}

void TDialog::SetDefaultButton(TButton* button) { defaultButton_ = button; }

void TDialog::SetShortcuts(const TActionList& actions) {
  shortcuts_ = actions.BuildAccelerators();
  Application().SetAccelerators(shortcuts_.get(), Handle());
}

void TDialog::MoveFocus(WPARAM wParam, LPARAM lParam) {
  HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                : GetNextDlgTabItem(Handle(), GetFocus(), wParam != 0);
  if (!target) return;
  ::SetFocus(target);
  // An edit reached from the keyboard has its text selected, as in the system's dialogs.
  if (!LOWORD(lParam) && (SendMessageA(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL))
    SendMessageA(target, EM_SETSEL, 0, -1);
}

LRESULT TDialog::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const HWND from = reinterpret_cast<HWND>(lParam);
      // Enter and Esc come as IDOK and IDCANCEL from the dialog manager, which
      // names the first window with that id it finds, at any depth (Wine's
      // may name a date picker's inner arrows), or none: then they do nothing.
      const bool dialogKey =
          (id == IDOK || id == IDCANCEL) && (from == nullptr || GetParent(from) != Handle());
      auto found = controls_.find(id);
      if (found != controls_.end() && (from == found->second->Handle() || dialogKey)) {
        found->second->Command(HIWORD(wParam));
        return 0;
      }
      if (dialogKey) return 0;
      break;
    }
    case DM_GETDEFID: {
      HWND focus = GetFocus();
      if (focus && IsChild(Handle(), focus) && IsPushButton(focus))
        return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
      if (defaultButton_) return MAKELRESULT(defaultButton_->Id(), DC_HASDEFID);
      return 0;
    }
    case WM_NEXTDLGCTL:
      MoveFocus(wParam, lParam);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(Handle(), focus)) lastFocus_ = focus;
      } else {
        HWND focus = lastFocus_ && IsWindow(lastFocus_) && IsChild(Handle(), lastFocus_)
                         ? lastFocus_
                         : GetNextDlgTabItem(Handle(), nullptr, FALSE);
        if (focus) ::SetFocus(focus);
      }
      return 0;
    default:
      break;
  }
  return TWindow::WndProc(message, wParam, lParam);
}

}  // namespace horalog::ui
