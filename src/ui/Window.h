// The base of every window of the program: class registration, the `this`
// pointer kept with the window, dispatch to virtual handlers, show and hide,
// modal show with a result, centring and the scaling of pixel sizes to the
// screen's resolution.
//
// No exception ever leaves a window procedure: the one trampoline catches it
// and hands it to Application().HandleException(). An error raised while the
// window is being created (WM_NCCREATE, WM_CREATE) goes to the caller of
// CreateHandle instead.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "ui/Component.h"

namespace horalog::ui {

class TActionList;

// Registers a window class of this module once; later calls for the same name
// do nothing. A failure raises the OS error.
void RegisterWindowClass(const char* className, WNDPROC proc, HICON icon = nullptr,
                         HBRUSH background = nullptr);

// The most-derived destructor destroys the window first (DestroyHandle), so
// that the window and its children end while every member their handlers and
// controls use still lives: a base destructor runs after the members of the
// classes derived from it are gone. A window still there when this class's
// destructor runs ends without its actions, which may have gone with them.
class TWindow : public TComponent {
 public:
  explicit TWindow(TComponent* owner = nullptr);
  ~TWindow() override;

  HWND Handle() const { return handle_; }

  // Makes the window visible (restored when minimised) and brings it to the
  // front; while a modal window or box is open, that one comes in front of it.
  void Show();
  // Makes the window invisible; it keeps all its state.
  void Hide();
  bool Visible() const;
  // Asks the window to close, as its close box would without the system menu.
  void Close();
  // Destroys the window without closing it.
  void DestroyHandle();

  // Shows the window modally: every other window of the program is disabled
  // (TModalScope) and a loop dispatches the thread's messages (timers
  // included) until a modal result is set. Returns that result; WM_CLOSE
  // gives IDCANCEL, a WM_QUIT ends it with 0 and is passed on to the outer loop.
  int ShowModal();
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  bool InModal() const { return inModal_; }

  void CenterOnScreen();
  // A pixel size given for a 96 dpi screen, at the screen's resolution.
  static int Scale(int pixels);

  // Where the commands and hints of menu items and accelerators are looked
  // up (a toolbar's buttons know their own actions); not owned.
  TActionList* Actions = nullptr;

 protected:
  struct TCreateParams {
    const char* className = "";
    std::string caption;
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD exStyle = 0;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
    HWND parent = nullptr;
    HMENU menu = nullptr;
    HICON icon = nullptr;  // the class icon, used when the class is first registered
    HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    bool dialogKeys = false;  // Tab, Enter and Esc work as in a dialog
  };
  // Registers the window class (once) and creates the window.
  void CreateHandle(const TCreateParams& params);

  // The message handler; the default passes everything to DefaultHandler
  // after the framework's own handling (close, commands, hints).
  virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam);

  // WM_CLOSE: set allow to false to keep the window. An exception keeps it too.
  virtual void FormClose(bool& /*allow*/) {}
  // After WM_CLOSE was allowed: the main form is destroyed (which ends the
  // application), any other form hidden.
  virtual void CloseAllowed();

 private:
  static LRESULT CALLBACK Trampoline(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool HandleCommand(WORD id);

  HWND handle_ = nullptr;
  bool dialogKeys_ = false;
  int modalResult_ = 0;
  bool inModal_ = false;
  std::exception_ptr creationError_;
};

}  // namespace horalog::ui
