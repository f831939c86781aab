#include "report/WorkTotals.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "data/Errors.h"
#include "platform/Platform.h"
#include "report/NetHours.h"

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
  // Kept by the million: no room left over.
  std::vector<TSpan>().swap(tableSpells);
  ownTable = false;
  tableTotal = 0;
}

// ---- All days ------------------------------------------------------------------

TWorkTotals::TWorkTotals(const TWorkTotals& other)
    : dayStart_(other.dayStart_),
      keepSpells_(other.keepSpells_),
      version_(other.version_),
      days_(other.days_),
      ownDays_(other.ownDays_),
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
  ownDays_.clear();
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
    if (!report.ownRecords) {
      if (!start) report.firstStop = time;
      if (ownDays_.empty() || day > ownDays_.back()) {
        ownDays_.push_back(day);
      } else if (const auto at = std::lower_bound(ownDays_.begin(), ownDays_.end(), day);
                 *at != day) {
        ownDays_.insert(at, day);
      }
    }
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

TWorkTotals::TDayEnds TWorkTotals::EndsOf(int64_t day,
                                          const std::optional<TRunningSpell>& running) const {
  TDayEnds ends;
  if (const TDayReport* report = FoundReport(day); report && report->ownRecords)
    ends = TDayEnds{true, report->firstStop, report->lastStart};
  // The running spell's Stop, once written, is the last record of its day.
  if (running && WorkDayOf(running->until, dayStart_) == day) {
    if (!ends.records) ends.firstStop = running->until;
    ends.records = true;
    ends.lastStart.reset();
  }
  return ends;
}

std::optional<int64_t> TWorkTotals::RecordsBefore(
    int64_t day, const std::optional<TRunningSpell>& running) const {
  std::optional<int64_t> found;
  if (auto at = std::lower_bound(ownDays_.begin(), ownDays_.end(), day); at != ownDays_.begin())
    found = *std::prev(at);
  if (running) {
    const int64_t stopDay = WorkDayOf(running->until, dayStart_);
    if (stopDay < day && (!found || stopDay > *found)) found = stopDay;
  }
  return found;
}

std::optional<int64_t> TWorkTotals::RecordsFrom(int64_t day,
                                                const std::optional<TRunningSpell>& running) const {
  std::optional<int64_t> found;
  if (auto at = std::lower_bound(ownDays_.begin(), ownDays_.end(), day); at != ownDays_.end())
    found = *at;
  if (running) {
    const int64_t stopDay = WorkDayOf(running->until, dayStart_);
    if (stopDay >= day && (!found || stopDay < *found)) found = stopDay;
  }
  return found;
}

std::optional<TWorkTotals::TSplitSpell> TWorkTotals::SpellAcross(
    int64_t day, const std::optional<TRunningSpell>& running) const {
  const std::optional<int64_t> before = RecordsBefore(day, running);
  if (!before) return std::nullopt;
  const std::optional<TDateTime> start = EndsOf(*before, running).lastStart;
  if (!start) return std::nullopt;
  const std::optional<int64_t> after = RecordsFrom(day, running);
  if (!after) return std::nullopt;
  const std::optional<TDateTime> stop = EndsOf(*after, running).firstStop;
  if (!stop) return std::nullopt;
  return TSplitSpell{*start, *stop};
}

std::pair<int64_t, int64_t> TWorkTotals::RunningDays(const TRunningSpell& running) const {
  const int64_t stopDay = WorkDayOf(running.until, dayStart_);
  return {RecordsBefore(stopDay, std::nullopt).value_or(stopDay),
          RecordsFrom(stopDay + 1, std::nullopt).value_or(stopDay)};
}

TDayFigures TWorkTotals::Day(int64_t day, const std::optional<TRunningSpell>& running) const {
  return Day(day, running, nullptr);
}

std::vector<TSpan> TWorkTotals::Spells(int64_t day,
                                       const std::optional<TRunningSpell>& running) const {
  std::vector<TSpan> spells;
  Day(day, running, &spells);
  return spells;
}

TDayFigures TWorkTotals::Day(int64_t day, const std::optional<TRunningSpell>& running,
                             std::vector<TSpan>* spells) const {
  TDayFigures figures = ReportFigures(day, running);
  if (spells) {
    if (const TDayReport* report = FoundReport(day)) {
      *spells = report->shownSpells;
      if (report->ownTable) {
        // The open table counts as its figures count it: with the running
        // spell's Stop paired with the Start that waits, and only when its
        // total is shown.
        std::vector<TSpan> open = report->tableSpells;
        TDateTime total = report->tableTotal;
        const std::optional<TDateTime> pending = report->pairing.PendingStart();
        if (running && pending && WorkDayOf(running->until, dayStart_) == day) {
          open.push_back({*pending, running->until});
          total += running->until - *pending;
        }
        if (total > 0) spells->insert(spells->end(), open.begin(), open.end());
      }
    }
  }
  // The parts of spells across the splits that begin and end the day, each
  // in its own whole seconds; a day without records inside such a spell
  // counts in full.
  auto part = [](TDateTime span) { return std::max<int64_t>(0, SpanSeconds(span).value_or(0)); };
  const TDateTime split = static_cast<TDateTime>(day) + dayStart_;
  const TDateTime nextSplit = static_cast<TDateTime>(day + 1) + dayStart_;
  const bool records = EndsOf(day, running).records;
  if (const std::optional<TSplitSpell> spell = SpellAcross(day, running)) {
    figures.firstIn = split;
    if (spells) spells->push_back({split, records ? spell->stop : nextSplit});
    if (!records) {
      figures.seconds = part(nextSplit - split);
      figures.lastOut = nextSplit;
      return figures;
    }
    figures.seconds += part(spell->stop - split);
  }
  if (!records) return figures;
  if (const std::optional<TSplitSpell> spell = SpellAcross(day + 1, running)) {
    figures.seconds += part(nextSplit - spell->start);
    figures.lastOut = nextSplit;
    if (spells) spells->push_back({spell->start, nextSplit});
  }
  return figures;
}

uint64_t TWorkTotals::NewVersion() {
  static std::atomic<uint64_t> versions{0};
  return versions.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::vector<int64_t> TWorkTotals::Days() const {
  std::vector<int64_t> days;
  days.reserve(days_.size());
  for (const auto& [day, report] : days_) days.push_back(day);
  // The days between two with records that a spell across them covers.
  for (auto at = ownDays_.begin(); at != ownDays_.end(); ++at) {
    const auto next = std::next(at);
    if (next == ownDays_.end() || *next <= *at + 1) continue;
    if (!SpellAcross(*next, std::nullopt)) continue;
    for (int64_t day = *at + 1; day < *next; ++day)
      if (!days_.count(day)) days.push_back(day);
  }
  return days;
}

int64_t TWorkTotals::WorkedOverTarget(int64_t from, int64_t through,
                                      const THoursSettings& settings) const {
  if (through < from) return 0;
  if (keptSum_ && keptSum_->from == from && keptSum_->through == through &&
      keptSum_->generation == generation_ && keptSum_->settings == settings)
    return keptSum_->value;
  int64_t sum = 0;
  for (const int64_t day : Days())
    if (day >= from && day <= through) sum += NetWorked(*this, settings, day);
  for (int64_t day = from; day <= through; ++day)
    sum -= settings.Target(day) - settings.Credit(day);
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
  hours.today = NetWorked(totals, settings, today, running);
  for (int64_t day = first; day < first + 7; ++day)
    hours.week += day == today ? hours.today : NetWorked(totals, settings, day, running);
  if (settings.HasTarget()) {
    const int64_t from = BalanceFirstDay(totals, settings, today);
    int64_t balance = settings.opening;
    if (today >= from) {
      balance += totals.WorkedOverTarget(from, today - 1, settings);
      // The running spell in the days before today: its Stop's day and the
      // days of the spells across splits it ends or breaks.
      if (running) {
        const auto [firstChanged, lastChanged] = totals.RunningDays(*running);
        for (int64_t day = std::max(from, firstChanged); day <= std::min(today - 1, lastChanged);
             ++day)
          balance += NetWorked(totals, settings, day, running) - NetWorked(totals, settings, day);
      }
      balance +=
          std::max<int64_t>(0, hours.today + settings.Credit(today) - settings.Target(today));
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
