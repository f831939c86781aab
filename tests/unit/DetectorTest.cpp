// The detector driven by a scripted pointer, keyboard and clock.
#include "recorder/Detector.h"

#include <gtest/gtest.h>

#include <bitset>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "data/ActRec.h"
#include "data/Errors.h"

namespace horalog {
namespace {

// A pointer, keyboard, clock and calls under the test's control. Presses stay
// set until a query for their key consumes them, as the system's keyboard does.
class ScriptedSource : public ActivitySource {
 public:
  TDateTime clock = 0;
  platform::PointerSample pointer{true, 0, 0, 0};
  std::bitset<256> pressed;
  std::vector<int> asked;  // keys queried since the last ClearAsked
  std::optional<uint32_t> lastInput;  // the system's last-input moment
  TDateTime step = 0;                 // how far the clock goes on at each reading
  uint64_t steady = 0;                // the steady clock, in milliseconds
  bool callsRecorded = true;          // whether the system keeps a record of calls
  int watches = 0;                    // how often the watch of calls was started
  std::optional<std::string> call;    // the program in a call now

  void MoveTo(int32_t x, int32_t y) { pointer = {true, x, y, 0}; }
  void FailPointer(uint32_t code) { pointer = {false, 0, 0, code}; }

  platform::PointerSample PointerPosition() override { return pointer; }
  bool KeyPressedSinceLastQuery(int key) override {
    asked.push_back(key);
    const bool was = pressed.test(key);
    pressed.reset(key);
    return was;
  }
  TDateTime Now() override {
    const TDateTime now = clock;
    clock += step;
    return now;
  }
  uint64_t SteadyMilliseconds() override { return steady; }
  void Pause(uint32_t ms) override { steady += ms; }
  std::optional<uint32_t> LastInputMoment() override { return lastInput; }
  bool WatchCalls() override {
    ++watches;
    return callsRecorded;
  }
  std::optional<std::string> CallProgram() override { return call; }
};

struct Record {
  uint8_t action;
  TDateTime time;
};

class RecordingSink : public ActivitySink {
 public:
  std::vector<std::string> log;
  std::vector<Record> records;
  bool failAppend = false;

  void AddLogLine(const std::string& text) override { log.push_back(text); }
  void AppendRecord(uint8_t action, TDateTime time) override {
    if (failAppend) throw EInOutError(IoDiskFull);
    records.push_back({action, time});
  }
};

// Stamps a timeout before now carry the rounding of the subtraction.
#define EXPECT_TIME(actual, expected) EXPECT_NEAR(actual, expected, 0.01 / MSecsPerDay)

const TDateTime Day = ComposeDate(2024, 3, 4);

TDateTime At(uint16_t h, uint16_t m, uint16_t s, uint16_t ms = 0) {
  return Day + ComposeTime(h, m, s, ms);
}

class DetectorTest : public ::testing::Test {
 protected:
  TActivityDetector detector;
  ScriptedSource source;
  RecordingSink sink;
  TLocale locale;  // the English defaults
  // The steady clock goes on with the wall clock, unless a test sets it
  // itself to step the wall clock against it.
  bool steadyFollows = true;

  void Tick(TDateTime at) {
    if (steadyFollows && at > source.clock)
      source.steady += static_cast<uint64_t>(std::llround((at - source.clock) * MSecsPerDay));
    source.clock = at;
    source.asked.clear();
    detector.Tick(source, sink, locale);
  }
  // A tick with the pointer at a new place.
  void Move(TDateTime at) {
    source.MoveTo(source.pointer.x + 1, source.pointer.y);
    Tick(at);
  }
  std::string Started(TDateTime t) { return ActivityStartedText + DateTimeText(t, locale); }
  std::string Ended(TDateTime t) { return ActivityEndedText + DateTimeText(t, locale); }
};

// ---- The two states ------------------------------------------------------

TEST_F(DetectorTest, IdleAndActiveTransitions) {
  source.MoveTo(0, 0);
  Tick(At(8, 0, 0));  // Idle, quiet: nothing
  EXPECT_TRUE(detector.Idle());
  EXPECT_TRUE(sink.log.empty());
  EXPECT_EQ(source.asked.size(), 256u);  // the full scan found nothing

  Move(At(8, 0, 1));  // Idle, activity: Start stamped now
  EXPECT_FALSE(detector.Idle());
  ASSERT_EQ(sink.records.size(), 1u);
  EXPECT_EQ(sink.records[0].action, ActionStart);
  EXPECT_TIME(sink.records[0].time, At(8, 0, 1));
  EXPECT_EQ(sink.log, std::vector<std::string>{Started(At(8, 0, 1))});

  Move(At(8, 0, 2));  // Active, activity: noted only
  EXPECT_EQ(detector.LastActivity(), At(8, 0, 2));
  EXPECT_EQ(detector.LastPos().x, source.pointer.x);
  Tick(At(8, 5, 0));  // Active, quiet within the timeout: nothing
  EXPECT_FALSE(detector.Idle());
  EXPECT_EQ(sink.records.size(), 1u);
  EXPECT_EQ(sink.log.size(), 1u);

  Tick(At(8, 10, 3));  // Active, quiet beyond the timeout: Stop
  EXPECT_TRUE(detector.Idle());
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_EQ(sink.records[1].action, ActionStop);
  EXPECT_TIME(sink.records[1].time, At(8, 0, 3));
  EXPECT_EQ(sink.log.back(), Ended(At(8, 0, 3)));

  Tick(At(9, 0, 0));  // Idle again: no second Stop
  EXPECT_EQ(sink.records.size(), 2u);
}

TEST_F(DetectorTest, FirstTickAwayFromOriginStartsAtOnce) {
  source.MoveTo(640, 0);
  Tick(At(7, 30, 0));
  EXPECT_FALSE(detector.Idle());
  ASSERT_EQ(sink.records.size(), 1u);
  EXPECT_EQ(sink.records[0].action, ActionStart);
  EXPECT_TRUE(source.asked.empty());

  // Reset brings back the state of a new main window.
  detector.Reset();
  EXPECT_TRUE(detector.Idle());
  Tick(At(7, 30, 1));
  EXPECT_EQ(sink.records.size(), 2u);
}

TEST_F(DetectorTest, StopIsStampedWhereTheQuietBegan) {
  Move(At(9, 0, 0));  // the last input
  sink.log.clear();
  for (uint16_t s = 1; s < 60; s += 7) Tick(At(9, 9, s));
  Tick(At(9, 10, 0));  // exactly the timeout: not yet idle
  EXPECT_FALSE(detector.Idle());
  EXPECT_EQ(sink.records.size(), 1u);

  Tick(At(9, 10, 0, 400));
  EXPECT_TRUE(detector.Idle());
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_EQ(sink.records[1].action, ActionStop);
  EXPECT_TIME(sink.records[1].time, At(9, 0, 0, 400));
  EXPECT_EQ(sink.log, std::vector<std::string>{"Activity ended at 3/4/2024 9:00:00 AM"});

  // A tick that comes late (a blocking append to a slow share, a short sleep
  // inside the quiet) stamps the Stop no more than one tick's interval after
  // the last activity: 30 s late, and a sleep of 6 minutes 5 minutes into
  // the quiet.
  Move(At(10, 0, 0));
  Tick(At(10, 5, 0));
  Tick(At(10, 10, 0));
  Tick(At(10, 10, 30));
  ASSERT_TRUE(detector.Idle());
  EXPECT_TIME(sink.records.back().time, At(10, 0, 1));
  EXPECT_EQ(sink.log.back(), Ended(At(10, 0, 1)));
  Move(At(11, 0, 0));
  Tick(At(11, 5, 0));
  Tick(At(11, 11, 0));
  ASSERT_TRUE(detector.Idle());
  EXPECT_TIME(sink.records.back().time, At(11, 0, 1));
}

TEST_F(DetectorTest, TimeoutIsComparedInWholeMilliseconds) {
  // Spans that are exactly the timeout on the clock, whatever their rounding
  // as day fractions.
  for (int minutes : {1, 7, 10, 59}) {
    detector.IdleSpan = minutes * OneMinute;
    for (uint16_t h : {0, 9, 13, 23}) {
      detector.Reset();
      source.MoveTo(0, 0);
      Move(At(h, 0, 3, 125));
      Tick(At(h, static_cast<uint16_t>(minutes), 3, 125));
      EXPECT_FALSE(detector.Idle()) << minutes << " min at " << h << " h";
      Tick(At(h, static_cast<uint16_t>(minutes), 3, 126));
      EXPECT_TRUE(detector.Idle()) << minutes << " min at " << h << " h";
    }
  }
}

TEST_F(DetectorTest, ZeroTimeoutEndsAtTheFirstQuietTick) {
  detector.IdleSpan = 0;
  Move(At(10, 0, 0));
  Tick(At(10, 0, 0));  // same moment: not longer than zero
  EXPECT_FALSE(detector.Idle());
  Tick(At(10, 0, 1));
  EXPECT_TRUE(detector.Idle());
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_TIME(sink.records[1].time, At(10, 0, 1));
  EXPECT_EQ(sink.log.back(), Ended(At(10, 0, 1)));
}

TEST_F(DetectorTest, TimeoutChangeTakesEffectAtTheNextTick) {
  Move(At(10, 0, 0));
  Tick(At(10, 3, 0));
  EXPECT_FALSE(detector.Idle());
  detector.IdleSpan = 2 * OneMinute;
  Tick(At(10, 3, 1));
  EXPECT_TRUE(detector.Idle());
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_TIME(sink.records[1].time, At(10, 0, 1));  // a tick after the last activity
}

// ---- Keys and buttons ----------------------------------------------------

TEST_F(DetectorTest, MovedPointerLeavesKeyPressesForTheNextTick) {
  Move(At(11, 0, 0));
  source.pressed.set(0x41);
  Move(At(11, 0, 1));  // one activity; keys not asked
  EXPECT_TRUE(source.asked.empty());
  EXPECT_TRUE(source.pressed.test(0x41));

  Tick(At(11, 0, 2));  // same place; the press is seen now
  EXPECT_EQ(detector.LastActivity(), At(11, 0, 2));
  EXPECT_EQ(source.asked.back(), 0x41);
  EXPECT_FALSE(source.pressed.test(0x41));
  EXPECT_EQ(sink.records.size(), 1u);
}

TEST_F(DetectorTest, MouseButtonWithoutMovementIsActivity) {
  for (int button : {1, 2, 4}) {
    detector.Reset();
    sink.records.clear();
    source.MoveTo(0, 0);
    source.pressed.set(button);
    Tick(At(12, 0, 0));
    EXPECT_FALSE(detector.Idle()) << "button " << button;
    ASSERT_EQ(sink.records.size(), 1u) << "button " << button;
    EXPECT_EQ(sink.records[0].action, ActionStart);
  }
}

TEST_F(DetectorTest, KeyScanStopsAtTheFirstPressedKey) {
  source.pressed.set(5);
  source.pressed.set(9);
  source.pressed.set(255);
  Tick(At(13, 0, 0));
  EXPECT_EQ(source.asked, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(source.pressed.test(9));

  Tick(At(13, 0, 1));
  EXPECT_EQ(source.asked.back(), 9);
  Tick(At(13, 0, 2));
  EXPECT_EQ(source.asked.back(), 255);
  EXPECT_EQ(detector.LastActivity(), At(13, 0, 2));
  Tick(At(13, 0, 3));
  EXPECT_EQ(source.asked.size(), 256u);
  EXPECT_EQ(detector.LastActivity(), At(13, 0, 2));
}

// ---- Sleep and hibernation -----------------------------------------------

TEST_F(DetectorTest, WakingWithActivityEndsTheOldSpellAndStartsANewOne) {
  Move(At(14, 0, 0));
  Tick(At(14, 0, 1));
  // Asleep from 14:00:01 to 16:30:00.
  Move(At(16, 30, 0));
  ASSERT_EQ(sink.records.size(), 3u);
  EXPECT_EQ(sink.records[1].action, ActionStop);
  EXPECT_TIME(sink.records[1].time, At(14, 0, 0));
  EXPECT_EQ(sink.records[2].action, ActionStart);
  EXPECT_TIME(sink.records[2].time, At(16, 30, 0));
  EXPECT_EQ(sink.log, (std::vector<std::string>{Started(At(14, 0, 0)), Ended(At(14, 0, 0)),
                                                Started(At(16, 30, 0))}));
  EXPECT_FALSE(detector.Idle());
}

TEST_F(DetectorTest, WakingQuietOnlyEndsTheOldSpell) {
  Move(At(14, 0, 0));
  Tick(At(15, 0, 0));
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_EQ(sink.records[1].action, ActionStop);
  EXPECT_TIME(sink.records[1].time, At(14, 0, 0));
  EXPECT_EQ(sink.log.back(), Ended(At(14, 0, 0)));
  EXPECT_TRUE(detector.Idle());
  Tick(At(15, 0, 1));
  EXPECT_EQ(sink.records.size(), 2u);
}

TEST_F(DetectorTest, SleepWhileIdleChangesNothing) {
  Tick(At(14, 0, 0));
  Move(At(18, 0, 0));
  ASSERT_EQ(sink.records.size(), 1u);
  EXPECT_EQ(sink.records[0].action, ActionStart);
}

TEST_F(DetectorTest, ShortPausesKeepTheUsualRule) {
  // A pause shorter than the timeout is no sleep.
  Move(At(14, 0, 0));
  Tick(At(14, 9, 0));
  EXPECT_FALSE(detector.Idle());
  Tick(At(14, 10, 30));
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_TIME(sink.records[1].time, At(14, 0, 1));  // a tick after the last activity

  // With no timeout, a pause under two seconds is no sleep either: the Stop
  // comes a timeout (zero) before the tick, or a tick after the activity.
  detector.IdleSpan = 0;
  Move(At(15, 0, 0));
  Tick(At(15, 0, 0, 900));
  ASSERT_EQ(sink.records.size(), 4u);
  EXPECT_TIME(sink.records[3].time, At(15, 0, 0, 900));
  Move(At(15, 0, 10));
  Tick(At(15, 0, 11, 900));
  ASSERT_EQ(sink.records.size(), 6u);
  EXPECT_TIME(sink.records[5].time, At(15, 0, 11));

  // Exactly the timeout between ticks is no sleep.
  detector.IdleSpan = OneMinute;
  Move(At(16, 0, 0));
  Tick(At(16, 1, 0));
  EXPECT_FALSE(detector.Idle());
  EXPECT_EQ(sink.records.size(), 7u);
}

TEST_F(DetectorTest, SleepWithZeroTimeoutNeedsMoreThanTwoSeconds) {
  detector.IdleSpan = 0;
  Move(At(15, 0, 0));
  Move(At(15, 0, 3));  // three seconds without a tick: asleep
  ASSERT_EQ(sink.records.size(), 3u);
  EXPECT_EQ(sink.records[1].action, ActionStop);
  EXPECT_TIME(sink.records[1].time, At(15, 0, 0));
  EXPECT_EQ(sink.records[2].action, ActionStart);
}

TEST_F(DetectorTest, ClockStepsEndTheSpellAtTheLastActivity) {
  // A correction by the time service, the end of summer time, a zone three
  // hours west, a correction by a day: shorter than the timeout or longer.
  for (TDateTime step : {3 * OneMinute, 60 * OneMinute, 180 * OneMinute, 1.0}) {
    detector.Reset();
    sink.records.clear();
    Move(At(14, 59, 58));
    Move(At(14, 59, 59));
    Move(At(15, 0, 0) - step);  // working on across the step
    ASSERT_EQ(sink.records.size(), 3u) << step;
    EXPECT_EQ(sink.records[1].action, ActionStop);
    EXPECT_TIME(sink.records[1].time, At(14, 59, 59));
    EXPECT_TIME(sink.records[2].time, At(15, 0, 0) - step);
    Tick(At(15, 5, 0) - step);  // the new spell keeps the usual rule
    Tick(At(15, 10, 1) - step);
    ASSERT_EQ(sink.records.size(), 4u);
    EXPECT_TIME(sink.records[3].time, At(15, 0, 1) - step);
  }

  // Back by no more than the tick's own jitter: the spell goes on.
  const size_t before = sink.records.size();
  Move(At(16, 0, 0));
  Tick(At(16, 0, 1));
  Tick(At(16, 0, 1) - TActivityDetector::MinSleepGap);
  EXPECT_FALSE(detector.Idle());
  EXPECT_EQ(sink.records.size(), before + 1);

  // The step is what the wall clock lost or gained against the steady clock:
  // 2.5 s back between ticks a second apart, 25 s back within a tick that a
  // slow append held up for 30 s, 5 minutes on (a spell would be booked long
  // by them), 2.5 s on; a tick held up without a step, or stepped by the
  // time service's slewing, keeps the spell.
  struct Case {
    uint64_t steadyMs;
    TDateTime wallGap;
    bool ends;
  };
  steadyFollows = false;
  for (const Case& c :
       {Case{1000, -1.5 * OneSecond, true}, Case{30000, 5 * OneSecond, true},
        Case{30000, 30 * OneSecond, false}, Case{1000, 5 * OneMinute + OneSecond, true},
        Case{1000, 3.5 * OneSecond, true}, Case{1000, 3 * OneSecond, false}}) {
    SCOPED_TRACE(c.steadyMs);
    detector.Reset();
    sink.records.clear();
    Move(At(17, 0, 0));
    source.steady += c.steadyMs;
    Move(At(17, 0, 0) + c.wallGap);
    ASSERT_EQ(sink.records.size(), c.ends ? 3u : 1u);
    if (c.ends) {
      EXPECT_TIME(sink.records[1].time, At(17, 0, 0));
    }
  }
}

// A spell goes on from a Start just after a Stop that stays (an exit the
// user declined): the Start is recorded and the quiet counts from it.
TEST_F(DetectorTest, ASpellGoesOnFromAStartAfterAStopThatStays) {
  detector.GoOnFrom(At(6, 0, 0), sink);
  EXPECT_TRUE(detector.Idle()) << "nothing goes on while Idle";
  EXPECT_TRUE(sink.records.empty());
  Move(At(6, 0, 0));
  Tick(At(6, 0, 1));
  detector.GoOnFrom(At(6, 0, 5), sink);
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_EQ(sink.records[1].action, ActionStart);
  EXPECT_TIME(sink.records[1].time, At(6, 0, 5));
  const std::optional<TSpell> spell = detector.Running();
  ASSERT_TRUE(spell);
  EXPECT_EQ(spell->start, At(6, 0, 5));
  EXPECT_EQ(spell->lastActivity, At(6, 0, 5));
  Tick(At(6, 5, 0));
  Tick(At(6, 10, 5));
  EXPECT_FALSE(detector.Idle());
  Tick(At(6, 10, 6));
  ASSERT_EQ(sink.records.size(), 3u);
  EXPECT_TIME(sink.records[2].time, At(6, 0, 6));
}

// ---- The system's last-input moment --------------------------------------

TEST_F(DetectorTest, ChangedLastInputMomentIsActivity) {
  source.lastInput = 0xFFFFFFFFu;
  Tick(At(9, 0, 0));  // the first value is only noted
  EXPECT_TRUE(detector.Idle());
  source.lastInput = 0;  // typed into a window the key states miss; wrapped
  Tick(At(9, 0, 1));
  EXPECT_FALSE(detector.Idle());
  EXPECT_EQ(source.asked.size(), 256u);  // the keys are still asked
  source.lastInput.reset();  // a tick that cannot tell keeps the last value
  Tick(At(9, 0, 2));
  source.lastInput = 0;
  Tick(At(9, 0, 3));
  EXPECT_EQ(detector.LastActivity(), At(9, 0, 1));

  // Not while the screen is locked: the password typed there is no work.
  source.FailPointer(5);
  source.lastInput = 1;
  Tick(At(9, 0, 4));
  EXPECT_EQ(detector.LastActivity(), At(9, 0, 1));
}

// ---- The end of the session ----------------------------------------------

TEST_F(DetectorTest, SessionEndClosesARunningSpellAtTheLastActivity) {
  detector.EndSession(sink, locale);  // Idle: nothing to close
  EXPECT_TRUE(sink.records.empty());
  EXPECT_TRUE(sink.log.empty());

  Move(At(17, 0, 0));
  Tick(At(17, 8, 0));  // left, but not yet a timeout ago
  detector.EndSession(sink, locale);
  EXPECT_TRUE(detector.Idle());
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_EQ(sink.records[1].action, ActionStop);
  EXPECT_TIME(sink.records[1].time, At(17, 0, 0));
  EXPECT_EQ(sink.log.back(), Ended(At(17, 0, 0)));

  detector.EndSession(sink, locale);  // a second notice writes nothing
  Tick(At(17, 20, 0));
  EXPECT_EQ(sink.records.size(), 2u);

  // The clock moves on between its readings: the spell still does not end
  // before it began.
  source.step = OneSecond / 1000;
  Move(At(18, 0, 0));
  detector.EndSession(sink, locale);
  ASSERT_EQ(sink.records.size(), 4u);
  EXPECT_GE(sink.records[3].time, sink.records[2].time);
}

// ---- Pointer failures ----------------------------------------------------

TEST_F(DetectorTest, PointerFailureIsLoggedOncePerRun) {
  const uint32_t code = 5;
  const std::string text = EOSError::Text(code, platform::SystemErrorText(code));
  source.pressed.set(0x20);
  source.FailPointer(code);
  EXPECT_NO_THROW(Tick(At(8, 0, 0)));
  EXPECT_NO_THROW(Tick(At(8, 0, 1)));
  EXPECT_TRUE(source.asked.empty());
  EXPECT_TRUE(detector.Idle());
  EXPECT_EQ(detector.LastPos().x, 0);
  EXPECT_EQ(sink.log, std::vector<std::string>{text});

  source.MoveTo(0, 0);
  Tick(At(8, 0, 2));  // the held-back press counts now
  EXPECT_FALSE(detector.Idle());
  source.FailPointer(code);
  Tick(At(8, 0, 3));
  Tick(At(8, 0, 4));
  EXPECT_EQ(sink.log, (std::vector<std::string>{text, Started(At(8, 0, 2)), text}));
}

TEST_F(DetectorTest, LockedScreenEndsTheSpellAfterTheTimeout) {
  Move(At(8, 0, 0));
  source.FailPointer(5);
  for (uint16_t s = 1; s <= 59; ++s) Tick(At(8, 9, s));
  EXPECT_FALSE(detector.Idle());
  Tick(At(8, 10, 1));
  EXPECT_TRUE(detector.Idle());
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_TIME(sink.records[1].time, At(8, 0, 1));
}

// ---- Failing appends -----------------------------------------------------

TEST_F(DetectorTest, FailingAppendPassesAfterStateAndLogChanged) {
  sink.failAppend = true;
  source.MoveTo(3, 3);
  EXPECT_THROW(Tick(At(9, 0, 0)), EInOutError);
  EXPECT_FALSE(detector.Idle());
  EXPECT_EQ(sink.log.back(), Started(At(9, 0, 0)));

  Tick(At(9, 5, 0));
  EXPECT_THROW(Tick(At(9, 10, 1)), EInOutError);
  EXPECT_TRUE(detector.Idle());
  EXPECT_EQ(sink.log.back(), Ended(At(9, 0, 1)));

  // The detector retries nothing (keeping the record is the sink's part):
  // the next quiet tick writes nothing.
  sink.failAppend = false;
  Tick(At(9, 10, 2));
  EXPECT_TRUE(sink.records.empty());
  EXPECT_EQ(sink.log.size(), 2u);
}

TEST_F(DetectorTest, FailingStopAfterSleepEndsTheTickThere) {
  Move(At(9, 0, 0));
  sink.failAppend = true;
  EXPECT_THROW(Move(At(11, 0, 0)), EInOutError);
  EXPECT_TRUE(detector.Idle());
  EXPECT_EQ(sink.log.back(), Ended(At(9, 0, 0)));

  // The movement the failed tick did not look at starts the next spell.
  sink.failAppend = false;
  Tick(At(11, 0, 1));
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_EQ(sink.records[1].action, ActionStart);
  EXPECT_TIME(sink.records[1].time, At(11, 0, 1));
}

// ---- Presence: calls -----------------------------------------------------

// A call begins while quiet and starts a spell; no timeout ends it while it
// lasts, a locked screen included; the quiet counts from its last tick. The
// pane tells each call once, by its program and the locale's time.
TEST_F(DetectorTest, ACallIsActivityFromItsFirstTickToItsLast) {
  detector.Presence.calls = true;
  Tick(At(10, 0, 0));
  EXPECT_TRUE(detector.Idle());
  source.call = "Teams.exe";
  Tick(At(10, 2, 13));
  ASSERT_EQ(sink.records.size(), 1u);
  EXPECT_EQ(sink.records[0].action, ActionStart);
  EXPECT_TIME(sink.records[0].time, At(10, 2, 13));
  EXPECT_EQ(sink.log, (std::vector<std::string>{"A call (Teams.exe) counts as activity from 10:02:13 AM",
                                                Started(At(10, 2, 13))}));
  for (uint16_t m = 3; m < 40; ++m) Tick(At(10, m, 0));
  source.FailPointer(5);  // the screen locks during the call
  Tick(At(10, 40, 0));
  EXPECT_FALSE(detector.Idle());
  EXPECT_EQ(sink.records.size(), 1u);
  EXPECT_EQ(sink.log.size(), 3u) << "the call told again";

  source.call.reset();
  source.MoveTo(0, 0);
  Tick(At(10, 50, 0));
  EXPECT_FALSE(detector.Idle()) << "the quiet counts from the call's last tick";
  Tick(At(10, 50, 1));
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_TIME(sink.records[1].time, At(10, 40, 1));

  // The next call is told again.
  source.call = "zoom.exe";
  Tick(At(11, 0, 0));
  EXPECT_EQ(sink.log.back(), Started(At(11, 0, 0)));
  EXPECT_EQ(sink.log[sink.log.size() - 2], "A call (zoom.exe) counts as activity from 11:00:00 AM");
  EXPECT_EQ(source.watches, 1);
}

// On a system that keeps no record of calls nothing counts, and one line
// says so at the first tick; without Calls nothing is asked.
TEST_F(DetectorTest, CallsCountForNothingWhereTheSystemCannotTell) {
  source.call = "Teams.exe";
  Tick(At(9, 0, 0));
  EXPECT_EQ(source.watches, 0);
  EXPECT_TRUE(detector.Idle());
  source.callsRecorded = false;
  detector.Presence.calls = true;
  Tick(At(9, 0, 1));
  Tick(At(9, 0, 2));
  EXPECT_TRUE(detector.Idle());
  EXPECT_EQ(sink.log, std::vector<std::string>{NoCallRecordText});
  EXPECT_EQ(source.watches, 1);
}

// A call alone holds a spell for CallLimit at most: then the Stop lies where
// the timeout would have put it without the call, the pane says so, and that
// call counts no further until input comes, or it ends and another begins. A
// stale call that began a spell on its own books a second.
TEST_F(DetectorTest, ACallAloneHoldsASpellForCallLimitAtMost) {
  detector.Presence.calls = true;
  detector.Presence.callLimitSeconds = 30 * 60;
  Move(At(9, 0, 0));
  source.call = "chrome.exe";
  for (uint16_t m = 1; m <= 30; ++m) Tick(At(9, m, 0));
  EXPECT_FALSE(detector.Idle());
  Tick(At(9, 30, 1));
  EXPECT_TRUE(detector.Idle());
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_TIME(sink.records[1].time, At(9, 0, 1));
  EXPECT_EQ(sink.log[sink.log.size() - 2],
            "A call (chrome.exe) without input for 0:30 counts no further until input comes");
  EXPECT_EQ(sink.log.back(), Ended(At(9, 0, 1)));
  for (uint16_t m = 31; m < 60; ++m) Tick(At(9, m, 0));
  EXPECT_EQ(sink.records.size(), 2u) << "the spent call started a spell";

  // Input: the call counts again, its limit from the last input, and the
  // spell knows the Stop before it, for the away time's offer.
  Move(At(10, 0, 0));
  EXPECT_TIME(detector.Running().value().quietFrom.value_or(-1), At(9, 0, 1));
  for (uint16_t m = 1; m <= 29; ++m) Tick(At(10, m, 0));
  Move(At(10, 29, 30));
  for (uint16_t m = 30; m <= 59; ++m) Tick(At(10, m, 30));
  EXPECT_FALSE(detector.Idle());
  Tick(At(10, 59, 31));
  ASSERT_EQ(sink.records.size(), 4u);
  EXPECT_TIME(sink.records[3].time, At(10, 29, 31));

  // It ends; a new call begins a spell on its own and holds it for the limit.
  source.call.reset();
  Tick(At(11, 0, 0));
  source.call = "chrome.exe";
  Tick(At(11, 0, 1));
  ASSERT_EQ(sink.records.size(), 5u);
  for (uint16_t m = 1; m <= 30; ++m) Tick(At(11, m, 1));
  Tick(At(11, 30, 2));
  ASSERT_EQ(sink.records.size(), 6u);
  EXPECT_TIME(sink.records[5].time, At(11, 0, 2));
}

// ---- Presence: a touch to confirm ----------------------------------------

// Input after the quiet starts a spell only when more input follows in a
// later tick within ConfirmStart seconds; the Start is stamped at the first.
// A touch left alone leaves no record and one line, at most one a minute.
TEST_F(DetectorTest, ConfirmStartCountsATouchOnlyWhenMoreInputFollowsInTime) {
  detector.Presence.confirmStartSeconds = 5;
  // The start-up is no touch: the pointer away from (0, 0), a key state
  // left from before; nor is the first last-input moment.
  source.MoveTo(500, 300);
  source.pressed.set(0x0D);
  source.lastInput = 8;
  Tick(At(3, 0, 0));
  for (uint16_t s = 1; s <= 9; ++s) Tick(At(3, 0, s));
  EXPECT_TRUE(sink.log.empty());
  source.lastInput.reset();
  Move(At(3, 12, 44));
  for (uint16_t s = 45; s <= 49; ++s) Tick(At(3, 12, s));  // the pointer rests where it was touched
  EXPECT_TRUE(detector.Idle());
  EXPECT_TRUE(sink.log.empty());
  Tick(At(3, 12, 49, 1));
  EXPECT_TRUE(sink.records.empty());
  EXPECT_EQ(sink.log, std::vector<std::string>{"Input at 3:12:44 AM not counted: nothing followed within 5 s"});
  source.pressed.set(0x41);  // the cleaner's elbow on the keyboard, within the minute: not told
  Tick(At(3, 13, 0));
  Tick(At(3, 13, 30));
  EXPECT_EQ(sink.log.size(), 1u);

  // Two touches within the window: one spell, from the first.
  Move(At(9, 0, 0));
  Tick(At(9, 0, 2));
  source.pressed.set(0x20);
  Tick(At(9, 0, 5));
  EXPECT_FALSE(detector.Idle());
  ASSERT_EQ(sink.records.size(), 1u);
  EXPECT_TIME(sink.records[0].time, At(9, 0, 0));
  EXPECT_EQ(sink.log.back(), Started(At(9, 0, 0)));
  EXPECT_EQ(detector.LastActivity(), At(9, 0, 5));
  Tick(At(9, 5, 0));  // the timeout's rule is the usual one
  Tick(At(9, 10, 6));
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_TIME(sink.records[1].time, At(9, 0, 6));

  // Two touches beyond it: the first lapses, the second waits anew and a
  // third in time confirms it.
  Move(At(10, 0, 0));
  Move(At(10, 0, 6));
  EXPECT_TRUE(detector.Idle());
  EXPECT_EQ(sink.log.back(), "Input at 10:00:00 AM not counted: nothing followed within 5 s");
  Move(At(10, 0, 11));
  ASSERT_EQ(sink.records.size(), 3u);
  EXPECT_TIME(sink.records[2].time, At(10, 0, 6));

  // One keystroke, its key-up in the next tick, or one nudge across two
  // ticks, however late the second tick comes, confirms nothing; typing for
  // two seconds does, from its first tick.
  Tick(At(10, 20, 0));
  ASSERT_EQ(sink.records.size(), 4u);
  source.lastInput = 8;
  auto lone = [&](TDateTime at, TDateTime second, bool key) {
    if (key) {
      source.pressed.set(0x41);
    } else {
      source.MoveTo(source.pointer.x + 2, source.pointer.y);
    }
    *source.lastInput += 40;  // the key down, or the nudge's first half
    Tick(at);
    if (!key) source.MoveTo(source.pointer.x + 2, source.pointer.y);
    *source.lastInput += 120;  // the key up, or the nudge's second half
    Tick(second);
    for (int s = 1; s <= 7; ++s) Tick(second + s * OneSecond);
    EXPECT_TRUE(detector.Idle()) << (key ? "a keystroke" : "a nudge");
  };
  lone(At(10, 21, 0), At(10, 21, 1), true);
  lone(At(10, 22, 0), At(10, 22, 1), false);
  lone(At(10, 23, 0), At(10, 23, 2, 500), true);  // the second tick late
  lone(At(10, 24, 0), At(10, 24, 2, 500), false);
  EXPECT_EQ(sink.records.size(), 4u);
  for (uint16_t s = 0; s <= 2; ++s) {
    source.pressed.set(0x41);
    *source.lastInput += 1000;
    Tick(At(10, 25, s));
  }
  ASSERT_EQ(sink.records.size(), 5u);
  EXPECT_TIME(sink.records[4].time, At(10, 25, 0));
  Tick(At(10, 30, 0));
  Tick(At(10, 35, 3));
  ASSERT_EQ(sink.records.size(), 6u);
  source.lastInput.reset();

  // A call needs no second touch.
  detector.Presence.calls = true;
  Tick(At(10, 40, 0));
  source.call = "Teams.exe";
  Tick(At(10, 50, 0));
  ASSERT_EQ(sink.records.size(), 7u);
  EXPECT_TIME(sink.records[6].time, At(10, 50, 0));
}

// ---- Presence: the pointer's slack ---------------------------------------

// A pointer that twitches less than the slack from where it came to rest, in
// both directions, is no activity, though it moves the system's last-input
// moment; leaving the box is activity at once.
TEST_F(DetectorTest, PointerSlackPassesOverATwitchButNotLeavingTheBox) {
  detector.Presence.pointerSlack = 3;
  source.lastInput = 0;
  source.MoveTo(100, 100);
  Tick(At(22, 0, 0));
  ASSERT_FALSE(detector.Idle());
  for (uint32_t s = 1; s <= 601; ++s) {
    source.MoveTo(100 + static_cast<int32_t>(s % 5) - 2, 100 - static_cast<int32_t>(s % 3));
    source.lastInput = s;
    Tick(At(22, 0, 0) + s * OneSecond);
  }
  EXPECT_TRUE(detector.Idle());
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_TIME(sink.records[1].time, At(22, 0, 1));
  for (TPoint leave : {TPoint{103, 100}, TPoint{100, 97}}) {
    detector.Reset();
    source.MoveTo(100, 100);
    Tick(At(23, 0, 0));
    Tick(At(23, 10, 1));
    source.MoveTo(leave.x, leave.y);
    Tick(At(23, 20, 0));
    EXPECT_FALSE(detector.Idle()) << leave.x << "," << leave.y;
  }

  // The wheel and a touchpad's scrolling move the last-input moment while
  // the pointer rests: twelve minutes of scrolling keep the spell going, and
  // a twitch with them counts for nothing.
  detector.Reset();
  source.MoveTo(100, 100);
  Tick(At(9, 0, 0));
  for (uint32_t s = 1; s <= 720; ++s) {
    if (s % 2 == 0) source.lastInput = *source.lastInput + 40;
    Tick(At(9, 0, 0) + s * OneSecond);
  }
  EXPECT_FALSE(detector.Idle());
  EXPECT_EQ(detector.LastActivity(), At(9, 12, 0));
  for (uint32_t s = 721; s <= 1330; ++s) {
    source.MoveTo(100 + static_cast<int32_t>(s % 2), 100);
    source.lastInput = *source.lastInput + 40;
    Tick(At(9, 0, 0) + s * OneSecond);
  }
  EXPECT_TRUE(detector.Idle());
  EXPECT_TIME(sink.records.back().time, At(9, 12, 1));
}

// ---- Presence: the quiet spell before a spell ----------------------------

// A spell knows the Stop before it when the detector wrote that Stop itself,
// by the timeout or at a sleep; not after a step of the clock, the end of the
// session or at start-up, nor once it goes on after an exit's Stop.
TEST_F(DetectorTest, ASpellKnowsTheStopBeforeItThatTheDetectorWrote) {
  auto quietFrom = [this] { return detector.Running().value().quietFrom.value_or(-1); };
  Move(At(11, 0, 0));
  EXPECT_EQ(quietFrom(), -1);
  Tick(At(11, 5, 0));
  Tick(At(11, 10, 1));
  Move(At(11, 52, 0));
  EXPECT_TIME(quietFrom(), At(11, 0, 1));
  Move(At(14, 0, 0));  // asleep until 16:30
  Move(At(16, 30, 0));
  EXPECT_TIME(quietFrom(), At(14, 0, 0));
  detector.GoOnFrom(At(16, 30, 1), sink);
  EXPECT_EQ(quietFrom(), -1);

  steadyFollows = false;  // the clock steps back an hour
  source.steady += 1000;
  Move(At(15, 30, 2));
  EXPECT_EQ(quietFrom(), -1);
  steadyFollows = true;
  detector.EndSession(sink, locale);
  Move(At(17, 0, 0));
  EXPECT_EQ(quietFrom(), -1);

  // With ConfirmStart the spell begins at its first touch, after the same Stop.
  detector.Presence.confirmStartSeconds = 5;
  Tick(At(17, 5, 0));
  Tick(At(17, 10, 1));
  Move(At(17, 30, 0));
  Move(At(17, 30, 3));
  EXPECT_TIME(quietFrom(), At(17, 0, 1));
  EXPECT_EQ(detector.Running()->start, At(17, 30, 0));
}

// ---- The system's source -------------------------------------------------

TEST(DetectorSystemTest, TicksWithTheRealPointerKeyboardAndClock) {
  TActivityDetector detector;
  SystemActivitySource source;
  RecordingSink sink;
  EXPECT_NO_THROW(detector.Tick(source, sink, platform::UserLocale()));
  EXPECT_NO_THROW(detector.Tick(source, sink, platform::UserLocale()));
  for (const Record& r : sink.records) EXPECT_GT(r.time, ComposeDate(2000, 1, 1));
}

}  // namespace
}  // namespace horalog
