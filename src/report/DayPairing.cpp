#include "report/DayPairing.h"

namespace horalog {

namespace {

// The moment less the working day's start, as a double: where the arithmetic
// is wider than a double (the x87 unit of 32-bit x86) a difference kept in a
// register could land on the other side of a day's start than the same
// difference stored, and a record at the very start of a day would then
// belong to one day and lie outside its range. Every test of a day compares
// this one stored value.
TDateTime WorkTime(TDateTime time, TDateTime dayStart) {
  volatile TDateTime shifted = time - dayStart;
  return shifted;
}

}  // namespace

int64_t WorkDayOf(TDateTime time, TDateTime dayStart) {
  return DayNumber(WorkTime(time, dayStart));
}

bool TakenForRange(const TActRec& record, TDateTime startDate, TDateTime endDate,
                   TDateTime dayStart) {
  const TDateTime time = WorkTime(record.Time, dayStart);
  // Written so that a Time that is not a number fails the test.
  return record.Status == StatusLive && time >= startDate && time <= endDate + 1.0;
}


void TDayPairing::Take(const TActRec& record, TPairingSink& sink) {
  const TDateTime time = record.Time;
  const int64_t day = WorkDayOf(time, dayStart_);
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
