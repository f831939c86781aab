// Today's and this week's hours, as the report would show them: the day
// totals of complete pairs by the report's own pairing (DayPairing), kept up
// to date from the records the program appends, so that showing them never
// reads the data file.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "data/ActRec.h"
#include "platform/DateTime.h"
#include "report/DayPairing.h"

namespace horalog {

// Midnight of the first day of the week that holds moment; firstDayOfWeek is
// numbered as DateTimeFields::dayOfWeek (0 = Sunday).
TDateTime WeekStart(TDateTime moment, int firstDayOfWeek);

struct TWorkHours {
  TDateTime today = 0;
  TDateTime week = 0;
};

class TWorkTotals : private TPairingSink {
 public:
  // Forgets every record; records stamped from `from` on count from here.
  void Reset(TDateTime from);
  // Takes the next record of the journal, in file order.
  void Take(const TActRec& record);

  // The hours at now. A day counts with the total its page shows, nothing
  // when that is not above zero. activeUntil, while a spell runs, is its last
  // activity: a spell begun today counts for today up to there.
  TWorkHours At(TDateTime now, int firstDayOfWeek,
                std::optional<TDateTime> activeUntil = std::nullopt) const;

 private:
  void DayBegins(TDateTime) override {}
  void InOnly(TDateTime) override {}
  void OutOnly(TDateTime) override {}
  void Pair(TDateTime start, TDateTime stop) override;
  void DayEnds() override {}

  TDateTime from_ = 0;
  TDayPairing pairing_;
  std::map<int64_t, TDateTime> days_;  // day number -> sum of its pairs' differences
};

// Fills totals with the records of the data file at dataPath stamped from
// `from` on. The file is in time order, so only its tail is read: back from
// its end, a block at a time, to the last live record before `from`. A
// missing file is an empty journal; a failed read raises its I/O error.
void LoadWorkTotals(const std::string& dataPath, TDateTime from, TWorkTotals& totals);

// A span as h:mm: minutes cut, hours not wrapped at 24; nothing below zero.
std::string HoursText(TDateTime span);

// The tray icon's tip: the name, then "Today h:mm" and "This week h:mm".
std::string WorkHoursTip(const std::string& name, const TWorkHours& hours);

}  // namespace horalog
