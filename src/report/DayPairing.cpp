#include "report/DayPairing.h"

namespace horalog {

int64_t WorkDayOf(TDateTime time, TDateTime dayStart) { return DayNumber(time - dayStart); }

bool TakenForRange(const TActRec& record, TDateTime startDate, TDateTime endDate,
                   TDateTime dayStart) {
  const TDateTime time = record.Time;
  // Written so that a Time that is not a number fails the test.
  return record.Status == StatusLive && time >= startDate + dayStart &&
         time <= endDate + 1.0 + dayStart;
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
