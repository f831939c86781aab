#include "dialogs/OptionsDialog.h"

#include <algorithm>

#include "data/Errors.h"
#include "data/SettingsRules.h"

namespace horalog {

TOptionsDlg::TOptionsDlg(ui::TComponent* owner) : TDialog(owner) {
  CreateForm({.className = ClassName, .caption = "Options", .width = 313, .height = 180});

  // The frame first, then the controls in tab order; the label comes right
  // before the edit its accelerator focuses.
  Bevel1.Create(*this, 8, 8, 297, 129);
  LoadAtLoginCheckBox.Create(*this, LoadAtLoginId, "&Load at Log In", 24, 32, 97, 17);
  // One line as wide as its text: in a font wider than the one it was laid
  // out for, a fixed width would wrap "(min)" out of sight.
  Label1.Create(*this, "&Inatcitivy Timeout (min)", 24, 80, 108, 13, true);
  TimeOutEdit.Create(*this, TimeOutEditId, "1", 152, 76, 49, 21);
  TimeOutUpDown.Create(*this, TimeOutUpDownId, TimeOutEdit, MinTimeOut, MaxTimeOut, 1);
  OKBtn.Create(*this, IDOK, "OK", 149, 148, 75, 25, true);
  OKBtn.OnClick = [this] { OKBtnClick(); };
  CancelBtn.Create(*this, IDCANCEL, "Cancel", 229, 148, 75, 25);
  CancelBtn.ModalResult = IDCANCEL;
  SetDefaultButton(&OKBtn);
}

void TOptionsDlg::SetTimeOut(int minutes) {
  TimeOutUpDown.SetPosition(std::clamp(minutes, MinTimeOut, MaxTimeOut));
}

void TOptionsDlg::OKBtnClick() {
  const int32_t n = TextToIntDef(TimeOutEdit.Text(), 0);
  if (n < MinTimeOut || n > MaxTimeOut)
    throw Error("Inactivity timeout value can be a number between 1 and 59");
  timeOut_ = n;
  SetModalResult(IDOK);
}

}  // namespace horalog
