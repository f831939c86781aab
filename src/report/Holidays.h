// The public holidays of a region, from the table the program carries
// (HolidayTable.cpp): every country, subdivision and region of the holiday
// data set date-holidays, public holidays only, the years HolidayFirstYear to
// HolidayLastYear. Outside those years no day is a holiday.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace horalog {

inline constexpr int HolidayFirstYear = 2000;
inline constexpr int HolidayLastYear = 2060;

// The public holidays of a region: an ISO 3166-1 country ("DE", "US") or an
// ISO 3166-2 subdivision ("DE-BY", "AT-9", "CH-ZH", "GB-SCT"), case-insensitive.
// The data set's regions within a subdivision have a third part ("DE-BY-KATH",
// the predominantly Catholic communities of Bavaria).
class THolidayRegion {
 public:
  // The region's code as the table spells it.
  const std::string& Code() const;
  // The English name of the public holiday on day (a day number as DayFromText in
  // src/report/HoursSettings.h gives), or nothing. A day of two holidays has
  // both names, joined by " / ".
  std::optional<std::string> HolidayOn(int64_t day) const;
  // The public holidays of a calendar year: each day number with its name, in
  // the order of the days.
  std::vector<std::pair<int64_t, std::string>> HolidaysIn(int year) const;

  struct TDays;

 private:
  friend std::optional<THolidayRegion> FindHolidayRegion(std::string_view code);
  THolidayRegion(std::string code, std::shared_ptr<const TDays> days);

  std::string code_;
  std::shared_ptr<const TDays> days_;
};

std::optional<THolidayRegion> FindHolidayRegion(std::string_view code);  // nothing: unknown code

// The codes of every region the table holds, a country before its subdivisions.
std::vector<std::string> HolidayRegionCodes();

}  // namespace horalog
