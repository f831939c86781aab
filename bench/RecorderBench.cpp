// The click on the balloon that keeps an away time, on a journal of a
// million records: the waiting records written, the journal read, the Stop
// and Start deleted, the file written anew and the hours read again.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include "AwayTimeScript.h"

namespace horalog {
namespace {

void BM_KeepAwayTime(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("horalog-keep-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  const std::string data = (dir / DataFileBaseName).string();
  const TDateTime day = 46000;
  const TLocale locale;
  for (auto _ : state) {
    state.PauseTiming();
    WriteJournalBefore(data, static_cast<int>(state.range(0)), day);
    ScriptedDesk desk;
    TRecorder recorder(desk, desk, (dir / "").string(), locale);
    BringToAwayTime(recorder, desk, day);
    state.ResumeTiming();
    recorder.KeepAwayTime(desk.offer);
    benchmark::DoNotOptimize(desk.lastLine.data());
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_KeepAwayTime)->Arg(1000000)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace horalog
