// The offsets from UTC of the machines' clocks: what this machine notes of
// its own as it writes its copy, and how a reader counts another machine's
// records at the true moments, in this machine's local time.
//
// A machine's journal holds local stamps. Its copy carries notes of its
// offset: from this release on, each change noted as it happened; for the
// records before the first note, its zone's rules for their dates. A stamp
// of the hour repeated when summer time ends fits two notes: the records come
// in file order, and a stamp is taken at the first pass until one before it
// was later, as the clock that wrote them went.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "machines/MachineCopy.h"
#include "platform/DateTime.h"

namespace horalog {

// A zone's rules: the offset in minutes at a moment of UTC.
using TZoneRules = std::function<int32_t(TDateTime utc)>;

// The offset the rules give the local moment local (its first pass where
// it is repeated).
int32_t LocalOffset(const TZoneRules& rules, TDateTime local);

// The note at fromUtc and one at each change of the offset after it, up to
// toUtc, to the minute.
std::vector<TOffsetNote> ZoneNotes(const TZoneRules& rules, TDateTime fromUtc, TDateTime toUtc);

// Notes in time order: the offset at a moment of UTC, the first note's
// before it.
class TOffsets {
 public:
  TOffsets() = default;
  explicit TOffsets(std::vector<TOffsetNote> notes);
  bool Empty() const { return notes_.empty(); }
  int32_t At(TDateTime utc) const;
  const std::vector<TOffsetNote>& Notes() const { return notes_; }

 private:
  std::vector<TOffsetNote> notes_;
};

// The records' stamps, local time of a machine whose offsets are theirs, as
// moments of the local time whose offsets are ours: in place, in file order.
// Nothing changes where either has no notes.
void ToOurTime(std::vector<TMachineRecord>& records, std::optional<TDateTime>& runningUntil,
               const TOffsets& theirs, const TOffsets& ours);

// "UTC+2", "UTC-5:30", "UTC".
std::string OffsetText(int32_t minutes);

}  // namespace horalog
