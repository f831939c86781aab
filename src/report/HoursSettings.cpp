#include "report/HoursSettings.h"

#include <algorithm>
#include <map>

#include "platform/SystemError.h"

namespace horalog {

namespace {

bool AnyTarget(const TWeekTargets& week) {
  return std::any_of(week.begin(), week.end(),
                     [](const std::optional<int64_t>& target) { return target.has_value(); });
}

}  // namespace

bool THoursSettings::HasTarget() const {
  return AnyTarget(weekdayTargets) ||
         std::any_of(datedTargets.begin(), datedTargets.end(),
                     [](const auto& dated) { return AnyTarget(dated.second); });
}

namespace {

bool InDaysOff(const std::vector<std::pair<int64_t, int64_t>>& daysOff, int64_t day) {
  for (const auto& [first, last] : daysOff)
    if (day >= first && day <= last) return true;
  return false;
}

// The absence of the list that holds day, if any (the last one listed wins).
const TAbsenceDays* AbsenceOn(const std::vector<TAbsenceDays>& list, int64_t day) {
  const TAbsenceDays* found = nullptr;
  for (const TAbsenceDays& days : list)
    if (day >= days.first && day <= days.last) found = &days;
  return found;
}

}  // namespace

int64_t THoursSettings::Credit(int64_t day) const {
  if (vacation.empty() && sick.empty()) return 0;
  // Sickness in a vacation keeps the vacation day.
  const TAbsenceDays* absence = AbsenceOn(sick, day);
  if (!absence) absence = AbsenceOn(vacation, day);
  if (!absence) return 0;
  const int64_t target = Target(day);
  return absence->half ? target / 2 : target;
}

double THoursSettings::VacationTaken(int64_t day) const {
  const TAbsenceDays* absence = AbsenceOn(vacation, day);
  if (!absence || AbsenceOn(sick, day) || Target(day) == 0) return 0;
  return absence->half ? 0.5 : 1;
}

std::string THoursSettings::Absence(int64_t day) const {
  if (const std::optional<std::string> holiday = holidays.On(day)) return "Holiday: " + *holiday;
  if (InDaysOff(daysOff, day)) return "Day off";
  if (Target(day) == 0) return "";
  if (const TAbsenceDays* absence = AbsenceOn(sick, day))
    return absence->half ? "Sick, half day" : "Sick";
  if (const TAbsenceDays* absence = AbsenceOn(vacation, day))
    return absence->half ? "Vacation, half day" : "Vacation";
  return "";
}

int64_t THoursSettings::Target(int64_t day) const {
  if (InDaysOff(daysOff, day)) return 0;
  if (holidays.Set() && holidays.On(day)) return 0;
  const TWeekTargets* week = &weekdayTargets;
  for (const auto& [from, targets] : datedTargets) {
    if (from > day) break;
    week = &targets;
  }
  // Day 0, 30 December 1899, was a Saturday.
  const int weekday = static_cast<int>(((day % 7) + 7 + 6) % 7);
  return (*week)[static_cast<size_t>(weekday)].value_or(0);
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number of the digits text[from, from + count), all of which must be digits.
std::optional<int> Digits(std::string_view text, size_t from, size_t count) {
  if (from + count > text.size()) return std::nullopt;
  int value = 0;
  for (size_t i = from; i < from + count; ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// h:mm with at most maxHourDigits hours and two digits of minutes below 60,
// as seconds no longer than limit.
std::optional<int64_t> HoursValue(std::string_view text, size_t maxHourDigits,
                                  int64_t limitSeconds) {
  const size_t colon = text.find(':');
  if (colon == 0 || colon == std::string_view::npos || colon > maxHourDigits ||
      text.size() != colon + 3)
    return std::nullopt;
  const std::optional<int> hours = Digits(text, 0, colon);
  const std::optional<int> minutes = Digits(text, colon + 1, 2);
  if (!hours || !minutes || *minutes > 59) return std::nullopt;
  const int64_t seconds = (int64_t{*hours} * 60 + *minutes) * 60;
  if (seconds > limitSeconds) return std::nullopt;
  return seconds;
}

// A target: 0:00 to 24:00.
std::optional<int64_t> TargetValue(std::string_view text) {
  return HoursValue(text, 2, 24 * 3600);
}

// A balance brought forward: an optional sign, then up to 999:59, so that
// the tip's balance keeps to a few characters.
std::optional<int64_t> OpeningValue(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  const std::optional<int64_t> seconds = HoursValue(text, 3, 999 * 3600 + 59 * 60);
  if (!seconds) return std::nullopt;
  return negative ? -*seconds : *seconds;
}

// The working day's start: 0:00 to 12:00, as a span of days (0 exactly at 0:00).
std::optional<TDateTime> DayStartValue(std::string_view text) {
  const std::optional<int64_t> seconds = HoursValue(text, 2, 12 * 3600);
  if (!seconds) return std::nullopt;
  return static_cast<double>(*seconds / 60) / 1440.0;
}

// Dates and ranges separated by commas; empty items are passed over.
std::optional<std::vector<std::pair<int64_t, int64_t>>> DaysOffValue(std::string_view text) {
  std::vector<std::pair<int64_t, int64_t>> ranges;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view item = TrimmedSetting(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (item.empty()) continue;
    const size_t dots = item.find("..");
    const std::optional<int64_t> first = DayFromText(TrimmedSetting(item.substr(0, dots)));
    const std::optional<int64_t> last =
        dots == std::string_view::npos ? first : DayFromText(TrimmedSetting(item.substr(dots + 2)));
    if (!first || !last || *last < *first) return std::nullopt;
    ranges.emplace_back(*first, *last);
  }
  return ranges;
}

// Vacation and Sick: as DaysOff, and a date followed by /2 is a half day.
std::optional<std::vector<TAbsenceDays>> AbsenceValue(std::string_view text) {
  std::vector<TAbsenceDays> list;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    std::string_view item = TrimmedSetting(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (item.empty()) continue;
    const bool half = item.size() > 2 && item.substr(item.size() - 2) == "/2";
    if (half) item = TrimmedSetting(item.substr(0, item.size() - 2));
    const std::optional<std::vector<std::pair<int64_t, int64_t>>> days = DaysOffValue(item);
    if (!days || days->size() != 1) return std::nullopt;
    const auto [first, last] = days->front();
    if (half && first != last) return std::nullopt;
    list.push_back({first, last, half});
  }
  return list;
}

// Breaks: steps "h:mm h:mm" separated by commas, in the order of their hours.
std::optional<std::vector<TBreakStep>> BreaksValue(std::string_view text) {
  std::vector<TBreakStep> steps;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view item = TrimmedSetting(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (item.empty()) continue;
    const size_t space = item.find_first_of(" \t");
    if (space == std::string_view::npos) return std::nullopt;
    const std::optional<int64_t> worked = TargetValue(item.substr(0, space));
    const std::optional<int64_t> least = TargetValue(TrimmedSetting(item.substr(space)));
    if (!worked || !least) return std::nullopt;
    steps.push_back({*worked, *least});
  }
  std::stable_sort(steps.begin(), steps.end(),
                   [](const TBreakStep& a, const TBreakStep& b) { return a.worked < b.worked; });
  return steps;
}

// h:mm from low to high seconds.
auto SpanValue(int64_t low, int64_t high) {
  return [low, high](std::string_view text) -> std::optional<int64_t> {
    const std::optional<int64_t> seconds = HoursValue(text, 2, high);
    if (!seconds || *seconds < low) return std::nullopt;
    return seconds;
  };
}

// Whole days of a year: 0 to 366.
std::optional<int64_t> VacationDaysValue(std::string_view text) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  const std::optional<int> days = Digits(text, 0, text.size());
  if (!days || *days > 366) return std::nullopt;
  return *days;
}

// A region's code that the holidays' table knows.
std::optional<THolidays> HolidaysValue(std::string_view text) {
  const std::optional<THolidayRegion> region = FindHolidayRegion(text);
  if (!region) return std::nullopt;
  return THolidays(*region);
}

}  // namespace

std::optional<int64_t> DayFromText(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const std::optional<int> year = Digits(text, 0, 4), month = Digits(text, 5, 2),
                           day = Digits(text, 8, 2);
  if (!year || !month || !day) return std::nullopt;
  try {
    return DayNumber(ComposeDate(*year, *month, *day));
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

namespace {

// The keys of a week's targets in the order they are read: Target, then the
// weekdays, numbered as DateTimeFields::dayOfWeek from 1 on.
constexpr std::array<const char*, 8> TargetKeys{"Target",    "Sunday",   "Monday",
                                                "Tuesday",   "Wednesday", "Thursday",
                                                "Friday",    "Saturday"};

// The keys of one week's targets as read: Target, and each weekday's own.
struct TTargetKeys {
  std::optional<int64_t> target;
  TWeekTargets weekdays;

  void Set(size_t key, int64_t seconds) { (key == 0 ? target : weekdays[key - 1]) = seconds; }
  // Target holds Monday to Friday where a weekday has none of its own.
  TWeekTargets Week() const {
    TWeekTargets week = weekdays;
    for (size_t weekday = 1; weekday <= 5; ++weekday)
      if (!week[weekday]) week[weekday] = target;
    return week;
  }
};

bool SameLetters(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
           return lower(x) == lower(y);
         });
}

// A key of a target from a date: a name of TargetKeys, a space, and what
// should be the date.
struct TDatedKey {
  size_t key = 0;  // in TargetKeys
  std::string_view date;
};

std::optional<TDatedKey> DatedKey(std::string_view name) {
  for (size_t key = 0; key < TargetKeys.size(); ++key) {
    const std::string_view keyName = TargetKeys[key];
    if (name.size() > keyName.size() && SameLetters(name.substr(0, keyName.size()), keyName) &&
        (name[keyName.size()] == ' ' || name[keyName.size()] == '\t'))
      return TDatedKey{key, TrimmedSetting(name.substr(keyName.size()))};
  }
  return std::nullopt;
}

}  // namespace

THoursSettings ParseHoursSettings(const std::function<std::string(const std::string&)>& value,
                                  std::vector<THoursSettingsProblem>& problems,
                                  const std::vector<std::string>& keys) {
  THoursSettings settings;
  // Reads one key: nothing when it is missing or empty; a problem when its
  // text does not convert.
  auto read = [&](const std::string& key, auto convert) {
    return ReadSetting(key, value(key), convert, problems);
  };

  TTargetKeys undated;
  for (size_t key = 0; key < TargetKeys.size(); ++key)
    if (const auto target = read(TargetKeys[key], TargetValue)) undated.Set(key, *target);
  settings.weekdayTargets = undated.Week();
  // A key whose date cannot be read cannot be read as a whole.
  std::map<int64_t, TTargetKeys> dated;
  for (const std::string& name : keys) {
    const std::optional<TDatedKey> key = DatedKey(name);
    if (!key) continue;
    const std::optional<int64_t> day = DayFromText(key->date);
    const auto target = read(name, [&day](std::string_view text) {
      return day ? TargetValue(text) : std::nullopt;
    });
    if (target) dated[*day].Set(key->key, *target);
  }
  for (const auto& [day, targets] : dated) settings.datedTargets.emplace_back(day, targets.Week());

  if (auto daysOff = read("DaysOff", DaysOffValue)) settings.daysOff = std::move(*daysOff);
  settings.balanceFrom = read("BalanceFrom", DayFromText);
  settings.opening = read("Opening", OpeningValue).value_or(0);
  settings.dayStart = read("DayStart", DayStartValue).value_or(0);

  if (auto breaks = read("Breaks", BreaksValue)) settings.breaks = std::move(*breaks);
  settings.breakPart = read("BreakPart", SpanValue(60, 3600)).value_or(15 * 60);
  settings.maxDay = read("MaxDay", SpanValue(60, 24 * 3600));
  settings.maxStretch = read("MaxStretch", SpanValue(60, 24 * 3600));
  settings.minRest = read("MinRest", SpanValue(60, 24 * 3600));
  if (auto vacation = read("Vacation", AbsenceValue)) settings.vacation = std::move(*vacation);
  if (auto sick = read("Sick", AbsenceValue)) settings.sick = std::move(*sick);
  settings.vacationDays = read("VacationDays", VacationDaysValue);
  if (auto holidays = read("Holidays", HolidaysValue)) settings.holidays = std::move(*holidays);
  return settings;
}

std::string HoursSettingsProblemText(const THoursSettingsProblem& problem,
                                     const std::string& path) {
  return SettingsProblemText(HoursSection, problem, path);
}

}  // namespace horalog
