#include "platform/DateTime.h"

#include <cmath>
#include <limits>

#include "platform/Platform.h"
#include "platform/SystemError.h"

namespace horalog {

namespace {

constexpr int64_t MSecsPerDayInt = 86400000;
// Day numbers of 1 January 0001 and 31 December 9999.
constexpr int64_t FirstDay = -693593;
constexpr int64_t LastDay = 2958465;
// Day 0 (30 December 1899) counted from 1 January 1970.
constexpr int64_t UnixEpochDay = 25569;

// Days since 1 January 1970 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The date of a count of days since 1 January 1970.
void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether text at position i starts with word (lower case), ignoring the case of A to Z.
bool StartsWithNoCase(std::string_view text, size_t i, std::string_view word) {
  if (text.size() - i < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (LowerAscii(text[i + k]) != word[k]) return false;
  }
  return true;
}

void AppendNumber(std::string& out, int value, int minDigits) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < minDigits) {
    out.append(static_cast<size_t>(minDigits) - digits.size(), '0');
  }
  out += digits;
}

// Whether the pattern holds an am/pm marker outside quoted text; hours are then
// shown on the 12-hour clock.
bool HoldsAmPm(std::string_view pattern) {
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '"' || c == '\'') {
      const size_t end = pattern.find(c, i + 1);
      if (end == std::string_view::npos) return false;
      i = end;
    } else if (StartsWithNoCase(pattern, i, "am/pm") || StartsWithNoCase(pattern, i, "a/p") ||
               StartsWithNoCase(pattern, i, "ampm")) {
      return true;
    }
  }
  return false;
}

std::string Format(std::string_view pattern, const DateTimeFields& f, const TLocale& locale) {
  const bool twelveHour = HoldsAmPm(pattern);
  std::string out;
  char lastToken = 0;  // the last date or time token, in lower case
  size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    const char token = LowerAscii(c);
    size_t run = 1;
    while (i + run < pattern.size() && LowerAscii(pattern[i + run]) == token) ++run;

    switch (token) {
      case 'd':
        if (run == 1) AppendNumber(out, f.day, 1);
        else if (run == 2) AppendNumber(out, f.day, 2);
        else if (run == 3) out += locale.shortDayNames[f.dayOfWeek];
        else out += locale.longDayNames[f.dayOfWeek];
        break;
      case 'm':
        if (run <= 2 && lastToken == 'h') AppendNumber(out, f.minute, static_cast<int>(run));
        else if (run <= 2) AppendNumber(out, f.month, static_cast<int>(run));
        else if (run == 3) out += locale.shortMonthNames[f.month - 1];
        else out += locale.longMonthNames[f.month - 1];
        break;
      case 'y':
        if (run <= 2) AppendNumber(out, f.year % 100, 2);
        else AppendNumber(out, f.year, 4);
        break;
      case 'h': {
        int hour = f.hour;
        if (twelveHour) {
          hour %= 12;
          if (hour == 0) hour = 12;
        }
        AppendNumber(out, hour, run == 1 ? 1 : 2);
        break;
      }
      case 'n':
        AppendNumber(out, f.minute, run == 1 ? 1 : 2);
        break;
      case 's':
        AppendNumber(out, f.second, run == 1 ? 1 : 2);
        break;
      case 'z':
        AppendNumber(out, f.millisecond, run >= 3 ? 3 : 1);
        break;
      case 'a':
        run = 1;
        if (StartsWithNoCase(pattern, i, "am/pm")) {
          // "am" or "pm" in the letter case they are written in.
          out.append(pattern.substr(f.hour >= 12 ? i + 3 : i, 2));
          run = 5;
        } else if (StartsWithNoCase(pattern, i, "a/p")) {
          out += pattern[f.hour >= 12 ? i + 2 : i];
          run = 3;
        } else if (StartsWithNoCase(pattern, i, "ampm")) {
          out += f.hour >= 12 ? locale.timePMString : locale.timeAMString;
          run = 4;
        } else {
          out += c;
          break;
        }
        break;
      case '/':
        run = 1;
        out += locale.dateSeparator;
        break;
      case ':':
        run = 1;
        out += locale.timeSeparator;
        break;
      case '"':
      case '\'': {
        // Quoted text is copied without its quotes; an open quote runs to the end.
        const size_t end = pattern.find(c, i + 1);
        const size_t stop = end == std::string_view::npos ? pattern.size() : end;
        out.append(pattern.substr(i + 1, stop - i - 1));
        run = (end == std::string_view::npos ? stop : stop + 1) - i;
        break;
      }
      default:
        run = 1;
        out += c;
        break;
    }
    if (token == 'd' || token == 'm' || token == 'y' || token == 'h' || token == 'n' ||
        token == 's' || token == 'z') {
      lastToken = token;
    }
    i += run;
  }
  return out;
}

}  // namespace

TDateTime WholePart(TDateTime value) { return std::trunc(value); }

TDateTime FractionPart(TDateTime value) { return value - std::trunc(value); }

int64_t DayNumber(TDateTime value) {
  if (std::isnan(value)) return 0;
  // 2^63 is exactly representable; every double below it converts.
  constexpr double limit = 9223372036854775808.0;
  if (value >= limit) return std::numeric_limits<int64_t>::max();
  if (value < -limit) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

TDateTime ComposeTime(uint16_t hour, uint16_t minute, uint16_t second, uint16_t millisecond) {
  if (hour >= 24 || minute >= 60 || second >= 60 || millisecond >= 1000) {
    throw EConvertError("Invalid argument to time encode");
  }
  const double msecs = hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + millisecond;
  return msecs / MSecsPerDay;
}

TDateTime ComposeDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    throw EConvertError("Invalid argument to date encode");
  }
  return static_cast<double>(DaysFromCivil(year, month, day) + UnixEpochDay);
}

bool DecodeDateTime(TDateTime value, DateTimeFields& fields) {
  if (!std::isfinite(value)) return false;
  // Well outside the calendar; keeps the millisecond count far from overflow.
  if (value < static_cast<double>(FirstDay - 2) || value > static_cast<double>(LastDay + 2)) {
    return false;
  }
  // Rounded to whole milliseconds first, so that 23:59:59.9996 becomes the next
  // midnight (one day further from day 0) and never an hour 24.
  const int64_t total = static_cast<int64_t>(std::llround(value * MSecsPerDay));
  const int64_t dayNumber = total / MSecsPerDayInt;  // towards zero, as the integral part
  int64_t msOfDay = total % MSecsPerDayInt;
  if (msOfDay < 0) msOfDay = -msOfDay;  // clock fields of the absolute fraction
  if (dayNumber < FirstDay || dayNumber > LastDay) return false;

  CivilFromDays(dayNumber - UnixEpochDay, fields.year, fields.month, fields.day);
  fields.dayOfWeek = static_cast<int>(((dayNumber % 7) + 7 + 6) % 7);  // day 0 is a Saturday
  fields.hour = static_cast<int>(msOfDay / 3600000);
  fields.minute = static_cast<int>(msOfDay / 60000 % 60);
  fields.second = static_cast<int>(msOfDay / 1000 % 60);
  fields.millisecond = static_cast<int>(msOfDay % 1000);
  return true;
}

std::string FormatDateTime(std::string_view pattern, TDateTime value, const TLocale& locale) {
  DateTimeFields fields;
  if (!DecodeDateTime(value, fields)) return InvalidDateTimeText;
  return Format(pattern, fields, locale);
}

std::string FormatDateTime(std::string_view pattern, TDateTime value) {
  return FormatDateTime(pattern, value, platform::UserLocale());
}

std::string DateTimeText(TDateTime value, const TLocale& locale) {
  DateTimeFields fields;
  if (!DecodeDateTime(value, fields)) return InvalidDateTimeText;
  std::string text = Format(locale.shortDateFormat, fields, locale);
  if (fields.hour != 0 || fields.minute != 0 || fields.second != 0) {
    text += ' ';
    text += Format(locale.longTimeFormat, fields, locale);
  }
  return text;
}

std::string DateTimeText(TDateTime value) { return DateTimeText(value, platform::UserLocale()); }

std::string TimeText(TDateTime value, const TLocale& locale) {
  return FormatDateTime(locale.longTimeFormat, value, locale);
}

std::string TimeText(TDateTime value) { return TimeText(value, platform::UserLocale()); }

std::string ClockText(TDateTime value, const TLocale& locale) {
  std::string pattern = locale.longTimeFormat;
  for (size_t i = 0; i < pattern.size();) {
    const char c = pattern[i];
    if (c == '"' || c == '\'') {
      // Quoted text stays as it is.
      const size_t end = pattern.find(c, i + 1);
      i = end == std::string::npos ? pattern.size() : end + 1;
    } else if (c == 's' || c == 'S') {
      size_t from = i, to = i;
      while (to < pattern.size() && (pattern[to] == 's' || pattern[to] == 'S')) ++to;
      if (from > 0 && (pattern[from - 1] == ':' || pattern[from - 1] == '.')) --from;
      // Quoted text right after the seconds names them ("ss' s'").
      if (to < pattern.size() && (pattern[to] == '"' || pattern[to] == '\'')) {
        const size_t end = pattern.find(pattern[to], to + 1);
        to = end == std::string::npos ? pattern.size() : end + 1;
      }
      pattern.erase(from, to - from);
      i = from;
    } else {
      ++i;
    }
  }
  return FormatDateTime(pattern, value, locale);
}

}  // namespace horalog
