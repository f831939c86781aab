// The public holidays of a region from the program's table: dates worked out
// by hand from each region's law as the data set states it. (The check against
// the data set's own package for a sample of regions and years is the
// `holidays` test, scripts/holidays/check-holidays.)
#include "report/Holidays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "report/HoursSettings.h"

namespace horalog {
namespace {

int64_t Day(const char* text) { return DayFromText(text).value(); }

std::optional<std::string> On(const char* code, const char* date) {
  const std::optional<THolidayRegion> region = FindHolidayRegion(code);
  if (!region) return "(no region " + std::string(code) + ")";
  return region->HolidayOn(Day(date));
}

// Holidays by fixed date, by Easter, by weekday and a substitute day; a
// subdivision's own days beside its country's; a day that is not a holiday.
TEST(Holidays, ARegionHasItsCountrysHolidaysAndItsOwn) {
  EXPECT_EQ(On("DE-BY", "2026-06-04"), "Corpus Christi");  // Easter + 60
  EXPECT_EQ(On("DE-BY", "2026-01-06"), "Epiphany");
  EXPECT_EQ(On("DE-BY", "2026-10-03"), "National Holiday");  // the country's
  EXPECT_EQ(On("DE", "2026-01-06"), std::nullopt);
  EXPECT_EQ(On("DE", "2026-06-04"), std::nullopt);
  EXPECT_EQ(On("DE", "2000-04-24"), "Easter Monday");  // Easter was 23 April
  EXPECT_EQ(On("DE", "2026-06-05"), std::nullopt);
  // Assumption is a public holiday only in Bavaria's predominantly Catholic
  // communities, a region of its own in the data set.
  EXPECT_EQ(On("DE-BY", "2026-08-15"), std::nullopt);
  EXPECT_EQ(On("DE-BY-KATH", "2026-08-15"), "Assumption");
  EXPECT_EQ(On("DE-BY-KATH", "2026-06-04"), "Corpus Christi");

  EXPECT_EQ(On("US", "2026-07-04"), "Independence Day");
  // A Saturday: the Friday before is off.
  EXPECT_EQ(On("US", "2026-07-03"), "Independence Day (substitute day)");
  EXPECT_EQ(On("US", "2025-07-03"), std::nullopt);
  EXPECT_EQ(On("US", "2026-11-26"), "Thanksgiving Day");  // fourth Thursday of November
  EXPECT_EQ(On("GB-SCT", "2026-01-02"), "January 2nd");
  EXPECT_EQ(On("GB-ENG", "2026-01-02"), std::nullopt);
  EXPECT_EQ(On("AT-9", "2026-12-08"), "Immaculate Conception");
  EXPECT_EQ(On("CH-ZH", "2026-04-06"), "Easter Monday");
  EXPECT_EQ(On("GR", "2026-04-13"), "Easter Monday");  // Orthodox Easter was 12 April
  EXPECT_EQ(On("RU", "2026-01-07"), "Christmas Day");
}

// A holiday of several days names each; two holidays on one day are both named.
TEST(Holidays, EachDayOfALongHolidayIsNamedAndADayOfTwoHasBothNames) {
  for (const char* date : {"2026-02-17", "2026-02-18", "2026-02-19"})
    EXPECT_EQ(On("KR", date), "Korean New Year") << date;
  EXPECT_EQ(On("KR", "2026-02-20"), std::nullopt);
  EXPECT_EQ(On("AE", "2007-01-01"), "Feast of the Sacrifice (Eid al-Adha) / New Year's Day");

  const std::optional<THolidayRegion> germany = FindHolidayRegion("DE");
  ASSERT_TRUE(germany);
  const std::vector<std::pair<int64_t, std::string>> expected{
      {Day("2026-01-01"), "New Year's Day"}, {Day("2026-04-03"), "Good Friday"},
      {Day("2026-04-06"), "Easter Monday"},  {Day("2026-05-01"), "Labour Day"},
      {Day("2026-05-14"), "Ascension Day"},  {Day("2026-05-25"), "Whit Monday"},
      {Day("2026-10-03"), "National Holiday"}, {Day("2026-12-25"), "Christmas Day"},
      {Day("2026-12-26"), "Boxing Day"}};
  EXPECT_EQ(germany->HolidaysIn(2026), expected);
}

// Codes in any case; Code() spells them as the table does; a code the table
// does not have, or a part of one, is no region.
TEST(Holidays, CodesAreFoundInAnyCaseAndUnknownOnesAreNoRegion) {
  const std::optional<THolidayRegion> bavaria = FindHolidayRegion("de-By");
  ASSERT_TRUE(bavaria);
  EXPECT_EQ(bavaria->Code(), "DE-BY");
  EXPECT_EQ(bavaria->HolidayOn(Day("2026-06-04")), "Corpus Christi");
  for (const char* code : {"", "XX", "DE-", "DE-XX", "DEU", "D", "DE-BY-", " DE", "DE BY"})
    EXPECT_FALSE(FindHolidayRegion(code)) << '"' << code << '"';

  const std::vector<std::string> codes = HolidayRegionCodes();
  EXPECT_EQ(codes.front(), "AD");
  for (const char* code : {"DE", "DE-BY", "US", "AT-9", "CH-ZH", "GB-SCT"})
    EXPECT_NE(std::find(codes.begin(), codes.end(), code), codes.end()) << code;
}

// The table's first and last years hold their holidays; before and after
// them no day is a holiday, whatever the rule would give.
TEST(Holidays, TheFirstAndLastYearsHoldTheirHolidaysAndNoYearOutsideDoes) {
  EXPECT_EQ(On("DE", "2000-01-01"), "New Year's Day");
  EXPECT_EQ(On("DE", "2060-12-26"), "Boxing Day");
  EXPECT_EQ(On("DE-BY", "2060-01-06"), "Epiphany");
  EXPECT_EQ(On("DE", "1999-12-26"), std::nullopt);
  EXPECT_EQ(On("DE", "2061-01-01"), std::nullopt);
  const std::optional<THolidayRegion> germany = FindHolidayRegion("DE");
  ASSERT_TRUE(germany);
  EXPECT_TRUE(germany->HolidaysIn(1999).empty());
  EXPECT_TRUE(germany->HolidaysIn(2061).empty());
  EXPECT_TRUE(germany->HolidaysIn(INT32_MAX).empty());
  EXPECT_EQ(germany->HolidaysIn(2000).size(), 9u);
  EXPECT_EQ(germany->HolidayOn(0), std::nullopt);
  EXPECT_EQ(germany->HolidayOn(INT64_MAX), std::nullopt);
}

}  // namespace
}  // namespace horalog
