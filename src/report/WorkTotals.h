// The hours worked per day, kept up to date from the records the program
// appends so that showing them never reads the data file: the tray icon's
// Today, This week and balance, and the day summary, count by it.
//
// A day counts what the report of that day alone shows, and its part of a
// spell across the split between two days. The report of one day takes the
// live records of that day (and the one at the very start of the next), in
// file order, and pairs them by the report's own rules (DayPairing). So a
// record of another day between a Start and its Stop does not split their
// pair here, as it does not in that report, even where the journal is out of
// time order. A spell across the split is a day's last record (in file
// order), a Start, and the first of the next day that has records, a Stop:
// the report shows an In without an Out on one day and an Out without an In
// on the other, and totals neither; here each day counts the part of the
// spell that lies in it, and every day between them, which has no record,
// counts in full: a spell counts in each working day it covers, however many
// days it spans.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <unordered_map>
#include <vector>

#include "data/ActRec.h"
#include "platform/DateTime.h"
#include "report/DayPairing.h"
#include "report/HoursSettings.h"

namespace horalog {

// Midnight of the first day of the week that holds moment; firstDayOfWeek is
// numbered as DateTimeFields::dayOfWeek (0 = Sunday).
TDateTime WeekStart(TDateTime moment, int firstDayOfWeek);

// What a day counts.
struct TDayFigures {
  // The totals the report of the day alone shows, in their whole seconds,
  // and the whole seconds of its parts of spells across its splits.
  int64_t seconds = 0;
  // The report's first In and last Out cells; the split itself where a spell
  // across it comes first or last.
  std::optional<TDateTime> firstIn, lastOut;
};

// A spell still running, known by its last activity alone: it counts as the
// Stop stamped then will once it is written at the end of the journal, the
// last record of its day: paired with the Start that waits in that day,
// whichever that is, or ending a spell across the split when it will be the
// day's first record too.
struct TRunningSpell {
  TDateTime until = 0;
};

// A spell as a day counts it, from its In to its Out.
struct TSpan {
  TDateTime from = 0, to = 0;
};

// Where the hours of each working day come from: one journal (TWorkTotals),
// or the union of several machines' journals (machines/MachineHours).
class TDayHours {
 public:
  virtual ~TDayHours() = default;
  virtual TDateTime DayStart() const = 0;
  // The day (a working day's number) and its figures, with this machine's
  // running spell where it counts in that day.
  virtual TDayFigures Day(int64_t day, const std::optional<TRunningSpell>& running = {}) const = 0;
  int64_t Worked(int64_t day, const std::optional<TRunningSpell>& running = {}) const {
    return Day(day, running).seconds;
  }
  // The spells the day counts, in no particular order (while they are kept:
  // see TWorkTotals), for its breaks.
  virtual std::vector<TSpan> Spells(int64_t day,
                                    const std::optional<TRunningSpell>& running = {}) const = 0;
  // The earliest day with a live record; nothing before the first.
  virtual std::optional<int64_t> FirstDay() const = 0;
  // The first and last day whose figures the running spell may change: the
  // day of its Stop, and the days of the spells across splits that the Stop
  // ends or breaks once it is written.
  virtual std::pair<int64_t, int64_t> RunningDays(const TRunningSpell& running) const = 0;
  // The sum over the days from..through of the net worked (NetWorked) and
  // the credit, minus the target, this machine's running spell left out.
  virtual int64_t WorkedOverTarget(int64_t from, int64_t through,
                                   const THoursSettings& settings) const = 0;
};

class TWorkTotals : public TDayHours {
 public:
  // With keepSpells, each day keeps the spells it counts (Spells), for a
  // union with other machines' days.
  explicit TWorkTotals(TDateTime dayStart = 0, bool keepSpells = false)
      : dayStart_(dayStart), keepSpells_(keepSpells) {}
  TWorkTotals(const TWorkTotals& other);
  TWorkTotals& operator=(const TWorkTotals& other);
  TWorkTotals(TWorkTotals&&) = default;
  TWorkTotals& operator=(TWorkTotals&&) = default;

  // Forgets every record; days split dayStart after midnight from here.
  void Reset(TDateTime dayStart);
  // Takes the next record of the journal, in file order.
  void Take(const TActRec& record);

  TDateTime DayStart() const override { return dayStart_; }
  // The day (a working day's number) and its figures, with the running spell
  // where it counts in that day.
  TDayFigures Day(int64_t day, const std::optional<TRunningSpell>& running = {}) const override;
  // The day of the earliest live record taken; nothing before the first.
  std::optional<int64_t> FirstDay() const override { return firstDay_; }
  // The latest moment of a live record taken; nothing before the first.
  std::optional<TDateTime> LastMoment() const { return lastMoment_; }
  std::pair<int64_t, int64_t> RunningDays(const TRunningSpell& running) const override;

  // The sum over the days from..through of the net worked and the credit
  // minus the target, running spells left out. The last sum is kept: asking again for the same days
  // with no record taken since costs nothing.
  int64_t WorkedOverTarget(int64_t from, int64_t through,
                           const THoursSettings& settings) const override;

  // The spells a day counts, as Day counts them, in no particular order:
  // the pairs of each of its tables whose total is shown (the running
  // spell's among them), and its parts of spells across its splits. Only
  // while spells are kept (see the constructor).
  std::vector<TSpan> Spells(int64_t day,
                            const std::optional<TRunningSpell>& running = {}) const override;
  // Both at once: the day's figures, and with spells (while kept) its spells.
  TDayFigures Day(int64_t day, const std::optional<TRunningSpell>& running,
                  std::vector<TSpan>* spells) const;
  // The days that took a record, and those of no record that a spell across
  // them counts in, in no particular order.
  std::vector<int64_t> Days() const;
  // Changes with every record taken and every Reset, and differs between
  // totals read apart: what a sum kept elsewhere was counted from.
  uint64_t Version() const { return version_; }

 private:
  // The report of one day alone, as far as the records taken so far go.
  class TDayReport : public TPairingSink {
   public:
    TDayReport(int64_t day, TDateTime dayStart, bool keepSpells)
        : day_(day), dayStart_(dayStart), keepSpells_(keepSpells), pairing(dayStart) {}
    void DayBegins(TDateTime time) override;
    void InOnly(TDateTime start) override;
    void OutOnly(TDateTime stop) override;
    void Pair(TDateTime start, TDateTime stop) override;
    void DayEnds() override;

    int64_t day_;
    TDateTime dayStart_;
    bool keepSpells_;
    TDayPairing pairing;
    bool ownTable = false;       // the open table is this day's (not the next day's first record)
    TDateTime tableTotal = 0;    // the open table's sum of differences
    int64_t shownSeconds = 0;    // the totals of its closed tables
    std::optional<TDateTime> firstIn, lastOut;
    // The day's own records in file order: whether there is one, the first
    // when it is a Stop, the last when it is a Start.
    bool ownRecords = false;
    std::optional<TDateTime> firstStop, lastStart;
    // While spells are kept: the open table's pairs, and those of its closed
    // tables that show a total.
    std::vector<TSpan> tableSpells, shownSpells;
  };

  // A Start and the Stop it runs to across one split or more.
  struct TSplitSpell {
    TDateTime start, stop;
  };
  // A day's own records as the spells across its splits see them, with the
  // running spell's Stop written: whether it has one, its first when that is
  // a Stop, its last when that is a Start.
  struct TDayEnds {
    bool records = false;
    std::optional<TDateTime> firstStop, lastStart;
  };
  TDayEnds EndsOf(int64_t day, const std::optional<TRunningSpell>& running) const;
  // The nearest day before day, and the nearest from day on, with records
  // of its own (the running spell's Stop's among them).
  std::optional<int64_t> RecordsBefore(int64_t day,
                                       const std::optional<TRunningSpell>& running) const;
  std::optional<int64_t> RecordsFrom(int64_t day,
                                     const std::optional<TRunningSpell>& running) const;

  // A version no totals had before.
  static uint64_t NewVersion();

  // The report of a day, made when first asked for.
  TDayReport& ReportOf(int64_t day);
  const TDayReport* FoundReport(int64_t day) const;
  // What the report of the day alone shows, the running spell's Stop paired
  // with the Start that waits there.
  TDayFigures ReportFigures(int64_t day, const std::optional<TRunningSpell>& running) const;
  // The spell across the split at the start of day, if any: the last record
  // of the nearest day before with records is a Start, and the first of the
  // nearest from day on a Stop (the running spell's Stop to come counts as
  // the last record of its day, and the first when that day has none).
  std::optional<TSplitSpell> SpellAcross(int64_t day, const std::optional<TRunningSpell>& running) const;

  TDateTime dayStart_;
  bool keepSpells_ = false;
  uint64_t version_ = NewVersion();
  std::unordered_map<int64_t, TDayReport> days_;
  // The days with records of their own, in order: records come day after
  // day, so a day is mostly added at the end.
  std::vector<int64_t> ownDays_;
  TDayReport* last_ = nullptr;  // the day last taken: records come day after day
  std::optional<int64_t> firstDay_;
  std::optional<TDateTime> lastMoment_;
  uint64_t generation_ = 0;  // records taken since the last Reset, for the kept sum

  struct TKeptSum {
    int64_t from = 0, through = 0;
    uint64_t generation = 0;
    THoursSettings settings;
    int64_t value = 0;
  };
  mutable std::optional<TKeptSum> keptSum_;
};

// Fills totals (days split at their day start) with the whole data file at
// dataPath, read once from the front. A missing file is an empty journal; a
// file that may or may not be there, and a failed read, raise their I/O error.
void LoadWorkTotals(const std::string& dataPath, TWorkTotals& totals);

// The figures of the tray icon's tip, in whole seconds.
struct TWorkHours {
  int64_t today = 0;
  int64_t week = 0;
  std::optional<int64_t> balance;  // while a target is set
};

// The hours at now, net (NetWorked): today's working day, the week that
// holds it, and while a target is set the balance: the opening balance, plus
// the net and the credit minus the target over the days from the balance's
// first day to yesterday, plus the part of today's net and credit above
// today's target (so that it never drops during a morning). The running spell counts in every day it will count in once
// its Stop is written: yesterday's part of a spell begun then too.
TWorkHours HoursAt(const TDayHours& totals, const THoursSettings& settings, TDateTime now,
                   int firstDayOfWeek, const std::optional<TRunningSpell>& running = {});

// The first day of the balance: the one set, else the journal's first day,
// else the day given.
int64_t BalanceFirstDay(const TDayHours& totals, const THoursSettings& settings,
                        int64_t otherwise);

// Seconds as h:mm: seconds cut to minutes, hours not wrapped at 24; nothing
// below zero.
std::string HoursText(int64_t seconds);
// Seconds as signed h:mm: cut toward zero to whole minutes, "-" before a
// negative value, "+" before a positive one, none before 0:00.
std::string SignedHoursText(int64_t seconds);

// The tray icon's tip: the name, then "Today h:mm" and "This week h:mm", and
// "Balance +h:mm" while there is a balance.
std::string WorkHoursTip(const std::string& name, const TWorkHours& hours);

}  // namespace horalog
