#include "machines/MachineHours.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

TOtherMachine::TOtherMachine(TWorkTotals totals, std::optional<TRunningSpell> running)
    : live_(std::make_unique<TWorkTotals>(std::move(totals))), running_(running) {}

std::vector<int64_t> TOtherMachine::Days() const {
  if (!live_) {
    std::vector<int64_t> days;
    days.reserve(days_.size());
    for (const TFrozenDay& day : days_) days.push_back(day.day);
    return days;
  }
  std::vector<int64_t> days = live_->Days();
  // The days its running spell counts in, which need no record of their own.
  if (running_) {
    const auto [first, last] = live_->RunningDays(*running_);
    for (int64_t day = first; day <= last; ++day) days.push_back(day);
  }
  std::sort(days.begin(), days.end());
  days.erase(std::unique(days.begin(), days.end()), days.end());
  return days;
}

void TOtherMachine::Freeze() {
  if (!live_) return;
  const std::vector<int64_t> days = Days();
  std::vector<TFrozenDay> frozen;
  std::vector<TSpan> spans;
  frozen.reserve(days.size());
  const TDateTime none = std::numeric_limits<TDateTime>::quiet_NaN();
  for (const int64_t day : days) {
    std::vector<TSpan> spells;
    const TDayFigures figures = live_->Day(day, running_, &spells);
    if (figures.seconds == 0 && !figures.firstIn && !figures.lastOut && spells.empty()) continue;
    spans.insert(spans.end(), spells.begin(), spells.end());
    frozen.push_back({figures.seconds, figures.firstIn.value_or(none),
                      figures.lastOut.value_or(none), static_cast<int32_t>(day),
                      static_cast<uint32_t>(spans.size())});
  }
  spans.shrink_to_fit();
  firstDay_ = live_->FirstDay();
  days_ = std::move(frozen);
  spans_ = std::move(spans);
  live_.reset();
}

const TOtherMachine::TFrozenDay* TOtherMachine::FrozenDay(int64_t day) const {
  const auto found = std::lower_bound(
      days_.begin(), days_.end(), day,
      [](const TFrozenDay& entry, int64_t wanted) { return entry.day < wanted; });
  return found == days_.end() || found->day != day ? nullptr : &*found;
}

TDayFigures TOtherMachine::Day(int64_t day, std::vector<TSpan>* spells) const {
  if (live_) return live_->Day(day, running_, spells);
  const TFrozenDay* found = FrozenDay(day);
  if (!found) return {};
  if (spells) {
    const uint32_t begin = found == days_.data() ? 0 : (found - 1)->spansEnd;
    spells->assign(spans_.begin() + begin, spans_.begin() + found->spansEnd);
  }
  auto moment = [](TDateTime time) {
    return std::isnan(time) ? std::nullopt : std::optional<TDateTime>(time);
  };
  return {found->seconds, moment(found->firstIn), moment(found->lastOut)};
}

std::vector<TSpan> TOtherMachine::Spells(int64_t day) const {
  std::vector<TSpan> spells;
  Day(day, &spells);
  return spells;
}

std::optional<int64_t> TOtherMachine::FirstDay() const {
  return live_ ? live_->FirstDay() : firstDay_;
}

TOtherMachine OtherMachineHours(const TMachineReading& reading, TDateTime dayStart) {
  TWorkTotals totals(dayStart, true);
  TActRec taken = MakeRecord(ActionStart, 0);
  for (const TMachineRecord& record : reading.records) {
    taken.Action = record.action;
    taken.Time = record.time;
    totals.Take(taken);
  }
  // The spell that ran when the copy was made, up to its last activity
  // then: it counts as that machine's tip counted it.
  std::optional<TRunningSpell> running;
  if (reading.runningUntil) running = TRunningSpell{*reading.runningUntil};
  return TOtherMachine(std::move(totals), running);
}

TOtherMachine TMachineHours::CountedAfresh(const TMachineReading& reading, TDateTime dayStart,
                                           bool seen) {
  TOtherMachine machine = OtherMachineHours(reading, dayStart);
  // A machine counted for the first time is frozen; one whose copy changed
  // stays live.
  if (!seen) machine.Freeze();
  return machine;
}

TMachineHours::TMatch TMachineHours::Match(const TMachineReading& reading,
                                           TDateTime dayStart) const {
  const TKept key{reading.fileName, reading.version, dayStart};
  const TKept before{reading.fileName, reading.extends, dayStart};
  TMatch match;
  for (size_t i = 0; i < kept_.size(); ++i) {
    if (kept_[i].fileName == reading.fileName) match.seen = true;
    if (key.version == 0 || kept_[i].version == 0) continue;
    if (kept_[i] == key || (reading.extends != 0 && kept_[i] == before)) {
      match.kept = i;
      match.extended = !(kept_[i] == key);
      // A frozen count takes nothing new: it is counted again.
      const TOtherMachine& machine = others_[i];
      const std::optional<TDateTime> until =
          machine.Running() ? std::optional<TDateTime>(machine.Running()->until) : std::nullopt;
      match.recount = machine.Frozen() && (match.extended || until != reading.runningUntil);
      return match;
    }
  }
  return match;
}

bool TMachineHours::Count(const TMachineReading& reading, TDateTime dayStart) {
  const TMatch match = Match(reading, dayStart);
  if (match.kept && !match.recount) return false;
  for (const auto& [key, machine] : counted_)
    if (key.fileName == reading.fileName && key.version == reading.version) return false;
  TOtherMachine machine = CountedAfresh(reading, dayStart, match.seen);
  const bool frozen = machine.Frozen();
  counted_.emplace_back(TKept{reading.fileName, reading.version, dayStart},
                        std::move(machine));
  return frozen;
}

void TMachineHours::SetMachines(const std::vector<const TMachineReading*>& readings) {
  // A machine whose records were read before keeps its count: live, it
  // takes only the records after those when they begin its new reading, and
  // its running spell afresh; frozen, it is counted again from its records
  // once anything of it changed, and stays live from then on. A machine
  // counted for the first time is frozen: most copies in a folder of years
  // never change.
  std::vector<TOtherMachine> others;
  std::vector<TKept> kept;
  uncounted_.clear();
  for (const TMachineReading* reading : readings) {
    const TKept key{reading->fileName, reading->version, own_.DayStart()};
    std::optional<TRunningSpell> running;
    if (reading->runningUntil) running = TRunningSpell{*reading->runningUntil};
    const TMatch match = Match(*reading, own_.DayStart());
    // Counted as it was read.
    auto counted = std::find_if(counted_.begin(), counted_.end(),
                                [&](const auto& entry) { return entry.first == key; });
    if (match.kept && !match.recount) {
      TOtherMachine& machine = others_[*match.kept];
      if (TWorkTotals* live = machine.Live()) {
        if (match.extended)
          for (size_t i = reading->extendsCount; i < reading->records.size(); ++i)
            live->Take(MakeRecord(reading->records[i].action, reading->records[i].time));
        machine.SetRunning(running);
      }
      others.push_back(std::move(machine));
    } else if (counted != counted_.end()) {
      others.push_back(std::move(counted->second));
      counted_.erase(counted);
    } else if (reading->forgotten) {
      // Its records went before it was counted: its count of before, if
      // any, until it is read again.
      uncounted_.push_back(reading->fileName);
      if (match.kept) {
        others.push_back(std::move(others_[*match.kept]));
      } else {
        others.push_back(TOtherMachine(TWorkTotals(own_.DayStart(), true), running));
      }
    } else {
      others.push_back(CountedAfresh(*reading, own_.DayStart(), match.seen));
    }
    if (match.kept) kept_[*match.kept].version = 0;  // taken
    kept.push_back(key);
  }
  others_ = std::move(others);
  kept_ = std::move(kept);
  counted_.clear();
  ++readings_;
  keptSum_.reset();
}

bool TMachineHours::Frozen(const std::string& fileName) const {
  for (size_t i = 0; i < kept_.size(); ++i)
    if (kept_[i].fileName == fileName) return others_[i].Frozen();
  return false;
}

TDayFigures TMachineHours::Day(int64_t day, const std::optional<TRunningSpell>& running) const {
  if (others_.empty()) return own_.Day(day, running);
  std::vector<std::vector<TSpan>> machines(1 + others_.size());
  TDayFigures figures = own_.Day(day, running, &machines[0]);
  // The machines that worked the day: one alone counts its own figure.
  size_t working = machines[0].empty() ? 0 : 1;
  std::optional<int64_t> alone = working ? std::optional<int64_t>(figures.seconds) : std::nullopt;
  for (size_t m = 0; m < others_.size(); ++m) {
    const TDayFigures theirs = others_[m].Day(day, &machines[m + 1]);
    if (theirs.firstIn && (!figures.firstIn || *theirs.firstIn < *figures.firstIn))
      figures.firstIn = theirs.firstIn;
    if (theirs.lastOut && (!figures.lastOut || *theirs.lastOut > *figures.lastOut))
      figures.lastOut = theirs.lastOut;
    if (machines[m + 1].empty()) continue;
    if (++working == 1) alone = theirs.seconds;
  }
  figures.seconds = working == 1 ? *alone : working == 0 ? figures.seconds : UnionSeconds(machines);
  return figures;
}

std::vector<TSpan> TMachineHours::Spells(int64_t day,
                                         const std::optional<TRunningSpell>& running) const {
  std::vector<TSpan> spans = own_.Spells(day, running);
  for (const TOtherMachine& other : others_) {
    const std::vector<TSpan> spells = other.Spells(day);
    spans.insert(spans.end(), spells.begin(), spells.end());
  }
  return spans;
}

std::optional<int64_t> TMachineHours::FirstDay() const {
  std::optional<int64_t> first = own_.FirstDay();
  for (const TOtherMachine& other : others_) {
    const std::optional<int64_t> theirs = other.FirstDay();
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
    const std::vector<int64_t> theirs = other.Days();
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

bool LookAndCount(TMachineFolder& folder, TMachineHours& hours, TDateTime dayStart) {
  return folder.Look(
      [&hours, dayStart](const TMachineReading& reading) { return hours.Count(reading, dayStart); });
}

void TakeMachines(TMachineFolder& folder, TMachineHours& hours, bool changed,
                  TDateTime dayStart) {
  for (int round = 0; round < 2; ++round) {
    if (changed) {
      hours.SetMachines(folder.Machines());
      // The copies whose hours are kept frozen need their records no more.
      folder.ForgetRecords(
          [&hours](const TMachineReading& reading) { return hours.Frozen(reading.fileName); });
    }
    if (hours.Uncounted().empty()) return;
    folder.ReadAgain(hours.Uncounted());
    changed = LookAndCount(folder, hours, dayStart);
  }
}

}  // namespace horalog
