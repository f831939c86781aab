#include "report/WorkTotals.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "data/Errors.h"
#include "platform/Platform.h"

namespace horalog {

namespace {

// Records read back from the end at a time: a week of an ordinary journal
// lies in the first block.
constexpr int64_t TailBlockRecords = 1024;

}  // namespace

TDateTime WeekStart(TDateTime moment, int firstDayOfWeek) {
  const TDateTime day = WholePart(moment);
  DateTimeFields fields;
  if (!DecodeDateTime(day, fields)) return day;
  return day - ((fields.dayOfWeek - firstDayOfWeek) % 7 + 7) % 7;
}

void TWorkTotals::Reset(TDateTime from) {
  from_ = from;
  pairing_ = TDayPairing();
  days_.clear();
}

void TWorkTotals::Take(const TActRec& record) {
  // As the report for a range from `from` on, without end, takes them.
  if (TakenForRange(record, from_, std::numeric_limits<TDateTime>::infinity()))
    pairing_.Take(record, *this);
}

void TWorkTotals::Pair(TDateTime start, TDateTime stop) { days_[DayNumber(start)] += stop - start; }

TWorkHours TWorkTotals::At(TDateTime now, int firstDayOfWeek,
                           std::optional<TDateTime> activeUntil) const {
  const int64_t today = DayNumber(now);
  const int64_t first = DayNumber(WeekStart(now, firstDayOfWeek));
  auto dayTotal = [&](int64_t day) {
    const auto found = days_.find(day);
    TDateTime total = found == days_.end() ? 0 : found->second;
    // The running spell, as its pair will count once it has ended.
    const std::optional<TDateTime> start = pairing_.PendingStart();
    if (day == today && activeUntil && start && DayNumber(*start) == today)
      total += *activeUntil - *start;
    return total > 0 ? total : 0;
  };
  TWorkHours hours;
  hours.today = dayTotal(today);
  for (int64_t day = first; day < first + 7; ++day) hours.week += dayTotal(day);
  return hours;
}

void LoadWorkTotals(const std::string& dataPath, TDateTime from, TWorkTotals& totals) {
  totals.Reset(from);
  if (!platform::FileExists(dataPath)) return;
  platform::File file = platform::File::Open(dataPath, platform::OpenMode::Read);
  const int64_t count = file.Size() / static_cast<int64_t>(RecordSize);
  // Blocks from the end backwards, each cut where an earlier record ends the
  // tail.
  std::vector<std::vector<TActRec>> blocks;
  bool reached = false;
  for (int64_t end = count; end > 0 && !reached;) {
    const int64_t n = std::min(TailBlockRecords, end);
    end -= n;
    std::vector<TActRec> block(static_cast<size_t>(n));
    file.Seek(end * static_cast<int64_t>(RecordSize));
    const size_t bytes = block.size() * RecordSize;
    if (file.Read(block.data(), bytes) != bytes) throw EInOutError(IoReadBeyondEnd);
    for (size_t i = block.size(); i-- > 0;) {
      if (block[i].Status == StatusLive && block[i].Time < from) {
        block.erase(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        reached = true;
        break;
      }
    }
    blocks.push_back(std::move(block));
  }
  file.Close();
  for (auto block = blocks.rbegin(); block != blocks.rend(); ++block)
    for (const TActRec& record : *block) totals.Take(record);
}

std::string HoursText(TDateTime span) {
  // Whole milliseconds first, as the clock counts them, so that a difference
  // of exactly 6:42 does not read 6:41.
  const double ms = std::isfinite(span) ? std::min(std::round(span * MSecsPerDay), 1e15) : 0;
  const int64_t minutes = ms > 0 ? static_cast<int64_t>(ms / 60000) : 0;
  const int64_t mm = minutes % 60;
  return std::to_string(minutes / 60) + (mm < 10 ? ":0" : ":") + std::to_string(mm);
}

std::string WorkHoursTip(const std::string& name, const TWorkHours& hours) {
  return name + "\nToday " + HoursText(hours.today) + "\nThis week " + HoursText(hours.week);
}

}  // namespace horalog
