// Three machines of 100,000 records each (ten spells a day for 5,000 days,
// each machine's an hour after the one before, so that they overlap): what
// the tip's first figures with [Machines] cost (this machine's journal and
// the two others' copies read, their union counted), a look at a folder in
// which nothing changed, and the tip's figures at a tick. Then the bytes an
// hour of work sends into the folder, beside what one copy in one file sent,
// and, with ten copies of 1,000,000 records, the first look (its time and
// the resident memory it adds, beside one machine's journal of that size),
// the tick's cost when one of the copies changed, beside counting every
// machine afresh.
#include <benchmark/benchmark.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
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

// A folder of its own under the system's temporary one, gone at the end:
// the shared folder in it and this machine's journal beside.
struct Scratch {
  fs::path dir;
  std::string folder, journal;
  explicit Scratch(const std::string& kind) {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir = fs::temp_directory_path() / ("horalog-" + kind + "-bench-" + std::to_string(stamp));
    fs::create_directories(dir / "shared");
    folder = (dir / "shared").string() + static_cast<char>(fs::path::preferred_separator);
    journal = (dir / DataFileBaseName).string();
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

struct Machines : Scratch {
  TDateTime lastDay = 0;

  // The journal of machine n: its spells n hours after the first machine's.
  static void WriteJournal(const fs::path& path, int n, TDateTime firstDay,
                           int count = RecordCount) {
    const int days = count / (2 * SpellsPerDay);
    std::vector<TActRec> records(static_cast<size_t>(count));
    std::memset(records.data(), 0, records.size() * sizeof(TActRec));
    size_t i = 0;
    for (int day = 0; day < days; ++day) {
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

  static void WriteJournalOf(const fs::path& path, int count, TDateTime firstDay) {
    WriteJournal(path, 0, firstDay, count);
  }

  Machines() : Scratch("machines") {
    const TDateTime firstDay = ComposeDate(2000, 1, 3);
    lastDay = firstDay + Days - 1;
    WriteJournal(journal, 0, firstDay);
    for (int n = 1; n <= 2; ++n) {
      const fs::path other = dir / ("other" + std::to_string(n) + ".dat");
      WriteJournal(other, n, firstDay);
      const std::string name = "Machine " + std::to_string(n);
      WriteMachineCopy(folder + CopyFileName(name, Identities[n]), other.string(), {}, {},
                       {Identities[n], name, "OTHER", lastDay + 0.9, std::nullopt});
    }
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
    LoadWorkTotals(machines.journal, own);
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

// The files in a folder and the folders within, with their stamps.
std::map<std::string, platform::TFileStamp> Snapshot(const std::string& folder) {
  std::map<std::string, platform::TFileStamp> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      if (const auto stamp = platform::FileStamp(entry.path().string()))
        files[entry.path().string()] = *stamp;
  return files;
}

// The bytes of the files written since before; before becomes now.
int64_t BytesWritten(const std::string& folder,
                     std::map<std::string, platform::TFileStamp>& before) {
  const std::map<std::string, platform::TFileStamp> now = Snapshot(folder);
  int64_t bytes = 0;
  for (const auto& [name, stamp] : now) {
    const auto found = before.find(name);
    if (found == before.end() || !(found->second == stamp)) bytes += stamp.size;
  }
  before = now;
  return bytes;
}

void AppendRecord(const std::string& path, uint8_t action, TDateTime time) {
  const TActRec record = MakeRecord(action, time);
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(reinterpret_cast<const char*>(&record), sizeof record);
}

// An hour of work on a journal of records records, as the recorder writes
// its copy: the spell's Start, its last activity every five minutes, its
// Stop. The bytes written into the folder, beside the bytes of the same
// writes of one copy in one file (as an earlier release wrote it).
void HourOfWork(benchmark::State& state, int records) {
  const Scratch scratch("hour");
  const std::string& folder = scratch.folder;
  const std::string& journal = scratch.journal;
  const int days = records / (2 * SpellsPerDay);
  const TDateTime firstDay = ComposeDate(2000, 1, 3);
  {
    std::vector<TActRec> all;
    all.reserve(static_cast<size_t>(records));
    for (int day = 0; day < days; ++day)
      for (int spell = 0; spell < SpellsPerDay; ++spell) {
        const TDateTime in = firstDay + day + ComposeTime(7 + 2 * spell, 0, 0, 0);
        all.push_back(MakeRecord(ActionStart, in));
        all.push_back(MakeRecord(ActionStop, in + ComposeTime(1, 30, 0, 0)));
      }
    std::ofstream out(journal, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(all.data()),
              static_cast<std::streamsize>(all.size() * sizeof(TActRec)));
  }
  TMachineFolder writer(
      {folder, "Desk", Identities[0], "DESK"}, [](const std::string&) {}, journal);
  TDateTime now = firstDay + days + 0.3;
  writer.WriteOwnCopy(journal, {}, {}, now);
  int64_t sent = 0, oneFile = 0;
  for (auto _ : state) {
    std::map<std::string, platform::TFileStamp> before = Snapshot(folder);
    sent = oneFile = 0;
    int writes = 0;
    const TDateTime start = now;
    AppendRecord(journal, ActionStart, start);
    for (int minutes = 0; minutes <= 60; minutes += 5) {
      now = start + minutes / 1440.0;
      if (minutes == 60) AppendRecord(journal, ActionStop, now);
      writer.WriteOwnCopy(journal, {}, minutes < 60 ? std::optional<TDateTime>(now) : std::nullopt,
                          now);
      sent += BytesWritten(folder, before);
      ++writes;
    }
    oneFile = writes * (static_cast<int64_t>(fs::file_size(journal)) + 3 * RecordSize);
    now += 1.0 / 24;
  }
  state.counters["bytes_per_hour"] = static_cast<double>(sent);
  state.counters["one_file_bytes_per_hour"] = static_cast<double>(oneFile);
}
void BM_BytesSentPerHourOfWork(benchmark::State& state) {
  HourOfWork(state, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_BytesSentPerHourOfWork)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Ten machines of 1,000,000 records in the folder, read and counted; at each
// tick one of them has written a spell more: the look at the folder and the
// machines counted again. Beside it (CountedAfresh), the same with every
// machine counted from its records.
struct TenMachines : Scratch {
  static constexpr int Count = 10, Records = 1000000;
  std::vector<std::unique_ptr<TMachineFolder>> writers;
  TDateTime next = 0;

  TenMachines() : Scratch("ten") {
    Machines::WriteJournalOf(journal, Records, ComposeDate(1990, 1, 1));
    next = ComposeDate(1990, 1, 1) + Records / (2 * SpellsPerDay) + 0.3;
    for (int n = 0; n < Count; ++n) {
      char identity[40];
      std::snprintf(identity, sizeof identity, "00000000-0000-4000-8000-%012d", 100 + n);
      writers.push_back(std::make_unique<TMachineFolder>(
          TMachinesSettings{folder, "Machine " + std::to_string(n), identity, "OTHER"},
          [](const std::string&) {}));
      writers.back()->WriteOwnCopy(journal, {}, {}, next);
    }
  }
  // The first machine's spell more, and its copy written.
  void OneChanged() {
    AppendRecord(journal, ActionStart, next);
    AppendRecord(journal, ActionStop, next + 0.01);
    next += 0.02;
    writers[0]->WriteOwnCopy(journal, {}, {}, next);
  }
  TMachinesSettings Reader() const {
    return {folder, "Desk", "00000000-0000-4000-8000-000000000999", "DESK"};
  }
};

TenMachines& TheTen() {
  static TenMachines ten;
  return ten;
}

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// The heap's free memory given back, so that what a count adds is not hidden
// in what the one before freed.
void TrimHeap() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

// The time of first (what the tip needs of it, made afresh each iteration)
// and the resident memory it adds at most while it is kept: the counter
// resident_mb. It is let go between iterations, outside the time.
template <typename TFirst>
void FirstFigures(benchmark::State& state, const std::function<std::unique_ptr<TFirst>()>& first) {
  std::unique_ptr<TFirst> kept;
  long before = 0, growth = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (kept) growth = std::max(growth, ResidentBytes() - before);
    kept.reset();
    TrimHeap();
    before = ResidentBytes();
    state.ResumeTiming();
    kept = first();
    benchmark::DoNotOptimize(kept.get());
  }
  if (kept) growth = std::max(growth, ResidentBytes() - before);
  state.counters["resident_mb"] = static_cast<double>(growth) / (1024 * 1024);
}

// The first look at the ten machines' copies, as at start-up: the folder
// read, the machines counted, the tip's first figures with a balance over
// every day.
struct FirstLookAtTen {
  TWorkTotals own{0, true};
  TMachineFolder reader;
  TMachineHours hours{own};
  TWorkHours figures;
  explicit FirstLookAtTen(const TenMachines& ten)
      : reader(ten.Reader(), [](const std::string&) {}) {
    // As the recorder looks: each copy counted as it is read, its records
    // let go once its count is frozen.
    TakeMachines(reader, hours, LookAndCount(reader, hours, 0), 0);
    figures = HoursAt(hours, EightHours(), ten.next, 1);
  }
};
void BM_FirstLookAtTenMachines(benchmark::State& state) {
  TenMachines& ten = TheTen();
  FirstFigures<FirstLookAtTen>(state, [&] { return std::make_unique<FirstLookAtTen>(ten); });
  state.SetItemsProcessed(state.iterations() * TenMachines::Count * TenMachines::Records);
}
BENCHMARK(BM_FirstLookAtTenMachines)->Iterations(2)->Unit(benchmark::kMillisecond);

// Beside it, one machine: its own journal of 1,000,000 records read and the
// tip's first figures.
struct FirstLookAtOne {
  TWorkTotals own{0, true};
  TWorkHours figures;
  explicit FirstLookAtOne(const TenMachines& ten) {
    LoadWorkTotals(ten.journal, own);
    figures = HoursAt(own, EightHours(), ten.next, 1);
  }
};
void BM_FirstLookAtOneMachine(benchmark::State& state) {
  TenMachines& ten = TheTen();
  FirstFigures<FirstLookAtOne>(state, [&] { return std::make_unique<FirstLookAtOne>(ten); });
  state.SetItemsProcessed(state.iterations() * TenMachines::Records);
}
BENCHMARK(BM_FirstLookAtOneMachine)->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_TickWhenOneOfTenCopiesChanged(benchmark::State& state) {
  TenMachines& ten = TheTen();
  TWorkTotals own{0, true};
  TMachineFolder reader(ten.Reader(), [](const std::string&) {});
  TMachineHours hours(own);
  TakeMachines(reader, hours, LookAndCount(reader, hours, 0), 0);
  // The machine that works is counted again whole at its first change (its
  // count was frozen at the first look), and live from then on.
  ten.OneChanged();
  TakeMachines(reader, hours, LookAndCount(reader, hours, 0), 0);
  for (auto _ : state) {
    state.PauseTiming();
    ten.OneChanged();
    state.ResumeTiming();
    TakeMachines(reader, hours, LookAndCount(reader, hours, 0), 0);
    benchmark::DoNotOptimize(hours.MachineCount());
  }
}
BENCHMARK(BM_TickWhenOneOfTenCopiesChanged)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_TenMachinesCountedAfresh(benchmark::State& state) {
  TenMachines& ten = TheTen();
  TWorkTotals own{0, true};
  TMachineFolder reader(ten.Reader(), [](const std::string&) {});
  reader.Look();
  for (auto _ : state) {
    TMachineHours hours(own);
    hours.SetMachines(reader.Machines());
    benchmark::DoNotOptimize(hours.MachineCount());
  }
}
BENCHMARK(BM_TenMachinesCountedAfresh)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace horalog
