// What the program's table of public holidays says, for the check against the
// data set's own package (scripts/holidays/check-holidays). Reads lines of a
// code and a year from standard input and writes, for each, the line
// "<code> <year> unknown", or one line "<code as the table spells it> <year>
// yyyy-mm-dd <name>" a holiday and then "<code> <year> end". With --codes it
// writes the code of every region the table holds, one a line.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "platform/DateTime.h"
#include "report/Holidays.h"

int main(int argc, char** argv) {
  using namespace horalog;
  if (argc > 1 && std::string(argv[1]) == "--codes") {
    for (const std::string& code : HolidayRegionCodes()) std::cout << code << '\n';
    return 0;
  }
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream fields(line);
    std::string code;
    int year = 0;
    if (!(fields >> code >> year)) continue;
    const std::optional<THolidayRegion> region = FindHolidayRegion(code);
    if (!region) {
      std::cout << code << ' ' << year << " unknown\n";
      continue;
    }
    for (const auto& [day, name] : region->HolidaysIn(year)) {
      DateTimeFields date;
      DecodeDateTime(static_cast<TDateTime>(day), date);
      char text[16];
      std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
      std::cout << region->Code() << ' ' << year << ' ' << text << ' ' << name << '\n';
    }
    std::cout << region->Code() << ' ' << year << " end\n";
  }
  return 0;
}
