// STAND-IN: see Holidays.h.
#include "report/Holidays.h"

#include "platform/DateTime.h"

namespace horalog {

namespace {

// Easter Sunday of a year (the Gregorian computus), as a day number.
int64_t EasterSunday(int year) {
  const int a = year % 19, b = year / 100, c = year % 100, d = b / 4, e = b % 4;
  const int f = (b + 8) / 25, g = (b - f + 1) / 3, h = (19 * a + b - d - g + 15) % 30;
  const int i = c / 4, k = c % 4, l = (32 + 2 * e + 2 * i - h - k) % 7;
  const int m = (a + 11 * h + 22 * l) / 451;
  const int month = (h + l - 7 * m + 114) / 31, day = (h + l - 7 * m + 114) % 31 + 1;
  return DayNumber(ComposeDate(year, month, day));
}

}  // namespace

std::optional<std::string> THolidayRegion::HolidayOn(int64_t day) const {
  DateTimeFields f;
  if (!DecodeDateTime(static_cast<TDateTime>(day), f) || f.year < 2000 || f.year > 2060)
    return std::nullopt;
  const bool bavaria = code_ == "DE-BY";
  const int md = f.month * 100 + f.day;
  if (md == 101) return "New Year's Day";
  if (md == 106 && bavaria) return "Epiphany";
  if (md == 501) return "Labour Day";
  if (md == 815 && bavaria) return "Assumption Day";
  if (md == 1003) return "Day of German Unity";
  if (md == 1101 && bavaria) return "All Saints' Day";
  if (md == 1225) return "Christmas Day";
  if (md == 1226) return "Boxing Day";
  const int64_t easter = EasterSunday(f.year);
  if (day == easter - 2) return "Good Friday";
  if (day == easter + 1) return "Easter Monday";
  if (day == easter + 39) return "Ascension Day";
  if (day == easter + 50) return "Whit Monday";
  if (day == easter + 60 && bavaria) return "Corpus Christi";
  return std::nullopt;
}

std::optional<THolidayRegion> FindHolidayRegion(std::string_view code) {
  std::string upper(code);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  if (upper != "DE" && upper != "DE-BY") return std::nullopt;
  return THolidayRegion(upper);
}

}  // namespace horalog
