// The command line with [Machines]: /csv and /days of every machine's
// copies in the folder beside this machine's journal, and /machines, the
// list of the copies in the folder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "machines/MachineFolder.h"
#include "report/HoursSettings.h"

namespace horalog {

using TSayLine = std::function<void(const std::string&)>;

// The text of /csv (daySummary false) or /days for the days firstDay to
// lastDay: this machine's journal at dataPath with the other machines'
// copies in the folder, which is looked at once; what it tells goes to
// tell. A failure raises; readingJournal tells whether it was the journal's.
std::string MachinesCommandText(const TMachinesSettings& machines, const std::string& dataPath,
                                bool daySummary, int64_t firstDay, int64_t lastDay,
                                const THoursSettings& settings, const TSayLine& tell,
                                bool& readingJournal);

// Horalog.exe /machines for the program at exePath: one line per machine's
// copy in the folder to say, what the folder tells to tell. The exit code:
// 0, or 2 when there is no folder or it cannot be read.
int ListMachines(const std::string& exePath, const TSayLine& say, const TSayLine& tell);

}  // namespace horalog
