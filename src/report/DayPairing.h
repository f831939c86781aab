// The report's pairing of journal records into rows, one day at a time. The
// records are taken in file order; a Start waits for the next Stop of the
// same day. A Start left waiting and a Stop without a Start become half rows,
// and a spell begun before midnight is in neither day's total. The report page
// and the tray icon's hours both count by it (the hours add each day's part
// of such a spell: WorkTotals).
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "data/ActRec.h"
#include "platform/DateTime.h"

namespace horalog {

// The moment less the working day's start, stored as a double: every test of
// a working day compares this one value (see WorkTime in DayPairing.cpp).
TDateTime WorkTime(TDateTime time, TDateTime dayStart);

// The working day a moment belongs to: days split dayStart (0 to half a day)
// after midnight. With dayStart 0 it is the calendar day.
inline int64_t WorkDayOf(TDateTime time, TDateTime dayStart) {
  return DayNumber(WorkTime(time, dayStart));
}

// Whether a moment, as WorkTime gives it, lies in the range of the working
// days startDate to endDate: from the start of the first up to and including
// the start of the day after the last.
inline bool InWorkDays(TDateTime workTime, TDateTime startDate, TDateTime endDate) {
  // Written so that a moment that is not a number fails the test.
  return workTime >= startDate && workTime <= endDate + 1.0;
}

// Whether the report for startDate to endDate takes the record: a live record
// stamped from startDate + dayStart up to and including endDate + 1 +
// dayStart (with dayStart 0, up to the midnight after endDate). A Time that is
// no number is never taken.
bool TakenForRange(const TActRec& record, TDateTime startDate, TDateTime endDate,
                   TDateTime dayStart = 0);

// A span's whole seconds as the page shows them (rounded to whole
// milliseconds, then the seconds cut), the sign kept and the days not dropped.
// Nothing for a span that is not a number.
inline std::optional<int64_t> SpanSeconds(TDateTime span) {
  if (!std::isfinite(span)) return std::nullopt;
  // As the page: a span too long for the calendar is shown by its fraction.
  DateTimeFields fields;
  if (!DecodeDateTime(span, fields)) span = FractionPart(span);
  return std::llround(span * MSecsPerDay) / 1000;
}

// What the pairing makes of the records, in their order.
class TPairingSink {
 public:
  virtual ~TPairingSink() = default;
  // The first record of another (working) day than the record before; time
  // is its Time.
  virtual void DayBegins(TDateTime time) = 0;
  virtual void InOnly(TDateTime start) = 0;
  virtual void OutOnly(TDateTime stop) = 0;
  // A full pair; stop - start is its difference, negative when the Stop is
  // earlier than its Start.
  virtual void Pair(TDateTime start, TDateTime stop) = 0;
  // The day's last row (a Start left waiting included) has been given.
  virtual void DayEnds() = 0;
};

class TDayPairing {
 public:
  // Days split dayStart after midnight.
  explicit TDayPairing(TDateTime dayStart = 0) : dayStart_(dayStart) {}
  // Takes the next record the reader accepted (see TakenForRange).
  void Take(const TActRec& record, TPairingSink& sink) {
    Take(record, WorkDayOf(record.Time, dayStart_), sink);
  }
  // The same for a record whose working day the caller has worked out.
  void Take(const TActRec& record, int64_t day, TPairingSink& sink);
  // Ends the open day, if any.
  void Finish(TPairingSink& sink);
  // The Start that waits for its Stop.
  std::optional<TDateTime> PendingStart() const { return pendingStart_; }

 private:
  TDateTime dayStart_;
  std::optional<int64_t> dayKey_;
  std::optional<TDateTime> pendingStart_;
};

}  // namespace horalog
