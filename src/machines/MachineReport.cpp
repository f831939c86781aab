#include "machines/MachineReport.h"

#include <algorithm>
#include <map>
#include <utility>

#include "machines/MachineZones.h"
#include "platform/Platform.h"

namespace horalog {

namespace {

// A name as the page shows it: in the system's code page, its markup
// characters as text.
std::string PageText(const std::string& name) { return HtmlText(platform::PathForDisplay(name)); }

// A moment as the command line writes it, whatever the locale.
std::string FixedMoment(TDateTime time) {
  return FormatDateTime("yyyy-mm-dd hh:nn", time, TLocale{});
}

}  // namespace

std::vector<TReportDay> MachinesReportDays(std::vector<TReportDay> ownDays,
                                           const std::string& ownName,
                                           const std::vector<const TMachineReading*>& others,
                                           TDateTime startDate, TDateTime endDate,
                                           TDateTime dayStart) {
  // Each day with its machines' pairs, as the page pairs them.
  struct TDayOfMachines {
    TReportDay day;
    std::vector<std::vector<TSpan>> pairs;
    std::vector<TDateTime> totals;  // of the machines whose page shows one
  };
  std::map<int64_t, TDayOfMachines> byDay;
  auto take = [&byDay](std::vector<TReportDay> days, const std::string& machine) {
    for (TReportDay& day : days) {
      std::vector<TSpan> pairs;
      for (TReportRow& row : day.rows) {
        row.machine = machine;
        if (row.IsPair()) pairs.push_back({*row.in, *row.out});
      }
      // A machine's total that the page does not show counts nothing.
      if (!day.ShowsTotal()) pairs.clear();
      auto [at, added] = byDay.try_emplace(day.key, TDayOfMachines{day, {}, {}});
      if (day.ShowsTotal()) at->second.totals.push_back(day.total);
      at->second.pairs.push_back(std::move(pairs));
      if (added) continue;
      TReportDay& into = at->second.day;
      if (day.first < into.first) {
        into.first = day.first;
        into.dated = day.dated;
      }
      into.rows.insert(into.rows.end(), day.rows.begin(), day.rows.end());
    }
  };
  take(std::move(ownDays), platform::PathForDisplay(ownName));
  for (const TMachineReading* reading : others) {
    TReportPairing pairing(startDate, endDate, dayStart);
    for (const TMachineRecord& record : reading->records)
      pairing.Take(MakeRecord(record.action, record.time));
    pairing.Finish();
    take(pairing.TakeDays(), platform::PathForDisplay(reading->mark.name));
  }
  std::vector<TReportDay> days;
  for (auto& [key, entry] : byDay) {
    TReportDay& day = entry.day;
    std::stable_sort(
        day.rows.begin(), day.rows.end(),
        [](const TReportRow& a, const TReportRow& b) { return a.Moment() < b.Moment(); });
    // A day of one machine keeps the total its page shows; several count
    // the union of their pairs, each machine as its own page counts it.
    if (entry.totals.size() == 1) {
      day.total = entry.totals[0];
    } else if (entry.totals.size() > 1) {
      day.total = static_cast<TDateTime>(UnionSeconds(entry.pairs)) / 86400.0;
    }
    days.push_back(std::move(day));
  }
  return days;
}

std::vector<std::string> MachineLines(const std::string& ownName, std::optional<TDateTime> ownLast,
                                      const std::vector<const TMachineReading*>& others,
                                      const TLocale& locale) {
  auto recordsTo = [&locale](const std::optional<TDateTime>& last) {
    return last ? "records to " + DateTimeText(*last, locale) : std::string("no records");
  };
  std::vector<std::string> lines{PageText(ownName) + " (this machine): " + recordsTo(ownLast)};
  for (const TMachineReading* reading : others) {
    const TDateTime made = reading->mark.madeAt;
    // The copy's time alone when it is of the day of its last record.
    const bool sameDay = reading->last && DayNumber(*reading->last) == DayNumber(made);
    lines.push_back(PageText(reading->mark.name) + ": " + recordsTo(reading->last) + ", copy of " +
                    (sameDay ? TimeText(made, locale) : DateTimeText(made, locale)) +
                    (reading->clockOffset
                         ? ", its clock at " + OffsetText(*reading->clockOffset) +
                               " (its records shown at this machine's time)"
                         : std::string()));
  }
  return lines;
}

ReportOutcome BuildMachinesReportFile(const std::string& dataDir, TDateTime startDate,
                                      TDateTime endDate, const TLocale& locale, TDateTime dayStart,
                                      const std::string& ownName,
                                      const std::vector<const TMachineReading*>& others,
                                      TWorkTotals& totals, TMachineHours& hours) {
  const std::string dataPath = dataDir + DataFileBaseName;
  totals = TWorkTotals(dayStart, true);
  // Everything is read before the report file is touched. Without a data
  // file this machine's journal is empty.
  std::vector<TReportDay> own = ReadJournalDays(dataPath, startDate, endDate, dayStart, &totals);
  hours.SetMachines(others);
  std::vector<TReportDay> days =
      MachinesReportDays(std::move(own), ownName, others, startDate, endDate, dayStart);
  const TPageOfMachines machines{MachineLines(ownName, totals.LastMoment(), others, locale)};
  const std::vector<std::string> lines = ReportPageLines(days, locale, &machines);
  return WriteReportFile(dataDir, std::move(days), lines);
}

std::vector<std::string> MachineListLines(const std::vector<const TMachineReading*>& copies,
                                          const std::string& ownIdentity, TDateTime now) {
  std::vector<std::string> lines;
  for (const TMachineReading* copy : copies) {
    const TCopyMark& mark = copy->mark;
    std::string line = mark.name + " {" + mark.identity + "}" +
                       (mark.identity == ownIdentity ? " (this machine)" : "") + ": " +
                       std::to_string(copy->records.size()) +
                       (copy->records.size() == 1 ? " record" : " records");
    if (copy->first && copy->last)
      line += ", " + FixedMoment(*copy->first) + " to " + FixedMoment(*copy->last);
    const std::optional<int64_t> age = SpanSeconds(now - mark.madeAt);
    line += ", copy of " + FixedMoment(mark.madeAt) + ", " + HoursText(age.value_or(0)) + " old";
    lines.push_back(line);
  }
  return lines;
}

}  // namespace horalog
