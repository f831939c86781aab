#include "report/WorkTotals.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "data/Errors.h"
#include "platform/Platform.h"

namespace horalog {

namespace {

// Moments no day of the calendar (years 1 to 9999) can take: such records
// belong to no day the hours are asked for.
bool NearTheCalendar(TDateTime time) { return time > -700000.0 && time < 3000000.0; }

}  // namespace

TDateTime WeekStart(TDateTime moment, int firstDayOfWeek) {
  const TDateTime day = WholePart(moment);
  DateTimeFields fields;
  if (!DecodeDateTime(day, fields)) return day;
  return day - ((fields.dayOfWeek - firstDayOfWeek) % 7 + 7) % 7;
}

// ---- The report of one day alone ---------------------------------------------

void TWorkTotals::TDayReport::DayBegins(TDateTime time) {
  // The report of this day also takes the first moment of the next day,
  // which opens a table of its own.
  ownTable = WorkDayOf(time, dayStart_) == day_;
  tableTotal = 0;
}

void TWorkTotals::TDayReport::InOnly(TDateTime start) {
  if (ownTable && !firstIn) firstIn = start;
}

void TWorkTotals::TDayReport::OutOnly(TDateTime stop) {
  if (ownTable) lastOut = stop;
}

void TWorkTotals::TDayReport::Pair(TDateTime start, TDateTime stop) {
  if (!ownTable) return;
  if (!firstIn) firstIn = start;
  lastOut = stop;
  tableTotal += stop - start;
  if (keepSpells_) tableSpells.push_back({start, stop});
}

void TWorkTotals::TDayReport::DayEnds() {
  // A total that is not above zero is not shown.
  if (ownTable && tableTotal > 0) {
    shownSeconds += SpanSeconds(tableTotal).value_or(0);
    shownSpells.insert(shownSpells.end(), tableSpells.begin(), tableSpells.end());
  }
  tableSpells.clear();
  ownTable = false;
  tableTotal = 0;
}

// ---- All days ------------------------------------------------------------------

TWorkTotals::TWorkTotals(const TWorkTotals& other)
    : dayStart_(other.dayStart_),
      keepSpells_(other.keepSpells_),
      version_(other.version_),
      days_(other.days_),
      firstDay_(other.firstDay_),
      lastMoment_(other.lastMoment_),
      generation_(other.generation_) {}

TWorkTotals& TWorkTotals::operator=(const TWorkTotals& other) {
  if (this != &other) *this = TWorkTotals(other);
  return *this;
}

TWorkTotals::TDayReport& TWorkTotals::ReportOf(int64_t day) {
  // Records come mostly day after day: the last day's report is at hand.
  if (!last_ || last_->day_ != day)
    last_ = &days_.try_emplace(day, day, dayStart_, keepSpells_).first->second;
  return *last_;
}

void TWorkTotals::Reset(TDateTime dayStart) {
  dayStart_ = dayStart;
  days_.clear();
  last_ = nullptr;
  firstDay_.reset();
  lastMoment_.reset();
  version_ = NewVersion();
  generation_ = 0;
  keptSum_.reset();
}

void TWorkTotals::Take(const TActRec& record) {
  const TDateTime time = record.Time;
  if (record.Status != StatusLive || !NearTheCalendar(time)) return;
  const TDateTime workTime = WorkTime(time, dayStart_);
  const int64_t day = DayNumber(workTime);
  ++generation_;
  if (!firstDay_ || day < *firstDay_) firstDay_ = day;
  if (!lastMoment_ || time > *lastMoment_) lastMoment_ = time;
  version_ = NewVersion();
  // The record's own day takes it, and the day before when it is the very
  // first moment of its day (the day after, where rounding puts it there):
  // as the report of each of those days alone takes it (TakenForRange).
  for (int64_t other = day - 1; other <= day + 1; ++other) {
    const TDateTime date = static_cast<TDateTime>(other);
    if (!InWorkDays(workTime, date, date)) continue;
    TDayReport& report = ReportOf(other);
    report.pairing.Take(record, day, report);
    if (other != day) continue;
    const bool start = record.Action == ActionStart;
    if (!report.ownRecords && !start) report.firstStop = time;
    report.ownRecords = true;
    report.lastStart = start ? std::optional<TDateTime>(time) : std::nullopt;
  }
}

const TWorkTotals::TDayReport* TWorkTotals::FoundReport(int64_t day) const {
  const auto found = days_.find(day);
  return found == days_.end() ? nullptr : &found->second;
}

TDayFigures TWorkTotals::ReportFigures(int64_t day,
                                       const std::optional<TRunningSpell>& running) const {
  const TDayReport* report = FoundReport(day);
  if (!report) return {};
  TDayFigures figures{report->shownSeconds, report->firstIn, report->lastOut};
  if (!report->ownTable) return figures;
  // The open table, as the page shows it at the end of the journal: its
  // waiting Start an In of its own.
  const std::optional<TDateTime> pending = report->pairing.PendingStart();
  if (!figures.firstIn) figures.firstIn = pending;
  TDateTime total = report->tableTotal;
  // The running spell's Stop, written in this day, will pair with the Start
  // that waits.
  if (running && pending && WorkDayOf(running->until, dayStart_) == day)
    total += running->until - *pending;
  if (total > 0) figures.seconds += SpanSeconds(total).value_or(0);
  return figures;
}

std::optional<TWorkTotals::TSplitSpell> TWorkTotals::SpellAcross(
    int64_t day, const std::optional<TRunningSpell>& running) const {
  // The running spell's Stop, once written, is the last record of its day.
  auto stopIn = [&](int64_t of) { return running && WorkDayOf(running->until, dayStart_) == of; };
  const TDayReport* before = FoundReport(day - 1);
  if (!before || !before->lastStart || stopIn(day - 1)) return std::nullopt;
  const TDayReport* after = FoundReport(day);
  if (after && after->ownRecords) {
    if (!after->firstStop) return std::nullopt;
    return TSplitSpell{*before->lastStart, *after->firstStop};
  }
  if (stopIn(day)) return TSplitSpell{*before->lastStart, running->until};
  return std::nullopt;
}

TDayFigures TWorkTotals::Day(int64_t day, const std::optional<TRunningSpell>& running) const {
  TDayFigures figures = ReportFigures(day, running);
  // The parts of spells across the splits that begin and end the day, each
  // in its own whole seconds.
  auto part = [](TDateTime span) { return std::max<int64_t>(0, SpanSeconds(span).value_or(0)); };
  const TDateTime split = static_cast<TDateTime>(day) + dayStart_;
  const TDateTime nextSplit = static_cast<TDateTime>(day + 1) + dayStart_;
  if (const std::optional<TSplitSpell> spell = SpellAcross(day, running)) {
    figures.seconds += part(spell->stop - split);
    figures.firstIn = split;
  }
  if (const std::optional<TSplitSpell> spell = SpellAcross(day + 1, running)) {
    figures.seconds += part(nextSplit - spell->start);
    figures.lastOut = nextSplit;
  }
  return figures;
}

std::vector<TSpan> TWorkTotals::Spells(int64_t day,
                                       const std::optional<TRunningSpell>& running) const {
  std::vector<TSpan> spells;
  if (const TDayReport* report = FoundReport(day)) {
    spells = report->shownSpells;
    if (report->ownTable) {
      // The open table counts as Day counts it: with the running spell's
      // Stop paired with the Start that waits, and only when its total is shown.
      std::vector<TSpan> open = report->tableSpells;
      TDateTime total = report->tableTotal;
      const std::optional<TDateTime> pending = report->pairing.PendingStart();
      if (running && pending && WorkDayOf(running->until, dayStart_) == day) {
        open.push_back({*pending, running->until});
        total += running->until - *pending;
      }
      if (total > 0) spells.insert(spells.end(), open.begin(), open.end());
    }
  }
  // The parts of spells across the splits that begin and end the day.
  const TDateTime split = static_cast<TDateTime>(day) + dayStart_;
  const TDateTime nextSplit = static_cast<TDateTime>(day + 1) + dayStart_;
  if (const std::optional<TSplitSpell> spell = SpellAcross(day, running))
    spells.push_back({split, spell->stop});
  if (const std::optional<TSplitSpell> spell = SpellAcross(day + 1, running))
    spells.push_back({spell->start, nextSplit});
  return spells;
}

uint64_t TWorkTotals::NewVersion() {
  static std::atomic<uint64_t> versions{0};
  return versions.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::vector<int64_t> TWorkTotals::Days() const {
  std::vector<int64_t> days;
  days.reserve(days_.size());
  for (const auto& [day, report] : days_) days.push_back(day);
  return days;
}

int64_t TWorkTotals::WorkedOverTarget(int64_t from, int64_t through,
                                      const THoursSettings& settings) const {
  if (through < from) return 0;
  if (keptSum_ && keptSum_->from == from && keptSum_->through == through &&
      keptSum_->generation == generation_ && keptSum_->settings == settings)
    return keptSum_->value;
  int64_t sum = 0;
  for (const auto& [day, report] : days_)
    if (day >= from && day <= through) sum += Worked(day);
  for (int64_t day = from; day <= through; ++day) sum -= settings.Target(day);
  keptSum_ = TKeptSum{from, through, generation_, settings, sum};
  return sum;
}

void LoadWorkTotals(const std::string& dataPath, TWorkTotals& totals) {
  totals.Reset(totals.DayStart());
  if (!platform::FileFound(dataPath)) return;
  TActRecReader reader(dataPath);  // closed on every way out
  size_t count = 0;
  while (const TActRec* records = reader.NextRecords(count))
    for (size_t i = 0; i < count; ++i) totals.Take(records[i]);
  reader.Close();
}

// ---- The figures of the tip ------------------------------------------------------

int64_t BalanceFirstDay(const TDayHours& totals, const THoursSettings& settings,
                        int64_t otherwise) {
  if (settings.balanceFrom) return *settings.balanceFrom;
  return totals.FirstDay().value_or(otherwise);
}

TWorkHours HoursAt(const TDayHours& totals, const THoursSettings& settings, TDateTime now,
                   int firstDayOfWeek, const std::optional<TRunningSpell>& running) {
  TWorkHours hours;
  const int64_t today = WorkDayOf(now, totals.DayStart());
  const int64_t first =
      DayNumber(WeekStart(static_cast<TDateTime>(today), firstDayOfWeek));
  hours.today = totals.Worked(today, running);
  for (int64_t day = first; day < first + 7; ++day)
    hours.week += day == today ? hours.today : totals.Worked(day, running);
  if (settings.HasTarget()) {
    const int64_t from = BalanceFirstDay(totals, settings, today);
    int64_t balance = settings.opening;
    if (today >= from) {
      balance += totals.WorkedOverTarget(from, today - 1, settings);
      // The running spell in the days before today: its Stop's day and the
      // days on either side, whose spells across the split it begins or ends.
      if (running) {
        const int64_t until = WorkDayOf(running->until, totals.DayStart());
        for (int64_t day = std::max(from, until - 1); day <= std::min(today - 1, until + 1); ++day)
          balance += totals.Worked(day, running) - totals.Worked(day);
      }
      balance += std::max<int64_t>(0, hours.today - settings.Target(today));
    }
    hours.balance = balance;
  }
  return hours;
}

std::string HoursText(int64_t seconds) {
  const int64_t minutes = seconds > 0 ? seconds / 60 : 0;
  const int64_t mm = minutes % 60;
  return std::to_string(minutes / 60) + (mm < 10 ? ":0" : ":") + std::to_string(mm);
}

std::string SignedHoursText(int64_t seconds) {
  const int64_t minutes = seconds / 60;  // toward zero
  if (minutes == 0) return "0:00";
  std::string text(1, minutes < 0 ? '-' : '+');
  text += HoursText(minutes < 0 ? -minutes * 60 : minutes * 60);
  return text;
}

std::string WorkHoursTip(const std::string& name, const TWorkHours& hours) {
  std::string tip =
      name + "\nToday " + HoursText(hours.today) + "\nThis week " + HoursText(hours.week);
  if (hours.balance) tip += "\nBalance " + SignedHoursText(*hours.balance);
  return tip;
}

}  // namespace horalog
