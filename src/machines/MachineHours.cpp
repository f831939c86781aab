#include "machines/MachineHours.h"

#include <algorithm>

#include "report/NetHours.h"

namespace horalog {

TDateTime UnionLength(const std::vector<std::vector<TSpan>>& machines) {
  // A sweep over the moments where a span begins or ends, with each
  // machine's count of spans at each moment (a backward span counts -1).
  struct TEvent {
    TDateTime at;
    size_t machine;
    int step;
  };
  std::vector<TEvent> events;
  for (size_t m = 0; m < machines.size(); ++m)
    for (const TSpan& span : machines[m]) {
      if (span.to == span.from) continue;
      const int sign = span.to > span.from ? 1 : -1;
      events.push_back({std::min(span.from, span.to), m, sign});
      events.push_back({std::max(span.from, span.to), m, -sign});
    }
  std::sort(events.begin(), events.end(),
            [](const TEvent& a, const TEvent& b) { return a.at < b.at; });
  std::vector<int> counts(machines.size(), 0);
  TDateTime total = 0;
  for (size_t i = 0; i < events.size();) {
    const TDateTime at = events[i].at;
    for (; i < events.size() && events[i].at == at; ++i)
      counts[events[i].machine] += events[i].step;
    if (i == events.size()) break;
    const int most = *std::max_element(counts.begin(), counts.end());
    const int least = *std::min_element(counts.begin(), counts.end());
    total += (most > 0 ? most : least) * (events[i].at - at);
  }
  return total;
}

int64_t UnionSeconds(const std::vector<std::vector<TSpan>>& machines) {
  return std::max<int64_t>(0, SpanSeconds(UnionLength(machines)).value_or(0));
}

TOtherMachine OtherMachineHours(const TMachineReading& reading, TDateTime dayStart) {
  TOtherMachine machine{TWorkTotals(dayStart, true), std::nullopt};
  for (const TMachineRecord& record : reading.records)
    machine.totals.Take(MakeRecord(record.action, record.time));
  // The spell that ran when the copy was made, up to its last activity
  // then: it counts as that machine's tip counted it.
  if (reading.runningUntil) machine.running = TRunningSpell{*reading.runningUntil};
  return machine;
}

void TMachineHours::SetMachines(const std::vector<const TMachineReading*>& readings) {
  // A machine whose records were read before keeps its totals, and takes
  // only the records after those when they begin its new reading; its
  // running spell is taken afresh.
  std::vector<TOtherMachine> others;
  std::vector<TKept> kept;
  for (const TMachineReading* reading : readings) {
    const TKept key{reading->fileName, reading->version, own_.DayStart()};
    const TKept before{reading->fileName, reading->extends, own_.DayStart()};
    size_t found = 0;
    bool extended = false;
    for (; found < kept_.size(); ++found) {
      if (key.version == 0 || kept_[found].version == 0) continue;
      if (kept_[found] == key) break;
      if (reading->extends != 0 && kept_[found] == before) {
        extended = true;
        break;
      }
    }
    if (found < kept_.size()) {
      others.push_back(std::move(others_[found]));
      if (extended)
        for (size_t i = reading->extendsCount; i < reading->records.size(); ++i)
          others.back().totals.Take(
              MakeRecord(reading->records[i].action, reading->records[i].time));
      others.back().running.reset();
      if (reading->runningUntil) others.back().running = TRunningSpell{*reading->runningUntil};
      kept_[found].version = 0;  // taken
    } else {
      others.push_back(OtherMachineHours(*reading, own_.DayStart()));
    }
    kept.push_back(key);
  }
  others_ = std::move(others);
  kept_ = std::move(kept);
  ++readings_;
  keptSum_.reset();
}

TDayFigures TMachineHours::Day(int64_t day, const std::optional<TRunningSpell>& running) const {
  TDayFigures figures = own_.Day(day, running);
  if (others_.empty()) return figures;
  std::vector<std::vector<TSpan>> machines{own_.Spells(day, running)};
  // The machines that worked the day: one alone counts its own figure.
  size_t working = machines[0].empty() ? 0 : 1;
  std::optional<int64_t> alone = working ? std::optional<int64_t>(figures.seconds) : std::nullopt;
  for (const TOtherMachine& other : others_) {
    const TDayFigures theirs = other.totals.Day(day, other.running);
    if (theirs.firstIn && (!figures.firstIn || *theirs.firstIn < *figures.firstIn))
      figures.firstIn = theirs.firstIn;
    if (theirs.lastOut && (!figures.lastOut || *theirs.lastOut > *figures.lastOut))
      figures.lastOut = theirs.lastOut;
    machines.push_back(other.totals.Spells(day, other.running));
    if (machines.back().empty()) continue;
    if (++working == 1) alone = theirs.seconds;
  }
  figures.seconds = working == 1 ? *alone : working == 0 ? figures.seconds : UnionSeconds(machines);
  return figures;
}

std::vector<TSpan> TMachineHours::Spells(int64_t day,
                                         const std::optional<TRunningSpell>& running) const {
  std::vector<TSpan> spans = own_.Spells(day, running);
  for (const TOtherMachine& other : others_) {
    const std::vector<TSpan> spells = other.totals.Spells(day, other.running);
    spans.insert(spans.end(), spells.begin(), spells.end());
  }
  return spans;
}

std::optional<int64_t> TMachineHours::FirstDay() const {
  std::optional<int64_t> first = own_.FirstDay();
  for (const TOtherMachine& other : others_) {
    const std::optional<int64_t> theirs = other.totals.FirstDay();
    if (theirs && (!first || *theirs < *first)) first = theirs;
  }
  return first;
}

int64_t TMachineHours::WorkedOverTarget(int64_t from, int64_t through,
                                        const THoursSettings& settings) const {
  if (others_.empty()) return own_.WorkedOverTarget(from, through, settings);
  if (through < from) return 0;
  if (keptSum_ && keptSum_->from == from && keptSum_->through == through &&
      keptSum_->ownVersion == own_.Version() && keptSum_->readings == readings_ &&
      keptSum_->settings == settings)
    return keptSum_->value;
  std::vector<int64_t> days = own_.Days();
  for (const TOtherMachine& other : others_) {
    const std::vector<int64_t> theirs = other.totals.Days();
    days.insert(days.end(), theirs.begin(), theirs.end());
  }
  std::sort(days.begin(), days.end());
  days.erase(std::unique(days.begin(), days.end()), days.end());
  int64_t sum = 0;
  for (const int64_t day : days)
    if (day >= from && day <= through) sum += NetWorked(*this, settings, day);
  for (int64_t day = from; day <= through; ++day)
    sum -= settings.Target(day) - settings.Credit(day);
  keptSum_ = TKeptSum{from, through, own_.Version(), readings_, settings, sum};
  return sum;
}

}  // namespace horalog
