// The named shared-memory block that marks the running instance.
#include "ms/SharedMemory.h"

#include <aclapi.h>

#include <cstdint>
#include <cstring>

#include "data/Errors.h"

namespace horalog {

namespace {

bool ReadPlatformIsNT() {
  OSVERSIONINFOA info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// Read once, while the program starts.
const bool platformIsNT = ReadPlatformIsNT();

using SetNamedSecurityInfoAProc = DWORD(WINAPI*)(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION,
                                                 PSID, PSID, PACL, PACL);

}  // namespace

bool IsWindowsNTFamily() { return platformIsNT; }

// A failure after the mapping was made leaves nothing open: the members that
// were made release themselves as the error leaves the constructor.
TSharedMemory::TSharedMemory(const char* name, DWORD size)
    : mapping_(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name)) {
  if (!mapping_) RaiseLastOSError();
  const DWORD createError = GetLastError();
  if (IsWindowsNTFamily() && createError != ERROR_ALREADY_EXISTS) {
    const DWORD r = SetNullDacl(name);
    if (r != ERROR_SUCCESS) RaiseOSError(r);
  }
  view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, size));
  if (!view_) RaiseLastOSError();
}

DWORD SetNullDacl(const char* name) {
  // Held while the entry is looked up and called; a missing entry unloads it
  // quietly, otherwise a failure to unload it raises.
  win32::UniqueModule advapi(LoadLibraryA("advapi32.dll"));
  if (!advapi) RaiseLastOSError();
  auto setNamedSecurityInfo = reinterpret_cast<SetNamedSecurityInfoAProc>(
      reinterpret_cast<void*>(GetProcAddress(advapi.get(), "SetNamedSecurityInfoA")));
  if (setNamedSecurityInfo == nullptr) RaiseLastOSError();
  const DWORD result = setNamedSecurityInfo(const_cast<LPSTR>(name), SE_KERNEL_OBJECT,
                                            DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                            nullptr, nullptr);
  if (!FreeLibrary(advapi.release())) RaiseLastOSError();
  return result;
}

HWND ReadRunningWindow(const char* name) {
  TSharedMemory block(name, InstanceMemorySize);
  uint32_t value = 0;
  std::memcpy(&value, block.View(), sizeof value);
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

bool ShowRunningInstance(HWND window, const char* className, UINT timeoutMs) {
  // A handle whose window is gone, or that now names another program's
  // window, names no running instance: that instance ended while another copy
  // of the program still held the block.
  if (window == nullptr || !IsWindow(window)) return false;
  char windowClass[64] = {};
  GetClassNameA(window, windowClass, sizeof windowClass);
  if (std::strcmp(windowClass, className) != 0) return false;
  // Nothing here may wait for ever on an instance that does not answer (hung,
  // or stopped in a debugger or a crash dialog).
  if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);
  // The running instance takes the foreground itself, for its main window or
  // for the box or dialog open in front of it: this start, which the user
  // has just made, lets it.
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  AllowSetForegroundWindow(process);
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, WM_SHOWMAIN, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result);
  return true;
}

bool CheckPreviousInstance() {
  return !ShowRunningInstance(ReadRunningWindow(InstanceMemoryName));
}

}  // namespace horalog
