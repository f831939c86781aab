#include "report/DayPairing.h"

namespace horalog {

// Where the arithmetic is wider than a double (the x87 unit of 32-bit x86) a
// difference kept in a register could land on the other side of a day's
// start than the same difference stored, and a record at the very start of a
// day would then belong to one day and lie outside its range.
TDateTime WorkTime(TDateTime time, TDateTime dayStart) {
  volatile TDateTime shifted = time - dayStart;
  return shifted;
}

bool TakenForRange(const TActRec& record, TDateTime startDate, TDateTime endDate,
                   TDateTime dayStart) {
  return record.Status == StatusLive &&
         InWorkDays(WorkTime(record.Time, dayStart), startDate, endDate);
}

void TDayPairing::Take(const TActRec& record, int64_t day, TPairingSink& sink) {
  const TDateTime time = record.Time;
  if (!dayKey_ || day != *dayKey_) {
    // A Start left open at the end of a day is shown with that day and never
    // paired with a Stop of the next.
    Finish(sink);
    sink.DayBegins(time);
    dayKey_ = day;
  }
  if (record.Action == ActionStart) {
    if (pendingStart_) sink.InOnly(*pendingStart_);
    pendingStart_ = time;
  } else {
    if (pendingStart_) {
      sink.Pair(*pendingStart_, time);
    } else {
      sink.OutOnly(time);
    }
    pendingStart_.reset();
  }
}

void TDayPairing::Finish(TPairingSink& sink) {
  if (!dayKey_) return;
  if (pendingStart_) sink.InOnly(*pendingStart_);
  sink.DayEnds();
  dayKey_.reset();
  pendingStart_.reset();
}

}  // namespace horalog
