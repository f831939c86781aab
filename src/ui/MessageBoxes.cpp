#include "ui/MessageBoxes.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ui/Application.h"
#include "ui/Window.h"
#include "win32/Handles.h"

namespace horalog::ui {

namespace {

constexpr int IconId = 100;
constexpr int TextId = 101;

struct TBoxState {
  std::string text;
  TMsgDlgType type;
  TMsgDlgButtons buttons;
  TModalScope* modal = nullptr;
};

// Ends the box. The program's windows are enabled first, while the box is
// still there to hand the activation to its owner.
void EndBox(HWND dialog, TBoxState* state, int result) {
  if (state->modal) state->modal->End();
  EndDialog(dialog, result);
}

// Writes the pieces of a dialog template in memory.
class TemplateWriter {
 public:
  void Word(WORD value) {
    bytes_.push_back(static_cast<BYTE>(value & 0xFF));
    bytes_.push_back(static_cast<BYTE>(value >> 8));
  }
  void DWord(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
  }
  void Text(const char* text) {
    for (const char* p = text; *p; ++p) Word(static_cast<BYTE>(*p));
    Word(0);
  }
  void AlignDWord() {
    while (bytes_.size() % 4) bytes_.push_back(0);
  }
  void Item(DWORD style, WORD id, WORD atom, const char* title) {
    AlignDWord();
    DWord(style | WS_CHILD | WS_VISIBLE);
    DWord(0);  // extended style
    Word(0);   // x, y, cx, cy: laid out at WM_INITDIALOG
    Word(0);
    Word(10);
    Word(10);
    Word(id);
    Word(0xFFFF);
    Word(atom);
    Text(title);
    Word(0);  // no creation data
  }
  std::vector<BYTE>& Bytes() { return bytes_; }

 private:
  std::vector<BYTE> bytes_;
};

constexpr WORD ButtonAtom = 0x0080;
constexpr WORD StaticAtom = 0x0082;

LPCSTR StockIcon(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::Confirmation: return reinterpret_cast<LPCSTR>(IDI_QUESTION);
    case TMsgDlgType::Warning: return reinterpret_cast<LPCSTR>(IDI_WARNING);
    case TMsgDlgType::Information: return reinterpret_cast<LPCSTR>(IDI_INFORMATION);
    case TMsgDlgType::Error: return reinterpret_cast<LPCSTR>(IDI_ERROR);
  }
  return reinterpret_cast<LPCSTR>(IDI_INFORMATION);
}

void LayOut(HWND dialog, const TBoxState& state) {
  const int margin = TWindow::Scale(12);
  const int gap = TWindow::Scale(10);
  const int iconSize = GetSystemMetrics(SM_CXICON);
  const int buttonWidth = TWindow::Scale(75);
  const int buttonHeight = TWindow::Scale(23);

  HWND text = GetDlgItem(dialog, TextId);
  RECT textRect{0, 0, TWindow::Scale(380), 0};
  {
    win32::WindowDC dc(text);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    win32::SelectGuard select(dc.get(), font);
    DrawTextA(dc.get(), state.text.c_str(), -1, &textRect,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  }
  int textWidth = textRect.right - textRect.left;
  int textHeight = std::max<int>(textRect.bottom - textRect.top, 1);
  int buttonCount = state.buttons == TMsgDlgButtons::YesNo ? 2 : 1;
  int buttonsWidth = buttonCount * buttonWidth + (buttonCount - 1) * TWindow::Scale(6);

  int contentHeight = std::max(iconSize, textHeight);
  int clientWidth = std::max(margin + iconSize + gap + textWidth + margin,
                             margin + buttonsWidth + margin);
  int clientHeight = margin + contentHeight + gap + buttonHeight + margin;

  MoveWindow(GetDlgItem(dialog, IconId), margin, margin, iconSize, iconSize, FALSE);
  MoveWindow(text, margin + iconSize + gap, margin + (contentHeight - textHeight) / 2, textWidth,
             textHeight, FALSE);
  int x = (clientWidth - buttonsWidth) / 2;
  int y = margin + contentHeight + gap;
  if (state.buttons == TMsgDlgButtons::YesNo) {
    MoveWindow(GetDlgItem(dialog, IDYES), x, y, buttonWidth, buttonHeight, FALSE);
    MoveWindow(GetDlgItem(dialog, IDNO), x + buttonWidth + TWindow::Scale(6), y, buttonWidth,
               buttonHeight, FALSE);
  } else {
    MoveWindow(GetDlgItem(dialog, IDOK), x, y, buttonWidth, buttonHeight, FALSE);
  }

  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE)));
  int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT area{};
  HWND owner = GetWindow(dialog, GW_OWNER);
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
    GetWindowRect(owner, &area);
  } else {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  }
  int left = area.left + ((area.right - area.left) - width) / 2;
  int top = area.top + ((area.bottom - area.top) - height) / 2;
  SetWindowPos(dialog, HWND_TOP, left, top, width, height, 0);
}

INT_PTR CALLBACK BoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    auto* state = reinterpret_cast<TBoxState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
      case WM_INITDIALOG: {
        state = reinterpret_cast<TBoxState*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        if (state->modal) state->modal->SetWindow(dialog);
        SetDlgItemTextA(dialog, TextId, state->text.c_str());
        HICON icon = LoadIconA(nullptr, StockIcon(state->type));
        SendDlgItemMessageA(dialog, IconId, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        LayOut(dialog, *state);
        int first = state->buttons == TMsgDlgButtons::YesNo ? IDYES : IDOK;
        SetForegroundWindow(dialog);
        SetFocus(GetDlgItem(dialog, first));
        return FALSE;  // the focus is set
      }
      case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (!state) return FALSE;
        bool yesNo = state->buttons == TMsgDlgButtons::YesNo;
        if (id == IDCANCEL) {
          EndBox(dialog, state, yesNo ? IDNO : IDOK);
          return TRUE;
        }
        if ((yesNo && (id == IDYES || id == IDNO)) || (!yesNo && id == IDOK)) {
          EndBox(dialog, state, id);
          return TRUE;
        }
        return FALSE;
      }
      case WM_CLOSE:
        if (state) EndBox(dialog, state, state->buttons == TMsgDlgButtons::YesNo ? IDNO : IDOK);
        return TRUE;
      default:
        return FALSE;
    }
  } catch (...) {
    Application().HandleException();
    return FALSE;
  }
}

}  // namespace

int MessageDialog(const std::string& text, const std::string& title, TMsgDlgType type,
                  TMsgDlgButtons buttons, HWND owner) {
  if (!owner) owner = GetActiveWindow();
  // The box is modal to the whole program, not to its owner alone.
  TModalScope modal;
  TBoxState state{text, type, buttons, &modal};
  bool yesNo = buttons == TMsgDlgButtons::YesNo;

  TemplateWriter t;
  // DLGTEMPLATE
  t.DWord(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK);
  t.DWord(0);
  t.Word(yesNo ? 4 : 3);  // controls
  t.Word(0);
  t.Word(0);
  t.Word(100);
  t.Word(50);
  t.Word(0);  // no menu
  t.Word(0);  // the dialog class
  t.Text(title.c_str());
  t.Word(8);
  t.Text("MS Shell Dlg");
  t.Item(SS_ICON, IconId, StaticAtom, "");
  t.Item(SS_LEFT | SS_NOPREFIX, TextId, StaticAtom, "");
  if (yesNo) {
    t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, IDYES, ButtonAtom, "&Yes");
    t.Item(BS_PUSHBUTTON | WS_TABSTOP, IDNO, ButtonAtom, "&No");
  } else {
    t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, IDOK, ButtonAtom, "OK");
  }
  INT_PTR result = DialogBoxIndirectParamA(
      GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(t.Bytes().data()), owner,
      &BoxProc, reinterpret_cast<LPARAM>(&state));
  if (result == -1 || result == 0) return yesNo ? IDNO : IDOK;
  return static_cast<int>(result);
}

bool Confirm(const std::string& text, HWND owner) {
  return MessageDialog(text, ConfirmTitle, TMsgDlgType::Confirmation, TMsgDlgButtons::YesNo,
                       owner) == IDYES;
}

bool Warning(const std::string& text, HWND owner) {
  return MessageDialog(text, WarningTitle, TMsgDlgType::Warning, TMsgDlgButtons::YesNo, owner) ==
         IDYES;
}

void Information(const std::string& text, HWND owner) {
  MessageDialog(text, InformationTitle, TMsgDlgType::Information, TMsgDlgButtons::Ok, owner);
}

}  // namespace horalog::ui
