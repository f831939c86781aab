// The date and time fields of the program's dialogs, which hold TDateTime
// values.
#pragma once

#include "platform/DateTime.h"
#include "ui/Dialog.h"

namespace horalog {

// A date or time field that holds a whole TDateTime and edits only its own
// part of it: a date field keeps the time of day it was given, a time field
// keeps the day.
class TDateTimeField : public ui::TDateTimePicker {
 public:
  void Create(ui::TDialog& parent, int id, TKind kind, int x, int y, int width, int height);

  // The whole value: the shown part as the control holds it now, the other
  // part as it was given.
  TDateTime DateTime() const;
  void SetDateTime(TDateTime value);
  // Sets the day of the value (the time of day stays).
  void SetDate(TDateTime day);
  // Sets the time of day of the value (the day stays).
  void SetTime(TDateTime timeOfDay);

 private:
  void Push();
  TDateTime value_ = 0;
  SYSTEMTIME shown_{};  // what Push gave the control
};

}  // namespace horalog
