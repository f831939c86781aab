#include "app/HoursSettingsFile.h"

#include <string>

namespace horalog {

THoursSettings ReadHoursSettings(const TIniFile& ini,
                                 std::vector<THoursSettingsProblem>& problems) {
  // The targets from a date have names that are not known in advance: the
  // section's names as the file writes them.
  const TSettingsEntries entries = ini.ReadSection(HoursSection);
  return ParseHoursSettings(
      [&entries](const std::string& key) { return SettingsValue(entries, key); }, problems,
      SettingsKeyNames(entries));
}

}  // namespace horalog
