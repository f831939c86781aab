#include "app/PresenceSettingsFile.h"

namespace horalog {

TPresenceSettings ReadPresenceSettings(const TIniFile& ini,
                                       std::vector<TPresenceSettingsProblem>& problems) {
  const TSettingsEntries entries = ini.ReadSection(PresenceSection);
  return ParsePresenceSettings(
      [&entries](const std::string& key) { return SettingsValue(entries, key); }, problems);
}

}  // namespace horalog
