// The named shared-memory block through which the running instance publishes
// its main window, and the single-instance check of the main routine.
#pragma once

#include <windows.h>

#include "win32/Handles.h"

namespace horalog {

// Asks the running instance to show its main window: wParam 0, lParam 0, result 0.
// Every copy of the program, of any release, sends it: the number stays.
constexpr UINT WM_SHOWMAIN = WM_USER + 18;
// The block: 4 bytes, the running instance's main-window handle; 0 for none.
// Every copy of the program, of any release, looks here: the name stays.
inline constexpr const char* InstanceMemoryName = "zirovevid";
constexpr DWORD InstanceMemorySize = 4;

// One opened mapping of a named block on the paging file and one view of it.
class TSharedMemory {
 public:
  // Creates or opens the block; on the NT family the creating process gives it
  // a null DACL. Raises the OS error on failure, with nothing left open.
  TSharedMemory(const char* name, DWORD size);

  void* View() const { return view_.get(); }

 private:
  // The view goes before the mapping.
  win32::UniqueKernelHandle mapping_;
  win32::UniqueMappedView view_;
};

// Gives the named kernel object a null DACL through SetNamedSecurityInfoA,
// found in advapi32.dll at run time. Returns that function's result.
DWORD SetNullDacl(const char* name);

// The window handle held by the named block (0 when no instance published one).
HWND ReadRunningWindow(const char* name);

// The class of the program's main window: only a window of this class is
// taken for a running instance.
inline constexpr const char* InstanceWindowClass = "TForm1";
// How long a start waits for the running instance to show its window.
constexpr UINT ShowMainTimeoutMs = 5000;

// When window is the main window of a running instance (a window of
// className): restores it when minimised, lets its process take the
// foreground, sends it WM_SHOWMAIN (waiting at most timeoutMs, and not at all
// for a hung instance), on which it comes to the front, and returns true.
// False when window is null or names no such window (a stale or reused
// handle).
bool ShowRunningInstance(HWND window, const char* className = InstanceWindowClass,
                         UINT timeoutMs = ShowMainTimeoutMs);

// Whether this start goes on: false when an instance runs, after its main
// window was shown as above (whether or not that instance answered); the main
// routine then ends with exit code 0.
bool CheckPreviousInstance();

// Whether the system is of the Windows NT family; read once at program start.
bool IsWindowsNTFamily();

}  // namespace horalog
