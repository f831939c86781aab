#include "ui/Dialog.h"

#include "ui/Application.h"

namespace horalog::ui {

namespace {

bool IsPushButton(HWND window) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof(className));
  if (lstrcmpiA(className, "Button") != 0) return false;
  LONG type = GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

}  // namespace

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
      if (!dialogKey) break;  // the control's own wrapper takes it
      if (auto* control = TControl::FromHandle(GetDlgItem(Handle(), id)))
        control->Command(static_cast<WORD>(id), HIWORD(wParam));
      return 0;
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
