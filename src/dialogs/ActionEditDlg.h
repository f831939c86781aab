// TActionEditDialog: one record's action and moment, Start or Stop, a date
// and a time of day. The database view makes a new one for every Insert and
// Edit, presets its fields, shows it modally and reads them back on OK.
#pragma once

#include "dialogs/DateTimeField.h"
#include "ui/Dialog.h"

namespace horalog {

class TActionEditDialog : public ui::TDialog {
 public:
  // The window class name other programs find this window by; it stays.
  static constexpr const char* ClassName = "TActionEditDialog";
  enum TControlId : int { ActionComboBoxId = 10, DatePickerId = 11, TimePickerId = 12 };

  // Built hidden and centred, with no action chosen.
  explicit TActionEditDialog(ui::TComponent* owner);
  ~TActionEditDialog() override { DestroyHandle(); }

  ui::TBevel Bevel1;
  ui::TLabel Label1;
  ui::TComboBox ActionComboBox;  // item index = action code: 0 Start, 1 Stop
  ui::TLabel Label2;
  TDateTimeField DatePicker;
  ui::TLabel Label3;
  TDateTimeField TimePicker;
  ui::TButton OKBtn;
  ui::TButton CancelBtn;

  // Closes with OK when an action is chosen; fails with "Please specify the action" otherwise.
  void OKBtnClick();
};

}  // namespace horalog
