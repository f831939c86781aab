// The named shared-memory block that marks the running instance.
#include "ms/SharedMemory.h"

#include <aclapi.h>

#include <cstdint>
#include <cstdlib>
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

// A loaded library. Release() unloads it and reports whether that worked; a
// library still held when the owner goes away is unloaded quietly.
class LoadedLibrary {
 public:
  explicit LoadedLibrary(const char* name) : module_(LoadLibraryA(name)) {
    if (module_ == nullptr) RaiseLastOSError();
  }
  ~LoadedLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  HMODULE Get() const { return module_; }
  bool Release() {
    HMODULE m = module_;
    module_ = nullptr;
    return FreeLibrary(m) != FALSE;
  }

 private:
  HMODULE module_;
};

using SetNamedSecurityInfoAProc = DWORD(WINAPI*)(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION,
                                                 PSID, PSID, PACL, PACL);

}  // namespace

bool IsWindowsNTFamily() { return platformIsNT; }

TSharedMemory::TSharedMemory(const char* name, DWORD size) {
  mappingHandle_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
  if (mappingHandle_ == nullptr) RaiseLastOSError();
  const DWORD createError = GetLastError();
  try {
    if (IsWindowsNTFamily() && createError != ERROR_ALREADY_EXISTS) {
      const DWORD r = SetNullDacl(name);
      if (r != ERROR_SUCCESS) RaiseOSError(r);
    }
    view_ = MapViewOfFile(mappingHandle_, FILE_MAP_WRITE, 0, 0, size);
    if (view_ == nullptr) RaiseLastOSError();
  } catch (...) {
    CloseHandle(mappingHandle_);
    mappingHandle_ = nullptr;
    throw;
  }
}

// Nothing may leave a destructor: a failed unmapping cannot be helped here, and
// the mapping is closed whatever happened, so that no handle stays open.
TSharedMemory::~TSharedMemory() {
  if (view_ != nullptr) UnmapViewOfFile(view_);
  if (mappingHandle_ != nullptr) CloseHandle(mappingHandle_);
}

DWORD SetNullDacl(const char* name) {
  LoadedLibrary advapi("advapi32.dll");
  auto setNamedSecurityInfo = reinterpret_cast<SetNamedSecurityInfoAProc>(
      reinterpret_cast<void*>(GetProcAddress(advapi.Get(), "SetNamedSecurityInfoA")));
  if (setNamedSecurityInfo == nullptr) RaiseLastOSError();
  const DWORD result = setNamedSecurityInfo(const_cast<LPSTR>(name), SE_KERNEL_OBJECT,
                                            DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                            nullptr, nullptr);
  if (!advapi.Release()) RaiseLastOSError();
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
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, WM_SHOWMAIN, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result);
  SetForegroundWindow(window);
  return true;
}

void CheckPreviousInstance() {
  if (ShowRunningInstance(ReadRunningWindow(InstanceMemoryName))) std::exit(0);
}

}  // namespace horalog
