// The cost of one detector tick when nothing happens: the pointer stays put
// and no key was pressed, so all 256 keys are asked.
#include <benchmark/benchmark.h>

#include <string>

#include "app/Detector.h"

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
  TDateTime clock = 45000;
};

class NullSink : public ActivitySink {
 public:
  void AddLogLine(const std::string&) override {}
  void AppendAction(uint8_t, TDateTime) override {}
};

void BM_QuietTick(benchmark::State& state) {
  TActivityDetector detector;
  QuietSource source;
  NullSink sink;
  TLocale locale;
  for (auto _ : state) detector.Tick(source, sink, locale);
  benchmark::DoNotOptimize(detector.Idle);
}
BENCHMARK(BM_QuietTick);

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
  benchmark::DoNotOptimize(detector.LastPos);
}
BENCHMARK(BM_MovedTick);

}  // namespace
}  // namespace horalog
