// The daily report. The data file is read once from the front, in file order,
// into days of rows; the page is written from those days.
#include "report/ReportBuilder.h"

#include <cmath>

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

}  // namespace

void TReportPairing::Take(const TActRec& record) {
  if (TakenForRange(record, startDate_, endDate_, dayStart_)) pairing_.Take(record, *this);
}

void TReportPairing::Finish() { pairing_.Finish(*this); }

void TReportPairing::DayBegins(TDateTime time) {
  days_.push_back({.key = WorkDayOf(time, dayStart_),
                   .first = time,
                   .dated = time - dayStart_,
                   .rows = {},
                   .total = 0});
}

void TReportPairing::InOnly(TDateTime start) {
  days_.back().rows.push_back({.in = start, .out = {}, .machine = {}});
}

void TReportPairing::OutOnly(TDateTime stop) {
  days_.back().rows.push_back({.in = {}, .out = stop, .machine = {}});
}

void TReportPairing::Pair(TDateTime start, TDateTime stop) {
  TReportDay& day = days_.back();
  day.rows.push_back({.in = start, .out = stop, .machine = {}});
  day.total += day.rows.back().Diff();
}

std::vector<TReportDay> ReadReportDays(const std::string& dataPath, TDateTime startDate,
                                       TDateTime endDate, TDateTime dayStart,
                                       TWorkTotals* totals) {
  TActRecReader reader(dataPath);  // closed on every way out
  TReportPairing pairing(startDate, endDate, dayStart);
  if (totals) totals->Reset(dayStart);
  size_t count = 0;
  while (const TActRec* records = reader.NextRecords(count)) {
    for (size_t i = 0; i < count; ++i) {
      pairing.Take(records[i]);
      if (totals) totals->Take(records[i]);
    }
  }
  reader.Close();
  pairing.Finish();
  return pairing.TakeDays();
}

std::vector<TReportDay> ReadJournalDays(const std::string& dataPath, TDateTime startDate,
                                        TDateTime endDate, TDateTime dayStart,
                                        TWorkTotals* totals) {
  if (platform::FileFound(dataPath))
    return ReadReportDays(dataPath, startDate, endDate, dayStart, totals);
  if (totals) totals->Reset(dayStart);
  return {};
}

std::vector<std::string> ReportPageLines(const std::vector<TReportDay>& days,
                                         const TLocale& locale, const TPageOfMachines* machines) {
  auto clock = [&locale](TDateTime time) { return FormatDateTime(ClockPattern, time, locale); };
  std::vector<std::string> lines = PageHead;
  for (const TReportDay& day : days) {
    lines.push_back("<h3><font color=\"red\">" + FormatDateTime(DayPattern, day.dated, locale) +
                    "</font></h3>");
    lines.push_back("<table border=\"1\" cellpadding=\"5\" cellspacing=\"5\">");
    lines.push_back(std::string("<tr><th>In</th><th>Out</th><th>Time difference</th>") +
                    (machines ? "<th>Machine</th>" : "") + "</tr>");
    for (const TReportRow& row : day.rows) {
      lines.push_back("<tr><td>" + (row.in ? clock(*row.in) : "") + "</td><td>" +
                      (row.out ? clock(*row.out) : "") + "</td><td>" +
                      (row.IsPair() ? SpanText(row.Diff(), locale) : "") + "</td>" +
                      (machines ? "<td>" + HtmlText(row.machine) + "</td>" : "") + "</tr>");
    }
    lines.push_back("</table>");
    if (day.ShowsTotal())
      lines.push_back("<p><b>Total time: " + SpanText(day.total, locale) + "</b></p>");
  }
  if (machines)
    for (const std::string& line : machines->lines) lines.push_back("<p>" + line + "</p>");
  lines.insert(lines.end(), PageFoot.begin(), PageFoot.end());
  return lines;
}

std::vector<std::string> BuildReportLines(const std::string& dataPath, TDateTime startDate,
                                          TDateTime endDate, const TLocale& locale,
                                          TDateTime dayStart) {
  return ReportPageLines(ReadReportDays(dataPath, startDate, endDate, dayStart), locale);
}

std::string HtmlText(const std::string& text) {
  std::string html;
  for (const char c : text) {
    switch (c) {
      case '&': html += "&amp;"; break;
      case '<': html += "&lt;"; break;
      case '>': html += "&gt;"; break;
      case '"': html += "&quot;"; break;
      default: html += c;
    }
  }
  return html;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  text.reserve(size);
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

ReportOutcome BuildReportFile(const std::string& dataDir, TDateTime startDate,
                              TDateTime endDate, const TLocale& locale, TDateTime dayStart,
                              TWorkTotals* totals) {
  ReportOutcome outcome;
  outcome.path = dataDir + ReportFileBaseName;
  const std::string dataPath = dataDir + DataFileBaseName;

  // Everything is read before the report file is touched: a read error leaves
  // the earlier report as it was. Without a data file the journal is empty.
  outcome.days = ReadJournalDays(dataPath, startDate, endDate, dayStart, totals);
  const std::vector<std::string> lines = ReportPageLines(outcome.days, locale);
  return WriteReportFile(dataDir, std::move(outcome.days), lines);
}

ReportOutcome WriteReportFile(const std::string& dataDir, std::vector<TReportDay> days,
                              const std::vector<std::string>& lines) {
  ReportOutcome outcome{dataDir + ReportFileBaseName, std::move(days)};
  const std::string text = JoinLines(lines);
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
