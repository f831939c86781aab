#include "recorder/Detector.h"

#include <algorithm>
#include <cmath>

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

bool TActivityDetector::MouseMoved(TPoint pos) const {
  return pos.x != lastPos_.x || pos.y != lastPos_.y;
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
}

void TActivityDetector::EndSpell(TDateTime at, ActivitySink& sink, const TLocale& locale) {
  idle_ = true;
  sink.AddLogLine(ActivityEndedText + DateTimeText(at, locale));
  sink.AppendRecord(ActionStop, at);
}

void TActivityDetector::GoOnFrom(TDateTime at, ActivitySink& sink) {
  if (idle_) return;
  spellStart_ = at;
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
  if (!previous || idle_) return;
  const TDateTime gap = now - *previous;
  const TDateTime steadyGap = static_cast<double>(steadyNow - previousSteady) / MSecsPerDay;
  if (!Longer(gap, std::max(IdleSpan, MinSleepGap)) && !Longer(steadyGap - gap, MinSleepGap) &&
      !Longer(gap - steadyGap, MinSleepGap))
    return;
  EndSpell(lastActivity_, sink, locale);
}

void TActivityDetector::EndSession(ActivitySink& sink, const TLocale& locale) {
  if (!idle_) EndSpell(lastActivity_, sink, locale);
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
  const std::optional<uint32_t> lastInput = source.LastInputMoment();
  const bool inputSeen = lastInput && lastInput_ && *lastInput != *lastInput_;
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

  if (activity) {
    // One moment for both: a spell ended at its last activity (sleep, a clock
    // set back, the end of the session) must not end before its Start.
    const TDateTime now = source.Now();
    lastActivity_ = now;
    lastPos_ = pos;
    if (idle_) {
      idle_ = false;
      spellStart_ = now;
      sink.AddLogLine(ActivityStartedText + DateTimeText(now, locale));
      sink.AppendRecord(ActionStart, now);
    }
  } else if (!idle_) {
    // One moment for the log line and the record.
    const TDateTime now = source.Now();
    if (Longer(now - lastActivity_, IdleSpan)) EndSpell(TimedOutStopTime(now), sink, locale);
  }
}

}  // namespace horalog
