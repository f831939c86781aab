// The recorder without a window: a pointer and clocks under the test's
// control, and a view that keeps what it is told.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/ActRec.h"
#include "platform/Platform.h"
#include "recorder/Recorder.h"

namespace horalog::test {

// A pointer that moves when told and two clocks that go on together unless
// the wall clock is stepped. A pause lets time pass.
class FakeSource : public ActivitySource {
 public:
  TDateTime wall = 0;
  uint64_t steady = 0;
  int32_t x = 0;
  std::function<void()> onPause;

  void Advance(uint64_t ms) {
    steady += ms;
    wall += static_cast<double>(ms) / MSecsPerDay;
  }
  // A key pressed since the last query, the system's last-input moment, and
  // the program in a call (the system keeps a record of calls).
  bool keyPressed = false;
  std::optional<uint32_t> lastInput;
  std::optional<std::string> call;

  platform::PointerSample PointerPosition() override { return {true, x, 0, 0}; }
  bool KeyPressedSinceLastQuery(int) override { return std::exchange(keyPressed, false); }
  std::optional<uint32_t> LastInputMoment() override { return lastInput; }
  bool WatchCalls() override { return true; }
  std::optional<std::string> CallProgram() override { return call; }
  TDateTime Now() override { return wall; }
  uint64_t SteadyMilliseconds() override { return steady; }
  void Pause(uint32_t ms) override {
    Advance(ms);
    if (onPause) onPause();
  }
};

class FakeView : public TRecorderView {
 public:
  std::vector<std::string> log, boxes, questions, balloons;
  std::string tip;
  int tips = 0;
  std::function<void()> onBox;
  std::function<bool()> answer = [] { return true; };

  void AddLogLine(const std::string& text) override { log.push_back(text); }
  void ShowBox(const std::string& text) override {
    boxes.push_back(text);
    if (onBox) onBox();
  }
  bool Confirm(const std::string& question) override {
    questions.push_back(question);
    return answer();
  }
  void SetTip(const std::string& text) override {
    tip = text;
    ++tips;
  }
  void ShowBalloon(const std::string& text) override { balloons.push_back(text); }
  std::vector<std::string> notices;
  void ShowNotice(const std::string& text) override { notices.push_back(text); }
  // The offers of the balloons that offered an away time, in turn.
  std::vector<TAwayOffer> offers;
  void ShowOffer(const std::string& text, const TAwayOffer& offer) override {
    balloons.push_back(text);
    offers.push_back(offer);
  }
};

// The whole records of a data file; none when it is missing.
inline std::vector<TActRec> ReadJournal(const std::string& path) {
  std::vector<TActRec> records;
  if (!platform::FileFound(path)) return records;
  TActRecReader reader(path);
  TActRec record;
  while (reader.Next(record)) records.push_back(record);
  reader.Close();
  return records;
}

}  // namespace horalog::test
