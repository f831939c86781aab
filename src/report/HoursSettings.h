// The settings of a timesheet: a target of hours per weekday with days off,
// the day the flexitime balance counts from with a balance brought forward,
// and the hour at which a working day begins; the breaks the day's work
// needs, its limits, and the days of vacation, sickness and public holidays.
// All are optional: without them there is no target and no balance, days
// split at midnight, nothing is deducted and no day is absent.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/SettingsRules.h"
#include "platform/DateTime.h"
#include "report/Holidays.h"

namespace horalog {

// The target of each weekday in seconds, numbered as
// DateTimeFields::dayOfWeek (0 = Sunday ... 6 = Saturday); a weekday without
// one has the target 0.
using TWeekTargets = std::array<std::optional<int64_t>, 7>;

// Days of an absence: the first and last day number of a range, both
// included; half, a single day counted half.
struct TAbsenceDays {
  int64_t first = 0, last = 0;
  bool half = false;
  bool operator==(const TAbsenceDays&) const = default;
};

// A step of the breaks' rule: more than worked seconds of work need breaks
// of at least least seconds in all.
struct TBreakStep {
  int64_t worked = 0, least = 0;
  bool operator==(const TBreakStep&) const = default;
};

// The public holidays of the region set, if any; the same region is the
// same holidays.
class THolidays {
 public:
  THolidays() = default;
  explicit THolidays(const THolidayRegion& region)
      : region_(std::make_shared<const THolidayRegion>(region)) {}
  bool Set() const { return region_ != nullptr; }
  // The name of the holiday on day, or nothing.
  std::optional<std::string> On(int64_t day) const {
    return region_ ? region_->HolidayOn(day) : std::nullopt;
  }
  bool operator==(const THolidays& other) const {
    return Set() == other.Set() && (!Set() || region_->Code() == other.region_->Code());
  }

 private:
  std::shared_ptr<const THolidayRegion> region_;
};

struct THoursSettings {
  // The week's targets before the first day of datedTargets.
  TWeekTargets weekdayTargets;
  // Weeks of targets that hold from a day (a day number) on, each until the
  // next, in the order of their days.
  std::vector<std::pair<int64_t, TWeekTargets>> datedTargets;
  // Days whose target is 0: first and last day number of each range, both
  // included.
  std::vector<std::pair<int64_t, int64_t>> daysOff;
  // The first day the balance counts; without it, the day of the journal's
  // first live record.
  std::optional<int64_t> balanceFrom;
  // A balance brought forward, in seconds.
  int64_t opening = 0;
  // How long after midnight a working day begins (0 to half a day).
  TDateTime dayStart = 0;
  // The breaks' rule, its steps in the order of their hours, and the least
  // gap between two spells that counts as a break (seconds).
  std::vector<TBreakStep> breaks;
  int64_t breakPart = 15 * 60;
  // The day's limits, in seconds: net work a day, work without a break,
  // rest between two working days.
  std::optional<int64_t> maxDay, maxStretch, minRest;
  // Days of vacation and of sickness, the vacation days of a calendar year,
  // and the public holidays.
  std::vector<TAbsenceDays> vacation, sick;
  std::optional<int64_t> vacationDays;
  THolidays holidays;

  // Whether any target is set, before a date or from one: only then is there
  // a balance.
  bool HasTarget() const;
  // The target of a day (a day number), in seconds: 0 on a day off and on
  // a public holiday.
  int64_t Target(int64_t day) const;
  // What a day of vacation or sickness is credited: its target, half of it
  // for a half day; 0 on every other day.
  int64_t Credit(int64_t day) const;
  // What the day is, as the day summary names it: "Holiday: <its name>",
  // "Day off", "Sick", "Vacation" (with ", half day"), or nothing.
  std::string Absence(int64_t day) const;
  // The vacation a day takes: 1, a half day 0.5, otherwise 0.
  double VacationTaken(int64_t day) const;
  // Whether any key of breaks, limits or absences is set: each gives the
  // day summary columns of its own.
  bool CountsBreaks() const { return !breaks.empty(); }
  bool HasLimits() const { return maxDay || maxStretch || minRest; }
  bool HasAbsences() const { return !vacation.empty() || !sick.empty() || holidays.Set(); }
  // Whether the hours need each day's spells (TWorkTotals' keepSpells).
  bool NeedsSpells() const { return CountsBreaks() || maxStretch.has_value(); }

  bool operator==(const THoursSettings&) const = default;
};

// The day number of a date written yyyy-mm-dd (four, two and two digits);
// nothing for any other text or a day the calendar does not have.
std::optional<int64_t> DayFromText(std::string_view text);

// The settings file's section of these keys, edited by hand.
inline constexpr const char* HoursSection = "Hours";

// A key whose value cannot be read: it is ignored, the other keys still work.
using THoursSettingsProblem = TSettingsProblem;

// The settings from the keys' texts: value(key) gives a key's text, empty
// when the key is missing; keys are the names of the section's keys as
// written, in which the targets from a date are found. Keys whose text cannot
// be read are left out and named in problems. The keys: Target (Monday to
// Friday) and Sunday ... Saturday (each wins over Target), h:mm from 0:00 to
// 24:00; the same names with a date yyyy-mm-dd after a space, the targets
// from that day on: the keys of one date make a whole week of targets, as the
// keys without a date do, which holds until the next date; DaysOff, dates
// yyyy-mm-dd and ranges yyyy-mm-dd..yyyy-mm-dd separated by commas;
// BalanceFrom, a date; Opening, [+|-]h:mm up to 999:59; DayStart, h:mm from
// 0:00 to 12:00; Breaks, steps "h:mm h:mm" (hours worked, least break, each
// 0:00 to 24:00) separated by commas; BreakPart, 0:01 to 1:00; MaxDay,
// MaxStretch and MinRest, 0:01 to 24:00; Vacation and Sick, as DaysOff, a
// date followed by /2 a half day; VacationDays, 0 to 366; Holidays, a
// region's code (an unknown one cannot be read). Minutes are two digits
// below 60; spaces around a value or an item are passed over, and an empty
// value is a missing key. Names are matched whatever their case, as the
// settings file matches them.
THoursSettings ParseHoursSettings(const std::function<std::string(const std::string&)>& value,
                                  std::vector<THoursSettingsProblem>& problems,
                                  const std::vector<std::string>& keys = {});

// The log pane's line for a key that cannot be read in the settings file at
// path (a path as the log pane shows it): one line, "Cannot read
// DayStart=25:00 in [Hours] of C:\Horalog\Horalog.ini; it is ignored."
std::string HoursSettingsProblemText(const THoursSettingsProblem& problem,
                                     const std::string& path);

}  // namespace horalog
