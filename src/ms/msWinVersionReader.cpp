// The Win32 reading of the version record behind WindowsVersionText().
#include <windows.h>

#include <cstring>

#include "data/Errors.h"
#include "ms/text/msWinVersion.h"

namespace horalog {

std::string WindowsVersionText() {
  OSVERSIONINFOEXA info{};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148);
  TWinVersionRecord record;
  record.Extended = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)) != FALSE;
  if (!record.Extended) {
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) RaiseLastOSError();
  }
  record.MajorVersion = info.dwMajorVersion;
  record.MinorVersion = info.dwMinorVersion;
  record.BuildNumber = info.dwBuildNumber;
  record.PlatformId = info.dwPlatformId;
  record.CSDVersion.assign(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof(info.szCSDVersion)));
  if (record.Extended) {
    record.SuiteMask = info.wSuiteMask;
    record.ProductType = info.wProductType;
  }
  return WindowsVersionText(record);
}

}  // namespace horalog
