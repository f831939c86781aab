#include "dialogs/StartEndDatesDialog.h"

#include "data/Errors.h"
#include "platform/Platform.h"
#include "report/DayPairing.h"

namespace horalog {

TStartEndDatesDlg::TStartEndDatesDlg(ui::TComponent* owner, TDateTime dayStart)
    : ui::TDialog(owner), dayStart_(dayStart) {
  CreateForm(
      {.className = ClassName, .caption = "Select Start and End Dates", .width = 240, .height = 112});

  using Kind = ui::TDateTimePicker::TKind;
  StartDateLabel.Create(*this, "&Start Date:", 12, 16, 70, 13);
  StartDatePicker.Create(*this, StartDatePickerId, Kind::Date, 90, 12, 138, 21);
  EndDateLabel.Create(*this, "&End Date:", 12, 46, 70, 13);
  EndDatePicker.Create(*this, EndDatePickerId, Kind::Date, 90, 42, 138, 21);
  OKBtn.Create(*this, IDOK, "OK", 72, 78, 75, 25, true);
  OKBtn.OnClick = [this] { OKBtnClick(); };
  CancelBtn.Create(*this, IDCANCEL, "Cancel", 153, 78, 75, 25);
  CancelBtn.ModalResult = IDCANCEL;
  SetDefaultButton(&OKBtn);

  FormCreate();
}

void TStartEndDatesDlg::FormCreate() {
  const TDateTime today = static_cast<TDateTime>(WorkDayOf(platform::Now(), dayStart_));
  StartDatePicker.SetDateTime(today);
  EndDatePicker.SetDateTime(today);
}

TDateTime TStartEndDatesDlg::StartDate() const { return WholePart(StartDatePicker.DateTime()); }
TDateTime TStartEndDatesDlg::EndDate() const { return WholePart(EndDatePicker.DateTime()); }

void TStartEndDatesDlg::OKBtnClick() {
  if (StartDate() > EndDate()) throw Error("Start date is lesser then the end date");
  SetModalResult(IDOK);
}

}  // namespace horalog
