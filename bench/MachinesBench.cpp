// Three machines of 100,000 records each (ten spells a day for 5,000 days,
// each machine's an hour after the one before, so that they overlap): what
// the tip's first figures with [Machines] cost (this machine's journal and
// the two others' copies read, their union counted), a look at a folder in
// which nothing changed, and the tip's figures at a tick.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/ActRec.h"
#include "machines/MachineCopy.h"
#include "machines/MachineFolder.h"
#include "machines/MachineHours.h"
#include "report/WorkTotals.h"

namespace horalog {
namespace {

namespace fs = std::filesystem;

constexpr int RecordCount = 100000;
constexpr int SpellsPerDay = 5;
constexpr int Days = RecordCount / (2 * SpellsPerDay);
const std::string Identities[] = {"00000000-0000-4000-8000-000000000001",
                                  "00000000-0000-4000-8000-000000000002",
                                  "00000000-0000-4000-8000-000000000003"};

struct Machines {
  fs::path dir;
  std::string folder, dataPath;
  TDateTime lastDay = 0;

  // The journal of machine n: its spells n hours after the first machine's.
  static void WriteJournal(const fs::path& path, int n, TDateTime firstDay) {
    std::vector<TActRec> records(RecordCount);
    std::memset(records.data(), 0, records.size() * sizeof(TActRec));
    size_t i = 0;
    for (int day = 0; day < Days; ++day) {
      for (int spell = 0; spell < SpellsPerDay; ++spell) {
        const TDateTime in = firstDay + day + ComposeTime(7 + n + 2 * spell, 7 * spell, 13, 0);
        records[i].Action = ActionStart;
        records[i++].Time = in;
        records[i].Action = ActionStop;
        records[i++].Time = in + ComposeTime(1, 20 + spell, 41, 0);
      }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(records.data()),
              static_cast<std::streamsize>(records.size() * sizeof(TActRec)));
  }

  Machines() {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir = fs::temp_directory_path() / ("horalog-machines-bench-" + std::to_string(stamp));
    fs::create_directories(dir / "shared");
    folder = (dir / "shared").string() + static_cast<char>(fs::path::preferred_separator);
    dataPath = (dir / DataFileBaseName).string();
    const TDateTime firstDay = ComposeDate(2000, 1, 3);
    lastDay = firstDay + Days - 1;
    WriteJournal(dataPath, 0, firstDay);
    for (int n = 1; n <= 2; ++n) {
      const fs::path journal = dir / ("other" + std::to_string(n) + ".dat");
      WriteJournal(journal, n, firstDay);
      const std::string name = "Machine " + std::to_string(n);
      WriteMachineCopy(folder + CopyFileName(name, Identities[n]), journal.string(), {}, {},
                       {Identities[n], name, "OTHER", lastDay + 0.9, std::nullopt});
    }
  }
  ~Machines() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  TMachinesSettings Settings() const { return {folder, "Desk", Identities[0], "DESK"}; }
};

Machines& TheMachines() {
  static Machines machines;
  return machines;
}

// This machine's hours and the other two machines' read from the folder:
// what the tip counts.
struct Counted {
  TWorkTotals own{0, true};
  TMachineFolder folder;
  TMachineHours hours{own};

  explicit Counted(const Machines& machines)
      : folder(machines.Settings(), [](const std::string&) {}) {
    LoadWorkTotals(machines.dataPath, own);
    folder.Look();
    hours.SetMachines(folder.Machines());
  }
};

THoursSettings EightHours() {
  THoursSettings settings;
  for (int day = 1; day <= 5; ++day) settings.weekdayTargets[static_cast<size_t>(day)] = 8 * 3600;
  return settings;
}

// From nothing to the tip's figures of all three machines with a balance
// over every day: this machine's journal, the folder's two copies, the union.
void BM_MachinesFirstTip(benchmark::State& state) {
  Machines& machines = TheMachines();
  const THoursSettings settings = EightHours();
  for (auto _ : state) {
    const Counted counted(machines);
    const TWorkHours figures = HoursAt(counted.hours, settings, machines.lastDay + 0.5, 1);
    benchmark::DoNotOptimize(figures.balance);
  }
  state.SetItemsProcessed(state.iterations() * 3 * RecordCount);
}
BENCHMARK(BM_MachinesFirstTip)->Unit(benchmark::kMillisecond);

// The look once a minute when no copy changed: the folder listed and each
// copy's stamp asked, nothing read.
void BM_LookAtUnchangedFolder(benchmark::State& state) {
  Machines& machines = TheMachines();
  TMachineFolder folder(machines.Settings(), [](const std::string&) {});
  folder.Look();
  for (auto _ : state) benchmark::DoNotOptimize(folder.Look());
}
BENCHMARK(BM_LookAtUnchangedFolder)->Unit(benchmark::kMicrosecond);

// The tip's figures at a tick with three machines, the balance over every
// day (kept between ticks), this machine's spell running.
void BM_MachinesTipAtATick(benchmark::State& state) {
  Machines& machines = TheMachines();
  const Counted counted(machines);
  const THoursSettings settings = EightHours();
  const TDateTime now = machines.lastDay + 0.5;
  for (auto _ : state) {
    const TWorkHours figures = HoursAt(counted.hours, settings, now, 1, TRunningSpell{now});
    benchmark::DoNotOptimize(figures.balance);
  }
}
BENCHMARK(BM_MachinesTipAtATick);

}  // namespace
}  // namespace horalog
