#include "recorder/Detector.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "data/ActRec.h"
#include "data/Errors.h"

namespace horalog {

namespace {

// Whether span a is longer than span b. The clock counts whole milliseconds, so
// both are compared in whole milliseconds: a span that is exactly the timeout
// must not turn into a longer one by the rounding of day fractions.
bool Longer(TDateTime a, TDateTime b) {
  return std::round(a * MSecsPerDay) > std::round(b * MSecsPerDay);
}

}  // namespace

platform::PointerSample SystemActivitySource::PointerPosition() {
  return platform::PointerPosition();
}

bool SystemActivitySource::KeyPressedSinceLastQuery(int virtualKey) {
  return platform::KeyPressedSinceLastQuery(virtualKey);
}

TDateTime SystemActivitySource::Now() { return platform::Now(); }

uint64_t SystemActivitySource::SteadyMilliseconds() { return platform::SteadyMilliseconds(); }

void SystemActivitySource::Pause(uint32_t ms) { platform::Pause(ms); }

std::optional<uint32_t> SystemActivitySource::LastInputMoment() {
  return platform::LastInputMoment();
}

bool SystemActivitySource::WatchCalls() { return platform::WatchCalls(); }

std::optional<std::string> SystemActivitySource::CallProgram() { return platform::CallProgram(); }

bool TActivityDetector::MouseMoved(TPoint pos) const {
  // Without a slack any pixel counts, as a slack of one does.
  const int64_t slack = std::max(Presence.pointerSlack, 1);
  return std::abs(int64_t{pos.x} - lastPos_.x) >= slack ||
         std::abs(int64_t{pos.y} - lastPos_.y) >= slack;
}

bool TActivityDetector::AnyKeyPressed(ActivitySource& source) {
  for (int key = 0; key < 256; ++key) {
    if (source.KeyPressedSinceLastQuery(key)) return true;
  }
  return false;
}

void TActivityDetector::Reset() {
  lastPos_ = TPoint{0, 0};
  lastActivity_ = 0;
  spellStart_ = 0;
  idle_ = true;
  lastTick_.reset();
  lastInput_.reset();
  pointerFailing_ = false;
  lastStop_.reset();
  spellQuietFrom_.reset();
  callsWatched_.reset();
  inCall_ = false;
  touch_.reset();
  touchToldMs_.reset();
}

void TActivityDetector::EndSpell(TDateTime at, ActivitySink& sink, const TLocale& locale) {
  idle_ = true;
  sink.AddLogLine(ActivityEndedText + DateTimeText(at, locale));
  sink.AppendRecord(ActionStop, at);
}

void TActivityDetector::GoOnFrom(TDateTime at, ActivitySink& sink) {
  if (idle_) return;
  spellStart_ = at;
  spellQuietFrom_.reset();
  lastActivity_ = std::max(lastActivity_, at);
  sink.AppendRecord(ActionStart, at);
}

void TActivityDetector::EndSpellAtClockJump(TDateTime now, uint64_t steadyNow, ActivitySink& sink,
                                            const TLocale& locale) {
  // No tick ran for longer than the timeout: the machine was asleep or
  // hibernating. The user left no later than the last activity seen, so the
  // spell ends there, not a timeout before the waking moment.
  // A wall clock that steps (the end of summer time, a correction by hand or
  // by the time service, another zone) would leave the Start on the old clock
  // and the next activities on the new one: the spell would be booked short
  // or long by the step, or end before its Start. It ends at the last
  // activity as well, and the next input starts a spell on the new clock. The
  // step is what the wall clock gained or lost against the steady clock since
  // the last tick, however long that tick was delayed.
  const std::optional<TDateTime> previous = lastTick_;
  const uint64_t previousSteady = lastSteady_;
  lastTick_ = now;
  lastSteady_ = steadyNow;
  if (!previous || (idle_ && !touch_)) return;
  const TDateTime gap = now - *previous;
  const TDateTime steadyGap = static_cast<double>(steadyNow - previousSteady) / MSecsPerDay;
  const bool stepped =
      Longer(steadyGap - gap, MinSleepGap) || Longer(gap - steadyGap, MinSleepGap);
  if (!Longer(gap, std::max(IdleSpan, MinSleepGap)) && !stepped) return;
  // A touch that waits is not confirmed by input on the far side of a jump.
  touch_.reset();
  if (idle_) return;
  // After a sleep the user was away from the last activity on; a stepped
  // clock says nothing of that.
  if (stepped) {
    lastStop_.reset();
  } else {
    lastStop_ = lastActivity_;
  }
  EndSpell(lastActivity_, sink, locale);
}

void TActivityDetector::EndSession(ActivitySink& sink, const TLocale& locale) {
  touch_.reset();
  lastStop_.reset();
  if (!idle_) EndSpell(lastActivity_, sink, locale);
}

void TActivityDetector::JoinSpellBefore(TDateTime after, TDateTime start) {
  if (idle_ || spellStart_ != after) return;
  spellStart_ = start;
  spellQuietFrom_.reset();
}

bool TActivityDetector::CallGoesOn(ActivitySource& source, ActivitySink& sink,
                                   const TLocale& locale) {
  if (!callsWatched_) {
    callsWatched_ = source.WatchCalls();
    if (!*callsWatched_) sink.AddLogLine(NoCallRecordText);
  }
  if (!*callsWatched_) return false;
  const std::optional<std::string> program = source.CallProgram();
  if (program && !inCall_)
    sink.AddLogLine("A call (" + *program + ") counts as activity from " +
                    TimeText(*lastTick_, locale));
  inCall_ = program.has_value();
  return inCall_;
}

void TActivityDetector::LapseTouch(TDateTime now, uint64_t steadyNow, ActivitySink& sink,
                                   const TLocale& locale) {
  if (!touch_ || !Longer(now - *touch_, Presence.confirmStartSeconds * OneSecond)) return;
  // Nothing followed in time. A sensor that twitches all night would fill the
  // pane: such touches are told at most once a minute.
  constexpr uint64_t TellEveryMs = 60 * 1000;
  if (!touchToldMs_ || steadyNow - *touchToldMs_ >= TellEveryMs) {
    touchToldMs_ = steadyNow;
    sink.AddLogLine("Input at " + TimeText(*touch_, locale) +
                    " not counted: nothing followed within " +
                    std::to_string(Presence.confirmStartSeconds) + " s");
  }
  touch_.reset();
}

void TActivityDetector::Tick(ActivitySource& source, ActivitySink& sink, const TLocale& locale) {
  EndSpellAtClockJump(source.Now(), source.SteadyMilliseconds(), sink, locale);

  // While the workstation is locked the pointer cannot be read. Such a tick
  // counts as one without activity, so a locked screen ends the spell after
  // the timeout as absence does; the reason goes to the log once per run of
  // failures.
  const platform::PointerSample sample = source.PointerPosition();
  // Keys typed into a window of a process with higher rights are not in the
  // key states, and another program polling them can take the press bits
  // first; the system's last-input moment still moves with them.
  // A pointer that twitches moves it too: with a slack set it is not asked
  // what the input was, and only the key states and the pointer count.
  const std::optional<uint32_t> lastInput = source.LastInputMoment();
  const bool inputSeen =
      Presence.pointerSlack == 0 && lastInput && lastInput_ && *lastInput != *lastInput_;
  if (lastInput) lastInput_ = lastInput;
  bool activity = false;
  TPoint pos{sample.x, sample.y};
  if (sample.ok) {
    pointerFailing_ = false;
    activity = MouseMoved(pos) || AnyKeyPressed(source) || inputSeen;
  } else if (!pointerFailing_) {
    pointerFailing_ = true;
    sink.AddLogLine(EOSError::Text(sample.error, platform::SystemErrorText(sample.error)));
  }

  // A call counts whether or not the pointer can be read: the screen may
  // lock during a call on the headset.
  bool call = false;
  if (Presence.calls) {
    call = CallGoesOn(source, sink, locale);
  } else {
    inCall_ = false;
  }

  if (idle_ && Presence.confirmStartSeconds > 0) {
    LapseTouch(*lastTick_, lastSteady_, sink, locale);
    // The first input after the quiet only waits for more; a call needs none.
    if (activity && !call && !touch_) {
      touch_ = *lastTick_;
      lastPos_ = pos;
      activity = false;
    }
  } else {
    touch_.reset();  // ConfirmStart was switched off meanwhile
  }

  if (activity || call) {
    // One moment for both: a spell ended at its last activity (sleep, a clock
    // set back, the end of the session) must not end before its Start.
    const TDateTime now = source.Now();
    lastActivity_ = now;
    // A call alone leaves the pointer's place of rest where it was.
    if (activity) lastPos_ = pos;
    if (idle_) {
      idle_ = false;
      // A confirmed touch began the spell: no worked second is lost.
      spellStart_ = touch_.value_or(now);
      touch_.reset();
      lastActivity_ = std::max(now, spellStart_);
      spellQuietFrom_ = std::exchange(lastStop_, std::nullopt);
      sink.AddLogLine(ActivityStartedText + DateTimeText(spellStart_, locale));
      sink.AppendRecord(ActionStart, spellStart_);
    }
  } else if (!idle_) {
    // One moment for the log line and the record.
    const TDateTime now = source.Now();
    if (Longer(now - lastActivity_, IdleSpan)) {
      lastStop_ = TimedOutStopTime(now);
      EndSpell(*lastStop_, sink, locale);
    }
  }
}

}  // namespace horalog
