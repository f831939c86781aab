// The settings-file accessor: [Options] is read and written through the
// platform's profile functions; the sections edited by hand are read from the
// file's bytes as the editor saved them (SettingsText). Nothing is cached here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "data/SettingsText.h"

namespace horalog {

class TIniFile {
 public:
  explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
  // Asks the platform to write its cached copy of the file to the disk.
  ~TIniFile();
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return fileName_; }
  // The file's last-write time, in the system's units; nothing when the
  // file is missing or cannot be asked.
  std::optional<uint64_t> LastWriteTime() const;

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // The key's text as a number by the settings' rules; defaultValue when it does not convert.
  int32_t ReadNumber(const std::string& section, const std::string& key,
                     int32_t defaultValue) const;
  // Fails with "Unable to write to %s".
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  // The keys of a section edited by hand, their names and values as UTF-8;
  // none when the file is missing or cannot be read.
  TSettingsEntries ReadSection(const std::string& section) const;
  void WriteNumber(const std::string& section, const std::string& key, int32_t value);
  void UpdateFile();

 private:
  std::string fileName_;
};

}  // namespace horalog
