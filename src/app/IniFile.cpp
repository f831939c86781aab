#include "app/IniFile.h"

#include <windows.h>

#include <vector>

#include "data/Errors.h"
#include "data/SettingsRules.h"
#include "platform/win32/WideText.h"
#include "win32/Handles.h"

namespace horalog {

TIniFile::~TIniFile() { UpdateFile(); }

// The file's name is a UTF-8 path: the wide functions take it as it is, and
// the names and values, which are not paths, go in the ANSI code page.
using platform::WideFromAnsi;
using platform::WidePath;

std::optional<uint64_t> TIniFile::LastWriteTime() const {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WidePath(fileName_).c_str(), GetFileExInfoStandard, &data))
    return std::nullopt;
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

void TIniFile::UpdateFile() {
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, WidePath(fileName_).c_str());
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  const std::wstring file = WidePath(fileName_);
  const std::wstring wideSection = WideFromAnsi(section), wideKey = WideFromAnsi(key),
                     wideDefault = WideFromAnsi(defaultValue);
  std::vector<wchar_t> buffer(256);
  for (;;) {
    DWORD got = GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(),
                                         wideDefault.c_str(), buffer.data(),
                                         static_cast<DWORD>(buffer.size()), file.c_str());
    // A full buffer means the text may have been cut: read again with more room.
    if (got + 1 < buffer.size() || buffer.size() >= (1u << 20)) {
      return platform::AnsiFromWide(buffer.data(), got);
    }
    buffer.resize(buffer.size() * 4);
  }
}

int32_t TIniFile::ReadNumber(const std::string& section, const std::string& key,
                             int32_t defaultValue) const {
  return SettingsNumber(ReadString(section, key, ""), defaultValue);
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  const std::wstring path = WidePath(fileName_);
  if (!WritePrivateProfileStringW(WideFromAnsi(section).c_str(), WideFromAnsi(key).c_str(),
                                  WideFromAnsi(value).c_str(), path.c_str())) {
    // The error box shows ANSI text: the path as near as that can come.
    throw Error("Unable to write to " + platform::AnsiFromWide(path.data(), path.size()));
  }
}

TSettingsEntries TIniFile::ReadSection(const std::string& section) const {
  const HANDLE file = CreateFileW(WidePath(fileName_).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  const win32::UniqueKernelHandle owned(file);
  std::string bytes;
  char buffer[16384];
  DWORD got = 0;
  // A settings file is small: beyond a few megabytes it is no settings file.
  while (bytes.size() < (4u << 20) && ReadFile(file, buffer, sizeof buffer, &got, nullptr) &&
         got > 0)
    bytes.append(buffer, got);
  const std::string text = SettingsTextUtf8(bytes, [](std::string_view ansi) {
    const std::wstring wide = WideFromAnsi(std::string(ansi));
    return platform::Utf8FromWide(wide);
  });
  return SettingsSection(text, section);
}

void TIniFile::WriteNumber(const std::string& section, const std::string& key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

}  // namespace horalog
