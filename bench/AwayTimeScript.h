// A recorder on a large journal, brought to the moment its balloon offers an
// away time: for the cost of the click that keeps it, natively and in the
// program's own build.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "data/ActRec.h"
#include "recorder/Recorder.h"

namespace horalog {

// A pointer and clocks that move when told, and a view that keeps the last
// balloon and log line.
class ScriptedDesk : public ActivitySource, public TRecorderView {
 public:
  TDateTime wall = 0;
  uint64_t steady = 0;
  int32_t x = 0;
  std::string balloon, lastLine;
  std::optional<TAwayOffer> offer;  // the last balloon's

  platform::PointerSample PointerPosition() override { return {true, x, 0, 0}; }
  bool KeyPressedSinceLastQuery(int) override { return false; }
  TDateTime Now() override { return wall; }
  uint64_t SteadyMilliseconds() override { return steady; }
  void Pause(uint32_t ms) override {
    steady += ms;
    wall += ms / MSecsPerDay;
  }
  void AddLogLine(const std::string& text) override { lastLine = text; }
  void ShowBox(const std::string&) override {}
  bool Confirm(const std::string&) override { return true; }
  void SetTip(const std::string&) override {}
  void ShowBalloon(const std::string& text) override { balloon = text; }
  void ShowOffer(const std::string& text, const TAwayOffer& shown) override {
    balloon = text;
    offer = shown;
  }

  // Ticks a second apart, with the pointer moving at each or still.
  void Ticks(TRecorder& recorder, int count, bool moving) {
    for (int i = 0; i < count; ++i) {
      Pause(1000);
      if (moving) ++x;
      recorder.Tick();
    }
  }
};

// A journal of count records, five spells a day on the days before `day`,
// written whole at path.
inline void WriteJournalBefore(const std::string& path, int count, TDateTime day) {
  std::vector<TActRec> records;
  records.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    records.push_back(MakeRecord(static_cast<uint8_t>(i % 2),
                                 day - 1 - (count - 1 - i) / 10 + (8 + i % 10) / 24.0));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(records.data()),
            static_cast<std::streamsize>(records.size() * RecordSize));
}

// From 9:00 of `day`: a minute of work, its Stop after the default timeout,
// 47 minutes away and back; the recorder offers the away time (AskAfter is
// set to its least).
inline void BringToAwayTime(TRecorder& recorder, ScriptedDesk& desk, TDateTime day) {
  desk.wall = day + 9.0 / 24;
  TPresenceSettings presence;
  presence.askAfterSeconds = 5 * 60;
  recorder.SetPresenceSettings(presence);
  recorder.Start();
  desk.Ticks(recorder, 60, true);
  desk.Ticks(recorder, 601 + 47 * 60, false);
  desk.Ticks(recorder, 1, true);
}

}  // namespace horalog
