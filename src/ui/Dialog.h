// Dialog windows; their controls are in DialogControls.h.
//
// A TDialog is a window of its own class (so that a test or a screen reader
// finds it by class and caption) that behaves as the system's dialogs do:
// Tab and Shift+Tab move among the controls that take the focus, in the
// order they were created; an accelerator of a label moves the focus to the
// control created right after it, one of a button or check box clicks it;
// Enter clicks the focused push button or else the default button; Esc
// clicks the button with the id IDCANCEL (nothing happens when there is
// none); the close box gives the result IDCANCEL.
//
// Positions and sizes are pixels at 96 dpi, scaled to the screen.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/DialogControls.h"
#include "ui/Window.h"
#include "win32/Handles.h"

namespace horalog::ui {

enum class TBorderStyle {
  Dialog,          // fixed frame, no minimise or maximise box
  Sizeable,        // resizable frame with minimise and maximise boxes
  SizeToolWindow,  // resizable tool-window frame
};

// The base of the program's dialogs and tool windows.
class TDialog : public TWindow {
 public:
  explicit TDialog(TComponent* owner);
  ~TDialog() override;

  // The button that Enter clicks when the focus is on no push button.
  void SetDefaultButton(TButton* button);
  TButton* DefaultButton() const { return defaultButton_; }

  // The shortcuts of the actions work while the focus is in this window.
  void SetShortcuts(const TActionList& actions);

 protected:
  struct TDialogParams {
    const char* className = "";
    std::string caption;
    int width = 0, height = 0;  // at 96 dpi
    bool clientSize = true;     // width and height are the client area's (else the window's)
    TBorderStyle border = TBorderStyle::Dialog;
  };
  // Creates the window hidden, centred on the screen, owned by the owner's
  // window when the owner is a window. Called with the fields it needs:
  // CreateForm({.className = ClassName, .caption = "Options", .width = 313, .height = 180}).
  void CreateForm(const TDialogParams& params);

  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void MoveFocus(WPARAM wParam, LPARAM lParam);

  TButton* defaultButton_ = nullptr;
  HWND lastFocus_ = nullptr;
  win32::UniqueAccel shortcuts_;
};

}  // namespace horalog::ui
