// The daily report over a journal of 100,000 records (ten spells a day for
// 5,000 days), beside a plain read of the same file and a write of as many
// bytes as the report has; the day summary of 1,000,000 records with every
// key of breaks, limits and absences set, beside the same without them.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/ActRec.h"
#include "data/AtomicFile.h"
#include "platform/DateTime.h"
#include "platform/Platform.h"
#include "report/Holidays.h"
#include "report/ReportBuilder.h"
#include "report/ReportCsv.h"
#include "report/WorkTotals.h"

namespace horalog {
namespace {

namespace fs = std::filesystem;

constexpr int RecordCount = 100000;
constexpr int SpellsPerDay = 5;  // a Start and a Stop each
constexpr int Days = RecordCount / (2 * SpellsPerDay);

struct Journal {
  fs::path dir;
  std::string dataDir;
  TDateTime firstDay = 0, lastDay = 0;

  explicit Journal(int recordCount = RecordCount) {
    const int days = recordCount / (2 * SpellsPerDay);
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir = fs::temp_directory_path() /
          ("horalog-report-bench-" + std::to_string(recordCount) + "-" + std::to_string(stamp));
    fs::create_directories(dir);
    dataDir = dir.string() + static_cast<char>(fs::path::preferred_separator);
    firstDay = ComposeDate(2000, 1, 3);
    lastDay = firstDay + days - 1;

    std::vector<TActRec> records(static_cast<size_t>(recordCount));
    std::memset(records.data(), 0, records.size() * sizeof(TActRec));
    size_t i = 0;
    for (int day = 0; day < days; ++day) {
      for (int spell = 0; spell < SpellsPerDay; ++spell) {
        const TDateTime in = firstDay + day + ComposeTime(8 + 2 * spell, 7 * spell, 13, 0);
        records[i].Action = ActionStart;
        records[i++].Time = in;
        records[i].Action = ActionStop;
        records[i++].Time = in + ComposeTime(1, 20 + spell, 41, 0);
      }
    }
    std::ofstream out(dir / DataFileBaseName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(records.data()),
              static_cast<std::streamsize>(records.size() * sizeof(TActRec)));
  }
  ~Journal() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  std::string DataPath() const { return dataDir + DataFileBaseName; }
};

Journal& TheJournal() {
  static Journal journal;
  return journal;
}

const TLocale English;

void BM_ReportWholeRange(benchmark::State& state) {
  Journal& journal = TheJournal();
  for (auto _ : state) {
    const ReportOutcome outcome =
        BuildReportFile(journal.dataDir, journal.firstDay, journal.lastDay, English);
    benchmark::DoNotOptimize(outcome.path);
  }
  state.SetItemsProcessed(state.iterations() * RecordCount);
  state.counters["report_bytes"] =
      static_cast<double>(fs::file_size(journal.dir / ReportFileBaseName));
}
BENCHMARK(BM_ReportWholeRange)->Unit(benchmark::kMillisecond);

// What the Report command does with its default dates: one day, the last.
void BM_ReportOneDay(benchmark::State& state) {
  Journal& journal = TheJournal();
  for (auto _ : state) {
    const ReportOutcome outcome =
        BuildReportFile(journal.dataDir, journal.lastDay, journal.lastDay, English);
    benchmark::DoNotOptimize(outcome.path);
  }
  state.SetItemsProcessed(state.iterations() * RecordCount);
}
BENCHMARK(BM_ReportOneDay)->Unit(benchmark::kMillisecond);

void BM_ReportLinesOnly(benchmark::State& state) {
  Journal& journal = TheJournal();
  for (auto _ : state) {
    auto lines = BuildReportLines(journal.DataPath(), journal.firstDay, journal.lastDay, English);
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetItemsProcessed(state.iterations() * RecordCount);
}
BENCHMARK(BM_ReportLinesOnly)->Unit(benchmark::kMillisecond);

void BM_ReadRecords(benchmark::State& state) {
  Journal& journal = TheJournal();
  for (auto _ : state) {
    TActRecReader reader(journal.DataPath());
    TActRec record;
    int64_t live = 0;
    while (reader.Next(record)) live += record.Status == StatusLive;
    reader.Close();
    benchmark::DoNotOptimize(live);
  }
  state.SetItemsProcessed(state.iterations() * RecordCount);
}
BENCHMARK(BM_ReadRecords)->Unit(benchmark::kMillisecond);

// The hours of every day from the whole journal, as the program reads them at
// start-up and after each rewrite.
void BM_LoadWorkTotals(benchmark::State& state) {
  Journal& journal = TheJournal();
  for (auto _ : state) {
    TWorkTotals totals;
    LoadWorkTotals(journal.DataPath(), totals);
    benchmark::DoNotOptimize(totals.FirstDay());
  }
  state.SetItemsProcessed(state.iterations() * RecordCount);
}
BENCHMARK(BM_LoadWorkTotals)->Unit(benchmark::kMillisecond);

// The tip's figures at a tick, the balance counted over every day of the
// journal (kept between ticks), with a running spell.
void BM_TipFiguresAtATick(benchmark::State& state) {
  Journal& journal = TheJournal();
  TWorkTotals totals;
  LoadWorkTotals(journal.DataPath(), totals);
  THoursSettings settings;
  for (int day = 1; day <= 5; ++day) settings.weekdayTargets[static_cast<size_t>(day)] = 8 * 3600;
  const TDateTime now = journal.lastDay + 0.5;
  const TRunningSpell running{now};
  for (auto _ : state) {
    const TWorkHours hours = HoursAt(totals, settings, now, 1, running);
    benchmark::DoNotOptimize(hours.balance);
  }
}
BENCHMARK(BM_TipFiguresAtATick);

void BM_ReadFileBytes(benchmark::State& state) {
  Journal& journal = TheJournal();
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    platform::File file = platform::File::Open(journal.DataPath(), platform::OpenMode::Read);
    size_t total = 0;
    while (const size_t got = file.Read(buffer.data(), buffer.size())) total += got;
    file.Close();
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * RecordCount * static_cast<int64_t>(RecordSize));
}
BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond);

void BM_WriteReportSizedFile(benchmark::State& state) {
  Journal& journal = TheJournal();
  BuildReportFile(journal.dataDir, journal.firstDay, journal.lastDay, English);
  const std::string bytes(fs::file_size(journal.dir / ReportFileBaseName), 'x');
  const std::string target = journal.dataDir + "written.html";
  for (auto _ : state) {
    TReplacingFile file(target);
    file.Write(bytes.data(), bytes.size());
    file.Commit();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_WriteReportSizedFile)->Unit(benchmark::kMillisecond);

// The day summary of a journal of 1,000,000 records (ten spells a day for
// 100,000 days), read from the file as /days reads it: with none of the keys
// of breaks, limits and absences (0), and with every one of them (1).
void BM_DaySummaryOfAMillionRecords(benchmark::State& state) {
  static Journal journal(1000000);
  THoursSettings settings;
  for (int day = 1; day <= 5; ++day) settings.weekdayTargets[static_cast<size_t>(day)] = 8 * 3600;
  if (state.range(0) != 0) {
    settings.breaks = {{6 * 3600, 30 * 60}, {9 * 3600, 45 * 60}};
    settings.maxDay = 10 * 3600;
    settings.maxStretch = 6 * 3600;
    settings.minRest = 11 * 3600;
    const int64_t first = DayNumber(journal.firstDay);
    for (int64_t year = 0; year < 270; ++year) {
      settings.vacation.push_back({first + year * 365 + 100, first + year * 365 + 114, false});
      settings.vacation.push_back({first + year * 365 + 200, first + year * 365 + 200, true});
      settings.sick.push_back({first + year * 365 + 50, first + year * 365 + 52, false});
    }
    settings.vacationDays = 30;
    if (const std::optional<THolidayRegion> region = FindHolidayRegion("DE-BY"))
      settings.holidays = THolidays(*region);
  }
  const TCsvSeparators separators;
  const int64_t firstDay = DayNumber(journal.firstDay), lastDay = DayNumber(journal.lastDay);
  size_t lines = 0;
  for (auto _ : state) {
    TWorkTotals totals(0, settings.NeedsSpells());
    const std::vector<TReportDay> days = ReadJournalDays(
        journal.DataPath(), journal.firstDay, journal.lastDay, 0, &totals);
    lines = DaySummaryLines(days, firstDay, lastDay, totals, settings, separators, lastDay).size();
    benchmark::DoNotOptimize(lines);
  }
  state.SetItemsProcessed(state.iterations() * 1000000);
  state.SetLabel(state.range(0) != 0 ? "every key" : "no key");
}
BENCHMARK(BM_DaySummaryOfAMillionRecords)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A region's public holidays: found and its years expanded (the table itself
// is read once, on first use), then asked for every day of its years, as the
// day summary asks for each of its days.
void BM_FindHolidayRegion(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(FindHolidayRegion("DE-BY-KATH"));
}
BENCHMARK(BM_FindHolidayRegion)->Unit(benchmark::kMicrosecond);

void BM_HolidayOnEveryDay(benchmark::State& state) {
  const THolidayRegion region = *FindHolidayRegion("DE-BY");
  const int64_t first = DayNumber(ComposeDate(HolidayFirstYear, 1, 1));
  const int64_t last = DayNumber(ComposeDate(HolidayLastYear, 12, 31));
  for (auto _ : state) {
    int64_t holidays = 0;
    for (int64_t day = first; day <= last; ++day) holidays += region.HolidayOn(day).has_value();
    benchmark::DoNotOptimize(holidays);
  }
  state.SetItemsProcessed(state.iterations() * (last - first + 1));
}
BENCHMARK(BM_HolidayOnEveryDay)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace horalog
