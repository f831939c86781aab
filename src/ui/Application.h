// The application object: title, the main window, the message loop, the hint
// shown for the element under the pointer, and the one place where an error
// becomes the error box.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace horalog::ui {

class TWindow;
class TModalScope;

// Sees the messages of the loop after the accelerator tables and before the
// dialog keys, as an embedded control that wants the keys meant for it does.
class TMessageFilter {
 public:
  virtual ~TMessageFilter() = default;
  // True when the filter has handled the message and it is not to be dispatched.
  virtual bool FilterMessage(MSG& msg) = 0;
};

class TApplication {
 public:
  TApplication() = default;
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // Initialises OLE (and with it COM) for this thread, released at destruction,
  // and the common controls.
  void Initialize();

  std::string Title;
  // Whether Run shows the main window before it enters the loop.
  bool ShowMainAtStart = true;

  // The first form created, unless one is set by hand.
  TWindow* MainForm() const { return mainForm_; }
  void SetMainForm(TWindow* form) { mainForm_ = form; }
  void FormDestroyed(TWindow* form);

  // Runs the message loop until Terminate; returns the exit code.
  int Run();
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Translates and dispatches one message (accelerators and dialog keys first).
  void DispatchOne(MSG& msg);

  // The accelerator table of a window, used while the focus is in it; not
  // owned. A null table removes the window's.
  void SetAccelerators(HACCEL table, HWND target);
  // Filters are asked in the order they were added; not owned.
  void AddMessageFilter(TMessageFilter* filter);
  void RemoveMessageFilter(TMessageFilter* filter);
  // Windows whose keys go through IsDialogMessage (Tab, Enter, Esc).
  void AddDialogWindow(HWND window);
  void RemoveDialogWindow(HWND window);

  // The program's top-level windows, which a modal window disables.
  void AddForm(HWND window);
  void RemoveForm(HWND window);
  // The modal window or box in front, or null when none is open.
  HWND ModalWindow() const;
  // Brings the modal window in front to the foreground; false when none is open.
  bool BringModalToFront();

  // The hint of the element under the pointer; OnHint runs when it changes.
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  std::function<void()> OnHint;

  // Shows the error in flight (call inside a catch block) in the error box.
  void HandleException();
  void ShowException(const std::string& message);
  // The error box's text: the message, with a full stop added when its last
  // character sorts after '.'.
  static std::string ErrorBoxText(const std::string& message);
  // The message of an exception pointer.
  static std::string MessageOf(std::exception_ptr error);

  // Replaces the error box, for tests that must not block on one.
  std::function<void(const std::string& text)> OnShowException;

 private:
  TWindow* mainForm_ = nullptr;
  bool comInitialized_ = false;
  bool terminated_ = false;
  std::vector<std::pair<HWND, HACCEL>> accelerators_;
  std::vector<TMessageFilter*> filters_;
  std::vector<HWND> dialogs_;
  std::vector<HWND> forms_;
  std::vector<TModalScope*> modals_;
  std::string hint_;

  friend class TModalScope;
};

// While a modal window or box runs, no other window of the program accepts
// input: the scope disables every top-level window of the program but the
// modal one, and enables them again when it ends, the last disabled first.
// Scopes nest: an error box over a dialog disables the dialog too.
class TModalScope {
 public:
  // The modal window, when it exists already (a box is made later).
  explicit TModalScope(HWND modal = nullptr);
  ~TModalScope();
  TModalScope(const TModalScope&) = delete;
  TModalScope& operator=(const TModalScope&) = delete;

  void SetWindow(HWND modal) { modal_ = modal; }
  HWND Window() const { return modal_; }
  // Enables what the scope disabled; the modal window must still be open, so
  // that the system hands the activation back to the program.
  void End();
  // For a box of the system's, which closes while the program is disabled:
  // ends the scope, then gives the activation back to owner when it is shown.
  void EndAfterBox(HWND owner);

 private:
  HWND modal_ = nullptr;
  std::vector<HWND> disabled_;
  bool ended_ = false;
};

// Steps that must all run even when one of them fails, such as those that
// build a window: each error is kept, and ShowErrors shows them once the
// window is complete, in the order they happened, through the application's
// error box.
class TSteps {
 public:
  void Run(const std::function<void()>& step);
  void ShowErrors();

 private:
  std::vector<std::exception_ptr> errors_;
};

// The one application object of the process.
TApplication& Application();

// The short part of a hint "short|long" (all of it without "|").
std::string ShortHint(const std::string& hint);
// The long part of a hint "short|long" (all of it without "|").
std::string LongHint(const std::string& hint);

}  // namespace horalog::ui
