// The one date-time type and its text forms.
//
// A TDateTime counts days since 30 December 1899 (day 0); the fraction is the
// time of day. Spans are differences in days.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace horalog {

using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;
constexpr TDateTime OneSecond = 1.0 / 86400.0;
constexpr TDateTime OneMinute = 1.0 / 1440.0;

// The value with its fraction dropped (a date at midnight).
TDateTime WholePart(TDateTime value);
// The value minus its integral part (the time of day).
TDateTime FractionPart(TDateTime value);
// The integral part as a day number; the key of a calendar day. Values that
// are not numbers give 0 and values beyond the 64-bit range saturate.
int64_t DayNumber(TDateTime value);

// The span (hour*3600000 + minute*60000 + second*1000 + millisecond) / 86400000
// days. Fails with EConvertError "Invalid argument to time encode" unless
// hour < 24, minute < 60, second < 60 and millisecond < 1000.
TDateTime ComposeTime(uint16_t hour, uint16_t minute, uint16_t second, uint16_t millisecond);
// The date at midnight; fails with EConvertError "Invalid argument to date
// encode" outside years 1 to 9999 or for a day the month does not have.
TDateTime ComposeDate(int year, int month, int day);

// The fields of a value, as the text forms show them: the value is rounded to
// whole milliseconds; the clock fields come from the absolute value of the
// fraction. False when the value is not a number or lies outside the calendar
// (years 1 to 9999); then the fields are left untouched.
struct DateTimeFields {
  int year = 0, month = 0, day = 0;  // month 1-12, day 1-31
  int dayOfWeek = 0;                 // 0 = Sunday ... 6 = Saturday
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};
bool DecodeDateTime(TDateTime value, DateTimeFields& fields);

// The user's names and formats. Formats use the pattern language of
// FormatDateTime. The defaults are the English fallbacks.
struct TLocale {
  std::array<std::string, 7> shortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> longDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> longMonthNames{"January", "February", "March",     "April",
                                             "May",     "June",     "July",      "August",
                                             "September", "October", "November", "December"};
  std::string dateSeparator = "/";
  std::string timeSeparator = ":";
  std::string shortDateFormat = "m/d/yyyy";
  std::string longTimeFormat = "h:mm:ss AMPM";
  std::string timeAMString = "AM";
  std::string timePMString = "PM";
  // Numbers: the decimal separator and the separator of list items, as the
  // user set them (either may be empty or longer than one character).
  std::string decimalSeparator = ".";
  std::string listSeparator = ",";
  // The first day of the week, numbered as DateTimeFields::dayOfWeek
  // (0 = Sunday ... 6 = Saturday).
  int firstDayOfWeek = 0;
};

// The text of value in pattern. Tokens (letters in either case): d dd ddd
// dddd, m mm mmm mmmm (minutes after an hour token), yy yyyy, h hh, n nn, s ss,
// z zzz, am/pm a/p ampm, "/" the date separator, ":" the time separator, text
// in quotes copied as is; any other character is copied. A value that is not a
// number or lies outside the calendar gives the text of InvalidDateTimeText.
std::string FormatDateTime(std::string_view pattern, TDateTime value, const TLocale& locale);
std::string FormatDateTime(std::string_view pattern, TDateTime value);  // the user's locale

// The locale's short date, a space and its long time; the date alone when the
// hours, minutes and seconds are all 0.
std::string DateTimeText(TDateTime value, const TLocale& locale);
std::string DateTimeText(TDateTime value);
// The locale's long time.
std::string TimeText(TDateTime value, const TLocale& locale);
std::string TimeText(TDateTime value);
// The locale's long time without its seconds and the separator before them,
// as a clock shows the time: "11:05 AM".
std::string ClockText(TDateTime value, const TLocale& locale);

// What the text forms give for a value that is no moment of the calendar.
inline constexpr const char* InvalidDateTimeText = "(invalid time)";

}  // namespace horalog
