#include "data/SettingsText.h"

#include <algorithm>
#include <cstdint>

#include "data/SettingsRules.h"

namespace horalog {

namespace {

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

constexpr uint32_t Replacement = 0xFFFD;

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  auto unit = [&](size_t at) {
    const auto hi = static_cast<uint8_t>(bytes[at + (bigEndian ? 0 : 1)]);
    const auto lo = static_cast<uint8_t>(bytes[at + (bigEndian ? 1 : 0)]);
    return static_cast<uint32_t>(hi << 8 | lo);
  };
  size_t at = 0;
  for (; at + 1 < bytes.size(); at += 2) {
    const uint32_t c = unit(at);
    if (c >= 0xD800 && c < 0xDC00 && at + 3 < bytes.size()) {
      const uint32_t next = unit(at + 2);
      if (next >= 0xDC00 && next < 0xE000) {
        AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00));
        at += 2;
        continue;
      }
    }
    AppendUtf8(out, c >= 0xD800 && c < 0xE000 ? Replacement : c);
  }
  if (at < bytes.size()) AppendUtf8(out, Replacement);
  return out;
}

bool SameAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const auto b = static_cast<uint8_t>(bytes[at]);
    size_t length = 0;
    uint32_t c = 0, least = 0;
    if (b < 0x80) {
      ++at;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      length = 2, c = b & 0x1F, least = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      length = 3, c = b & 0x0F, least = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      length = 4, c = b & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (at + length > bytes.size()) return false;
    for (size_t i = 1; i < length; ++i) {
      const auto next = static_cast<uint8_t>(bytes[at + i]);
      if ((next & 0xC0) != 0x80) return false;
      c = c << 6 | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return false;
    at += length;
  }
  return true;
}

std::string SettingsTextUtf8(std::string_view bytes, const TAnsiToUtf8& ansiToUtf8) {
  if (bytes.starts_with("\xFF\xFE")) return Utf16ToUtf8(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return Utf16ToUtf8(bytes.substr(2), true);
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (IsUtf8(bytes)) return std::string(bytes);
  return ansiToUtf8(bytes);
}

TSettingsEntries SettingsSection(std::string_view text, std::string_view section) {
  TSettingsEntries entries;
  bool inSection = false;
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    const std::string_view line = TrimmedSetting(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      inSection = close != std::string_view::npos &&
                  SameAsciiCase(TrimmedSetting(line.substr(1, close - 1)), section);
      continue;
    }
    const size_t equals = line.find('=');
    if (!inSection || equals == std::string_view::npos) continue;
    const std::string_view key = TrimmedSetting(line.substr(0, equals));
    std::string_view value = TrimmedSetting(line.substr(equals + 1));
    if (key.empty() || std::any_of(entries.begin(), entries.end(), [&](const auto& entry) {
          return SameAsciiCase(entry.first, key);
        }))
      continue;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    entries.emplace_back(std::string(key), std::string(value));
  }
  return entries;
}

std::string SettingsValue(const TSettingsEntries& entries, std::string_view key) {
  for (const auto& [name, value] : entries)
    if (SameAsciiCase(name, key)) return value;
  return {};
}

std::vector<std::string> SettingsKeyNames(const TSettingsEntries& entries) {
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.first);
  return names;
}

std::string UnexpandedVariable(std::string_view text,
                               const std::function<bool(std::string_view name)>& defined) {
  size_t at = text.find('%');
  while (at != std::string_view::npos) {
    const size_t close = text.find('%', at + 1);
    if (close == std::string_view::npos) break;
    const std::string_view name = text.substr(at + 1, close - at - 1);
    // A name that holds a separator is a folder's name with percent signs in it.
    const bool variable = !name.empty() && name.find_first_of("\\/:") == std::string_view::npos;
    if (variable && defined(name)) {
      at = text.find('%', close + 1);
      continue;
    }
    if (variable) return std::string(text.substr(at, close - at + 1));
    at = close;
  }
  return {};
}

}  // namespace horalog
