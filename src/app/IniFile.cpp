#include "app/IniFile.h"

#include <windows.h>

#include <vector>

#include "app/SettingsRules.h"
#include "data/Errors.h"

namespace horalog {

TIniFile::~TIniFile() { UpdateFile(); }

void TIniFile::UpdateFile() {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, fileName_.c_str());
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  std::vector<char> buffer(256);
  for (;;) {
    DWORD got = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(),
                                         buffer.data(), static_cast<DWORD>(buffer.size()),
                                         fileName_.c_str());
    // A full buffer means the text may have been cut: read again with more room.
    if (got + 1 < buffer.size() || buffer.size() >= (1u << 20)) {
      return std::string(buffer.data(), got);
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
  if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                  fileName_.c_str()))
    throw Error("Unable to write to " + fileName_);
}

void TIniFile::WriteNumber(const std::string& section, const std::string& key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

}  // namespace horalog
