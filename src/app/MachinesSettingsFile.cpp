#include "app/MachinesSettingsFile.h"

#include <windows.h>

#include "data/SettingsRules.h"
#include "data/SettingsText.h"
#include "platform/Platform.h"
#include "platform/win32/WideText.h"

namespace horalog {

namespace {

// The text with its %NAME% variables expanded; as it is when that fails.
std::wstring Expanded(const std::wstring& text) {
  std::wstring out(32768, L'\0');
  const DWORD got =
      ExpandEnvironmentStringsW(text.c_str(), out.data(), static_cast<DWORD>(out.size()));
  if (got == 0 || got > out.size()) return text;
  out.resize(got - 1);
  return out;
}

}  // namespace

TMachinesSettings ReadMachinesSettings(const TIniFile& ini, const std::string& exePath,
                                       std::vector<std::string>& problems) {
  TMachinesSettings settings;
  const TSettingsEntries entries = ini.ReadSection(MachinesSection);
  const std::string written = SettingsValue(entries, "Folder");
  if (written.empty()) return settings;
  // A name that does not expand (a typo, a sync service not on this machine)
  // would name a folder of that name beside the program: none is made.
  const std::string unexpanded = UnexpandedVariable(written, [](std::string_view name) {
    const std::wstring wide = platform::WidePath(std::string(name));
    return GetEnvironmentVariableW(wide.c_str(), nullptr, 0) > 0;
  });
  if (!unexpanded.empty()) {
    problems.push_back("Cannot read Folder=" + written + " in [Machines] of " + ini.FileName() +
                       ": " + unexpanded +
                       " is not set on this machine. No folder is made; the other machines are "
                       "not counted.");
    return settings;
  }
  std::wstring folder = Expanded(platform::WidePath(written));
  // Relative to the program's folder, as the journal is.
  const bool absolute = (folder.size() >= 2 && folder[1] == L':') ||
                        (folder.size() >= 1 && (folder[0] == L'\\' || folder[0] == L'/'));
  if (!absolute) folder = platform::WidePath(DirectoryOf(exePath)) + folder;
  std::wstring full(32768, L'\0');
  const DWORD got =
      GetFullPathNameW(folder.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (got == 0 || got >= full.size()) {
    problems.push_back("Cannot read Folder=" + written + " in [Machines] of " + ini.FileName() +
                       "; the other machines are not counted.");
    return settings;
  }
  full.resize(got);
  if (full.back() != L'\\' && full.back() != L'/') full += L'\\';

  settings.identity = platform::MachineIdentity();
  if (settings.identity.empty()) {
    problems.push_back("Cannot tell this machine's identity; [Machines] of " + ini.FileName() +
                       " is left out.");
    return settings;
  }
  settings.computer = platform::ComputerName();
  settings.name = SettingsValue(entries, "Name");
  if (FileNameSafe(settings.name).empty()) settings.name = settings.computer;
  if (FileNameSafe(settings.name).empty()) settings.name = "Machine";
  settings.folder = platform::Utf8FromWide(full);
  return settings;
}

}  // namespace horalog
