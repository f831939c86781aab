// Input and clock for running the detector faster than the clock: a tick a
// second, the pointer moving for the first `moving` ticks of every `period`
// and still for the rest; no keys. The clock reads the same all through a
// tick; Run moves on tick by tick.
#pragma once

#include <cstdint>
#include <string>

#include "recorder/Detector.h"
#include "data/ActRec.h"

namespace horalog {

class ScriptedDay : public ActivitySource {
 public:
  ScriptedDay(int period, int moving) : period_(period), moving_(moving) {}
  platform::PointerSample PointerPosition() override {
    if (tick_ % period_ < moving_) ++x_;
    return {true, x_, 0, 0};
  }
  bool KeyPressedSinceLastQuery(int) override { return false; }
  TDateTime Now() override { return 45000.0 + tick_ * OneSecond; }
  uint64_t SteadyMilliseconds() override { return static_cast<uint64_t>(tick_) * 1000; }
  void Pause(uint32_t) override {}

  void Run(TActivityDetector& detector, ActivitySink& sink, const TLocale& locale, int ticks) {
    for (int i = 0; i < ticks; ++i, ++tick_) detector.Tick(*this, sink, locale);
  }
  // The same with any tick: tick() runs one, sampling this source.
  template <typename Tick>
  void Run(Tick&& tick, int ticks) {
    for (int i = 0; i < ticks; ++i, ++tick_) tick();
  }

 private:
  int period_, moving_;
  int tick_ = 0;
  int32_t x_ = 0;
};

// What the program does with a transition, without its window: the line is
// kept as the log pane keeps it, the record goes to the data file.
class JournalSink : public ActivitySink {
 public:
  explicit JournalSink(std::string dataPath) : dataPath_(std::move(dataPath)) {}
  void AddLogLine(const std::string& text) override { pane += text + "\r\n"; }
  void AppendRecord(uint8_t action, TDateTime time) override {
    AppendActionRecord(dataPath_, action, time);
  }
  std::string pane;

 private:
  std::string dataPath_;
};

// An hour of ticks with the default timeout: five minutes of work, then
// quiet, three times.
inline constexpr int HourTicks = 3600, HourPeriod = 1200, HourMoving = 300;

}  // namespace horalog
