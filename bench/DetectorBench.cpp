// The cost of one detector tick when nothing happens: the pointer stays put
// and no key was pressed, so all 256 keys are asked; without [Presence] and
// with every key of it set.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>

#include "recorder/Detector.h"

namespace horalog {
namespace {

class QuietSource : public ActivitySource {
 public:
  platform::PointerSample PointerPosition() override { return {true, 0, 0, 0}; }
  bool KeyPressedSinceLastQuery(int key) override {
    benchmark::DoNotOptimize(key);
    return false;
  }
  TDateTime Now() override { return clock += OneSecond; }
  uint64_t SteadyMilliseconds() override { return steady += 1000; }
  void Pause(uint32_t) override {}
  TDateTime clock = 45000;
  uint64_t steady = 0;
};

class NullSink : public ActivitySink {
 public:
  void AddLogLine(const std::string&) override {}
  void AppendRecord(uint8_t, TDateTime) override {}
};

void QuietTicks(benchmark::State& state, QuietSource& source, const TPresenceSettings& presence) {
  TActivityDetector detector;
  detector.Presence = presence;
  NullSink sink;
  TLocale locale;
  for (auto _ : state) detector.Tick(source, sink, locale);
  benchmark::DoNotOptimize(detector.Idle());
}

void BM_QuietTick(benchmark::State& state) {
  QuietSource source;
  QuietTicks(state, source, {});
}
BENCHMARK(BM_QuietTick);

// The same with every key of [Presence] set: the calls asked at each tick
// (none going on), a pointer's slack, and ConfirmStart.
class QuietSourceWithCalls : public QuietSource {
 public:
  bool WatchCalls() override { return true; }
  std::optional<std::string> CallProgram() override { return std::nullopt; }
};

void BM_QuietTickWithPresence(benchmark::State& state) {
  QuietSourceWithCalls source;
  QuietTicks(state, source, TPresenceSettings{true, 5, 3, 15 * 60});
}
BENCHMARK(BM_QuietTickWithPresence);

// A tick in which the pointer moved: no key is asked.
class MovingSource : public QuietSource {
 public:
  platform::PointerSample PointerPosition() override { return {true, ++x, 0, 0}; }
  int32_t x = 0;
};

void BM_MovedTick(benchmark::State& state) {
  TActivityDetector detector;
  MovingSource source;
  NullSink sink;
  TLocale locale;
  detector.Tick(source, sink, locale);  // the Start, outside the measured loop
  for (auto _ : state) detector.Tick(source, sink, locale);
  benchmark::DoNotOptimize(detector.LastPos());
}
BENCHMARK(BM_MovedTick);

}  // namespace
}  // namespace horalog

// An hour of the running program in little: 3,600 ticks with the default
// timeout, three spells of work, their lines kept as the pane keeps them and
// their records appended to a data file. Prints the time of the whole hour and
// how much the resident memory grew over it at most.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "ScriptedDay.h"

namespace horalog {
namespace {

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

void BM_HourOfTicks(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() / ("horalog-hour-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string data = (dir / DataFileBaseName).string();
  const TLocale locale;
  long growth = 0;
  for (auto _ : state) {
    std::filesystem::remove(data);
    const long before = ResidentBytes();
    TActivityDetector detector;
    ScriptedDay day(HourPeriod, HourMoving);
    JournalSink sink(data);
    day.Run(detector, sink, locale, HourTicks);
    growth = std::max(growth, ResidentBytes() - before);
    benchmark::DoNotOptimize(sink.pane.data());
  }
  state.counters["max_rss_growth_kb"] = static_cast<double>(growth) / 1024;
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_HourOfTicks)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace horalog
