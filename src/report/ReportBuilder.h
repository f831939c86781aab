// The daily report: from the data file and a range of dates, an HTML page
// with one table per day of In/Out pairs and the day's total.
#pragma once

#include <string>
#include <vector>

#include "data/DateTime.h"

namespace horalog {

// The report file's name in DataDir; DataDir + this is its path.
inline constexpr const char* ReportFileBaseName = "report.html";

struct ReportOutcome {
  std::string path;  // dataDir + "report.html"
};

// The lines of the report (without line ends) over the data file at dataPath.
// Raises the file's I/O error when reading fails.
std::vector<std::string> BuildReportLines(const std::string& dataPath, TDateTime startDate,
                                          TDateTime endDate, const TLocale& locale);

// Writes dataDir + "report.html" (CR LF line ends) from dataDir + "hl.dat".
// No data file is an empty journal: the page without day tables, so that the
// file always holds the report just asked for, never one of an earlier run.
// A failure raises, and an earlier report file stays as it was.
ReportOutcome BuildReportFile(const std::string& dataDir, TDateTime startDate,
                              TDateTime endDate, const TLocale& locale);
ReportOutcome BuildReportFile(const std::string& dataDir, TDateTime startDate,
                              TDateTime endDate);

}  // namespace horalog
