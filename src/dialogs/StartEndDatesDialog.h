// TStartEndDatesDlg: asks for the first and the last day of a report.
#pragma once

#include "dialogs/DateTimeField.h"
#include "platform/DateTime.h"
#include "ui/Dialog.h"

namespace horalog {

class TStartEndDatesDlg : public ui::TDialog {
 public:
  // The window class name other programs find this window by; it stays.
  static constexpr const char* ClassName = "TStartEndDatesDlg";
  static constexpr int StartDatePickerId = 10;
  static constexpr int EndDatePickerId = 11;

  // Made hidden, centred on the screen, owned by the owner's window; both
  // days are today's working day (days split dayStart after midnight).
  explicit TStartEndDatesDlg(ui::TComponent* owner, TDateTime dayStart = 0);
  ~TStartEndDatesDlg() override { DestroyHandle(); }

  ui::TLabel StartDateLabel;
  TDateTimeField StartDatePicker;
  ui::TLabel EndDateLabel;
  TDateTimeField EndDatePicker;
  ui::TButton OKBtn;
  ui::TButton CancelBtn;

  // The chosen days, each at midnight.
  TDateTime StartDate() const;
  TDateTime EndDate() const;

  void FormCreate();
  // Closes with IDOK unless the start is after the end, which raises and
  // keeps the dialog open. One day for both is a range.
  void OKBtnClick();

 private:
  TDateTime dayStart_;
};

}  // namespace horalog
