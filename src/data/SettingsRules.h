// The number rules of the settings: text to integer and minutes to a span.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// The settings file of an executable: its path with the extension of its file
// name replaced by ".ini" (or ".ini" appended when it has none).
std::string SettingsFilePath(const std::string& exePath);
// The directory part of a path, with its trailing separator.
std::string DirectoryOf(const std::string& path);

}  // namespace horalog
