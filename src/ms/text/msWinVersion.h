// The one-line description of the running Windows, built from the fields of
// the platform's version record (OSVERSIONINFOEXA, or OSVERSIONINFOA when
// only the shorter form can be read).
#pragma once

#include <cstdint>
#include <string>

namespace horalog {

// The seven fields of the version record that the description uses.
struct TWinVersionRecord {
  uint32_t MajorVersion = 0;
  uint32_t MinorVersion = 0;
  uint32_t BuildNumber = 0;
  uint32_t PlatformId = 0;
  std::string CSDVersion;  // the service-pack text; read up to its first zero byte
  // Only in the extended record.
  bool Extended = false;
  uint16_t SuiteMask = 0;
  uint8_t ProductType = 0;
};

inline constexpr uint32_t PlatformWin32Windows = 1;  // VER_PLATFORM_WIN32_WINDOWS
inline constexpr uint32_t PlatformWin32NT = 2;       // VER_PLATFORM_WIN32_NT
inline constexpr uint8_t ProductWorkstation = 1;     // VER_NT_WORKSTATION
inline constexpr uint8_t ProductServer = 3;          // VER_NT_SERVER
inline constexpr uint16_t SuiteEnterprise = 0x0002;
inline constexpr uint16_t SuiteDataCenter = 0x0080;
inline constexpr uint16_t SuiteBlade = 0x0400;

// The description of the Windows the record names: a pure function of the record.
std::string WindowsVersionText(const TWinVersionRecord& record);

// The description of the running Windows (Windows only): reads the extended
// record, then the short one, and raises the last system error when neither
// can be read.
std::string WindowsVersionText();

}  // namespace horalog
