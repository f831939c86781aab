#include "app/PresenceSettingsFile.h"

namespace horalog {

TPresenceSettings ReadPresenceSettings(const TIniFile& ini,
                                       std::vector<TPresenceSettingsProblem>& problems) {
  return ParsePresenceSettings(
      [&ini](const std::string& key) { return ini.ReadString(PresenceSection, key, ""); },
      problems);
}

}  // namespace horalog
