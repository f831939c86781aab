// How presence at the desk is told apart from a desk left alone: calls that
// count as activity, input that must be confirmed before it starts a spell,
// a pointer that may twitch, and how long an away time must be before the
// tray icon offers to count it as work. All are off unless the keys of the
// section [Presence] set them; then the detector is exactly the plain one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/SettingsRules.h"

namespace horalog {

struct TPresenceSettings {
  // A program that uses the microphone or the camera counts as activity.
  bool calls = false;
  // Input after a quiet spell starts a spell only when more input follows in
  // a later tick within this many seconds; 0 starts one at once.
  int confirmStartSeconds = 0;
  // A pointer that stays within this many pixels of where it last came to
  // rest, both ways, is no activity; 0 counts every movement.
  int pointerSlack = 0;
  // A spell that starts after a quiet spell of at least this many seconds
  // offers to count the quiet spell as work; 0 offers nothing.
  int64_t askAfterSeconds = 0;
  // A call alone, without input, holds a spell at most this many seconds;
  // then the spell ends where the timeout would have ended it without the
  // call, and that call counts no further until input comes.
  int64_t callLimitSeconds = DefaultCallLimitSeconds;

  static constexpr int64_t DefaultCallLimitSeconds = 4 * 3600;

  bool operator==(const TPresenceSettings&) const = default;
};

// The settings file's section of these keys, edited by hand.
inline constexpr const char* PresenceSection = "Presence";

// A key whose value cannot be read: it is ignored, the other keys still work.
using TPresenceSettingsProblem = TSettingsProblem;

// The settings from the keys' texts: value(key) gives a key's text, empty
// when the key is missing. Keys whose text cannot be read are left out and
// named in problems. The keys: Calls, 0 or 1; ConfirmStart, seconds from 1 to
// 60; PointerSlack, pixels from 1 to 20; AskAfter, h:mm from 0:05 to 12:00
// (minutes two digits below 60); CallLimit, h:mm from 0:30 to 12:00, 4:00
// when missing. Spaces around a value are passed over, and
// an empty value is a missing key.
TPresenceSettings ParsePresenceSettings(const std::function<std::string(const std::string&)>& value,
                                        std::vector<TPresenceSettingsProblem>& problems);

// The log pane's line for a key that cannot be read in the settings file at
// path (a path as the log pane shows it): one line, "Cannot read
// ConfirmStart=90 in [Presence] of C:\Horalog\Horalog.ini; it is ignored."
std::string PresenceSettingsProblemText(const TPresenceSettingsProblem& problem,
                                        const std::string& path);

}  // namespace horalog
