#include "app/HoursSettingsFile.h"

#include <windows.h>

#include <string>

#include "platform/win32/WideText.h"

namespace horalog {

namespace {

// The names of the section's keys as the file writes them, in the ANSI code
// page as the settings file's names are read (IniFile.cpp): the targets from
// a date have names that are not known in advance.
std::vector<std::string> KeyNames(const TIniFile& ini, const std::string& section) {
  const std::wstring file = platform::WidePath(ini.FileName());
  const std::wstring wideSection = platform::WideFromAnsi(section);
  std::vector<wchar_t> buffer(1024);
  for (;;) {
    // No key name asks for the names, each ended by a null.
    const DWORD got = GetPrivateProfileStringW(wideSection.c_str(), nullptr, L"", buffer.data(),
                                               static_cast<DWORD>(buffer.size()), file.c_str());
    // A list cut short fills the buffer but for two nulls: read again with more room.
    if (got + 2 < buffer.size() || buffer.size() >= (1u << 20)) {
      std::vector<std::string> names;
      for (size_t at = 0; at < got;) {
        size_t end = at;
        while (end < got && buffer[end] != L'\0') ++end;
        if (end > at) names.push_back(platform::AnsiFromWide(buffer.data() + at, end - at));
        at = end + 1;
      }
      return names;
    }
    buffer.resize(buffer.size() * 4);
  }
}

}  // namespace

THoursSettings ReadHoursSettings(const TIniFile& ini,
                                 std::vector<THoursSettingsProblem>& problems) {
  return ParseHoursSettings(
      [&ini](const std::string& key) { return ini.ReadString(HoursSection, key, ""); }, problems,
      KeyNames(ini, HoursSection));
}

}  // namespace horalog
