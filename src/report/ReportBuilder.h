// The daily report: from the data file and a range of dates, the days of
// In/Out pairs with their totals, and the HTML page that shows them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/ActRec.h"
#include "platform/DateTime.h"
#include "report/DayPairing.h"
#include "report/WorkTotals.h"

namespace horalog {

// The report file's name in DataDir; DataDir + this is its path.
// The name users and earlier releases know the report by.
inline constexpr const char* ReportFileBaseName = "report.html";

// One row of a day's table: an In/Out pair, or an In or an Out alone.
struct TReportRow {
  std::optional<TDateTime> in, out;
  std::string machine;  // the machine whose journal holds it, in a report of several

  bool IsPair() const { return in && out; }
  // Its In, or its Out when it has none: where it stands in time.
  TDateTime Moment() const { return in ? *in : *out; }
  // Out minus In, as is: negative when the Out is the earlier. Pairs only.
  TDateTime Diff() const { return *out - *in; }
};

// One day's table, its rows in the journal's order.
struct TReportDay {
  int64_t key = 0;      // the working day of the day's records (WorkDayOf)
  TDateTime first = 0;  // Time of its first record
  // first minus the working day's start: its heading and the CSV show this
  // moment's date (first itself where days split at midnight).
  TDateTime dated = 0;
  std::vector<TReportRow> rows;
  TDateTime total = 0;  // the sum of its pairs' differences, in row order

  // A total that is 0 or negative is not shown.
  bool ShowsTotal() const { return total > 0; }
};

// The report's days of rows. Records are taken in file order and paired on
// the fly (DayPairing): a Start waits for the next Stop of the same day; a
// Start left waiting and a Stop without a Start still become half-filled
// rows, so nothing in the journal silently disappears. Only live records of
// the range (startDate to the midnight after endDate, both included) count.
// With a working day's start (dayStart after midnight), days split at that
// hour and the range runs from that hour on startDate to that hour after
// endDate.
class TReportPairing : private TPairingSink {
 public:
  TReportPairing(TDateTime startDate, TDateTime endDate, TDateTime dayStart = 0)
      : startDate_(startDate), endDate_(endDate), dayStart_(dayStart), pairing_(dayStart) {}

  void Take(const TActRec& record);
  // The end of the journal: a waiting Start becomes an In-only row.
  void Finish();

  // The days, once Finish has ended the last one.
  std::vector<TReportDay> TakeDays() { return std::move(days_); }

 private:
  void DayBegins(TDateTime time) override;
  void InOnly(TDateTime start) override;
  void OutOnly(TDateTime stop) override;
  void Pair(TDateTime start, TDateTime stop) override;
  void DayEnds() override {}

  const TDateTime startDate_, endDate_, dayStart_;
  TDayPairing pairing_;
  std::vector<TReportDay> days_;
};

// The days of the report over the data file at dataPath, read once from the
// front; with totals, the hours of every working day of the whole file, from
// the same reading (the day summary's figures). Raises the file's I/O error
// when reading fails.
std::vector<TReportDay> ReadReportDays(const std::string& dataPath, TDateTime startDate,
                                       TDateTime endDate, TDateTime dayStart = 0,
                                       TWorkTotals* totals = nullptr);
// The same as the report reads the journal: a data file that is not there is
// an empty journal (no days, and totals of none). One that may or may not be
// there raises its I/O error, as a failed read does: that is no empty journal.
std::vector<TReportDay> ReadJournalDays(const std::string& dataPath, TDateTime startDate,
                                        TDateTime endDate, TDateTime dayStart = 0,
                                        TWorkTotals* totals = nullptr);

// What a page of several machines adds: a fourth column that names each
// row's machine, and lines about the machines below the last day.
struct TPageOfMachines {
  std::vector<std::string> lines;
};

// The page's lines (without line ends) for the days.
std::vector<std::string> ReportPageLines(const std::vector<TReportDay>& days,
                                         const TLocale& locale,
                                         const TPageOfMachines* machines = nullptr);

// The lines of the report over the data file at dataPath.
std::vector<std::string> BuildReportLines(const std::string& dataPath, TDateTime startDate,
                                          TDateTime endDate, const TLocale& locale,
                                          TDateTime dayStart = 0);

// Text as the page shows it: its markup characters as text.
std::string HtmlText(const std::string& text);

// The lines as one text, each ended by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

struct ReportOutcome {
  std::string path;              // dataDir + "report.html"
  std::vector<TReportDay> days;  // what the page shows
};

// Writes the page's lines to dataDir + "report.html" (CR LF line ends),
// beside it first and then in its place: a failure raises, and an earlier
// report file stays as it was.
ReportOutcome WriteReportFile(const std::string& dataDir, std::vector<TReportDay> days,
                              const std::vector<std::string>& lines);

// Writes dataDir + "report.html" (CR LF line ends) from dataDir + "hl.dat".
// No data file is an empty journal: the page without day tables, so that the
// file always holds the report just asked for, never one of an earlier run.
// A failure raises, and an earlier report file stays as it was; so does a data
// file whose presence the system cannot tell. Days split dayStart after
// midnight; totals, when given, get the hours of the whole data file (see
// ReadReportDays).
ReportOutcome BuildReportFile(const std::string& dataDir, TDateTime startDate,
                              TDateTime endDate, const TLocale& locale, TDateTime dayStart = 0,
                              TWorkTotals* totals = nullptr);
ReportOutcome BuildReportFile(const std::string& dataDir, TDateTime startDate,
                              TDateTime endDate);

}  // namespace horalog
