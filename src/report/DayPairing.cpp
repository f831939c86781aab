#include "report/DayPairing.h"

namespace horalog {

bool TakenForRange(const TActRec& record, TDateTime startDate, TDateTime endDate) {
  const TDateTime time = record.Time;
  // Written so that a Time that is not a number fails the test.
  return record.Status == StatusLive && time >= startDate && time <= endDate + 1.0;
}

void TDayPairing::Take(const TActRec& record, TPairingSink& sink) {
  const TDateTime time = record.Time;
  const int64_t day = DayNumber(time);
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
