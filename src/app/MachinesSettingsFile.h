// [Machines] as the settings file holds it, edited by hand: the folder that
// the user's sync service shares between their machines, and this machine's
// name there.
//
//   [Machines]
//   Folder=%OneDrive%\Horalog
//   Name=Laptop
#pragma once

#include <string>
#include <vector>

#include "app/IniFile.h"
#include "machines/MachineFolder.h"

namespace horalog {

inline constexpr const char* MachinesSection = "Machines";

// The settings of [Machines] for the program at exePath: Folder= with its
// %NAME% environment variables expanded, relative to the program's folder
// unless absolute, with a trailing separator; Name= (the computer's name
// unless set); the machine's identity and computer name from the system.
// Without Folder= nothing of it is set (no folder), nor with a %NAME% in it
// that this machine cannot expand. What cannot be used is told in problems,
// one line each, in UTF-8.
TMachinesSettings ReadMachinesSettings(const TIniFile& ini, const std::string& exePath,
                                       std::vector<std::string>& problems);

}  // namespace horalog
