#include "ui/Controls.h"

#include "platform/SystemError.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace horalog::ui {

void TImageList::LoadStrip(const char* resourceName, int size) {
  size_ = size;
  menuBitmaps_.clear();
  HIMAGELIST list =
      ImageList_LoadImageA(GetModuleHandleA(nullptr), resourceName, size, 0, CLR_DEFAULT,
                           IMAGE_BITMAP, LR_CREATEDIBSECTION);
  if (!list) RaiseLastOSError();
  list_.reset(list);
}

int TImageList::Count() const { return list_ ? ImageList_GetImageCount(list_.get()) : 0; }

HBITMAP TImageList::MenuBitmap(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  if (menuBitmaps_.size() < static_cast<size_t>(Count())) menuBitmaps_.resize(Count());
  win32::UniqueBitmap& slot = menuBitmaps_[index];
  if (!slot) {
    // On the menu colour: menus that ignore a bitmap's alpha channel show it right too.
    win32::WindowDC screen;
    win32::UniqueMemoryDC dc(CreateCompatibleDC(screen.get()));
    win32::UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), size_, size_));
    {
      win32::SelectGuard select(dc.get(), bitmap.get());
      RECT all{0, 0, size_, size_};
      FillRect(dc.get(), &all, GetSysColorBrush(COLOR_MENU));
      ImageList_Draw(list_.get(), index, dc.get(), 0, 0, ILD_TRANSPARENT);
    }
    slot = std::move(bitmap);
  }
  return slot.get();
}

void AppendActionItem(HMENU menu, TAction& action, TImageList* images) {
  std::string text = action.MenuText();
  MENUITEMINFOA item{};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE | MIIM_FTYPE;
  item.fType = MFT_STRING;
  item.wID = action.Id;
  item.dwTypeData = text.data();
  item.fState = action.Enabled() ? MFS_ENABLED : MFS_GRAYED;
  if (images && action.ImageIndex >= 0) {
    if (HBITMAP bitmap = images->MenuBitmap(action.ImageIndex)) {
      item.fMask |= MIIM_BITMAP;
      item.hbmpItem = bitmap;
    }
  }
  InsertMenuItemA(menu, GetMenuItemCount(menu), TRUE, &item);
  action.LinkMenu(menu);
}

void AppendSeparator(HMENU menu) { AppendMenuA(menu, MF_SEPARATOR, 0, nullptr); }

TMainMenu::TMainMenu() : bar_(CreateMenu()) {}

HMENU TMainMenu::AddSubMenu(const std::string& caption) {
  HMENU sub = CreatePopupMenu();
  AppendMenuA(bar_.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), caption.c_str());
  return sub;
}

TPopupMenu::TPopupMenu(TComponent* owner, TImageList* images)
    : TComponent(owner), menu_(CreatePopupMenu()), images_(images) {}

void TPopupMenu::AddItem(TAction& action, bool isDefault) {
  AppendActionItem(menu_.get(), action, images_);
  if (isDefault) SetMenuDefaultItem(menu_.get(), action.Id, FALSE);
  items_.push_back({&action, isDefault});
}

void TPopupMenu::AddSeparator() {
  AppendSeparator(menu_.get());
  items_.push_back({nullptr, false});
}

void TPopupMenu::Popup(int x, int y, HWND owner) {
  SetForegroundWindow(owner);
  UINT chosen = TrackPopupMenu(menu_.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x,
                               y, 0, owner, nullptr);
  PostMessageA(owner, WM_NULL, 0, 0);
  if (chosen == 0) return;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].action && items_[i].action->Id == chosen) {
      Click(i);
      return;
    }
  }
}

void TPopupMenu::Click(size_t index) {
  if (index < items_.size() && items_[index].action) items_[index].action->Execute();
}

namespace {

// The window property that leads from a child window to its wrapper.
constexpr const char* WrapperProperty = "ui.TControl";

void Unlink(HWND window, const TControl* wrapper) {
  if (window && IsWindow(window) && GetPropA(window, WrapperProperty) == wrapper)
    RemovePropA(window, WrapperProperty);
}

}  // namespace

TControl::~TControl() {
  // The window may outlive the wrapper (it goes with its parent): it must not
  // lead to the wrapper any more.
  Unlink(handle_, this);
  Unlink(also_, this);
}

TControl* TControl::FromHandle(HWND window) {
  // A window of another thread or process may carry a property of the same
  // name: its value means nothing here.
  if (!window || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return nullptr;
  return static_cast<TControl*>(GetPropA(window, WrapperProperty));
}

void TControl::Attach(HWND window) {
  handle_ = window;
  if (window) SetPropA(window, WrapperProperty, this);
}

void TControl::AttachAlso(HWND window) {
  also_ = window;
  if (window) SetPropA(window, WrapperProperty, this);
}

std::string TControl::Text() const {
  int length = GetWindowTextLengthA(handle_);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int got = GetWindowTextA(handle_, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

void TControl::SetText(const std::string& text) { SetWindowTextA(handle_, text.c_str()); }

void TControl::SetBounds(int x, int y, int width, int height) {
  MoveWindow(handle_, x, y, width, height, TRUE);
}

void TToolBar::Create(HWND parent, TImageList* images, bool captions) {
  captions_ = captions;
  Attach(CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                         WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS |
                             CCS_TOP,
                         0, 0, 0, 0, parent, nullptr, GetModuleHandleA(nullptr), nullptr));
  if (!handle_) RaiseLastOSError();
  // The tooltip asks the toolbar's parent for its text in its own name.
  AttachAlso(reinterpret_cast<HWND>(SendMessageA(handle_, TB_GETTOOLTIPS, 0, 0)));
  SendMessageA(handle_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageA(handle_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
  if (images) SendMessageA(handle_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images->Handle()));
}

void TToolBar::AddButton(TAction& action) {
  std::string text;
  for (char c : action.Caption) {
    if (c != '&') text += c;
  }
  texts_.push_back(text);
  TBBUTTON button{};
  button.iBitmap = action.ImageIndex >= 0 ? action.ImageIndex : I_IMAGENONE;
  button.idCommand = static_cast<int>(action.Id);
  button.fsState = action.Enabled() ? TBSTATE_ENABLED : 0;
  button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | (captions_ ? BTNS_SHOWTEXT : 0);
  button.iString = reinterpret_cast<INT_PTR>(texts_.back().c_str());
  SendMessageA(handle_, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button));
  action.LinkToolBar(handle_);
  actions_.push_back(&action);
}

TAction* TToolBar::Find(UINT id) const {
  for (TAction* action : actions_) {
    if (action->Id == id) return action;
  }
  return nullptr;
}

bool TToolBar::Command(WORD id, WORD code) {
  if (code != BN_CLICKED) return false;
  TAction* action = Find(id);
  if (!action) return false;
  action->Execute();
  return true;
}

bool TToolBar::Notify(const NMHDR& header, LRESULT& result) {
  result = 0;
  switch (header.code) {
    case TBN_HOTITEMCHANGE: {
      const auto& hot = reinterpret_cast<const NMTBHOTITEM&>(header);
      std::string hint;
      if (!(hot.dwFlags & HICF_LEAVING)) {
        if (TAction* action = Find(static_cast<UINT>(hot.idNew))) hint = action->Hint;
      }
      Application().SetHint(hint);
      return true;
    }
    case TBN_GETINFOTIPA: {
      auto& tip = reinterpret_cast<NMTBGETINFOTIPA&>(const_cast<NMHDR&>(header));
      if (TAction* action = Find(static_cast<UINT>(tip.iItem)))
        lstrcpynA(tip.pszText, ShortHint(action->Hint).c_str(), tip.cchTextMax);
      return true;
    }
    case TBN_GETINFOTIPW: {
      auto& tip = reinterpret_cast<NMTBGETINFOTIPW&>(const_cast<NMHDR&>(header));
      if (TAction* action = Find(static_cast<UINT>(tip.iItem))) {
        std::string text = ShortHint(action->Hint);
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, tip.pszText, tip.cchTextMax);
      }
      return true;
    }
    case TTN_GETDISPINFOA: {
      auto& info = reinterpret_cast<NMTTDISPINFOA&>(const_cast<NMHDR&>(header));
      TAction* action = Find(static_cast<UINT>(header.idFrom));
      if (!action) return false;
      tipBuffer_ = ShortHint(action->Hint);
      info.lpszText = const_cast<char*>(tipBuffer_.c_str());
      info.hinst = nullptr;
      return true;
    }
    default:
      return false;
  }
}

void TToolBar::AddSeparator() {
  TBBUTTON button{};
  button.iBitmap = TWindow::Scale(6);
  button.fsStyle = BTNS_SEP;
  SendMessageA(handle_, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button));
}

void TToolBar::AutoSize() { SendMessageA(handle_, TB_AUTOSIZE, 0, 0); }

int TToolBar::Height() const {
  RECT r{};
  GetWindowRect(handle_, &r);
  return r.bottom - r.top;
}

void TStatusBar::Create(HWND parent) {
  Attach(CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0,
                         0, parent, nullptr, GetModuleHandleA(nullptr), nullptr));
  if (!handle_) RaiseLastOSError();
  int parts[1] = {-1};
  SendMessageA(handle_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
}

void TStatusBar::SetPanelText(const std::string& text) {
  SendMessageA(handle_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string TStatusBar::PanelText() const {
  LRESULT info = SendMessageA(handle_, SB_GETTEXTLENGTHA, 0, 0);
  std::string text(LOWORD(info) + 1, '\0');
  SendMessageA(handle_, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text.data()));
  text.resize(LOWORD(info));
  return text;
}

void TStatusBar::AutoSize() { SendMessageA(handle_, WM_SIZE, 0, 0); }

int TStatusBar::Height() const {
  RECT r{};
  GetWindowRect(handle_, &r);
  return r.bottom - r.top;
}

void TMemo::Create(HWND parent, int id, const char* fontName, int pointSize) {
  Attach(CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                         WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE |
                             ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL,
                         0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleA(nullptr), nullptr));
  if (!handle_) RaiseLastOSError();
  SendMessageA(handle_, EM_SETLIMITTEXT, 0, 0);
  LOGFONTA lf{};
  {
    win32::WindowDC dc;
    lf.lfHeight = -MulDiv(pointSize, GetDeviceCaps(dc.get(), LOGPIXELSY), 72);
  }
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  lstrcpynA(lf.lfFaceName, fontName, LF_FACESIZE);
  font_.reset(CreateFontIndirectA(&lf));
  if (font_) SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
}

void TMemo::AppendLine(const std::string& text) {
  // The user may have typed into the pane: the line starts a line of its own
  // even after text without a final line break, and the user's caret and
  // selection stay where they were.
  DWORD selStart = 0, selEnd = 0;
  SendMessageA(handle_, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
               reinterpret_cast<LPARAM>(&selEnd));
  const int length = GetWindowTextLengthA(handle_);
  // The last line is empty, and starts at the end, only after a line break.
  const LRESULT lastLine = SendMessageA(handle_, EM_GETLINECOUNT, 0, 0) - 1;
  const LRESULT lastLineStart = SendMessageA(handle_, EM_LINEINDEX, lastLine, 0);
  std::string line = (lastLineStart < length ? "\r\n" : "") + text + "\r\n";
  SendMessageA(handle_, EM_SETSEL, length, length);
  SendMessageA(handle_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
  SendMessageA(handle_, EM_SETSEL, selStart, selEnd);
}

RECT AreaBetweenBars(HWND window, TToolBar& toolBar, TStatusBar* statusBar) {
  toolBar.AutoSize();
  if (statusBar) statusBar->AutoSize();
  RECT client{};
  GetClientRect(window, &client);
  const int top = toolBar.Height();
  const int bottom = client.bottom - (statusBar ? statusBar->Height() : 0);
  return RECT{0, top, client.right, bottom > top ? bottom : top};
}

}  // namespace horalog::ui
