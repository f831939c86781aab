// The daily report. The data file is read once from the front, in file order,
// and its records are paired on the fly: a Start waits for the next Stop of
// the same day; a Start left waiting and a Stop without a Start still show as
// half-filled rows, so nothing in the journal silently disappears.
#include "report/ReportBuilder.h"

#include <cmath>
#include <cstdint>
#include <optional>

#include "data/ActRec.h"
#include "data/AtomicFile.h"
#include "platform/Platform.h"

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

// The pairing of records into rows, one table per day.
class DayTables {
 public:
  DayTables(TDateTime startDate, TDateTime endDate, const TLocale& locale,
            std::vector<std::string>& lines)
      : startDate_(startDate), endDate_(endDate), locale_(locale), lines_(lines) {}

  void Take(const TActRec& record) {
    const TDateTime time = record.Time;
    // Written so that a Time that is not a number fails the test and is skipped.
    const bool inRange = time >= startDate_ && time <= endDate_ + 1.0;
    if (record.Status != StatusLive || !inRange) return;

    const int64_t day = DayNumber(time);
    if (!dayKey_ || day != *dayKey_) {
      if (tableOpen_) CloseDay();
      lines_.push_back("<h3><font color=\"red\">" + FormatDateTime(DayPattern, time, locale_) +
                       "</font></h3>");
      lines_.push_back("<table border=\"1\" cellpadding=\"5\" cellspacing=\"5\">");
      lines_.push_back("<tr><th>In</th><th>Out</th><th>Time difference</th></tr>");
      tableOpen_ = true;
      startPending_ = false;
      dayKey_ = day;
    }

    if (record.Action == ActionStart) {
      if (startPending_) InOnlyRow();
      startPending_ = true;
      pendingStart_ = time;
    } else {
      if (startPending_) {
        const TDateTime diff = time - pendingStart_;
        lines_.push_back("<tr><td>" + Clock(pendingStart_) + "</td><td>" + Clock(time) +
                         "</td><td>" + SpanText(diff, locale_) + "</td></tr>");
        total_ += diff;
      } else {
        lines_.push_back("<tr><td></td><td>" + Clock(time) + "</td><td></td></tr>");
      }
      startPending_ = false;
    }
  }

  void Finish() {
    if (tableOpen_) CloseDay();
  }

 private:
  std::string Clock(TDateTime time) const { return FormatDateTime(ClockPattern, time, locale_); }

  void InOnlyRow() {
    lines_.push_back("<tr><td>" + Clock(pendingStart_) + "</td><td></td><td></td></tr>");
  }

  void CloseDay() {
    if (startPending_) InOnlyRow();
    lines_.push_back("</table>");
    if (total_ > 0) lines_.push_back("<p><b>Total time: " + SpanText(total_, locale_) + "</b></p>");
    total_ = 0;
  }

  const TDateTime startDate_, endDate_;
  const TLocale& locale_;
  std::vector<std::string>& lines_;

  std::optional<int64_t> dayKey_;
  bool tableOpen_ = false;
  bool startPending_ = false;
  TDateTime pendingStart_ = 0;
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
