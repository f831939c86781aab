#include "report/HoursSettings.h"

#include <algorithm>

namespace horalog {

bool THoursSettings::HasTarget() const {
  return std::any_of(weekdayTargets.begin(), weekdayTargets.end(),
                     [](const std::optional<int64_t>& target) { return target.has_value(); });
}

int64_t THoursSettings::Target(int64_t day) const {
  for (const auto& [first, last] : daysOff)
    if (day >= first && day <= last) return 0;
  // Day 0, 30 December 1899, was a Saturday.
  const int weekday = static_cast<int>(((day % 7) + 7 + 6) % 7);
  return weekdayTargets[static_cast<size_t>(weekday)].value_or(0);
}

}  // namespace horalog
