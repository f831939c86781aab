// How presence is told, as the settings file holds it: the keys of the
// section [Presence], edited by hand.
#pragma once

#include <vector>

#include "app/IniFile.h"
#include "recorder/PresenceSettings.h"

namespace horalog {

// Reads the keys of [Presence] from the settings file. A key whose value
// cannot be read is left out and named in problems
// (PresenceSettingsProblemText gives its line); a file that is missing or
// cannot be read has no such keys, and everything is off.
TPresenceSettings ReadPresenceSettings(const TIniFile& ini,
                                       std::vector<TPresenceSettingsProblem>& problems);

}  // namespace horalog
