// TOptionsDlg: the inactivity timeout and load at log-in.
#pragma once

#include <cstdint>

#include "ui/Dialog.h"

namespace horalog {

class TOptionsDlg : public ui::TDialog {
 public:
  // The window class name other programs find this window by; it stays.
  static constexpr const char* ClassName = "TOptionsDlg";
  static constexpr int LoadAtLoginId = 101;
  static constexpr int TimeOutEditId = 102;
  static constexpr int TimeOutUpDownId = 103;
  static constexpr int MinTimeOut = 1;
  static constexpr int MaxTimeOut = 59;

  explicit TOptionsDlg(ui::TComponent* owner);
  ~TOptionsDlg() override { DestroyHandle(); }

  ui::TCheckBox LoadAtLoginCheckBox;
  ui::TLabel Label1;
  ui::TEdit TimeOutEdit;
  ui::TUpDown TimeOutUpDown;
  ui::TButton OKBtn;
  ui::TButton CancelBtn;
  ui::TBevel Bevel1;

  // Shows a stored timeout; one outside 1 to 59 is shown as the nearest end
  // of the range.
  void SetTimeOut(int minutes);
  // The number in the edit box, as OK accepted it.
  int32_t TimeOut() const { return timeOut_; }

  // Accepts a number from 1 to 59 in the edit box and closes with OK; fails
  // with "Inactivity timeout value can be a number between 1 and 59".
  void OKBtnClick();

 private:
  int32_t timeOut_ = 0;
};

}  // namespace horalog
