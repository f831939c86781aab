#include "report/NetHours.h"

#include <algorithm>
#include <cmath>

namespace horalog {

int64_t BreakDeduction(int64_t worked, int64_t breaks, const std::vector<TBreakStep>& steps) {
  int64_t deduction = 0;
  for (const TBreakStep& step : steps)
    if (worked > step.worked)
      deduction = std::max(deduction, std::min(step.least - breaks, worked - step.worked));
  return deduction;
}

TDayBreaks BreaksOf(std::vector<TSpan> spells, int64_t part) {
  std::sort(spells.begin(), spells.end(),
            [](const TSpan& a, const TSpan& b) { return a.from < b.from; });
  auto seconds = [](TDateTime span) { return std::max<int64_t>(0, SpanSeconds(span).value_or(0)); };
  TDayBreaks found;
  std::optional<TSpan> worked;   // the union's span that is open
  std::optional<TSpan> stretch;  // the stretch that is open
  auto endStretch = [&] {
    found.longestStretch = std::max(found.longestStretch, seconds(stretch->to - stretch->from));
    found.last = stretch;
  };
  auto close = [&](const TSpan& span) {
    if (!stretch) {
      stretch = span;
      return;
    }
    const int64_t gap = seconds(span.from - stretch->to);
    if (gap >= part) {
      found.breaks += gap;
      endStretch();
      stretch = span;
    } else {
      stretch->to = span.to;
    }
  };
  for (const TSpan& span : spells) {
    if (!(span.to > span.from)) continue;
    if (worked && span.from <= worked->to) {
      worked->to = std::max(worked->to, span.to);
      continue;
    }
    if (worked) close(*worked);
    worked = span;
  }
  if (worked) close(*worked);
  if (stretch) endStretch();
  return found;
}

TNetDay NetDay(const TDayHours& hours, const THoursSettings& settings, int64_t day,
               const std::optional<TRunningSpell>& running) {
  TNetDay net;
  net.figures = hours.Day(day, running);
  if (settings.NeedsSpells()) {
    const TDayBreaks breaks = BreaksOf(hours.Spells(day, running), settings.breakPart);
    net.breaks = breaks.breaks;
    net.longestStretch = breaks.longestStretch;
    net.deducted = BreakDeduction(net.figures.seconds, net.breaks, settings.breaks);
  }
  net.net = net.figures.seconds - net.deducted;
  net.target = settings.Target(day);
  net.credit = settings.Credit(day);
  return net;
}

int64_t NetWorked(const TDayHours& hours, const THoursSettings& settings, int64_t day,
                  const std::optional<TRunningSpell>& running) {
  if (!settings.CountsBreaks()) return hours.Worked(day, running);
  return NetDay(hours, settings, day, running).net;
}

std::string DayNotes(const TNetDay& day, const std::optional<TDateTime>& lastOutBefore,
                     const THoursSettings& settings) {
  std::string notes;
  auto add = [&notes](const std::string& note) { notes += (notes.empty() ? "" : "; ") + note; };
  if (settings.maxDay && day.net > *settings.maxDay)
    add(HoursText(day.net) + " worked (most " + HoursText(*settings.maxDay) + ")");
  if (settings.maxStretch && day.longestStretch > *settings.maxStretch)
    add(HoursText(day.longestStretch) + " without a break");
  // A spell across the split is work that goes on, no rest.
  if (settings.minRest && lastOutBefore && day.figures.firstIn &&
      *day.figures.firstIn != *lastOutBefore) {
    const int64_t rest = SpanSeconds(*day.figures.firstIn - *lastOutBefore).value_or(0);
    if (rest >= 0 && rest < *settings.minRest)
      add("rest " + HoursText(rest) + " (least " + HoursText(*settings.minRest) + ")");
  }
  return notes;
}

std::optional<std::string> TLimitWatch::Due(const TDayHours& hours,
                                            const THoursSettings& settings,
                                            const TRunningSpell& running, const TLocale& locale) {
  const int64_t day = WorkDayOf(running.until, hours.DayStart());
  auto at = [&](TDateTime from, int64_t seconds) {
    return ClockText(from + static_cast<TDateTime>(seconds) / 86400.0, locale);
  };
  if (settings.maxStretch && stretchTold_ != day) {
    const TDayBreaks breaks = BreaksOf(hours.Spells(day, running), settings.breakPart);
    // The stretch the running spell ends.
    if (breaks.last && std::fabs(breaks.last->to - running.until) * MSecsPerDay < 1) {
      const int64_t stretch = SpanSeconds(running.until - breaks.last->from).value_or(0);
      if (stretch >= *settings.maxStretch - LimitNoticeLead && stretch < *settings.maxStretch) {
        stretchTold_ = day;
        return HoursText(stretch) + " without a break: a break is due by " +
               at(breaks.last->from, *settings.maxStretch);
      }
    }
  }
  if (settings.maxDay && dayTold_ != day) {
    const TNetDay today = NetDay(hours, settings, day, running);
    if (today.net >= *settings.maxDay - LimitNoticeLead && today.net < *settings.maxDay) {
      dayTold_ = day;
      // The least more work that makes the net the most: the net never falls
      // as the work grows, so it is found by halves.
      auto netWith = [&](int64_t more) {
        const int64_t worked = today.figures.seconds + more;
        return worked - BreakDeduction(worked, today.breaks, settings.breaks);
      };
      int64_t low = 0, high = *settings.maxDay - today.net;
      for (const TBreakStep& step : settings.breaks) high += std::max<int64_t>(0, step.least);
      while (low < high) {
        const int64_t middle = low + (high - low) / 2;
        if (netWith(middle) >= *settings.maxDay) {
          high = middle;
        } else {
          low = middle + 1;
        }
      }
      return HoursText(today.net) + " worked today: " + HoursText(*settings.maxDay) +
             " is reached at " + at(running.until, low);
    }
  }
  return std::nullopt;
}

}  // namespace horalog
