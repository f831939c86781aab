#include "report/Holidays.h"

#include <algorithm>
#include <map>

#include "report/HolidayTable.h"

namespace horalog {

namespace {

// Day numbers as DayFromText gives them (days since 30 December 1899) of a
// date of the Gregorian calendar, without the checks of ComposeDate: month 1
// to 12, any day (a day past the month's end runs into the next).
int64_t DayOf(int64_t year, int month, int day) {
  // Days from 1 March of year 0, as the civil calendar counts them.
  const int64_t y = month <= 2 ? year - 1 : year;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yearOfEra = y - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  // 1 January 1970 is day 719468 of that count and day 25569 of ours.
  return era * 146097 + dayOfEra - 719468 + 25569;
}

int MonthLength(int year, int month) {
  static constexpr int Lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : Lengths[month - 1];
}

int WeekdayOf(int64_t day) { return static_cast<int>(((day + 6) % 7 + 7) % 7); }  // 0 Sunday

// Easter Sunday of the Gregorian calendar (the anonymous Gregorian computus).
int64_t Easter(int year) {
  const int a = year % 19, b = year / 100, c = year % 100, d = b / 4, e = b % 4;
  const int f = (b + 8) / 25, g = (b - f + 1) / 3, h = (19 * a + b - d - g + 15) % 30;
  const int i = c / 4, k = c % 4, l = (32 + 2 * e + 2 * i - h - k) % 7;
  const int m = (a + 11 * h + 22 * l) / 451, n = h + l - 7 * m + 114;
  return DayOf(year, n / 31, n % 31 + 1);
}

// Orthodox Easter Sunday: the Julian computus, 13 days on in the Gregorian
// calendar (right for 1900 to 2099).
int64_t OrthodoxEaster(int year) {
  const int a = year % 4, b = year % 7, c = year % 19, d = (19 * c + 15) % 30;
  const int e = (2 * a + 4 * b - d + 34) % 7, n = d + e + 114;
  return DayOf(year, n / 31, n % 31 + 1) + 13;
}

// A rule of the table: a day in each year of a run. The kinds and their
// numbers are those of scripts/holidays/table.js.
struct TRule {
  int kind = 0;
  int64_t a = 0, b = 0;
  int first = 0, last = -1;

  std::optional<int64_t> DayIn(int year) const {
    const auto fixed = [year](int64_t monthDay) -> std::optional<int64_t> {
      const int month = static_cast<int>(monthDay >> 5), day = static_cast<int>(monthDay & 31);
      if (month < 1 || month > 12 || day < 1 || day > MonthLength(year, month)) return std::nullopt;
      return DayOf(year, month, day);
    };
    switch (kind) {
      case 0: return fixed(a);
      case 1: return Easter(year) + a;
      case 2: return OrthodoxEaster(year) + a;
      case 3: {
        const std::optional<int64_t> base = fixed(a);
        if (!base) return std::nullopt;
        return *base + (b - WeekdayOf(*base) + 7) % 7;
      }
      case 4: {
        const std::optional<int64_t> base = fixed(a);
        if (!base) return std::nullopt;
        const int64_t digit = (b >> (3 * WeekdayOf(*base))) & 7;
        if (digit == 0) return std::nullopt;
        return *base + digit - 4;
      }
      default: return std::nullopt;
    }
  }
};

// The days of one name in a region: given by rules, or listed as runs of
// days (first and last, both included). name is an index of TTable::names,
// or -1: the days are taken away from the parent's.
struct TGroup {
  int name = -1;
  std::vector<TRule> rules;
  std::vector<std::pair<int64_t, int64_t>> runs;
};

struct TTableRegion {
  std::string code;
  int parent = -1;  // an index of TTable::regions before this one, or -1
  std::vector<TGroup> groups;
};

struct TTable {
  std::vector<std::string> names;
  std::vector<TTableRegion> regions;
};

// Reads the table's numbers; past its end every number is 0, so a table cut
// short gives fewer regions, never a read outside it.
class TReader {
 public:
  TReader(const char* bytes, size_t size) : bytes_(bytes), size_(size) {}

  uint64_t Count() {
    uint64_t value = 0;
    for (int shift = 0; pos_ < size_ && shift < 64; shift += 7) {
      const auto byte = static_cast<unsigned char>(bytes_[pos_++]);
      value |= static_cast<uint64_t>(byte & 0x7f) << shift;
      if (!(byte & 0x80)) break;
    }
    return value;
  }
  int64_t Signed() {
    const uint64_t value = Count();
    return value & 1 ? -static_cast<int64_t>(value >> 1) - 1 : static_cast<int64_t>(value >> 1);
  }
  std::string Text() {
    const uint64_t length = std::min<uint64_t>(Count(), size_ - pos_);
    std::string text(bytes_ + pos_, length);
    pos_ += length;
    return text;
  }
  bool AtEnd() const { return pos_ >= size_; }

 private:
  const char* bytes_;
  size_t size_;
  size_t pos_ = 0;
};

// A count of days as the table gives it, no more than the table's years hold.
int64_t Days(uint64_t count) { return static_cast<int64_t>(std::min<uint64_t>(count, 1 << 20)); }

TTable ReadTable() {
  TTable table;
  TReader in(HolidayTableBytes, HolidayTableSize);
  for (uint64_t n = in.Count(); n > 0 && !in.AtEnd(); --n) table.names.push_back(in.Text());
  const int64_t origin = DayOf(HolidayFirstYear, 1, 1);
  for (uint64_t n = in.Count(); n > 0 && !in.AtEnd(); --n) {
    TTableRegion region;
    region.code = in.Text();
    const uint64_t parent = in.Count();
    if (parent > 0 && parent <= table.regions.size()) region.parent = static_cast<int>(parent - 1);
    for (uint64_t groups = in.Count(); groups > 0 && !in.AtEnd(); --groups) {
      TGroup group;
      const uint64_t name = in.Count();
      group.name = name > 0 && name <= table.names.size() ? static_cast<int>(name - 1) : -1;
      for (uint64_t rules = in.Count(); rules > 0 && !in.AtEnd(); --rules) {
        TRule rule;
        rule.kind = static_cast<int>(in.Count());
        rule.a = rule.kind == 1 || rule.kind == 2 ? in.Signed() : static_cast<int64_t>(in.Count());
        if (rule.kind == 3 || rule.kind == 4) rule.b = static_cast<int64_t>(in.Count());
        rule.first = HolidayFirstYear + static_cast<int>(std::min<uint64_t>(in.Count(), 10000));
        rule.last = rule.first + static_cast<int>(std::min<uint64_t>(in.Count(), 10000));
        group.rules.push_back(rule);
      }
      int64_t previous = origin;
      for (uint64_t runs = in.Count(); runs > 0 && !in.AtEnd(); --runs) {
        const int64_t first = previous + Days(in.Count());
        previous = first + Days(in.Count());
        group.runs.emplace_back(first, previous);
      }
      region.groups.push_back(std::move(group));
    }
    table.regions.push_back(std::move(region));
  }
  return table;
}

// The table, read on first use.
const TTable& Table() {
  static const TTable table = ReadTable();
  return table;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameCode(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return Upper(x) == Upper(y);
         });
}

}  // namespace

// A region's holidays of every year the table knows: day numbers in order,
// each with an index of TTable::names.
struct THolidayRegion::TDays {
  std::vector<std::pair<int64_t, int>> days;
};

THolidayRegion::THolidayRegion(std::string code, std::shared_ptr<const TDays> days)
    : code_(std::move(code)), days_(std::move(days)) {}

const std::string& THolidayRegion::Code() const { return code_; }

std::optional<std::string> THolidayRegion::HolidayOn(int64_t day) const {
  const auto& days = days_->days;
  const auto found = std::lower_bound(days.begin(), days.end(), std::make_pair(day, -1));
  if (found == days.end() || found->first != day) return std::nullopt;
  return Table().names[static_cast<size_t>(found->second)];
}

std::vector<std::pair<int64_t, std::string>> THolidayRegion::HolidaysIn(int year) const {
  std::vector<std::pair<int64_t, std::string>> holidays;
  if (year < HolidayFirstYear || year > HolidayLastYear) return holidays;
  const auto& days = days_->days;
  auto it = std::lower_bound(days.begin(), days.end(), std::make_pair(DayOf(year, 1, 1), -1));
  for (const int64_t end = DayOf(year + 1, 1, 1); it != days.end() && it->first < end; ++it)
    holidays.emplace_back(it->first, Table().names[static_cast<size_t>(it->second)]);
  return holidays;
}

std::optional<THolidayRegion> FindHolidayRegion(std::string_view code) {
  const TTable& table = Table();
  const auto region =
      std::find_if(table.regions.begin(), table.regions.end(),
                   [code](const TTableRegion& r) { return SameCode(r.code, code); });
  if (region == table.regions.end()) return std::nullopt;

  // The region's layers from its country down: each layer's days replace
  // those of the layers above on the same day, or take them away.
  std::vector<const TTableRegion*> layers;
  for (const TTableRegion* layer = &*region; layer && layers.size() < 8;
       layer = layer->parent >= 0 ? &table.regions[static_cast<size_t>(layer->parent)] : nullptr)
    layers.insert(layers.begin(), layer);
  const int64_t first = DayOf(HolidayFirstYear, 1, 1), last = DayOf(HolidayLastYear, 12, 31);
  std::map<int64_t, int> days;
  for (const TTableRegion* layer : layers) {
    for (const TGroup& group : layer->groups) {
      const auto put = [&days, &group, first, last](int64_t day) {
        if (day < first || day > last) return;
        if (group.name < 0)
          days.erase(day);
        else
          days[day] = group.name;
      };
      for (const TRule& rule : group.rules) {
        for (int year = std::max(rule.first, HolidayFirstYear);
             year <= std::min(rule.last, HolidayLastYear); ++year)
          if (const std::optional<int64_t> day = rule.DayIn(year)) put(*day);
      }
      for (const auto& [from, to] : group.runs)
        for (int64_t day = from; day <= to && day <= last; ++day) put(day);
    }
  }
  auto expanded = std::make_shared<THolidayRegion::TDays>();
  expanded->days.assign(days.begin(), days.end());
  return THolidayRegion(region->code, std::move(expanded));
}

std::vector<std::string> HolidayRegionCodes() {
  std::vector<std::string> codes;
  for (const TTableRegion& region : Table().regions) codes.push_back(region.code);
  return codes;
}

}  // namespace horalog
