// The number rules of the settings: text to integer and minutes to a span.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DateTime.h"

namespace horalog {

// Leading spaces, an optional sign, then decimal digits or hexadecimal digits
// after "$", "x", "X", "0x" or "0X"; nothing may follow. False for anything
// else and for values beyond the signed 32-bit range.
bool TextToInt(std::string_view text, int32_t& value);
int32_t TextToIntDef(std::string_view text, int32_t defaultValue);

// The conversion of a number read from the settings file: a text longer than
// two characters that starts with "0x" or "0X" has those two replaced by "$";
// then TextToInt, or defaultValue when it does not convert.
int32_t SettingsNumber(std::string text, int32_t defaultValue);

// ComposeTime(0, minutes, 0, 0): only the low 16 bits of minutes count, and
// they must be below 60 ("Invalid argument to time encode").
TDateTime MinutesToTime(int32_t minutes);

// Where earlier releases kept the timeout: section and key stay.
inline constexpr const char* OptionsSection = "Options";
inline constexpr const char* IntervalKey = "Interval";
inline constexpr int32_t DefaultIntervalMinutes = 10;

// ---- Sections edited by hand ([Hours], [Presence]) ---------------------

// A key whose value cannot be read: it is ignored, the other keys still work.
struct TSettingsProblem {
  std::string key;
  std::string value;
};

// A value's text without the spaces and tabs around it.
std::string_view TrimmedSetting(std::string_view text);

// The value of key, whose text is given, by convert (from the trimmed text
// to an optional value): nothing when the text is empty (a missing key);
// nothing, and a problem that names the key and its text, when it does not
// convert.
template <typename Convert>
auto ReadSetting(const std::string& key, const std::string& text, Convert&& convert,
                 std::vector<TSettingsProblem>& problems) {
  const std::string_view trimmed = TrimmedSetting(text);
  decltype(convert(trimmed)) converted;
  if (trimmed.empty()) return converted;
  converted = convert(trimmed);
  if (!converted) problems.push_back({key, text});
  return converted;
}

// The log pane's line for a key of [section] that cannot be read in the
// settings file at path (a path as the log pane shows it): one line, "Cannot
// read DayStart=25:00 in [Hours] of C:\Horalog\Horalog.ini; it is ignored."
std::string SettingsProblemText(const std::string& section, const TSettingsProblem& problem,
                                const std::string& path);

// The settings file of an executable: its path with the extension of its file
// name replaced by ".ini" (or ".ini" appended when it has none).
std::string SettingsFilePath(const std::string& exePath);
// The directory part of a path, with its trailing separator.
std::string DirectoryOf(const std::string& path);

}  // namespace horalog
