// The timesheet's settings as read from their keys, and the balance they give.
#include "report/HoursSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "data/ActRec.h"
#include "platform/DateTime.h"
#include "report/NetHours.h"
#include "report/ReportCsv.h"
#include "report/WorkTotals.h"

namespace horalog {
namespace {

const TDateTime Monday = ComposeDate(2003, 3, 3);
const int64_t MondayDay = DayNumber(Monday);
constexpr int64_t Hour = 3600, Minute = 60;

// The keys as a settings file gives them: each name listed, its value by name.
THoursSettings Parse(const std::map<std::string, std::string>& keys,
                     std::vector<THoursSettingsProblem>& problems) {
  std::vector<std::string> names;
  for (const auto& key : keys) names.push_back(key.first);
  return ParseHoursSettings(
      [&keys](const std::string& key) {
        const auto found = keys.find(key);
        return found == keys.end() ? std::string() : found->second;
      },
      problems, names);
}

// Every key read, its limits taken; a key whose value cannot be read is
// named with its value and left out, and the other keys still count.
TEST(HoursSettings, KeysThatCannotBeReadAreNamedAndLeftOutWhileTheOthersCount) {
  std::vector<THoursSettingsProblem> problems;
  const std::map<std::string, std::string> good{
      {"Target", "7:30"},       {"Friday", "5:00"},
      {"Sunday", "0:00"},       {"DaysOff", " 2003-03-05 , 2003-03-10..2003-03-12,"},
      {"BalanceFrom", "2003-03-03"}, {"Opening", "-3:15"},
      {"DayStart", "4:00"},     {"Breaks", "9:00 0:45, 6:00  0:30"},
      {"BreakPart", "0:10"},    {"MaxDay", "10:00"},
      {"MaxStretch", "6:00"},   {"MinRest", "11:00"},
      {"Vacation", "2003-03-13..2003-03-14, 2003-03-17/2"},
      {"Sick", "2003-03-18 /2"}, {"VacationDays", "30"},
      {"Holidays", "de-by"}};
  const THoursSettings settings = Parse(good, problems);
  EXPECT_TRUE(problems.empty());
  EXPECT_TRUE(settings.HasTarget());
  EXPECT_EQ(settings.Target(MondayDay), 7 * Hour + 30 * Minute);
  EXPECT_EQ(settings.Target(MondayDay + 4), 5 * Hour);      // Friday wins over Target
  EXPECT_EQ(settings.Target(MondayDay + 5), 0);             // Saturday: none
  EXPECT_EQ(settings.Target(MondayDay + 2), 0);             // a day off
  EXPECT_EQ(settings.Target(MondayDay + 9), 0);             // in the range off
  EXPECT_EQ(settings.Target(MondayDay + 10), 7 * Hour + 30 * Minute);
  EXPECT_EQ(settings.balanceFrom, MondayDay);
  EXPECT_EQ(settings.opening, -(3 * Hour + 15 * Minute));
  EXPECT_EQ(settings.dayStart, 240 / 1440.0);
  EXPECT_EQ(settings.breaks, (std::vector<TBreakStep>{{6 * Hour, 30 * Minute},
                                                      {9 * Hour, 45 * Minute}}));
  EXPECT_EQ(settings.breakPart, 10 * Minute);
  EXPECT_EQ(settings.maxDay, 10 * Hour);
  EXPECT_EQ(settings.maxStretch, 6 * Hour);
  EXPECT_EQ(settings.minRest, 11 * Hour);
  EXPECT_EQ(settings.vacation, (std::vector<TAbsenceDays>{{MondayDay + 10, MondayDay + 11, false},
                                                          {MondayDay + 14, MondayDay + 14, true}}));
  EXPECT_EQ(settings.sick, (std::vector<TAbsenceDays>{{MondayDay + 15, MondayDay + 15, true}}));
  EXPECT_EQ(settings.vacationDays, 30);
  EXPECT_TRUE(settings.holidays.Set());
  EXPECT_EQ(settings.Credit(MondayDay + 14), 3 * Hour + 45 * Minute) << "half of 7:30";

  // The limits themselves are taken; a sign is optional on Opening only.
  problems.clear();
  const THoursSettings limits = Parse(
      {{"Monday", "24:00"}, {"Opening", "+999:59"}, {"DayStart", "12:00"}}, problems);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(limits.Target(MondayDay), 24 * Hour);
  EXPECT_EQ(limits.Target(MondayDay + 1), 0) << "Monday alone sets only Monday";
  EXPECT_EQ(limits.opening, 999 * Hour + 59 * Minute);
  EXPECT_EQ(limits.dayStart, 0.5);

  // Nothing set: no target, days split at midnight exactly.
  problems.clear();
  EXPECT_EQ(Parse({{"Target", " "}, {"DayStart", "0:00"}}, problems), THoursSettings{});
  EXPECT_TRUE(problems.empty());

  const std::map<std::string, std::vector<std::string>> bad{
      {"Target", {"24:01", "7:5", "7:60", "7.30", "8", "-1:00", "+8:00", "08:00x", "100:00", ":30"}},
      {"Wednesday", {"8h", "1:000"}},
      {"DaysOff", {"2003-03-12..2003-03-10", "2003-03-05;2003-03-06", "2003-13-01", "2003-03-05.."}},
      {"BalanceFrom", {"2003-02-29", "2003-3-3", "03-03-2003", "2003-03-03 x"}},
      {"Opening", {"1000:00", "+-1:00", "3:15:00", "- 1:00"}},
      {"DayStart", {"12:01", "-0:30", "25:00", "4"}},
      {"Breaks", {"6:00", "6:00 0:30 9:00 0:45", "6:00 -0:30", "6:00;0:30", "25:00 0:30"}},
      {"BreakPart", {"0:00", "1:01", "15"}},
      {"MaxDay", {"0:00", "24:01", "10"}},
      {"MaxStretch", {"6"}},
      {"MinRest", {"11:00:00"}},
      {"Vacation", {"2003-03-13..2003-03-14/2", "2003-03-13/3", "/2", "2003-03-32"}},
      {"Sick", {"2003-03-18/2/2"}},
      {"VacationDays", {"367", "-1", "30.5", "thirty"}},
      {"Holidays", {"ZZ", "DE-", "Bavaria"}}};
  for (const auto& [key, values] : bad) {
    for (const std::string& value : values) {
      std::map<std::string, std::string> keys = good;
      keys[key] = value;
      problems.clear();
      const THoursSettings read = Parse(keys, problems);
      ASSERT_EQ(problems.size(), 1u) << key << "=" << value;
      EXPECT_EQ(problems[0].key, key);
      EXPECT_EQ(problems[0].value, value);
      // The key is left out as if missing; every other key counts.
      std::map<std::string, std::string> without = good;
      without.erase(key);
      std::vector<THoursSettingsProblem> none;
      EXPECT_EQ(read, Parse(without, none)) << key << "=" << value;
    }
  }

  EXPECT_EQ(HoursSettingsProblemText({"DayStart", "25:00"}, "C:\\Horalog\\Horalog.ini"),
            "Cannot read DayStart=25:00 in [Hours] of C:\\Horalog\\Horalog.ini; it is ignored.");
}

// The keys of one date make the whole week's targets from that day until the
// next date that has keys; before the first date the keys without one hold.
// A dated key that cannot be read, its date or its value, is named as written
// and makes no date.
TEST(HoursSettings, TargetsFromADateReplaceTheWholeWeekUntilTheNextDate) {
  std::vector<THoursSettingsProblem> problems;
  const THoursSettings settings =
      Parse({{"Target", "8:00"},
             {"Target 2003-03-10", "6:00"},
             {"friday  2003-03-10", " 4:00"},      // any case, any spaces
             {"Saturday 2003-03-17", "2:00"},      // the next week: Saturday alone
             {"Monday 2003-03-20", "25:00"},       // cannot be read: no date
             {"Target 2003-02-30", "5:00"},        // no such day
             {"Sunday 2003-03-20", ""},            // empty: missing
             {"Targets 2003-03-10", "1:00"}},      // not a key of [Hours]
            problems);
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].key + "=" + problems[0].value, "Monday 2003-03-20=25:00");
  EXPECT_EQ(problems[1].key + "=" + problems[1].value, "Target 2003-02-30=5:00");
  // Monday to Sunday of each week from the one before the first date.
  auto week = [&settings](int64_t monday) {
    std::string text;
    for (int64_t day = monday; day < monday + 7; ++day)
      text += HoursText(settings.Target(day)) + (day < monday + 6 ? " " : "");
    return text;
  };
  EXPECT_EQ(week(MondayDay), "8:00 8:00 8:00 8:00 8:00 0:00 0:00");
  EXPECT_EQ(week(MondayDay + 7), "6:00 6:00 6:00 6:00 4:00 0:00 0:00");
  EXPECT_EQ(week(MondayDay + 14), "0:00 0:00 0:00 0:00 0:00 2:00 0:00");
  EXPECT_EQ(week(MondayDay + 21), "0:00 0:00 0:00 0:00 0:00 2:00 0:00");

  // A date alone still sets a target: before it every day's target is 0.
  problems.clear();
  const THoursSettings dated = Parse({{"Friday 2003-03-07", "4:00"}}, problems);
  EXPECT_TRUE(problems.empty());
  EXPECT_TRUE(dated.HasTarget());
  EXPECT_EQ(dated.Target(MondayDay + 4) + dated.Target(MondayDay + 3), 4 * Hour);
  EXPECT_FALSE(Parse({{"Friday 2003-03-07", "x"}}, problems).HasTarget());
}

TActRec Record(uint8_t action, int day, double hours) {
  return MakeRecord(action, Monday + day + hours / 24);
}

// The balance: from its first day to yesterday in full, today only above its
// target; days off count their work in full; Opening is brought forward. The
// day summary's balance at the end of a day agrees with the tip's the next
// morning.
TEST(HoursSettings, BalanceCountsFromItsFirstDayWithDaysOffOpeningAndTodayAboveItsTarget) {
  TWorkTotals totals;
  for (const TActRec& record :
       {Record(ActionStart, 0, 9), Record(ActionStop, 0, 19),    // Monday 10:00
        Record(ActionStart, 1, 9), Record(ActionStop, 1, 16),    // Tuesday 7:00
        Record(ActionStart, 2, 10), Record(ActionStop, 2, 12),   // Wednesday, off: 2:00
        Record(ActionStart, 3, 8), Record(ActionStop, 3, 14)})   // Thursday 6:00
    totals.Take(record);

  std::vector<THoursSettingsProblem> problems;
  THoursSettings settings = Parse({{"Target", "8:00"}, {"DaysOff", "2003-03-05"},
                                   {"Opening", "+1:00"}, {"BalanceFrom", "2003-03-04"}},
                                  problems);
  ASSERT_TRUE(problems.empty());
  auto balanceAt = [&](int day, double hours, std::optional<TRunningSpell> running = {}) {
    return HoursAt(totals, settings, Monday + day + hours / 24, 1, running).balance.value();
  };
  // Thursday, below its target: 1:00 - 1:00 + 2:00, today not yet.
  EXPECT_EQ(balanceAt(3, 15), 2 * Hour);
  // Thursday, a spell running since 15:00 until 18:30: 9:30 worked, 1:30 above.
  totals.Take(Record(ActionStart, 3, 15));
  const TRunningSpell running{Monday + 3 + 18.5 / 24};
  EXPECT_EQ(balanceAt(3, 18.5, running), 3 * Hour + 30 * Minute);
  // Friday morning, nothing yet: Thursday in full.
  EXPECT_EQ(balanceAt(4, 7), 2 * Hour - 2 * Hour);

  // From the journal's first day: Monday's 2:00 above counts too.
  settings.balanceFrom.reset();
  EXPECT_EQ(balanceAt(3, 15), 4 * Hour);
  // A first day still to come: only the opening balance.
  settings.balanceFrom = MondayDay + 10;
  settings.opening = -45 * Minute;
  EXPECT_EQ(balanceAt(3, 15), -45 * Minute);

  // The day summary: each day's balance at its end, empty before the first
  // day; the next morning's tip says the same.
  settings.balanceFrom = MondayDay + 1;
  settings.opening = Hour;
  const std::vector<std::string> summary =
      DaySummaryLines({}, MondayDay, MondayDay + 3, totals, settings, TCsvSeparators{});
  ASSERT_EQ(summary.size(), 6u);
  EXPECT_EQ(summary[1], "2003-03-03,09:00:00,19:00:00,10:00:00,10.00,8:00,+2:00,");
  EXPECT_EQ(summary[2], "2003-03-04,09:00:00,16:00:00,7:00:00,7.00,8:00,-1:00,0:00");
  EXPECT_EQ(summary[3], "2003-03-05,10:00:00,12:00:00,2:00:00,2.00,0:00,+2:00,+2:00");
  // Thursday's spell since 15:00 is still open: its In, no Out after it.
  EXPECT_EQ(summary[4], "2003-03-06,08:00:00,14:00:00,6:00:00,6.00,8:00,-2:00,0:00");
  EXPECT_EQ(summary[5], "Total,,,25:00:00,25.00,24:00,+1:00,");
  // Fields that hold the separator are quoted.
  const std::vector<std::string> spaced =
      DaySummaryLines({}, MondayDay + 2, MondayDay + 2, totals, settings, TCsvSeparators{'+', "."});
  EXPECT_EQ(spaced[1], "2003-03-05+10:00:00+12:00:00+2:00:00+2.00+0:00+\"+2:00\"+\"+2:00\"");
  EXPECT_EQ(DaySummaryLines({}, 0, -1, totals, settings, TCsvSeparators{' ', "."})[0],
            "Date \"First In\" \"Last Out\" Worked Hours Target Difference Balance");
  EXPECT_EQ(balanceAt(3, 7), Hour - Hour + 2 * Hour) << "Thursday morning: Wednesday's end";

  // A spell from Thursday 23:00 still running at Friday 1:00 counts its hour
  // before midnight in Thursday: 1:00 - 1:00 + 2:00 - 1:00, Friday not yet
  // above its target.
  totals.Take(Record(ActionStart, 3, 23));
  EXPECT_EQ(balanceAt(4, 1.1), 0);
  EXPECT_EQ(balanceAt(4, 1.1, TRunningSpell{Monday + 4 + 1.0 / 24}), Hour);
  const TWorkHours hours =
      HoursAt(totals, settings, Monday + 4 + 1.1 / 24, 1, TRunningSpell{Monday + 4 + 1.0 / 24});
  EXPECT_EQ(hours.today, Hour);
  EXPECT_EQ(hours.week, 27 * Hour);
}

// With nothing recorded, a target set and no BalanceFrom, the balance counts
// from today in the day summary as in the tip: Opening at the start of today.
TEST(HoursSettings, WithAnEmptyJournalTheBalanceCountsFromTodayInTheSummaryAsInTheTip) {
  std::vector<THoursSettingsProblem> problems;
  const THoursSettings settings = Parse({{"Target", "8:00"}, {"Opening", "+1:00"}}, problems);
  const TWorkTotals empty;
  EXPECT_EQ(HoursAt(empty, settings, Monday + 2.5, 1).balance, Hour);
  const std::vector<std::string> summary =
      DaySummaryLines({}, MondayDay + 1, MondayDay + 3, empty, settings, TCsvSeparators{},
                      MondayDay + 2);
  ASSERT_EQ(summary.size(), 5u);
  EXPECT_EQ(summary[1], "2003-03-04,,,0:00:00,0.00,8:00,-8:00,");
  EXPECT_EQ(summary[2], "2003-03-05,,,0:00:00,0.00,8:00,-8:00,-7:00");
  EXPECT_EQ(summary[3], "2003-03-06,,,0:00:00,0.00,8:00,-8:00,-15:00");
}

// The deduction for breaks falls short of the rule by no cliff: the
// readme's examples, and for any rule and breaks, as the day's work grows it
// is never negative, never more than what the breaks fall short, and the net
// never falls and never jumps.
TEST(NetHours, TheDeductionTakesNoMoreThanTheBreaksFallShortAndTheNetNeverFalls) {
  const std::vector<TBreakStep> german{{6 * Hour, 30 * Minute}, {9 * Hour, 45 * Minute}};
  auto net = [&german](int64_t worked, int64_t breaks) {
    return HoursText(worked - BreakDeduction(worked, breaks, german));
  };
  EXPECT_EQ(net(6 * Hour + 10 * Minute, 0), "6:00");
  EXPECT_EQ(net(7 * Hour, 0), "6:30");
  EXPECT_EQ(net(9 * Hour + 10 * Minute, 30 * Minute), "9:00");
  EXPECT_EQ(net(9 * Hour + 50 * Minute, 30 * Minute), "9:35");
  EXPECT_EQ(net(6 * Hour + Minute, 0), "6:00") << "no cliff: not 5:31";
  EXPECT_EQ(net(10 * Hour, 45 * Minute), "10:00") << "enough breaks";
  EXPECT_EQ(net(6 * Hour, 0), "6:00") << "only more than the step's hours";

  std::mt19937 random(20260105);
  auto below = [&random](int64_t n) { return static_cast<int64_t>(random() % n); };
  for (int round = 0; round < 200; ++round) {
    std::vector<TBreakStep> steps(static_cast<size_t>(below(4)));
    for (TBreakStep& step : steps) step = {below(12 * Hour), below(Hour)};
    std::sort(steps.begin(), steps.end(),
              [](const TBreakStep& a, const TBreakStep& b) { return a.worked < b.worked; });
    const int64_t breaks = below(4) == 0 ? 0 : below(Hour);
    int64_t lastNet = 0;
    for (int64_t worked = 0; worked <= 14 * Hour; worked += 1 + below(90)) {
      const int64_t deduction = BreakDeduction(worked, breaks, steps);
      int64_t shortfall = 0;
      for (const TBreakStep& step : steps)
        if (worked > step.worked) shortfall = std::max(shortfall, step.least - breaks);
      ASSERT_GE(deduction, 0);
      ASSERT_LE(deduction, shortfall) << worked;
      ASSERT_LE(deduction, worked);
      ASSERT_GE(worked - deduction, lastNet) << "the net fell at " << worked;
      // Continuous: a second more changes the deduction by a second at most.
      const int64_t next = BreakDeduction(worked + 1, breaks, steps);
      ASSERT_LE(std::llabs(next - deduction), 1) << worked;
      lastNet = worked - deduction;
    }
  }
}

// The breaks of a day are the gaps of the union of its spells at least
// BreakPart long; the work between two breaks is a stretch.
TEST(NetHours, BreaksAreTheGapsOfTheUnionAtLeastAPartLong) {
  auto at = [](double hours) { return Monday + hours / 24; };
  const TDayBreaks breaks = BreaksOf({{at(13), at(15)},
                                      {at(8), at(10)},
                                      {at(9.5), at(12)},     // overlaps: one stretch 8-12
                                      {at(12.2), at(12.5)},  // 12 minutes: no break
                                      {at(15.5), at(16)},
                                      {at(17), at(16.5)}},   // ends before it begins
                                     15 * Minute);
  EXPECT_EQ(breaks.breaks, 30 * Minute + 30 * Minute);
  EXPECT_EQ(breaks.longestStretch, 4 * Hour + 30 * Minute);
  ASSERT_TRUE(breaks.last);
  EXPECT_DOUBLE_EQ(breaks.last->from, at(15.5));
  EXPECT_EQ(BreaksOf({}, 15 * Minute).breaks, 0);
}

TActRec At2026(uint8_t action, int day, double hours) {
  return MakeRecord(action, ComposeDate(2026, 1, 5) + day + hours / 24);
}

// A week of 2026 in Bavaria with every key: net Worked, the breaks and what
// they fall short, the holiday, vacation (a half day among it) and a sick
// day credited, the limits the days crossed, and the year's vacation; the
// next morning's tip has the same balance.
TEST(NetHours, TheDaySummaryCountsNetWithAbsencesAndNotesTheLimits) {
  TWorkTotals totals(0, true);
  for (const TActRec& record :
       {At2026(ActionStart, 0, 7), At2026(ActionStop, 0, 13 + 10 / 60.0),     // 6:10, no break
        At2026(ActionStart, 1, 9), At2026(ActionStop, 1, 12),                 // Epiphany
        At2026(ActionStart, 3, 6), At2026(ActionStop, 3, 11),                 // a half day off
        At2026(ActionStart, 3, 11.5), At2026(ActionStop, 3, 16 + 20 / 60.0),  // 9:50, 0:30 off
        At2026(ActionStart, 5, 8), At2026(ActionStop, 5, 13),                 // Saturday
        At2026(ActionStart, 5, 13.5), At2026(ActionStop, 5, 19 + 25 / 60.0),  // 10:55
        At2026(ActionStart, 6, 4), At2026(ActionStop, 6, 6)})                 // 8:35 of rest
    totals.Take(record);
  std::vector<THoursSettingsProblem> problems;
  const THoursSettings settings =
      Parse({{"Target", "8:00"}, {"BalanceFrom", "2026-01-05"},
             {"Breaks", "6:00 0:30, 9:00 0:45"}, {"BreakPart", "0:15"}, {"MaxDay", "10:00"},
             {"MaxStretch", "6:00"}, {"MinRest", "11:00"},
             {"Vacation", "2026-01-06..2026-01-07, 2026-01-08/2"}, {"Sick", "2026-01-09"},
             {"VacationDays", "30"}, {"Holidays", "DE-BY"}},
            problems);
  ASSERT_TRUE(problems.empty());
  const int64_t monday = DayNumber(ComposeDate(2026, 1, 5));
  const std::optional<std::string> epiphany =
      FindHolidayRegion("DE-BY").value().HolidayOn(monday + 1);
  ASSERT_TRUE(epiphany);
  const std::vector<std::string> summary =
      DaySummaryLines({}, monday, monday + 6, totals, settings, TCsvSeparators{});
  EXPECT_EQ(summary, (std::vector<std::string>{
      "Date,First In,Last Out,Worked,Hours,Target,Difference,Balance,Breaks,Deducted,Absence,"
      "Credit,Notes",
      "2026-01-05,07:00:00,13:10:00,6:00:00,6.00,8:00,-2:00,-2:00,0:00:00,0:10:00,,0:00,"
      "6:10 without a break",
      "2026-01-06,09:00:00,12:00:00,3:00:00,3.00,0:00,+3:00,+1:00,0:00:00,0:00:00,Holiday: " +
          *epiphany + ",0:00,",
      "2026-01-07,,,0:00:00,0.00,8:00,0:00,+1:00,0:00:00,0:00:00,Vacation,8:00,",
      "2026-01-08,06:00:00,16:20:00,9:35:00,9.58,8:00,+5:35,+6:35,0:30:00,0:15:00,"
      "\"Vacation, half day\",4:00,",
      "2026-01-09,,,0:00:00,0.00,8:00,0:00,+6:35,0:00:00,0:00:00,Sick,8:00,",
      "2026-01-10,08:00:00,19:25:00,10:40:00,10.67,0:00,+10:40,+17:15,0:30:00,0:15:00,,0:00,"
      "10:40 worked (most 10:00)",
      "2026-01-11,04:00:00,06:00:00,2:00:00,2.00,0:00,+2:00,+19:15,0:00:00,0:00:00,,0:00,"
      "rest 8:35 (least 11:00)",
      "Total,,,31:15:00,31.25,32:00,+19:15,,1:00:00,0:40:00,,20:00,",
      "Vacation 2026,taken 1.5,left 28.5"}));
  // The tip counts the same: Monday morning's balance is Sunday's end.
  const TWorkHours next = HoursAt(totals, settings, ComposeDate(2026, 1, 12) + 0.3, 1);
  EXPECT_EQ(next.balance, 19 * Hour + 15 * Minute);
  const TWorkHours saturday =
      HoursAt(totals, settings, ComposeDate(2026, 1, 10) + 0.9, 1);
  EXPECT_EQ(saturday.today, 10 * Hour + 40 * Minute);
  EXPECT_EQ(saturday.week, 6 * Hour + 3 * Hour + (9 * Hour + 35 * Minute) + saturday.today +
                               2 * Hour) << "Sunday's 2:00 already in the journal";
  EXPECT_EQ(saturday.balance, 17 * Hour + 15 * Minute);

  // Without the new keys the summary is as ever: only the targets' columns.
  THoursSettings plain;
  plain.weekdayTargets = settings.weekdayTargets;
  plain.balanceFrom = settings.balanceFrom;
  const std::vector<std::string> old =
      DaySummaryLines({}, monday, monday, totals, plain, TCsvSeparators{});
  EXPECT_EQ(old[0], "Date,First In,Last Out,Worked,Hours,Target,Difference,Balance");
  EXPECT_EQ(old[1], "2026-01-05,07:00:00,13:10:00,6:10:00,6.17,8:00,-1:50,-1:50");
}

}  // namespace
}  // namespace horalog
