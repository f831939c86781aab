#include "platform/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "data/Errors.h"
#include "platform/Platform.h"

namespace horalog {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return ComposeDate(y, mo, d) + ComposeTime(h, mi, s, ms);
}

std::string Fmt(std::string_view pattern, TDateTime value) {
  return FormatDateTime(pattern, value, TLocale{});
}

TLocale GermanLike() {
  TLocale l;
  l.shortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
  l.longDayNames = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                    "Donnerstag", "Freitag", "Samstag"};
  l.shortMonthNames = {"Jan", "Feb", "Mrz", "Apr", "Mai", "Jun",
                       "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
  l.longMonthNames = {"Januar", "Februar", "M\xe4rz",  "April",    "Mai",      "Juni",
                      "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
  // Built, then moved in: GCC 12 warns falsely about overlapping copies when a
  // one-character literal is assigned.
  l.dateSeparator = std::string(".");
  l.timeSeparator = std::string("-");
  l.shortDateFormat = "dd/mm/yyyy";
  l.longTimeFormat = "hh:nn:ss";
  l.timeAMString = "vorm.";
  l.timePMString = "nachm.";
  return l;
}

// ---- Calendar -----------------------------------------------------------

TEST(DateTimeCalendar, KnownDayNumbers) {
  EXPECT_EQ(ComposeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(ComposeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(ComposeDate(2003, 3, 3), 37683.0);
  EXPECT_EQ(ComposeDate(1, 1, 1), -693593.0);
  EXPECT_EQ(ComposeDate(9999, 12, 31), 2958465.0);
}

TEST(DateTimeCalendar, EveryDayOfTheCalendarDecodesBackToItself) {
  DateTimeFields f;
  int expectedDow = 1;  // 1 January 0001 was a Monday
  int prevYear = 0, prevMonth = 12, prevDay = 31;
  for (int64_t n = -693593; n <= 2958465; ++n) {
    ASSERT_TRUE(DecodeDateTime(static_cast<double>(n), f)) << n;
    ASSERT_EQ(ComposeDate(f.year, f.month, f.day), static_cast<double>(n)) << n;
    ASSERT_EQ(f.dayOfWeek, expectedDow) << n;
    // Each day follows the previous one.
    const bool nextDay = f.year == prevYear && f.month == prevMonth && f.day == prevDay + 1;
    const bool nextMonth = f.year == prevYear && f.month == prevMonth + 1 && f.day == 1;
    const bool nextYear = f.year == prevYear + 1 && f.month == 1 && f.day == 1;
    ASSERT_TRUE(nextDay || nextMonth || nextYear) << n;
    prevYear = f.year, prevMonth = f.month, prevDay = f.day;
    expectedDow = (expectedDow + 1) % 7;
  }
  EXPECT_EQ(prevYear, 9999);
}

TEST(DateTimeCalendar, DayZeroIsASaturday) {
  DateTimeFields f;
  ASSERT_TRUE(DecodeDateTime(0.0, f));
  EXPECT_EQ(f.dayOfWeek, 6);
  ASSERT_TRUE(DecodeDateTime(ComposeDate(2003, 3, 3), f));
  EXPECT_EQ(f.dayOfWeek, 1);
}

TEST(DateTimeCalendar, ComposeDateRefusesDaysTheCalendarLacks) {
  EXPECT_NO_THROW(ComposeDate(2000, 2, 29));
  EXPECT_NO_THROW(ComposeDate(2004, 2, 29));
  for (auto [y, m, d] : {std::array{1900, 2, 29}, {2003, 2, 29}, {2003, 4, 31}, {2003, 13, 1},
                         {2003, 0, 1}, {2003, 1, 0}, {0, 1, 1}, {10000, 1, 1}, {-5, 1, 1}}) {
    try {
      ComposeDate(y, m, d);
      ADD_FAILURE() << y << "-" << m << "-" << d;
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), "Invalid argument to date encode");
    }
  }
}

TEST(DateTimeCalendar, ComposeTimeLimits) {
  EXPECT_DOUBLE_EQ(ComposeTime(12, 0, 0, 0), 0.5);
  EXPECT_DOUBLE_EQ(ComposeTime(0, 1, 0, 0), OneMinute);
  EXPECT_DOUBLE_EQ(ComposeTime(23, 59, 59, 999), 86399999.0 / MSecsPerDay);
  for (auto [h, m, s, ms] : {std::array<uint16_t, 4>{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0},
                             {0, 0, 0, 1000}, {65535, 65535, 65535, 65535}}) {
    try {
      ComposeTime(h, m, s, ms);
      ADD_FAILURE() << h << ":" << m << ":" << s << "." << ms;
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), "Invalid argument to time encode");
    }
  }
}

// ---- Whole-part operations ---------------------------------------------

TEST(DateTimeWholePart, PartsOfPositiveAndNegativeValues) {
  EXPECT_EQ(WholePart(37683.75), 37683.0);
  EXPECT_DOUBLE_EQ(FractionPart(37683.75), 0.75);
  EXPECT_EQ(DayNumber(37683.75), 37683);
  // Towards zero: a negative value keeps a negative fraction.
  EXPECT_EQ(WholePart(-1.25), -1.0);
  EXPECT_DOUBLE_EQ(FractionPart(-1.25), -0.25);
  EXPECT_EQ(DayNumber(-1.25), -1);
  EXPECT_EQ(DayNumber(-0.25), 0);
}

TEST(DateTimeWholePart, DayNumberOfHostileValuesIsDefined) {
  constexpr int64_t max = std::numeric_limits<int64_t>::max();
  constexpr int64_t min = std::numeric_limits<int64_t>::min();
  EXPECT_EQ(DayNumber(NaN), 0);
  EXPECT_EQ(DayNumber(-NaN), 0);
  EXPECT_EQ(DayNumber(Inf), max);
  EXPECT_EQ(DayNumber(-Inf), min);
  EXPECT_EQ(DayNumber(1e300), max);
  EXPECT_EQ(DayNumber(-1e300), min);
  EXPECT_EQ(DayNumber(9223372036854775808.0), max);
  EXPECT_EQ(DayNumber(-9223372036854775808.0), min);
  EXPECT_EQ(DayNumber(9223372036854774784.0), 9223372036854774784LL);  // largest double below 2^63
  EXPECT_TRUE(std::isnan(FractionPart(Inf)));
}

// ---- The fixed patterns ---------------------------------------------------

TEST(DateTimeFormat, PatternsOfTheViewsAndTheReport) {
  const TDateTime t = At(2003, 3, 3, 9, 5, 7);
  EXPECT_EQ(Fmt("ddd, dd mmm yyyy", t), "Mon, 03 Mar 2003");
  EXPECT_EQ(Fmt("dddd, mmmm dd yyyy", t), "Monday, March 03 2003");
  EXPECT_EQ(Fmt("hh:mm:ss am/pm", t), "09:05:07 am");
  EXPECT_EQ(Fmt("hh:mm:ss", ComposeTime(1, 30, 0, 0)), "01:30:00");
}

TEST(DateTimeFormat, SpansShowOnlyTheClockOfTheirFraction) {
  EXPECT_EQ(Fmt("hh:mm:ss", 1.0), "00:00:00");
  EXPECT_EQ(Fmt("hh:mm:ss", 25.0 / 24.0), "01:00:00");
  EXPECT_EQ(Fmt("hh:mm:ss", -0.25), "06:00:00");
  EXPECT_EQ(Fmt("hh:mm:ss", -(1.0 + ComposeTime(1, 30, 0, 0))), "01:30:00");
  // A difference of two stamps, as the report takes it.
  EXPECT_EQ(Fmt("hh:mm:ss", At(2003, 3, 3, 17, 0, 0) - At(2003, 3, 3, 8, 30, 15)), "08:29:45");
}

TEST(DateTimeFormat, RoundedToMillisecondsThenSecondsCut) {
  const TDateTime base = At(2003, 3, 3, 9, 5, 7);
  EXPECT_EQ(Fmt("hh:mm:ss", base + 999.4 / MSecsPerDay), "09:05:07");
  EXPECT_EQ(Fmt("hh:mm:ss", base + 999.6 / MSecsPerDay), "09:05:08");
  EXPECT_EQ(Fmt("ss.zzz", base + 999.4 / MSecsPerDay), "07.999");
  EXPECT_EQ(Fmt("s.z", base + 5.0 / MSecsPerDay), "7.5");
  // Rounding that reaches midnight carries into the next day.
  const TDateTime late = At(2003, 3, 3, 23, 59, 59, 999) + 0.6 / MSecsPerDay;
  EXPECT_EQ(Fmt("yyyy-mm-dd hh:nn:ss", late), "2003-03-04 00:00:00");
  EXPECT_EQ(Fmt("hh:mm:ss", 1.0 - 0.4 / MSecsPerDay), "00:00:00");
  // For a date before day 0 the next midnight lies one day further back.
  EXPECT_EQ(Fmt("yyyy-mm-dd hh:nn:ss", -1.0 + 0.4 / MSecsPerDay), "1899-12-29 00:00:00");
}

TEST(DateTimeFormat, TwelveHourClockWithAmPm) {
  const TDateTime day = ComposeDate(2003, 3, 3);
  EXPECT_EQ(Fmt("hh:mm:ss am/pm", day + 0.5), "12:00:00 pm");
  EXPECT_EQ(Fmt("hh:mm:ss am/pm", day + ComposeTime(0, 30, 0, 0)), "12:30:00 am");
  EXPECT_EQ(Fmt("hh:mm:ss am/pm", day + ComposeTime(11, 59, 59, 0)), "11:59:59 am");
  EXPECT_EQ(Fmt("hh:mm:ss am/pm", day + ComposeTime(13, 5, 0, 0)), "01:05:00 pm");
  EXPECT_EQ(Fmt("h:mm AM/PM", day + ComposeTime(23, 0, 0, 0)), "11:00 PM");
  EXPECT_EQ(Fmt("h:mm Am/pM", day + ComposeTime(23, 0, 0, 0)), "11:00 pM");
  EXPECT_EQ(Fmt("h:mm Am/pM", day + ComposeTime(1, 0, 0, 0)), "1:00 Am");
  EXPECT_EQ(Fmt("h a/p", day + ComposeTime(15, 0, 0, 0)), "3 p");
  EXPECT_EQ(Fmt("h A/P", day + ComposeTime(3, 0, 0, 0)), "3 A");
  EXPECT_EQ(Fmt("hh ampm", day + ComposeTime(15, 0, 0, 0)), "03 PM");
  // Without a marker the clock runs to 23; the marker in quotes is mere text.
  EXPECT_EQ(Fmt("hh:mm", day + ComposeTime(15, 0, 0, 0)), "15:00");
  EXPECT_EQ(Fmt("hh:mm 'am/pm'", day + ComposeTime(15, 0, 0, 0)), "15:00 am/pm");
}

TEST(DateTimeFormat, TokenLanguage) {
  const TDateTime t = At(2003, 3, 4, 7, 8, 9, 45);
  // Letters in either case; "m" is the month unless it follows an hour token.
  EXPECT_EQ(Fmt("D/M/YY", t), "4/3/03");
  EXPECT_EQ(Fmt("DD MM YYYY", t), "04 03 2003");
  EXPECT_EQ(Fmt("h:m", t), "7:8");
  EXPECT_EQ(Fmt("h 'x' mm", t), "7 x 08");
  EXPECT_EQ(Fmt("n nn s ss", t), "8 08 9 09");
  EXPECT_EQ(Fmt("mm hh mmm mmmm", t), "03 07 Mar March");
  EXPECT_EQ(Fmt("ss:mm", t), "09:03");
  EXPECT_EQ(Fmt("z zzz", t), "45 045");
  EXPECT_EQ(Fmt("yyyy", At(1, 1, 1)), "0001");
  EXPECT_EQ(Fmt("yy", At(2000, 1, 1)), "00");
  // Quoted text is copied, in either kind of quote, letters and separators included.
  EXPECT_EQ(Fmt("\"day\" d 'of' mmmm", t), "day 4 of March");
  EXPECT_EQ(Fmt("'\"'d", t), "\"4");
  EXPECT_EQ(Fmt("d 'open", t), "4 open");
  EXPECT_EQ(Fmt("[d], #q!", t), "[4], #q!");
  EXPECT_EQ(Fmt("", t), "");
}

// ---- Locale forms -----------------------------------------------------------

TEST(DateTimeLocale, EnglishFallbackForms) {
  const TLocale l;
  EXPECT_EQ(DateTimeText(At(2003, 3, 3, 9, 5, 7), l), "3/3/2003 9:05:07 AM");
  EXPECT_EQ(DateTimeText(At(2003, 3, 3, 21, 5, 7), l), "3/3/2003 9:05:07 PM");
  EXPECT_EQ(TimeText(At(2003, 3, 3, 0, 0, 0), l), "12:00:00 AM");
  EXPECT_EQ(DateTimeText(-1.25, l), "12/29/1899 6:00:00 AM");
}

TEST(DateTimeLocale, DateAloneAtMidnightAndWithinItsFirstSecond) {
  const TLocale l;
  EXPECT_EQ(DateTimeText(At(2003, 3, 3), l), "3/3/2003");
  EXPECT_EQ(DateTimeText(At(2003, 3, 3, 0, 0, 0, 999), l), "3/3/2003");
  EXPECT_EQ(DateTimeText(At(2003, 3, 3, 0, 0, 1), l), "3/3/2003 12:00:01 AM");
  EXPECT_EQ(DateTimeText(At(2003, 3, 3, 0, 1, 0), l), "3/3/2003 12:01:00 AM");
  EXPECT_EQ(DateTimeText(At(2003, 3, 3, 12, 0, 0), l), "3/3/2003 12:00:00 PM");
  // Rounded up to the next midnight: the next date alone.
  EXPECT_EQ(DateTimeText(At(2003, 3, 4) - 0.3 / MSecsPerDay, l), "3/4/2003");
}

TEST(DateTimeLocale, OtherNamesSeparatorsAndFormats) {
  const TLocale l = GermanLike();
  const TDateTime t = At(2003, 3, 3, 21, 5, 7);
  EXPECT_EQ(DateTimeText(t, l), "03.03.2003 21-05-07");
  EXPECT_EQ(DateTimeText(ComposeDate(2003, 3, 3), l), "03.03.2003");
  EXPECT_EQ(TimeText(t, l), "21-05-07");
  EXPECT_EQ(FormatDateTime("dddd, dd. mmmm yyyy", t, l), "Montag, 03. M\xe4rz 2003");
  EXPECT_EQ(FormatDateTime("ddd dd mmm", At(2003, 12, 7), l), "So 07 Dez");
  EXPECT_EQ(FormatDateTime("hh ampm", t, l), "09 nachm.");
  EXPECT_EQ(FormatDateTime("hh ampm", At(2003, 3, 3, 9), l), "09 vorm.");
  // A separator in quotes stays as written.
  EXPECT_EQ(FormatDateTime("hh':'nn", t, l), "21:05");
}

// The clock's form: the long time without its seconds and their separator,
// whatever the order and quotes of the locale's pattern.
TEST(DateTimeLocale, ClockTextLeavesOutTheSeconds) {
  const TDateTime t = At(2003, 3, 3, 21, 5, 7);
  EXPECT_EQ(ClockText(t, TLocale{}), "9:05 PM");
  EXPECT_EQ(ClockText(t, GermanLike()), "21-05");
  TLocale l;
  l.longTimeFormat = "ampm h.nn.ss";
  EXPECT_EQ(ClockText(t, l), "PM 9.05");
  l.longTimeFormat = "hh'h'nn'm'ss's'";
  EXPECT_EQ(ClockText(t, l), "21h05m");
}

TEST(DateTimeLocale, FormsWithoutALocaleUseTheUsersOne) {
  const TLocale& user = platform::UserLocale();
  const TDateTime t = At(2003, 3, 3, 21, 5, 7);
  EXPECT_EQ(FormatDateTime("yyyy mm dd hh nn ss", t), "2003 03 03 21 05 07");
  EXPECT_EQ(DateTimeText(t), DateTimeText(t, user));
  EXPECT_EQ(TimeText(t), TimeText(t, user));
  EXPECT_EQ(DateTimeText(ComposeDate(2003, 3, 3)),
            FormatDateTime(user.shortDateFormat, ComposeDate(2003, 3, 3)));
  EXPECT_EQ(DateTimeText(NaN), InvalidDateTimeText);
}

// ---- Values that are no moment of the calendar --------------------------------

TEST(DateTimeHostile, EveryTextFormRefusesValuesOutsideTheCalendar) {
  const TLocale l;
  const TDateTime pastLast = At(9999, 12, 31, 23, 59, 59, 999) + 0.6 / MSecsPerDay;
  for (double v : {NaN, -NaN, Inf, -Inf, 1e300, -1e300, 2958466.0, -693594.0, pastLast,
                   std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                   9.3e18, -9.3e18}) {
    DateTimeFields f;
    f.year = 77;
    EXPECT_FALSE(DecodeDateTime(v, f)) << v;
    EXPECT_EQ(f.year, 77) << v;
    EXPECT_EQ(FormatDateTime("ddd, dd mmm yyyy", v, l), InvalidDateTimeText) << v;
    EXPECT_EQ(FormatDateTime("hh:mm:ss", v, l), InvalidDateTimeText) << v;
    EXPECT_EQ(DateTimeText(v, l), InvalidDateTimeText) << v;
    EXPECT_EQ(TimeText(v, l), InvalidDateTimeText) << v;
  }
}

TEST(DateTimeHostile, EdgesOfTheCalendarStillFormat) {
  const TLocale l;
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", At(9999, 12, 31, 23, 59, 59, 999), l),
            "9999-12-31 23:59:59.999");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", -693593.5, l), "0001-01-01 12:00");
  EXPECT_EQ(FormatDateTime("dddd", -693593.0, l), "Monday");
  EXPECT_EQ(FormatDateTime("hh:nn:ss", std::numeric_limits<double>::denorm_min(), l),
            "00:00:00");
}

}  // namespace
}  // namespace horalog
