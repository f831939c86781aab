// The report of several machines: each day's rows of every machine in time
// order, each row as its machine's pairing makes it and named by it, the
// day's total the union's; below the last day a line per machine that says
// how far its records go and when its copy was made, so that a copy the sync
// service has not brought yet is seen. And the lines of `Horalog.exe
// /machines`.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "machines/MachineCopy.h"
#include "machines/MachineFolder.h"
#include "machines/MachineHours.h"
#include "report/ReportBuilder.h"

namespace horalog {

// The days with every machine's rows: ownDays (this machine's, from its
// journal) named ownName, and the rows of the other machines' records of the
// range (startDate to endDate, days split at dayStart), named by theirs. In
// each day the rows come in time order (by In, or by Out for an Out alone).
// Its total is the page's rule for several machines: the union of the day's
// pairs as the page pairs them, each machine counted as its own page counts
// it (UnionSeconds); a day of one machine keeps that machine's total. (The
// day summary and the tip keep the hours' rule.)
std::vector<TReportDay> MachinesReportDays(std::vector<TReportDay> ownDays,
                                           const std::string& ownName,
                                           const std::vector<const TMachineReading*>& others,
                                           TDateTime startDate, TDateTime endDate,
                                           TDateTime dayStart);

// The lines below the last day, in the locale's forms, for example
// "Laptop: records to 12/8/2026 5:32:00 PM, copy of 5:35:00 PM", and ", its
// clock at UTC-5 (its records shown at this machine's time)" for a machine
// whose offset from UTC differs from this machine's; this machine's first,
// from its own journal.
std::vector<std::string> MachineLines(const std::string& ownName, std::optional<TDateTime> ownLast,
                                      const std::vector<const TMachineReading*>& others,
                                      const TLocale& locale);

// The report file of several machines, as BuildReportFile writes one
// machine's: this machine's journal in dataDir, named own.name, with the
// other machines' readings. totals gets this machine's hours with their
// spells, and hours (over totals) the other machines': the union of all.
ReportOutcome BuildMachinesReportFile(const std::string& dataDir, TDateTime startDate,
                                      TDateTime endDate, const TLocale& locale, TDateTime dayStart,
                                      const std::string& ownName,
                                      const std::vector<const TMachineReading*>& others,
                                      TWorkTotals& totals, TMachineHours& hours);

// One line per copy in the folder: its name, identity, live records, first
// and last record and the age of the copy at now, for example
// "Laptop {7f3e...}: 1234 records, 2026-01-05 08:00 to 2026-12-08 17:32,
// copy of 2026-12-08 17:35, 0:03 old"; this machine's marked so.
std::vector<std::string> MachineListLines(const std::vector<const TMachineReading*>& copies,
                                          const std::string& ownIdentity, TDateTime now);

}  // namespace horalog
