// What a process holds, read from outside (or from inside) the process: the
// counters that show a leak over a long run, the memory and the CPU time.
//
// Under Wine 8 GetGuiResources and GetProcessHandleCount are stubs that give
// 0 (and PrivateUsage is 0), so the counts that can be checked everywhere are
// read another way: kernel handles from the system's handle table, windows by
// enumeration.
#pragma once

#include <windows.h>

#include <cstdint>

namespace horalog::e2e {

struct ProcessCounters {
  long kernelHandles = -1;  // entries of the system's handle table; -1 when it cannot be read
  long windows = 0;         // top-level, message-only and child windows
  DWORD gdiObjects = 0;     // GetGuiResources: 0 where the system keeps no count
  DWORD userObjects = 0;
  DWORD handleCount = 0;    // GetProcessHandleCount: 0 where the system keeps no count
  SIZE_T workingSet = 0;
  SIZE_T privateBytes = 0;  // PrivateUsage, or the page-file usage where that is 0
  ULONGLONG cpu100ns = 0;   // user and kernel time
  ULONGLONG readOperations = 0;  // GetProcessIoCounters: 0 where the system keeps no count
};

// The process needs PROCESS_QUERY_INFORMATION and PROCESS_VM_READ access.
ProcessCounters CountersOf(HANDLE process, DWORD pid);
inline ProcessCounters CountersOfThisProcess() {
  return CountersOf(GetCurrentProcess(), GetCurrentProcessId());
}

// Megabytes with one decimal, for figures.
double Megabytes(SIZE_T bytes);

}  // namespace horalog::e2e
