// The report as CSV text for a spreadsheet: the page's rows and totals, with
// the user's separators, so that a double click opens it in columns.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "report/ReportBuilder.h"

namespace horalog {

struct TCsvSeparators {
  char field = ',';
  std::string decimal = ".";
};

// The separators for a locale. The decimal separator is the locale's ("."
// when empty). Fields are separated by the list separator when it is one
// character and not the decimal separator; otherwise by ";" when the decimal
// separator is "," and by "," in every other case. A separator that would
// break a line or a field (not ASCII, a digit or letter, a sign, a quote, a
// line end; a field separator that is ":" or occurs in the decimal separator)
// is not taken: the decimal separator falls back to "." and the field
// separator to the rule's default.
TCsvSeparators CsvSeparators(const TLocale& locale);

// The CSV's lines (without line ends), ASCII: a header, one line per row of
// the page, each day's total where the page shows one, and the sum of those
// totals last when there was any.
std::vector<std::string> ReportCsvLines(const std::vector<TReportDay>& days,
                                        const TCsvSeparators& separators);

}  // namespace horalog
