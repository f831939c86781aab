#include "data/SettingsRules.h"

namespace horalog {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

// Position just after the last directory separator (0 when there is none).
size_t FileNameStart(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i;
  }
  return 0;
}

}  // namespace

bool TextToInt(std::string_view text, int32_t& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;  // no digits

  // The magnitude may reach 2^31 only for a negative number.
  const int64_t limit = negative ? 2147483648LL : 2147483647LL;
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = base == 16 ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9'
                                                            ? text[i] - '0'
                                                            : -1);
    if (digit < 0) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return false;
  }
  value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return true;
}

int32_t TextToIntDef(std::string_view text, int32_t defaultValue) {
  int32_t value = 0;
  return TextToInt(text, value) ? value : defaultValue;
}

int32_t SettingsNumber(std::string text, int32_t defaultValue) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.replace(0, 2, "$");
  }
  return TextToIntDef(text, defaultValue);
}

TDateTime MinutesToTime(int32_t minutes) {
  // The minute field is 16 bits wide: only the low 16 bits of the number count.
  return ComposeTime(0, static_cast<uint16_t>(minutes), 0, 0);
}

std::string SettingsFilePath(const std::string& exePath) {
  const size_t nameStart = FileNameStart(exePath);
  const size_t dot = exePath.rfind('.');
  if (dot == std::string::npos || dot < nameStart) return exePath + ".ini";
  return exePath.substr(0, dot) + ".ini";
}

std::string DirectoryOf(const std::string& path) { return path.substr(0, FileNameStart(path)); }

std::string_view TrimmedSetting(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string SettingsProblemText(const std::string& section, const TSettingsProblem& problem,
                                const std::string& path) {
  return "Cannot read " + problem.key + "=" + problem.value + " in [" + section + "] of " + path +
         "; it is ignored.";
}

}  // namespace horalog
