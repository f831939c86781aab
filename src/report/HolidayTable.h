// The bytes of the table of public holidays (HolidayTable.cpp, made by
// scripts/holidays/make-holidays); Holidays.cpp reads them.
#pragma once

#include <cstddef>

namespace horalog {

extern const char HolidayTableBytes[];
extern const size_t HolidayTableSize;

}  // namespace horalog
