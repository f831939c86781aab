// The timesheet's settings as the settings file holds them: the keys of the
// section [Hours], edited by hand.
#pragma once

#include <vector>

#include "app/IniFile.h"
#include "report/HoursSettings.h"

namespace horalog {

// Reads the keys of [Hours] from the settings file, the targets from a date
// among the section's listed key names. A key whose value cannot be read is
// left out and named in problems as written (HoursSettingsProblemText gives
// its line); a file that is missing or cannot be read has no such keys.
THoursSettings ReadHoursSettings(const TIniFile& ini, std::vector<THoursSettingsProblem>& problems);

}  // namespace horalog
