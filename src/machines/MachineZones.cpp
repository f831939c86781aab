#include "machines/MachineZones.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace horalog {

namespace {

constexpr TDateTime MinuteOfDay = 1.0 / 1440;

TDateTime Minutes(int32_t minutes) { return minutes * MinuteOfDay; }

// Moments this close are one (the sums of minutes are not exact).
constexpr TDateTime HalfSecond = 0.5 / 86400;

// A change of the zone itself (a trip, a zone set by hand) is noted at the
// writer's next look, up to a minute or so after it: the records between are
// on the new clock already.
constexpr TDateTime NotedLate = 2 * MinuteOfDay;

}  // namespace

int32_t LocalOffset(const TZoneRules& rules, TDateTime local) {
  // The offset before the moment first; the one after where that does not
  // give back the local moment (the skipped hour).
  const int32_t before = rules(local - Minutes(rules(local - 1)));
  if (rules(local - Minutes(before)) == before) return before;
  return rules(local - Minutes(rules(local)));
}

std::vector<TOffsetNote> ZoneNotes(const TZoneRules& rules, TDateTime fromUtc, TDateTime toUtc) {
  std::vector<TOffsetNote> notes{{fromUtc, rules(fromUtc)}};
  // Zones change at most a few times a year: a look every six hours, and the
  // change found to the minute between two looks that differ.
  constexpr TDateTime Step = 0.25;
  for (TDateTime at = fromUtc + Step; at < toUtc + Step; at += Step) {
    const TDateTime end = std::min(at, toUtc);
    const int32_t offset = rules(end);
    if (offset == notes.back().minutes) continue;
    TDateTime low = std::max(notes.back().utc, end - Step), high = end;
    while (high - low > MinuteOfDay / 2) {
      const TDateTime middle = (low + high) / 2;
      (rules(middle) == offset ? high : low) = middle;
    }
    notes.push_back({std::round(high * 1440) / 1440, offset});
    if (end >= toUtc) break;
  }
  return notes;
}

TOffsets::TOffsets(std::vector<TOffsetNote> notes) : notes_(std::move(notes)) {
  std::stable_sort(notes_.begin(), notes_.end(),
                   [](const TOffsetNote& a, const TOffsetNote& b) { return a.utc < b.utc; });
}

int32_t TOffsets::At(TDateTime utc) const {
  if (notes_.empty()) return 0;
  const auto after = std::upper_bound(notes_.begin(), notes_.end(), utc,
                                      [](TDateTime t, const TOffsetNote& n) { return t < n.utc; });
  return after == notes_.begin() ? notes_.front().minutes : std::prev(after)->minutes;
}

void ToOurTime(std::vector<TMachineRecord>& records, std::optional<TDateTime>& runningUntil,
               const TOffsets& theirs, const TOffsets& ours) {
  if (theirs.Empty() || ours.Empty()) return;
  const std::vector<TOffsetNote>& notes = theirs.Notes();
  // The same offsets all along: nothing to do.
  bool same = true;
  for (const TOffsetNote& note : notes) same = same && ours.At(note.utc) == note.minutes;
  for (const TOffsetNote& note : ours.Notes()) same = same && theirs.At(note.utc) == note.minutes;
  if (same) return;
  std::optional<TDateTime> previous;  // the true moment of the record before
  auto convert = [&](TDateTime local) {
    // The notes whose span holds the stamp read with their offset; a span
    // from a little before its note where that keeps the records in order.
    std::optional<TDateTime> first, fitting;
    for (size_t i = 0; i < notes.size(); ++i) {
      const TDateTime utc = local - Minutes(notes[i].minutes);
      const bool late = i > 0 && utc >= notes[i].utc - NotedLate && utc < notes[i].utc;
      if (late && (!previous || utc >= *previous - HalfSecond)) {
        fitting = utc;
        break;
      }
      const bool from = i == 0 || utc >= notes[i].utc - HalfSecond;
      // The moment of a change ends the span before it too (a Stop at 3:00
      // when the clock goes back to 2:00).
      const bool to = i + 1 == notes.size() || utc <= notes[i + 1].utc + HalfSecond;
      if (!from || !to) continue;
      if (!first) first = utc;
      if (!previous || utc >= *previous - HalfSecond) {
        fitting = utc;
        break;
      }
    }
    // A stamp no span holds (the skipped hour): by the offset before it.
    const TDateTime utc = fitting ? *fitting
                          : first ? *first
                                  : local - Minutes(theirs.At(local - Minutes(theirs.At(local))));
    previous = utc;
    return utc + Minutes(ours.At(utc));
  };
  for (TMachineRecord& record : records) record.time = convert(record.time);
  if (runningUntil) runningUntil = convert(*runningUntil);
}

std::string OffsetText(int32_t minutes) {
  if (minutes == 0) return "UTC";
  const int32_t size = std::abs(minutes);
  std::string text = std::string("UTC") + (minutes < 0 ? "-" : "+") + std::to_string(size / 60);
  if (size % 60) text += (size % 60 < 10 ? ":0" : ":") + std::to_string(size % 60);
  return text;
}

}  // namespace horalog
