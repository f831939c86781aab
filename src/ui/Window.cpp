#include "ui/Window.h"

#include <commctrl.h>

#include "platform/SystemError.h"
#include "ui/Action.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "win32/Handles.h"

namespace horalog::ui {

namespace {

// The window that CreateHandle is creating on this thread: an error of its
// WM_NCCREATE or WM_CREATE goes back to that call instead of to the error box.
// The messages that come before WM_NCCREATE find no object for the window yet
// and go to DefWindowProcA.
thread_local TWindow* creating = nullptr;

}  // namespace

void RegisterWindowClass(const char* className, WNDPROC proc, HICON icon, HBRUSH background) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExA(instance, className, &existing)) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hIconSm = icon;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = background;
  wc.lpszClassName = className;
  if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastOSError();
}

TWindow::TWindow(TComponent* owner) : TComponent(owner) {}

TWindow::~TWindow() {
  Actions = nullptr;
  DestroyHandle();
  Application().FormDestroyed(this);
}

void TWindow::DestroyHandle() {
  if (handle_) {
    HWND window = handle_;
    DestroyWindow(window);
    // WM_NCDESTROY cleared handle_ unless the window was not ours any more.
    if (handle_ == window) {
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      handle_ = nullptr;
    }
  }
}

void TWindow::CreateHandle(const TCreateParams& params) {
  RegisterWindowClass(params.className, &Trampoline, params.icon, params.background);
  creationError_ = nullptr;
  TWindow* outer = creating;
  creating = this;
  HWND window = CreateWindowExA(params.exStyle, params.className, params.caption.c_str(),
                                params.style, params.x, params.y, params.width, params.height,
                                params.parent, params.menu, GetModuleHandleA(nullptr), this);
  creating = outer;
  if (creationError_) {
    std::exception_ptr error = std::exchange(creationError_, nullptr);
    if (window) DestroyWindow(window);
    handle_ = nullptr;
    std::rethrow_exception(error);
  }
  if (!window) RaiseLastOSError();
  dialogKeys_ = params.dialogKeys;
  if (dialogKeys_) Application().AddDialogWindow(window);
  if (!(params.style & WS_CHILD)) Application().AddForm(window);
  if (!Application().MainForm() && !params.parent && !(params.style & WS_CHILD))
    Application().SetMainForm(this);
}

LRESULT CALLBACK TWindow::Trampoline(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TWindow* self = nullptr;
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    self = static_cast<TWindow*>(create->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->handle_ = window;
  } else {
    self = reinterpret_cast<TWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcA(window, message, wParam, lParam);

  LRESULT result = 0;
  try {
    result = self->WndProc(message, wParam, lParam);
  } catch (...) {
    if ((message == WM_NCCREATE || message == WM_CREATE) && creating == self) {
      self->creationError_ = std::current_exception();
      result = message == WM_NCCREATE ? FALSE : -1;
    } else {
      Application().HandleException();
      result = 0;
    }
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    if (self->dialogKeys_) Application().RemoveDialogWindow(window);
    Application().RemoveForm(window);
    Application().SetAccelerators(nullptr, window);
    self->handle_ = nullptr;
  }
  return result;
}

LRESULT TWindow::DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(handle_, message, wParam, lParam);
}

LRESULT TWindow::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE: {
      if (inModal_) {
        SetModalResult(IDCANCEL);
        return 0;
      }
      bool allow = true;
      FormClose(allow);
      if (allow) CloseAllowed();
      return 0;
    }
    case WM_DESTROY:
      if (Application().MainForm() == this) Application().Terminate();
      break;
    case WM_COMMAND:
      if (auto* control = TControl::FromHandle(reinterpret_cast<HWND>(lParam))) {
        if (control->Command(LOWORD(wParam), HIWORD(wParam))) return 0;
      } else if (lParam == 0 && HIWORD(wParam) <= 1 && HandleCommand(LOWORD(wParam))) {
        return 0;
      }
      break;
    case WM_MENUSELECT: {
      UINT flags = HIWORD(wParam);
      UINT id = LOWORD(wParam);
      std::string hint;
      if (!(flags == 0xFFFF && lParam == 0) && !(flags & (MF_POPUP | MF_SEPARATOR)) && Actions) {
        if (TAction* action = Actions->Find(id)) hint = action->Hint;
      }
      Application().SetHint(hint);
      break;
    }
    case WM_NOTIFY: {
      const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
      LRESULT result = 0;
      if (auto* control = TControl::FromHandle(header.hwndFrom)) {
        if (control->Notify(header, result)) return result;
      }
      break;
    }
    case WM_SETCURSOR: {
      // The pointer is over this window or one of its controls. Only toolbar
      // buttons carry hints; anywhere else the hint of the last one goes, as
      // the pointer may have left the toolbar without the toolbar noticing.
      char className[32] = {};
      GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof(className));
      if (lstrcmpiA(className, TOOLBARCLASSNAMEA) != 0) Application().SetHint(std::string());
      break;
    }
    default:
      break;
  }
  return DefaultHandler(message, wParam, lParam);
}

bool TWindow::HandleCommand(WORD id) {
  // Menus and accelerators; a child's commands went to its wrapper.
  if (!Actions) return false;
  TAction* action = Actions->Find(id);
  if (!action) return false;
  action->Execute();
  return true;
}

void TWindow::CloseAllowed() {
  if (Application().MainForm() == this) {
    DestroyHandle();
  } else {
    Hide();
  }
}

void TWindow::Show() {
  if (!handle_) return;
  if (IsIconic(handle_)) ShowWindow(handle_, SW_RESTORE);
  ShowWindow(handle_, SW_SHOW);
  SetForegroundWindow(handle_);
  BringWindowToTop(handle_);
  // A modal window or box stays in front of the program's other windows,
  // also one without an owner (raised while the main window was hidden):
  // otherwise the disabled window would cover it and the program look frozen.
  if (Application().ModalWindow() != handle_) Application().BringModalToFront();
}

void TWindow::Hide() {
  if (handle_) ShowWindow(handle_, SW_HIDE);
}

bool TWindow::Visible() const { return handle_ && IsWindowVisible(handle_); }

void TWindow::Close() {
  if (handle_) SendMessageA(handle_, WM_CLOSE, 0, 0);
}

int TWindow::ShowModal() {
  HWND owner = GetWindow(handle_, GW_OWNER);
  bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  TModalScope modal(handle_);
  modalResult_ = 0;
  inModal_ = true;
  Show();
  MSG msg;
  while (modalResult_ == 0 && handle_) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got == -1) break;
    Application().DispatchOne(msg);
  }
  inModal_ = false;
  modal.End();
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  Hide();
  if (owner && IsWindow(owner)) SetActiveWindow(owner);
  return modalResult_;
}

void TWindow::CenterOnScreen() {
  if (!handle_) return;
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT own{};
  GetWindowRect(handle_, &own);
  int width = own.right - own.left, height = own.bottom - own.top;
  int x = work.left + ((work.right - work.left) - width) / 2;
  int y = work.top + ((work.bottom - work.top) - height) / 2;
  SetWindowPos(handle_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TWindow::Scale(int pixels) {
  static const int dpi = [] {
    win32::WindowDC dc;
    int value = GetDeviceCaps(dc.get(), LOGPIXELSX);
    return value > 0 ? value : 96;
  }();
  return MulDiv(pixels, dpi, 96);
}

}  // namespace horalog::ui
