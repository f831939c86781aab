#include "app/HoursSettingsFile.h"

namespace horalog {

THoursSettings ReadHoursSettings(const TIniFile& ini,
                                 std::vector<THoursSettingsProblem>& problems) {
  return ParseHoursSettings(
      [&ini](const std::string& key) { return ini.ReadString(HoursSection, key, ""); }, problems);
}

}  // namespace horalog
