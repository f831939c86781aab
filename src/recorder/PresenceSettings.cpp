#include "recorder/PresenceSettings.h"

#include <optional>
#include <string_view>

namespace horalog {

namespace {

// One or two digits, as their number.
std::optional<int> SmallNumber(std::string_view text) {
  if (text.empty() || text.size() > 2) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<int> InRange(std::optional<int> value, int low, int high) {
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

std::optional<bool> SwitchValue(std::string_view text) {
  if (text == "0") return false;
  if (text == "1") return true;
  return std::nullopt;
}

// h:mm from low seconds to 12:00, as seconds.
std::optional<int64_t> HoursAndMinutes(std::string_view text, int64_t low) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || text.size() != colon + 3) return std::nullopt;
  const std::optional<int> hours = SmallNumber(text.substr(0, colon));
  const std::optional<int> minutes = SmallNumber(text.substr(colon + 1));
  if (!hours || !minutes || *minutes > 59) return std::nullopt;
  const int64_t seconds = (int64_t{*hours} * 60 + *minutes) * 60;
  if (seconds < low || seconds > 12 * 3600) return std::nullopt;
  return seconds;
}

}  // namespace

TPresenceSettings ParsePresenceSettings(const std::function<std::string(const std::string&)>& value,
                                        std::vector<TPresenceSettingsProblem>& problems) {
  TPresenceSettings settings;
  auto read = [&](const std::string& key, auto convert) {
    return ReadSetting(key, value(key), convert, problems);
  };
  settings.calls = read("Calls", SwitchValue).value_or(false);
  settings.confirmStartSeconds =
      read("ConfirmStart", [](std::string_view t) { return InRange(SmallNumber(t), 1, 60); })
          .value_or(0);
  settings.pointerSlack =
      read("PointerSlack", [](std::string_view t) { return InRange(SmallNumber(t), 1, 20); })
          .value_or(0);
  settings.askAfterSeconds =
      read("AskAfter", [](std::string_view t) { return HoursAndMinutes(t, 5 * 60); }).value_or(0);
  settings.callLimitSeconds =
      read("CallLimit", [](std::string_view t) { return HoursAndMinutes(t, 30 * 60); })
          .value_or(TPresenceSettings::DefaultCallLimitSeconds);
  return settings;
}

std::string PresenceSettingsProblemText(const TPresenceSettingsProblem& problem,
                                        const std::string& path) {
  return SettingsProblemText(PresenceSection, problem, path);
}

}  // namespace horalog
