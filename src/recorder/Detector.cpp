#include "recorder/Detector.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "data/ActRec.h"
#include "data/Errors.h"
#include "report/WorkTotals.h"

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
  lastSample_.reset();
  lastInputActivity_ = 0;
  lastStop_.reset();
  spellQuietFrom_.reset();
  callsWatched_.reset();
  inCall_.reset();
  spentCall_.reset();
  touch_.reset();
  touchMoment_.reset();
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

void TActivityDetector::EndAtExitStop() {
  if (idle_) return;
  idle_ = true;
  // The user was away from the exit on: not the detector's Stop to offer.
  lastStop_.reset();
}

void TActivityDetector::JoinSpellBefore(TDateTime after, TDateTime start) {
  if (idle_ || spellStart_ != after) return;
  spellStart_ = start;
  spellQuietFrom_.reset();
}

std::optional<std::string> TActivityDetector::CallGoesOn(ActivitySource& source,
                                                        ActivitySink& sink,
                                                        const TLocale& locale) {
  if (!callsWatched_) {
    callsWatched_ = source.WatchCalls();
    if (!*callsWatched_) sink.AddLogLine(NoCallRecordText);
  }
  if (!*callsWatched_) return std::nullopt;
  std::optional<std::string> program = source.CallProgram();
  if (program && !inCall_)
    sink.AddLogLine("A call (" + *program + ") counts as activity from " +
                    TimeText(*lastTick_, locale));
  inCall_ = program;
  return program;
}

bool TActivityDetector::TouchConfirmed(TDateTime now, std::optional<uint32_t> moment) const {
  if (!touch_ || Longer(ConfirmAfter, now - *touch_)) return false;
  // The moments wrap: only their difference counts.
  return !touchMoment_ || !moment ||
         static_cast<uint32_t>(*moment - *touchMoment_) >= ConfirmInputMs;
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
  // first; the wheel and a touchpad's gestures leave the pointer where it
  // is: the system's last-input moment still moves with them. A pointer
  // that twitches moves it too: with a slack set the moment counts only in a
  // tick in which the pointer did not move at all.
  const std::optional<uint32_t> lastInput = source.LastInputMoment();
  const bool inputMoved = lastInput && lastInput_ && *lastInput != *lastInput_;
  if (lastInput) lastInput_ = lastInput;
  bool activity = false;
  TPoint pos{sample.x, sample.y};
  if (sample.ok) {
    pointerFailing_ = false;
    const bool rested = lastSample_ && lastSample_->x == pos.x && lastSample_->y == pos.y;
    const bool firstSample = !lastSample_;
    lastSample_ = pos;
    activity = MouseMoved(pos) || AnyKeyPressed(source) ||
               (inputMoved && (Presence.pointerSlack == 0 || rested));
    // With ConfirmStart the start-up is no touch: where the pointer is then
    // (and any key state left from before) only tells where it rests.
    if (firstSample && idle_ && Presence.confirmStartSeconds > 0) {
      if (activity) AnyKeyPressed(source);  // the presses that the pointer left unasked
      lastPos_ = pos;
      activity = false;
    }
  } else if (!pointerFailing_) {
    pointerFailing_ = true;
    sink.AddLogLine(EOSError::Text(sample.error, platform::SystemErrorText(sample.error)));
  }

  // A call counts whether or not the pointer can be read: the screen may
  // lock during a call on the headset.
  std::optional<std::string> call;
  if (Presence.calls) {
    call = CallGoesOn(source, sink, locale);
  } else {
    inCall_.reset();
  }
  // A call past its limit counts again once input comes, or as a new call.
  if (!call || activity) spentCall_.reset();
  if (call && call == spentCall_) call.reset();

  if (idle_ && Presence.confirmStartSeconds > 0) {
    LapseTouch(*lastTick_, lastSteady_, sink, locale);
    // Input after the quiet only waits for more, unless it confirms the
    // touch that waits; a call needs none.
    if (activity && !call) {
      if (!touch_) {
        touch_ = *lastTick_;
        touchMoment_ = lastInput;
      }
      if (!TouchConfirmed(*lastTick_, lastInput)) {
        lastPos_ = pos;
        activity = false;
      }
    }
  } else {
    touch_.reset();  // ConfirmStart was switched off meanwhile
  }

  // A call alone for longer than its limit: the spell ends where the timeout
  // would have ended it without the call, a tick after the last input (or
  // its Start, when the call began it), and the call counts no further.
  if (call && !activity && !idle_) {
    const TDateTime since = std::max(lastInputActivity_, spellStart_);
    if (Longer(source.Now() - since, Presence.callLimitSeconds * OneSecond)) {
      spentCall_ = call;
      sink.AddLogLine("A call (" + *call + ") without input for " +
                      HoursText(Presence.callLimitSeconds) +
                      " counts no further until input comes");
      lastStop_ = since + TickInterval;
      EndSpell(*lastStop_, sink, locale);
      return;
    }
  }

  if (activity || call) {
    // One moment for both: a spell ended at its last activity (sleep, a clock
    // set back, the end of the session) must not end before its Start.
    const TDateTime now = source.Now();
    lastActivity_ = now;
    // A call alone leaves the pointer's place of rest where it was.
    if (activity) {
      lastPos_ = pos;
      lastInputActivity_ = now;
    }
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
