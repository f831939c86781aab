// Dialog windows and the controls they hold.
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

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/Controls.h"
#include "ui/Window.h"
#include "win32/Handles.h"

namespace horalog::ui {

class TDialog;

enum class TBorderStyle {
  Dialog,          // fixed frame, no minimise or maximise box
  Sizeable,        // resizable frame with minimise and maximise boxes
  SizeToolWindow,  // resizable tool-window frame
};

// The font of the program's dialogs: "MS Sans Serif", 8 points, at the
// screen's resolution. One per process.
HFONT DialogFont();

// A child control of a dialog. Created by its Create function, destroyed
// with the dialog.
class TDialogControl : public TControl {
 public:
  int Id() const { return id_; }
  bool Enabled() const;
  void SetEnabled(bool enabled);
  void SetFocus();
  bool Focused() const;

 protected:
  // Creates the window at the scaled bounds, gives it the dialog's font and
  // registers it for the WM_COMMAND notifications of its id.
  void CreateChild(TDialog& parent, const char* className, int id, const std::string& text,
                   DWORD style, DWORD exStyle, int x, int y, int width, int height);
  // A WM_COMMAND notification code of this control.
  virtual void Command(WORD /*code*/) {}

 protected:
  int id_ = 0;

 private:
  friend class TDialog;
};

// A push button. A click runs OnClick, then, when ModalResult is not 0, sets
// the dialog's modal result to it.
class TButton : public TDialogControl {
 public:
  void Create(TDialog& parent, int id, const std::string& caption, int x, int y, int width,
              int height, bool isDefault = false);
  void Click();
  std::function<void()> OnClick;
  int ModalResult = 0;

 protected:
  void Command(WORD code) override;

 private:
  TDialog* dialog_ = nullptr;
};

// A check box that ticks itself when clicked.
class TCheckBox : public TDialogControl {
 public:
  void Create(TDialog& parent, int id, const std::string& caption, int x, int y, int width,
              int height);
  bool Checked() const;
  void SetChecked(bool checked);
};

// A static text. With autoSize its width follows its text (one line);
// otherwise it has the given size and wraps at word boundaries. Its
// accelerator ("&Name") moves the focus to the control created after it.
class TLabel : public TDialogControl {
 public:
  void Create(TDialog& parent, const std::string& caption, int x, int y, int width, int height,
              bool autoSize = false);
  void SetCaption(const std::string& caption);

 private:
  bool autoSize_ = false;
};

// A lowered (etched) frame around a group of controls. Create it before
// the controls it surrounds.
class TBevel : public TDialogControl {
 public:
  void Create(TDialog& parent, int x, int y, int width, int height);
};

// A picture of an icon, drawn at the icon's own size. The icon is not owned.
class TIconImage : public TDialogControl {
 public:
  void Create(TDialog& parent, int x, int y, int width, int height);
  void SetIcon(HICON icon);
  HICON Icon() const;
};

// A one-line edit.
class TEdit : public TDialogControl {
 public:
  void Create(TDialog& parent, int id, const std::string& text, int x, int y, int width,
              int height);
};

// Up and down arrows attached to the right of an edit that holds a number:
// they step it within the range without wrapping, as do the arrow keys in
// the edit. The position follows the edit's text.
class TUpDown : public TDialogControl {
 public:
  void Create(TDialog& parent, int id, TEdit& buddy, int min, int max, int position);
  void SetRange(int min, int max);
  // Clamped to the range; the edit shows it.
  void SetPosition(int position);
  // The number in the edit, clamped to the range; the last position set or
  // stepped to when the edit holds no number.
  int Position() const;
  int Min() const { return min_; }
  int Max() const { return max_; }

 private:
  TEdit* buddy_ = nullptr;
  int min_ = 0, max_ = 100;
  mutable int last_ = 0;
};

// A drop-down list: the user picks an item and cannot type.
class TComboBox : public TDialogControl {
 public:
  void Create(TDialog& parent, int id, int x, int y, int width, int dropDownHeight,
              const std::vector<std::string>& items);
  // -1 when no item is chosen.
  int ItemIndex() const;
  // An index outside the items leaves no item chosen.
  void SetItemIndex(int index);
  int Count() const;
};

// A date or time field. A date field has a drop-down calendar and shows the
// locale's short date; a time field has up and down arrows and shows the
// locale's time.
class TDateTimePicker : public TDialogControl {
 public:
  enum class TKind { Date, Time };
  void Create(TDialog& parent, int id, TKind kind, int x, int y, int width, int height);
  TKind Kind() const { return kind_; }

  // Shows the value: a date field its day, a time field its time of day.
  void SetValue(const SYSTEMTIME& value);
  // The value the control holds now; false when it holds none.
  bool GetValue(SYSTEMTIME& value) const;

 private:
  TKind kind_ = TKind::Date;
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
  // window when the owner is a window.
  void CreateForm(const TDialogParams& params);

  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  friend class TDialogControl;
  void Register(TDialogControl* control) { controls_[control->id_] = control; }
  void MoveFocus(WPARAM wParam, LPARAM lParam);

  std::map<int, TDialogControl*> controls_;
  TButton* defaultButton_ = nullptr;
  HWND lastFocus_ = nullptr;
  win32::UniqueAccel shortcuts_;
};

}  // namespace horalog::ui
