#include "dialogs/ActionEditDlg.h"

#include "data/Errors.h"

namespace horalog {

TActionEditDialog::TActionEditDialog(ui::TComponent* owner) : TDialog(owner) {
  CreateForm({.className = ClassName, .caption = "Action Editor", .width = 250, .height = 180});

  // In tab order; each label's accelerator leads to the field made after it.
  Bevel1.Create(*this, 8, 8, 233, 129);
  Label1.Create(*this, "&Action", 24, 29, 0, 13, true);
  ActionComboBox.Create(*this, ActionComboBoxId, 128, 25, 97, 80, {"Start", "Stop"});
  Label2.Create(*this, "&Date:", 24, 66, 0, 13, true);
  DatePicker.Create(*this, DatePickerId, ui::TDateTimePicker::TKind::Date, 128, 62, 97, 21);
  Label3.Create(*this, "&Time:", 24, 103, 0, 13, true);
  TimePicker.Create(*this, TimePickerId, ui::TDateTimePicker::TKind::Time, 128, 99, 97, 21);
  OKBtn.Create(*this, IDOK, "OK", 87, 148, 75, 25, true);
  OKBtn.OnClick = [this] { OKBtnClick(); };
  CancelBtn.Create(*this, IDCANCEL, "Cancel", 167, 148, 75, 25);
  CancelBtn.ModalResult = IDCANCEL;
}

void TActionEditDialog::OKBtnClick() {
  if (ActionComboBox.ItemIndex() < 0) throw Error("Please specify the action");
  SetModalResult(IDOK);
}

}  // namespace horalog
