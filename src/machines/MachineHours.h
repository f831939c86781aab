// The hours of several machines: per working day, each machine gives the
// spells it counts for its own tip (the pairs of its journal, with its
// running spell), and the day's Worked is the length of their union, so that
// time worked on two machines at once counts once, and each machine counts
// as its own tip counts it: a day that only one machine worked is that
// machine's own figure. The tip's Today, This
// week and Balance and the day summary count by it while [Machines] is set.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "machines/MachineCopy.h"
#include "machines/MachineFolder.h"
#include "report/HoursSettings.h"
#include "report/WorkTotals.h"

namespace horalog {

// The length of the union of several machines' spans, each machine counted
// as its own tip counts it: at each moment the most spans of one machine
// that hold it (its own spans are never merged with each other). A span that
// ends before it begins takes its length off, as in its machine's own total,
// where no machine works then. With one machine, the sum of its spans.
TDateTime UnionLength(const std::vector<std::vector<TSpan>>& machines);
// The same in whole seconds, as a day's total shows them; nothing below 0.
int64_t UnionSeconds(const std::vector<std::vector<TSpan>>& machines);

// One other machine's hours, from its copy read last: counted from its
// records and kept so (live) while its copy changes, so that its new records
// and its running spell are taken as they come; or frozen, only each day's
// figures and spells kept, with the running spell it had: a copy that has
// not changed since it was first counted (a machine of years ago) keeps a
// fraction of the memory.
class TOtherMachine {
 public:
  TOtherMachine(TWorkTotals totals, std::optional<TRunningSpell> running);
  TOtherMachine(TOtherMachine&&) = default;
  TOtherMachine& operator=(TOtherMachine&&) = default;

  // As its own tip counts them, with its running spell; with spells, the
  // day's spells too.
  TDayFigures Day(int64_t day, std::vector<TSpan>* spells = nullptr) const;
  std::vector<TSpan> Spells(int64_t day) const;
  std::optional<int64_t> FirstDay() const;
  // The days that count anything, in no particular order.
  std::vector<int64_t> Days() const;

  // The figures kept, the records' count dropped.
  void Freeze();
  bool Frozen() const { return !live_; }
  // While live: its count, which takes the records that come, and its
  // running spell.
  TWorkTotals* Live() { return live_.get(); }
  void SetRunning(std::optional<TRunningSpell> running) { running_ = running; }
  const std::optional<TRunningSpell>& Running() const { return running_; }

 private:
  std::unique_ptr<TWorkTotals> live_;
  std::optional<TRunningSpell> running_;
  // Frozen: the days in order, each with its figures and the end of its
  // spells in spans_.
  struct TFrozenDay {
    int64_t seconds = 0;
    TDateTime firstIn = 0, lastOut = 0;  // NaN for none
    int32_t day = 0;
    uint32_t spansEnd = 0;
  };
  std::vector<TFrozenDay> days_;
  std::vector<TSpan> spans_;
  std::optional<int64_t> firstDay_;
  const TFrozenDay* FrozenDay(int64_t day) const;
};

// The other machine's hours from a reading of its copy, days split at
// dayStart: live.
TOtherMachine OtherMachineHours(const TMachineReading& reading, TDateTime dayStart);

class TMachineHours : public TDayHours {
 public:
  // This machine's hours, which keep their spells (see TWorkTotals), and
  // nothing of the others yet; own must outlive this.
  explicit TMachineHours(const TWorkTotals& own) : own_(own) {}

  // The other machines afresh, from their readings, days split as own's.
  // A reading whose records were forgotten is taken from its count of
  // before, or from Count.
  void SetMachines(const std::vector<const TMachineReading*>& readings);
  // Counts the machine of a reading just read, ahead of SetMachines, so
  // that its records can go at once: true when its count is frozen and its
  // records are needed no more. dayStart: own's, as it will be then (this
  // may run beside the thread that changes own, which it does not read).
  bool Count(const TMachineReading& reading, TDateTime dayStart);
  // The copies of the last SetMachines whose records had gone uncounted:
  // to be read again.
  const std::vector<std::string>& Uncounted() const { return uncounted_; }
  size_t MachineCount() const { return others_.size(); }
  // Whether the hours of the machine of that copy are frozen: counted, and
  // its records no longer needed (see TOtherMachine).
  bool Frozen(const std::string& fileName) const;

  TDateTime DayStart() const override { return own_.DayStart(); }
  // The union of all machines' spells of the day; the first In and last Out
  // of any of them. With no other machine, this machine's own figures.
  TDayFigures Day(int64_t day, const std::optional<TRunningSpell>& running = {}) const override;
  // The spells of every machine that count in the day.
  std::vector<TSpan> Spells(int64_t day,
                            const std::optional<TRunningSpell>& running = {}) const override;
  std::optional<int64_t> FirstDay() const override;
  // This machine's running spell changes the days it changes in own.
  std::pair<int64_t, int64_t> RunningDays(const TRunningSpell& running) const override {
    return own_.RunningDays(running);
  }
  // Kept as the one-journal sum is: asking again for the same days with
  // nothing new costs nothing.
  int64_t WorkedOverTarget(int64_t from, int64_t through,
                           const THoursSettings& settings) const override;

 private:
  const TWorkTotals& own_;
  std::vector<TOtherMachine> others_;
  // Whose each of others_ is: its copy, the reading of its records, and the
  // split of days they were counted by.
  struct TKept {
    std::string fileName;
    uint64_t version = 0;
    TDateTime dayStart = 0;
    bool operator==(const TKept&) const = default;
  };
  std::vector<TKept> kept_;
  // Whether a reading is counted in others_ (kept), and how.
  struct TMatch {
    std::optional<size_t> kept;
    bool extended = false;  // its records begin with those counted
    bool recount = false;   // frozen, and something of it changed
    bool seen = false;      // a reading of its copy was counted before
  };
  TMatch Match(const TMachineReading& reading, TDateTime dayStart) const;
  static TOtherMachine CountedAfresh(const TMachineReading& reading, TDateTime dayStart,
                                     bool seen);
  // Counted ahead by Count, for the next SetMachines.
  std::vector<std::pair<TKept, TOtherMachine>> counted_;
  std::vector<std::string> uncounted_;
  uint64_t readings_ = 0;  // SetMachines so far, for the kept sum

  struct TKeptSum {
    int64_t from = 0, through = 0;
    uint64_t ownVersion = 0, readings = 0;
    THoursSettings settings;
    int64_t value = 0;
  };
  mutable std::optional<TKeptSum> keptSum_;
};

// Looks at the folder, each copy read counted in hours as it comes and its
// records let go once its count is frozen, so that a folder of years is
// never held whole: true when the machines changed. It changes nothing that
// the hours' figures read, so the figures may be asked meanwhile on another
// thread (dayStart: the hours' own).
bool LookAndCount(TMachineFolder& folder, TMachineHours& hours, TDateTime dayStart);
// After that look: the machines counted in hours (when changed), and the
// copies whose records went uncounted (one of twins that counts now) read
// again and counted.
void TakeMachines(TMachineFolder& folder, TMachineHours& hours, bool changed,
                  TDateTime dayStart);

}  // namespace horalog
