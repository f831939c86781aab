#include "app/Detector.h"

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

bool TActivityDetector::MouseMoved(TPoint pos) const {
  return pos.x != LastPos.x || pos.y != LastPos.y;
}

bool TActivityDetector::AnyKeyPressed(ActivitySource& source) {
  for (int key = 0; key < 256; ++key) {
    if (source.KeyPressedSinceLastQuery(key)) return true;
  }
  return false;
}

void TActivityDetector::NoteActivity(TPoint pos, TDateTime now) {
  LastActivity = now;
  LastPos = pos;
}

void TActivityDetector::Reset() {
  LastPos = TPoint{0, 0};
  LastActivity = 0;
  Idle = true;
  lastTick_.reset();
  pointerFailing_ = false;
}

void TActivityDetector::Tick(ActivitySource& source, ActivitySink& sink) {
  Tick(source, sink, platform::UserLocale());
}

void TActivityDetector::EndSpellAfterSleep(TDateTime now, ActivitySink& sink,
                                           const TLocale& locale) {
  // No tick ran for longer than the timeout: the machine was asleep or
  // hibernating. The user left no later than the last activity seen, so the
  // spell ends there, not a timeout before the waking moment.
  const std::optional<TDateTime> previous = lastTick_;
  lastTick_ = now;
  if (!previous || Idle) return;
  const TDateTime gap = now - *previous;  // negative when the clock stepped back
  if (!Longer(gap, std::max(IdleSpan, MinSleepGap))) return;
  Idle = true;
  sink.AddLogLine(ActivityEndedText + DateTimeText(LastActivity, locale));
  sink.AppendAction(ActionStop, LastActivity);
}

void TActivityDetector::Tick(ActivitySource& source, ActivitySink& sink, const TLocale& locale) {
  EndSpellAfterSleep(source.Now(), sink, locale);

  // While the workstation is locked the pointer cannot be read. Such a tick
  // counts as one without activity, so a locked screen ends the spell after
  // the timeout as absence does; the reason goes to the log once per run of
  // failures.
  const platform::PointerSample sample = source.PointerPosition();
  bool activity = false;
  TPoint pos{sample.x, sample.y};
  if (sample.ok) {
    pointerFailing_ = false;
    activity = MouseMoved(pos) || AnyKeyPressed(source);
  } else if (!pointerFailing_) {
    pointerFailing_ = true;
    sink.AddLogLine(EOSError::Text(sample.error, platform::SystemErrorText(sample.error)));
  }

  if (activity) {
    NoteActivity(pos, source.Now());
    if (Idle) {
      Idle = false;
      sink.AddLogLine(ActivityStartedText + DateTimeText(source.Now(), locale));
      sink.AppendAction(ActionStart, source.Now());
    }
  } else if (!Idle && Longer(source.Now() - LastActivity, IdleSpan)) {
    // The spell ended where the quiet began: a timeout before now.
    Idle = true;
    sink.AddLogLine(ActivityEndedText + DateTimeText(source.Now() - IdleSpan, locale));
    sink.AppendAction(ActionStop, source.Now() - IdleSpan);
  }
}

}  // namespace horalog
