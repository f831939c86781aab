// The controls of the program's dialogs: buttons, check boxes, labels,
// frames, icons, edits, up-down arrows, drop-down lists and date and time
// fields. Each is a child of a TDialog, created by its Create function and
// destroyed with the dialog, and handles its own notifications.
//
// Positions and sizes are pixels at 96 dpi, scaled to the screen.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/Controls.h"

namespace horalog::ui {

class TDialog;

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
  // Creates the window at the scaled bounds and gives it the dialog's font.
  void CreateChild(TDialog& parent, const char* className, int id, const std::string& text,
                   DWORD style, DWORD exStyle, int x, int y, int width, int height);

  int id_ = 0;
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

  bool Command(WORD id, WORD code) override;

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

}  // namespace horalog::ui
