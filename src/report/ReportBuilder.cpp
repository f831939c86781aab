// The daily report. The data file is read once from the front, in file order,
// and its records are paired on the fly (DayPairing): a Start left waiting and
// a Stop without a Start still show as half-filled rows, so nothing in the
// journal silently disappears.
#include "report/ReportBuilder.h"

#include <cmath>
#include <cstdint>

#include "data/ActRec.h"
#include "data/AtomicFile.h"
#include "platform/Platform.h"
#include "report/DayPairing.h"

namespace horalog {

namespace {

constexpr const char* DayPattern = "dddd, mmmm dd yyyy";
constexpr const char* ClockPattern = "hh:mm:ss am/pm";
constexpr const char* SpanPattern = "hh:mm:ss";

// The lines before and after the day tables.
const std::vector<std::string> PageHead{"<html>", "<body>", "<font face=\"arial\">"};
const std::vector<std::string> PageFoot{"</font>", "</body>", "</html>"};

// A span shown as a time of day: whole days drop out, so 25 hours reads as
// 01:00:00. A span too long for the calendar is reduced to its fraction first
// (which gives the same clock fields), so any finite span has a readable text.
std::string SpanText(TDateTime span, const TLocale& locale) {
  DateTimeFields fields;
  if (std::isfinite(span) && !DecodeDateTime(span, fields)) span = FractionPart(span);
  return FormatDateTime(SpanPattern, span, locale);
}

// The rows of the pairing, one table per day.
class DayTables : private TPairingSink {
 public:
  DayTables(TDateTime startDate, TDateTime endDate, const TLocale& locale,
            std::vector<std::string>& lines)
      : startDate_(startDate), endDate_(endDate), locale_(locale), lines_(lines) {}

  void Take(const TActRec& record) {
    // A skipped record changes no state.
    if (TakenForRange(record, startDate_, endDate_)) pairing_.Take(record, *this);
  }

  void Finish() { pairing_.Finish(*this); }

 private:
  std::string Clock(TDateTime time) const { return FormatDateTime(ClockPattern, time, locale_); }

  void DayBegins(TDateTime time) override {
    lines_.push_back("<h3><font color=\"red\">" + FormatDateTime(DayPattern, time, locale_) +
                     "</font></h3>");
    lines_.push_back("<table border=\"1\" cellpadding=\"5\" cellspacing=\"5\">");
    lines_.push_back("<tr><th>In</th><th>Out</th><th>Time difference</th></tr>");
  }

  void InOnly(TDateTime start) override {
    lines_.push_back("<tr><td>" + Clock(start) + "</td><td></td><td></td></tr>");
  }

  void OutOnly(TDateTime stop) override {
    lines_.push_back("<tr><td></td><td>" + Clock(stop) + "</td><td></td></tr>");
  }

  void Pair(TDateTime start, TDateTime stop) override {
    const TDateTime diff = stop - start;
    lines_.push_back("<tr><td>" + Clock(start) + "</td><td>" + Clock(stop) + "</td><td>" +
                     SpanText(diff, locale_) + "</td></tr>");
    total_ += diff;
  }

  void DayEnds() override {
    lines_.push_back("</table>");
    if (total_ > 0) lines_.push_back("<p><b>Total time: " + SpanText(total_, locale_) + "</b></p>");
    total_ = 0;
  }

  const TDateTime startDate_, endDate_;
  const TLocale& locale_;
  std::vector<std::string>& lines_;
  TDayPairing pairing_;
  TDateTime total_ = 0;
};

}  // namespace

std::vector<std::string> BuildReportLines(const std::string& dataPath, TDateTime startDate,
                                          TDateTime endDate, const TLocale& locale) {
  std::vector<std::string> lines = PageHead;
  {
    TActRecReader reader(dataPath);  // closed on every way out
    DayTables tables(startDate, endDate, locale, lines);
    TActRec record;
    while (reader.Next(record)) tables.Take(record);
    reader.Close();
    tables.Finish();
  }
  lines.insert(lines.end(), PageFoot.begin(), PageFoot.end());
  return lines;
}

ReportOutcome BuildReportFile(const std::string& dataDir, TDateTime startDate,
                              TDateTime endDate, const TLocale& locale) {
  ReportOutcome outcome;
  outcome.path = dataDir + ReportFileBaseName;
  const std::string dataPath = dataDir + DataFileBaseName;

  // Everything is read before the report file is touched: a read error leaves
  // the earlier report as it was. Without a data file the journal is empty.
  std::vector<std::string> lines;
  if (platform::FileExists(dataPath)) {
    lines = BuildReportLines(dataPath, startDate, endDate, locale);
  } else {
    lines = PageHead;
    lines.insert(lines.end(), PageFoot.begin(), PageFoot.end());
  }

  std::string text;
  size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  text.reserve(size);
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }

  // Written beside the report and put in its place in one step, so a failure
  // part-way never leaves a half-written report where the earlier one was.
  TReplacingFile file(outcome.path);
  file.Write(text.data(), text.size());
  file.Commit();
  return outcome;
}

ReportOutcome BuildReportFile(const std::string& dataDir, TDateTime startDate,
                              TDateTime endDate) {
  return BuildReportFile(dataDir, startDate, endDate, platform::UserLocale());
}

}  // namespace horalog
