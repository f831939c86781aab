// Net working time: the day's work less what its breaks fall short of the
// breaks' rule, the credit of vacation and sick days, and the day's limits.
// The tip's Today, This week and Balance, the day summary and /days count
// by it; with none of the keys of breaks and absences set, net is Worked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "report/HoursSettings.h"
#include "report/WorkTotals.h"

namespace horalog {

// What is deducted from worked seconds of a day with breaks seconds of
// breaks: the largest, over the steps whose hours worked exceeds, of the
// smaller of (that step's break less breaks) and (worked less that step's
// hours); never below 0. So no more than the breaks fall short, and the net
// (worked less it) never falls as worked grows.
int64_t BreakDeduction(int64_t worked, int64_t breaks, const std::vector<TBreakStep>& steps);

// The breaks and stretches of a day's spells: the gaps between them (of
// their union) at least part seconds long are breaks; the work between two
// breaks, shorter gaps and all, is a stretch.
struct TDayBreaks {
  int64_t breaks = 0;           // the sum of the breaks, whole seconds
  int64_t longestStretch = 0;   // whole seconds
  std::optional<TSpan> last;    // the last stretch
};
TDayBreaks BreaksOf(std::vector<TSpan> spells, int64_t part);

// What a day counts, net.
struct TNetDay {
  TDayFigures figures;    // as the hours count the day (seconds: what was worked)
  int64_t breaks = 0;     // while breaks or stretches count
  int64_t longestStretch = 0;
  int64_t deducted = 0;
  int64_t net = 0;        // figures.seconds less deducted
  int64_t target = 0, credit = 0;
  // What the day adds to the balance.
  int64_t OverTarget() const { return net + credit - target; }
};
TNetDay NetDay(const TDayHours& hours, const THoursSettings& settings, int64_t day,
               const std::optional<TRunningSpell>& running = {});

// The net seconds of a day alone: Worked unless breaks count.
int64_t NetWorked(const TDayHours& hours, const THoursSettings& settings, int64_t day,
                  const std::optional<TRunningSpell>& running = {});

// The limits the day crossed, as the day summary's Notes say them, joined
// by "; ": "10:25 worked (most 10:00)", "6:40 without a break", "rest 9:15
// (least 11:00)" (from the last Out of the day before, lastOutBefore, to the
// day's first In). Empty when none.
std::string DayNotes(const TNetDay& day, const std::optional<TDateTime>& lastOutBefore,
                     const THoursSettings& settings);

// The notices while a spell runs, a quarter of an hour before a limit: "5:45
// without a break: a break is due by 13:30" and "9:45 worked today: 10:00 is
// reached at 18:15", each once a working day.
class TLimitWatch {
 public:
  // The notice due with the spell running up to running.until, if any.
  std::optional<std::string> Due(const TDayHours& hours, const THoursSettings& settings,
                                 const TRunningSpell& running, const TLocale& locale);

 private:
  std::optional<int64_t> stretchTold_, dayTold_;  // the working days told
};

// The notice's lead: a quarter of an hour.
inline constexpr int64_t LimitNoticeLead = 15 * 60;

}  // namespace horalog
