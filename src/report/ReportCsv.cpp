// The report as CSV, and the day summary. Every field of the rows' CSV is
// digits with ":", "-" or the decimal separator, or a word of its own
// ("Date", "Total"): none holds the field separator, so none needs quotes;
// only a machine's name, in a report of several machines, may need them.
// The summary's "First In" and "Last Out" hold a space and its signed values
// a "+": they are quoted where that is the separator.
#include "report/ReportCsv.h"

#include <algorithm>
#include <set>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "platform/Platform.h"
#include "report/NetHours.h"

namespace horalog {

namespace {

// Printable ASCII that is neither a digit nor a letter (the space included).
bool IsAsciiMark(char c) {
  return (c >= 0x20 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
         (c >= 0x7B && c <= 0x7E);
}

bool IsPlainDecimal(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return IsAsciiMark(c) && std::string_view("-+\"").find(c) == std::string_view::npos;
  });
}

// Dates hold "-", times ":" and a quote would open a quoted field.
bool IsPlainFieldSeparator(char c) {
  return (IsAsciiMark(c) || c == '\t') &&
         std::string_view("-:\"").find(c) == std::string_view::npos;
}

// The text forms of the default locale, whose time separator is ":": the
// CSV's dates and times do not follow the user's separators.
const TLocale FixedSeparators;

// A moment in pattern as the page's text forms show it; empty for a moment
// outside the calendar.
std::string MomentField(const char* pattern, const std::optional<TDateTime>& time) {
  DateTimeFields f;
  if (!time || !DecodeDateTime(*time, f)) return "";
  return FormatDateTime(pattern, *time, FixedSeparators);
}

// yyyy-mm-dd of the day a moment falls on, as the page's heading shows it
// (the moment less the working day's start).
std::string DateField(TDateTime time) { return MomentField("yyyy-mm-dd", time); }

// hh:mm:ss, 24-hour, of a moment's time of day, as the page shows its clock.
std::string ClockField(const std::optional<TDateTime>& time) {
  return MomentField("hh:nn:ss", time);
}

// h:mm:ss, the hours not wrapped at 24, and a minus sign when negative.
std::string DurationField(int64_t seconds) {
  const int64_t size = seconds < 0 ? -seconds : seconds;
  char text[40];
  std::snprintf(text, sizeof text, "%s%lld:%02d:%02d", seconds < 0 ? "-" : "",
                static_cast<long long>(size / 3600), static_cast<int>(size / 60 % 60),
                static_cast<int>(size % 60));
  return text;
}

// Hours with two decimals, rounded half away from zero; one hundredth of an
// hour is 36 seconds.
std::string HoursField(int64_t seconds, const std::string& decimal) {
  const int64_t hundredths = ((seconds < 0 ? -seconds : seconds) + 18) / 36;
  char whole[32], fraction[4];
  std::snprintf(whole, sizeof whole, "%s%lld", seconds < 0 && hundredths != 0 ? "-" : "",
                static_cast<long long>(hundredths / 100));
  std::snprintf(fraction, sizeof fraction, "%02d", static_cast<int>(hundredths % 100));
  return whole + decimal + fraction;
}

// The fields joined by the field separator.
std::string CsvLine(std::initializer_list<std::string> fields, const TCsvSeparators& separators) {
  std::string text;
  for (const std::string& field : fields) {
    if (&field != fields.begin()) text += separators.field;
    text += field;
  }
  return text;
}

}  // namespace

TCsvSeparators CsvSeparators(const TLocale& locale) {
  TCsvSeparators separators;
  separators.decimal = IsPlainDecimal(locale.decimalSeparator) ? locale.decimalSeparator : ".";
  auto field = [&locale](const std::string& decimal) {
    const std::string& list = locale.listSeparator;
    if (list.size() == 1 && list != decimal && IsPlainFieldSeparator(list[0])) return list[0];
    return decimal == "," ? ';' : ',';
  };
  separators.field = field(separators.decimal);
  // A decimal separator of several characters may hold the field separator.
  if (separators.decimal.find(separators.field) != std::string::npos) {
    separators.decimal = ".";
    separators.field = field(separators.decimal);
  }
  return separators;
}

std::vector<std::string> ReportCsvLines(const std::vector<TReportDay>& days,
                                        const TCsvSeparators& separators, bool machineColumn) {
  auto line = [&separators](std::initializer_list<std::string> fields) {
    return CsvLine(fields, separators);
  };
  // The machine's name as a field: quoted, its quotes doubled, when it holds
  // the separator, a quote or a blank at either end.
  auto machine = [&](const std::string& name) -> std::string {
    if (!machineColumn) return "";
    const bool quote = name.find_first_of(std::string(1, separators.field) + "\"\r\n") !=
                           std::string::npos ||
                       (!name.empty() && (name.front() == ' ' || name.back() == ' '));
    if (!quote) return separators.field + name;
    std::string text = separators.field + std::string("\"");
    for (const char c : name) text += c == '"' ? std::string("\"\"") : std::string(1, c);
    return text + '"';
  };
  // Duration and Hours of a span; both empty for a span that is no number.
  auto duration = [](const std::optional<int64_t>& seconds) {
    return seconds ? DurationField(*seconds) : std::string();
  };
  auto hours = [&separators](const std::optional<int64_t>& seconds) {
    return seconds ? HoursField(*seconds, separators.decimal) : std::string();
  };

  std::vector<std::string> lines{line({"Date", "In", "Out", "Duration", "Hours"}) +
                                 (machineColumn ? separators.field + std::string("Machine") : "")};
  int64_t sum = 0;
  bool anyTotal = false;
  for (const TReportDay& day : days) {
    const std::string date = DateField(day.dated);
    for (const TReportRow& row : day.rows) {
      const std::optional<int64_t> seconds =
          row.IsPair() ? SpanSeconds(row.Diff()) : std::nullopt;
      lines.push_back(line({date, ClockField(row.in), ClockField(row.out), duration(seconds),
                            hours(seconds)}) +
                      machine(row.machine));
    }
    if (day.ShowsTotal()) {
      const std::optional<int64_t> seconds = SpanSeconds(day.total);
      lines.push_back(line({date, "Total", "", duration(seconds), hours(seconds)}) + machine(""));
      sum += seconds.value_or(0);
      anyTotal = true;
    }
  }
  if (anyTotal)
    lines.push_back(
        line({"Total", "", "", DurationField(sum), HoursField(sum, separators.decimal)}) +
        machine(""));
  return lines;
}

std::vector<std::string> DaySummaryLines(const std::vector<TReportDay>& days, int64_t firstDay,
                                         int64_t lastDay, const TDayHours& totals,
                                         const THoursSettings& settings,
                                         const TCsvSeparators& separators,
                                         std::optional<int64_t> today) {
  const bool targets = settings.HasTarget();
  const bool breaks = settings.CountsBreaks(), absences = settings.HasAbsences(),
             limits = settings.HasLimits();
  // Worked and Hours of a sum of seconds.
  auto worked = [&separators](int64_t seconds) {
    return std::pair{DurationField(seconds), HoursField(seconds, separators.decimal)};
  };
  // A field that holds the separator (a space in "First In", a "+" before
  // a balance) is quoted.
  auto quoted = [&separators](const std::string& field) {
    return field.find(separators.field) == std::string::npos ? field : '"' + field + '"';
  };
  auto line = [&](const std::string& date, const std::string& firstIn, const std::string& lastOut,
                  int64_t seconds, const std::vector<std::string>& more) {
    const auto [duration, hours] = worked(seconds);
    std::string text = CsvLine({date, firstIn, lastOut, duration, hours}, separators);
    for (const std::string& field : more) text += separators.field + quoted(field);
    return text;
  };

  std::vector<std::string> lines{CsvLine({"Date", quoted("First In"), quoted("Last Out"),
                                          "Worked", "Hours"},
                                         separators)};
  auto header = [&](std::initializer_list<const char*> names) {
    for (const char* name : names) lines[0] += separators.field + std::string(name);
  };
  if (targets) header({"Target", "Difference", "Balance"});
  if (breaks) header({"Breaks", "Deducted"});
  if (absences) header({"Absence", "Credit"});
  if (limits) header({"Notes"});

  // The balance counts from its first day (nothing before it), each day in
  // full; without a record and a day set, from today, as the tip counts it.
  if (!today) today = WorkDayOf(platform::Now(), totals.DayStart());
  const int64_t balanceFrom = BalanceFirstDay(totals, settings, *today);
  std::optional<int64_t> balance;
  int64_t workedSum = 0, targetSum = 0, creditSum = 0, breaksSum = 0, deductedSum = 0;
  // The last Out of the day before the one in hand, for the rest between them.
  std::optional<int64_t> lastOutDay;
  std::optional<TDateTime> lastOut;
  auto dayLine = [&](int64_t day) {
    const TNetDay net = NetDay(totals, settings, day);
    const TDayFigures& figures = net.figures;
    workedSum += net.net;
    std::vector<std::string> more;
    if (targets) {
      targetSum += net.target;
      creditSum += net.credit;
      if (day >= balanceFrom) {
        if (!balance)
          balance = settings.opening + totals.WorkedOverTarget(balanceFrom, day - 1, settings);
        *balance += net.OverTarget();
      }
      more = {HoursText(net.target), SignedHoursText(net.OverTarget()),
              balance ? SignedHoursText(*balance) : std::string()};
    }
    if (breaks) {
      breaksSum += net.breaks;
      deductedSum += net.deducted;
      more.push_back(DurationField(net.breaks));
      more.push_back(DurationField(net.deducted));
    }
    if (absences) {
      more.push_back(settings.Absence(day));
      more.push_back(HoursText(net.credit));
    }
    if (limits) {
      if (lastOutDay != day - 1) lastOut = totals.Day(day - 1).lastOut;
      more.push_back(DayNotes(net, lastOut, settings));
      lastOutDay = day;
      lastOut = figures.lastOut;
    }
    return line(DateField(static_cast<TDateTime>(day)), ClockField(figures.firstIn),
                ClockField(figures.lastOut), net.net, more);
  };

  if (targets) {
    // Every day of the range.
    for (int64_t day = firstDay; day <= lastDay; ++day) lines.push_back(dayLine(day));
  } else {
    // The days of the range that the page shows a table of, and those
    // without a record that a spell across them counts in.
    std::set<int64_t> shown;
    for (const TReportDay& day : days)
      if (day.key >= firstDay && day.key <= lastDay) shown.insert(day.key);
    for (int64_t day = std::max(firstDay, totals.FirstDay().value_or(lastDay + 1)); day <= lastDay;
         ++day)
      if (!shown.count(day) && totals.Worked(day) > 0) shown.insert(day);
    for (int64_t day : shown) lines.push_back(dayLine(day));
  }
  std::vector<std::string> more;
  if (targets)
    more = {HoursText(targetSum), SignedHoursText(workedSum + creditSum - targetSum), ""};
  if (breaks) {
    more.push_back(DurationField(breaksSum));
    more.push_back(DurationField(deductedSum));
  }
  if (absences) {
    more.push_back("");
    more.push_back(HoursText(creditSum));
  }
  if (limits) more.push_back("");
  lines.push_back(line("Total", "", "", workedSum, more));

  // The vacation of each calendar year of the range: the days it takes, of
  // the whole year, and those left of the year's vacation days.
  if (!settings.vacation.empty() || settings.vacationDays) {
    DateTimeFields first, last;
    if (DecodeDateTime(static_cast<TDateTime>(firstDay), first) &&
        DecodeDateTime(static_cast<TDateTime>(lastDay), last)) {
      auto dayCount = [&separators](double count) {
        char text[32];
        std::snprintf(text, sizeof text, count == std::floor(count) ? "%.0f" : "%.1f", count);
        std::string field = text;
        const size_t point = field.find('.');
        if (point != std::string::npos) field.replace(point, 1, separators.decimal);
        return field;
      };
      for (int year = first.year; year <= last.year; ++year) {
        const int64_t from = DayNumber(ComposeDate(year, 1, 1));
        const int64_t through = DayNumber(ComposeDate(year, 12, 31));
        double taken = 0;
        for (int64_t day = from; day <= through; ++day) taken += settings.VacationTaken(day);
        std::string text = quoted("Vacation " + std::to_string(year)) + separators.field +
                           quoted("taken " + dayCount(taken));
        if (settings.vacationDays)
          text += separators.field +
                  quoted("left " + dayCount(static_cast<double>(*settings.vacationDays) - taken));
        lines.push_back(text);
      }
    }
  }
  return lines;
}

}  // namespace horalog
