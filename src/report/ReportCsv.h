// The report as CSV text for a spreadsheet: the page's rows and totals, with
// the user's separators, so that a double click opens it in columns.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "report/HoursSettings.h"
#include "report/ReportBuilder.h"
#include "report/WorkTotals.h"

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
// totals last when there was any. With machineColumn (a report of several
// machines) each line ends with a field that names the row's machine, empty
// on the totals' lines; a name that holds the separator or a quote is quoted.
std::vector<std::string> ReportCsvLines(const std::vector<TReportDay>& days,
                                        const TCsvSeparators& separators,
                                        bool machineColumn = false);

// The day summary's lines (without line ends), ASCII, with the CSV's
// separators: a header, one line per working day from firstDay to lastDay
// (day numbers) that days shows a table of, or while a target is set every
// day of them, and a Total line. Each day's Worked, First In and Last Out are
// what totals (read from the whole journal with the same working day's
// start) count of it: the report of that day alone, and its parts of spells
// across its splits; while a target is set, its target, Worked minus the
// target, and the balance at the end of the day with the day in full (empty
// before the balance's first day, which with no record and no day set is
// today, the working day of the clock's now unless given, as in the tip).
// With breaks, absences or limits set (THoursSettings), each day counts net
// (NetDay: Worked is the net, Difference and Balance count the credit), and
// the line gains Breaks and Deducted (h:mm:ss), Absence and Credit (the
// day's name of an absence, h:mm), and Notes last (DayNotes), each pair
// while its keys are set; after the Total line, while Vacation or
// VacationDays is set, one line per calendar year of the range: "Vacation
// <year>", "taken <days>" and "left <days>" of VacationDays (in the whole
// year).
std::vector<std::string> DaySummaryLines(const std::vector<TReportDay>& days, int64_t firstDay,
                                         int64_t lastDay, const TDayHours& totals,
                                         const THoursSettings& settings,
                                         const TCsvSeparators& separators,
                                         std::optional<int64_t> today = std::nullopt);

}  // namespace horalog
