#include "machines/MachineZones.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>

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
  // Each stamp's true moment, the span of the notes it was read in, and the
  // spans that hold it.
  struct TRead {
    TDateTime utc = 0;
    size_t span = SIZE_MAX;
    std::vector<std::pair<size_t, TDateTime>> fits;
  };
  std::optional<TDateTime> previous;  // the true moment of the record before
  auto read = [&](TDateTime local) {
    // The notes whose span holds the stamp read with their offset; a span
    // from a little before its note where that keeps the records in order.
    TRead result;
    std::optional<std::pair<size_t, TDateTime>> first, fitting;
    for (size_t i = 0; i < notes.size(); ++i) {
      const TDateTime utc = local - Minutes(notes[i].minutes);
      const bool late = i > 0 && utc >= notes[i].utc - NotedLate && utc < notes[i].utc;
      const bool inOrder = !previous || utc >= *previous - HalfSecond;
      if (late && inOrder) {
        result.fits.push_back({i, utc});
        if (!fitting) fitting = {i, utc};
        continue;
      }
      const bool from = i == 0 || utc >= notes[i].utc - HalfSecond;
      // The moment of a change ends the span before it too (a Stop at 3:00
      // when the clock goes back to 2:00).
      const bool to = i + 1 == notes.size() || utc <= notes[i + 1].utc + HalfSecond;
      if (!from || !to) continue;
      result.fits.push_back({i, utc});
      if (!first) first = {i, utc};
      if (inOrder && !fitting) fitting = {i, utc};
    }
    if (fitting || first) {
      std::tie(result.span, result.utc) = fitting ? *fitting : *first;
    } else {
      // A stamp no span holds (the skipped hour): by the offset before it.
      result.utc = local - Minutes(theirs.At(local - Minutes(theirs.At(local))));
    }
    previous = result.utc;
    return result;
  };
  std::vector<TRead> reads;
  for (const TMachineRecord& record : records) reads.push_back(read(record.time));
  if (runningUntil) reads.push_back(read(*runningUntil));
  // A spell on one clock never holds a change back (the clock's step ends
  // it): a Start read at an earlier pass than its Stop is read at the Stop's
  // where that holds it, as the writer's own tip counts the spell.
  for (size_t k = reads.size(); k-- > 1;) {
    const size_t start = k - 1;
    if (start >= records.size() || records[start].action != ActionStart) continue;
    if (k < records.size() && records[k].action != ActionStop) continue;
    if (reads[start].span >= reads[k].span || reads[k].span == SIZE_MAX) continue;
    for (const auto& [span, utc] : reads[start].fits)
      if (span == reads[k].span && utc > reads[start].utc && utc <= reads[k].utc + HalfSecond) {
        reads[start].utc = utc;
        reads[start].span = span;
      }
  }
  for (size_t k = 0; k < records.size(); ++k)
    records[k].time = reads[k].utc + Minutes(ours.At(reads[k].utc));
  if (runningUntil) runningUntil = reads.back().utc + Minutes(ours.At(reads.back().utc));
}

std::string OffsetText(int32_t minutes) {
  if (minutes == 0) return "UTC";
  const int32_t size = std::abs(minutes);
  std::string text = std::string("UTC") + (minutes < 0 ? "-" : "+") + std::to_string(size / 60);
  if (size % 60) text += (size % 60 < 10 ? ":0" : ":") + std::to_string(size % 60);
  return text;
}

}  // namespace horalog
