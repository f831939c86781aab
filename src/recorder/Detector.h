// The activity detector: from one pointer sample, one any-key answer, the
// system's last-input moment and the clock per tick, it decides when the
// user's activity begins and ends.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/DateTime.h"
#include "platform/Platform.h"
#include "recorder/PresenceSettings.h"

namespace horalog {

struct TPoint {
  int32_t x = 0, y = 0;
};

// What a tick samples, and the clocks. The system's source reads the real
// pointer, keyboard and clocks; tests drive the detector with scripted streams.
class ActivitySource {
 public:
  virtual ~ActivitySource() = default;
  virtual platform::PointerSample PointerPosition() = 0;
  virtual bool KeyPressedSinceLastQuery(int virtualKey) = 0;
  // The wall clock, and a steady clock in milliseconds that never steps.
  virtual TDateTime Now() = 0;
  virtual uint64_t SteadyMilliseconds() = 0;
  // Waits ms milliseconds (on the steady clock).
  virtual void Pause(uint32_t ms) = 0;
  // The system's moment of the last input, in its own units, or nothing when
  // it cannot tell. Only a change means anything: the value may wrap.
  virtual std::optional<uint32_t> LastInputMoment() { return std::nullopt; }
  // Starts watching which programs use the microphone or the camera; false
  // when the system keeps no record of it (then no call is ever seen).
  virtual bool WatchCalls() { return false; }
  // The file name of a program that uses the microphone or the camera now,
  // or nothing.
  virtual std::optional<std::string> CallProgram() { return std::nullopt; }
};

// The real pointer, keyboard and clock.
class SystemActivitySource : public ActivitySource {
 public:
  platform::PointerSample PointerPosition() override;
  bool KeyPressedSinceLastQuery(int virtualKey) override;
  TDateTime Now() override;
  uint64_t SteadyMilliseconds() override;
  void Pause(uint32_t ms) override;
  std::optional<uint32_t> LastInputMoment() override;
  bool WatchCalls() override;
  std::optional<std::string> CallProgram() override;
};

// Where the detector's transitions go: the log pane and the data file.
class ActivitySink {
 public:
  virtual ~ActivitySink() = default;
  virtual void AddLogLine(const std::string& text) = 0;
  // Appends a record with the given action and time.
  virtual void AppendRecord(uint8_t action, TDateTime time) = 0;
};

inline constexpr const char* ActivityStartedText = "Activity started at ";
inline constexpr const char* ActivityEndedText = "Activity ended at ";

// The log pane's line when calls are to count and the system keeps no record
// of the programs that use the microphone or the camera.
inline constexpr const char* NoCallRecordText =
    "Calls do not count as activity: this Windows does not record which programs use the "
    "microphone or the camera.";

// A spell of activity that runs: its Start and its last activity, and where
// the quiet spell before it began when the detector itself ended the spell
// before (by the timeout or a sleep of the machine), with that Stop.
struct TSpell {
  TDateTime start = 0;
  TDateTime lastActivity = 0;
  std::optional<TDateTime> quietFrom;
};

// The one owner of the running spell: whether one runs, where it began, its
// last activity and where the pointer was then. The others ask it.
class TActivityDetector {
 public:
  TDateTime IdleSpan = 10 * OneMinute;
  // Calls, the confirmation of a start and the pointer's slack, used from the
  // next tick on; all off unless set. The detector does not offer away time.
  // A call alone holds a spell without input for at most CallLimit: then the
  // spell ends where the timeout would have ended it without the call, and
  // that call counts no further until input comes (or it ends).
  TPresenceSettings Presence;

  // One tick of the timer; its texts use the locale given.
  void Tick(ActivitySource& source, ActivitySink& sink, const TLocale& locale);

  // True while no activity is being recorded: at start-up and after each Stop.
  bool Idle() const { return idle_; }
  // The moment of the last sample that counted as activity, and the pointer then.
  TDateTime LastActivity() const { return lastActivity_; }
  TPoint LastPos() const { return lastPos_; }
  // The spell that runs, if one does.
  std::optional<TSpell> Running() const {
    if (idle_) return std::nullopt;
    return TSpell{spellStart_, lastActivity_, spellQuietFrom_};
  }

  // The stamp of a Stop for a spell found over at now: the spell ended where
  // the quiet began, a timeout before now, but never more than one tick's
  // interval after the last activity, however late the tick comes (a
  // blocking append, a short sleep inside the quiet).
  TDateTime TimedOutStopTime(TDateTime now) const {
    return std::min(now - IdleSpan, lastActivity_ + TickInterval);
  }

  // Whether the pointer left where it last came to rest: by any pixel, or
  // by the pointer's slack when one is set.
  bool MouseMoved(TPoint pos) const;
  // Asks keys 0 ... 255 in turn and stops at the first one pressed.
  static bool AnyKeyPressed(ActivitySource& source);

  // The interval of the timer that drives the ticks.
  static constexpr TDateTime TickInterval = OneSecond;
  // The shortest pause between two ticks that counts as a sleep of the
  // machine, whatever the timeout: shorter ones are a busy message loop. A
  // step of the wall clock by no more than it is taken for the slewing of
  // the time service.
  static constexpr TDateTime MinSleepGap = 2 * OneSecond;
  // With ConfirmStart, more than one touch: a touch is confirmed by input in
  // a tick at least ConfirmAfter after the tick that saw it first and, where
  // the system tells the moments of input, at least ConfirmInputMs after its
  // moment then. One keystroke (its key-up often in the next tick) or one
  // nudge shorter than a second confirms nothing; two seconds of typing do.
  static constexpr TDateTime ConfirmAfter = 1.5 * OneSecond;
  static constexpr uint32_t ConfirmInputMs = 1000;

  // Back to the state of a new main window: Idle at (0, 0).
  void Reset();

  // The session ends (log-off, shutdown): a running spell ends at the last
  // activity, since the user may have left up to a timeout before; when Idle
  // there is nothing to close.
  void EndSession(ActivitySink& sink, const TLocale& locale);

  // The exit's Stop stays in the journal, and the user, who declined the
  // exit, answered longer than the timeout after it: the spell ended there.
  // Idle from here, with no record of its own.
  void EndAtExitStop();

  // A Stop of the running spell stays in the journal though the spell goes
  // on (an exit the user declined after its Stop may have been written): the
  // spell goes on from a Start at `at`, just after that Stop, and its quiet
  // counts from there at the earliest. Nothing happens while Idle.
  void GoOnFrom(TDateTime at, ActivitySink& sink);

  // The quiet spell before the running one was counted as work: its Stop and
  // the running spell's Start are gone from the journal, and the spell runs
  // from start, the Start before that Stop. Nothing happens unless the
  // running spell is the one that began at `after`.
  void JoinSpellBefore(TDateTime after, TDateTime start);

 private:
  // Ends the spell at the last activity when the clock jumped between two
  // ticks: forward by a sleep of the machine (longer than the timeout), or
  // stepped either way against the steady clock by more than MinSleepGap.
  void EndSpellAtClockJump(TDateTime now, uint64_t steadyNow, ActivitySink& sink,
                           const TLocale& locale);
  void EndSpell(TDateTime at, ActivitySink& sink, const TLocale& locale);
  // The program that uses the microphone or the camera at this tick, if one
  // does; the log pane is told once per call, and once when the system
  // cannot tell.
  std::optional<std::string> CallGoesOn(ActivitySource& source, ActivitySink& sink,
                                        const TLocale& locale);
  // Whether the touch that waits is confirmed by input at the tick at now,
  // with the system's last-input moment of that tick, if it told one.
  bool TouchConfirmed(TDateTime now, std::optional<uint32_t> moment) const;
  // With ConfirmStart set, input while Idle waits for more within that many
  // seconds (touch_): a touch left alone that long lapses, told in the pane.
  void LapseTouch(TDateTime now, uint64_t steadyNow, ActivitySink& sink, const TLocale& locale);

  TPoint lastPos_{0, 0};
  TDateTime lastActivity_ = 0;
  TDateTime spellStart_ = 0;                // the Start of the spell that runs
  bool idle_ = true;
  std::optional<TDateTime> lastTick_;       // clock at the start of the previous tick
  uint64_t lastSteady_ = 0;                 // the steady clock then
  std::optional<uint32_t> lastInput_;       // the system's last-input moment at the previous tick
  bool pointerFailing_ = false;             // the previous tick could not read the pointer
  std::optional<TPoint> lastSample_;        // the pointer at the last tick that could read it
  TDateTime lastInputActivity_ = 0;         // the last activity by input (not by a call)
  std::optional<TDateTime> lastStop_;       // the Stop of a spell this detector ended by the timeout or a sleep
  std::optional<TDateTime> spellQuietFrom_; // that Stop, for the spell that started after it
  std::optional<bool> callsWatched_;        // whether the system can tell of calls, once asked
  std::optional<std::string> inCall_;       // the program of the call the previous tick saw
  std::optional<std::string> spentCall_;    // a call past CallLimit: no activity until input
  std::optional<TDateTime> touch_;          // input while Idle that waits to be confirmed
  std::optional<uint32_t> touchMoment_;     // the system's last-input moment then
  std::optional<uint64_t> touchToldMs_;     // when a lone touch was last told (steady clock)
};

}  // namespace horalog
