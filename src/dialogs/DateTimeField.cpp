#include "dialogs/DateTimeField.h"

namespace horalog {

void TDateTimeField::Create(ui::TDialog& parent, int id, TKind kind, int x, int y, int width,
                            int height) {
  TDateTimePicker::Create(parent, id, kind, x, y, width, height);
  Push();
}

void TDateTimeField::SetDateTime(TDateTime value) {
  value_ = value;
  Push();
}

void TDateTimeField::SetDate(TDateTime day) { SetDateTime(WholePart(day) + FractionPart(value_)); }

void TDateTimeField::SetTime(TDateTime timeOfDay) {
  SetDateTime(WholePart(value_) + FractionPart(timeOfDay));
}

void TDateTimeField::Push() {
  DateTimeFields f;
  if (!DecodeDateTime(value_, f)) f = DateTimeFields{2000, 1, 1, 6};
  shown_ = SYSTEMTIME{static_cast<WORD>(f.year),      static_cast<WORD>(f.month),
                      static_cast<WORD>(f.dayOfWeek), static_cast<WORD>(f.day),
                      static_cast<WORD>(f.hour),      static_cast<WORD>(f.minute),
                      static_cast<WORD>(f.second),    static_cast<WORD>(f.millisecond)};
  SetValue(shown_);
}

TDateTime TDateTimeField::DateTime() const {
  SYSTEMTIME now{};
  if (!GetValue(now)) return value_;
  // A part the user left alone keeps the exact value it was given.
  if (Kind() == TKind::Date) {
    if (now.wYear == shown_.wYear && now.wMonth == shown_.wMonth && now.wDay == shown_.wDay)
      return value_;
    return ComposeDate(now.wYear, now.wMonth, now.wDay) + FractionPart(value_);
  }
  if (now.wHour == shown_.wHour && now.wMinute == shown_.wMinute &&
      now.wSecond == shown_.wSecond && now.wMilliseconds == shown_.wMilliseconds)
    return value_;
  return WholePart(value_) + ComposeTime(now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

}  // namespace horalog
