#include "app/MachinesCommand.h"

#include <vector>

#include "app/CommandLine.h"
#include "app/IniFile.h"
#include "app/MachinesSettingsFile.h"
#include "data/SettingsRules.h"
#include "machines/MachineReport.h"
#include "platform/Platform.h"
#include "report/ReportCsv.h"

namespace horalog {

std::string MachinesCommandText(const TMachinesSettings& machines, const std::string& dataPath,
                                bool daySummary, int64_t firstDay, int64_t lastDay,
                                const THoursSettings& settings, const TSayLine& tell,
                                bool& readingJournal) {
  // This installation's identity from beside the journal; nothing written.
  TMachineFolder folder(machines, tell, dataPath, TZoneClock::System(), true);
  folder.Look();
  const TDateTime startDate = static_cast<TDateTime>(firstDay);
  const TDateTime endDate = static_cast<TDateTime>(lastDay);
  TWorkTotals totals(settings.dayStart, true);
  readingJournal = true;
  std::vector<TReportDay> own =
      ReadJournalDays(dataPath, startDate, endDate, settings.dayStart, &totals);
  readingJournal = false;
  TMachineHours hours(totals);
  hours.SetMachines(folder.Machines());
  const std::vector<TReportDay> days =
      MachinesReportDays(std::move(own), machines.name, folder.Machines(), startDate, endDate,
                         settings.dayStart);
  const TCsvSeparators separators = CsvSeparators(platform::UserLocale());
  return JoinLines(daySummary
                       ? DaySummaryLines(days, firstDay, lastDay, hours, settings, separators)
                       : ReportCsvLines(days, separators, true));
}

int ListMachines(const std::string& exePath, const TSayLine& say, const TSayLine& tell) {
  std::vector<std::string> problems;
  const std::string iniPath = SettingsFilePath(exePath);
  const TMachinesSettings machines = ReadMachinesSettings(TIniFile(iniPath), exePath, problems);
  for (const std::string& problem : problems) tell(problem);
  if (!machines.Active()) {
    tell("no folder of [Machines] is set in " + platform::PathForDisplay(iniPath) + ".");
    return CommandBadJournal;
  }
  TMachineFolder folder(machines, tell, DirectoryOf(exePath) + DataFileBaseName,
                        TZoneClock::System(), true);
  folder.Look();
  if (!folder.Readable()) return CommandBadJournal;
  // This machine's own copy too, as the others read it.
  std::vector<const TMachineReading*> copies = folder.Machines();
  const TCopyOutcome own = ReadMachineCopy(
      folder.OwnCopyPath(), CopyFileName(machines.name, folder.Identity()), folder.Identity());
  if (own.reading) copies.insert(copies.begin(), &*own.reading);
  for (const std::string& line : MachineListLines(copies, folder.Identity(), platform::Now()))
    say(line);
  return CommandDone;
}

}  // namespace horalog
