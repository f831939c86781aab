// Load at log-in: the value "Horalog" under the current user's Run key holds
// the executable's path while the setting is on.
#pragma once

#include <windows.h>

#include <string>

namespace horalog {

inline constexpr const char* RunParentKey = "\\Software\\Microsoft\\Windows\\CurrentVersion";
inline constexpr const char* RunSubKey = "Run";
// Earlier releases wrote this value: its name stays.
inline constexpr const char* RunValueName = "Horalog";

// The location of the setting; tests point it at a scratch key.
struct TRunKey {
  HKEY root = HKEY_CURRENT_USER;
  std::string parent = RunParentKey;  // a leading separator means from the root
  std::string subKey = RunSubKey;
  std::string valueName = RunValueName;
};

// The text of a string value: empty when the key or the value is missing or
// the value is empty; a REG_SZ or REG_EXPAND_SZ value up to its first zero
// byte, unexpanded, and never beyond the size the registry reports; any other
// type fails with "Invalid data type for '%s'".
std::string ReadRegistryString(HKEY key, const std::string& valueName);

// Whether the Run value names exePath (letters A to Z in either case).
bool GetLoadAtLogin(const std::string& exePath, const TRunKey& where = {});
// Writes exePath as the Run value (REG_SZ), or deletes the value. Fails with
// "Failed to create key %s" or "Failed to set data for '%s'".
void SetLoadAtLogin(bool enabled, const std::string& exePath, const TRunKey& where = {});

}  // namespace horalog
