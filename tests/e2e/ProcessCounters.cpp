#include "ProcessCounters.h"

#include <psapi.h>

#include <vector>

namespace horalog::e2e {
namespace {

// SystemExtendedHandleInformation (64): one entry per open handle of every
// process, with the owner's id at full width.
struct HandleEntry {
  PVOID object;
  ULONG_PTR pid;
  ULONG_PTR handle;
  ULONG access;
  USHORT creatorBackTrace;
  USHORT type;
  ULONG attributes;
  ULONG reserved;
};
struct HandleTable {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};

long KernelHandlesOf(DWORD pid) {
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return -1;
  constexpr ULONG SystemExtendedHandleInformation = 64;
  constexpr LONG InfoLengthMismatch = static_cast<LONG>(0xC0000004L);
  std::vector<char> buffer(256 * 1024);
  for (;;) {
    ULONG needed = 0;
    const LONG status = query(SystemExtendedHandleInformation, buffer.data(),
                              static_cast<ULONG>(buffer.size()), &needed);
    if (status == InfoLengthMismatch && buffer.size() < (64u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status < 0) return -1;
    break;
  }
  const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
  long count = 0;
  for (ULONG_PTR i = 0; i < table->count; ++i) count += table->entries[i].pid == pid;
  return count;
}

struct WindowCount {
  DWORD pid;
  long count;
};

BOOL CALLBACK CountChild(HWND, LPARAM param) {
  ++reinterpret_cast<WindowCount*>(param)->count;
  return TRUE;
}

void CountWithChildren(HWND w, WindowCount& counted) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != counted.pid) return;
  ++counted.count;
  EnumChildWindows(w, CountChild, reinterpret_cast<LPARAM>(&counted));
}

BOOL CALLBACK CountTopLevel(HWND w, LPARAM param) {
  CountWithChildren(w, *reinterpret_cast<WindowCount*>(param));
  return TRUE;
}

long WindowsOf(DWORD pid) {
  WindowCount counted{pid, 0};
  EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&counted));
  for (HWND w = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); w != nullptr;
       w = FindWindowExA(HWND_MESSAGE, w, nullptr, nullptr))
    CountWithChildren(w, counted);
  return counted.count;
}

ULONGLONG Ticks(const FILETIME& t) {
  return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

}  // namespace

ProcessCounters CountersOf(HANDLE process, DWORD pid) {
  ProcessCounters c;
  c.kernelHandles = KernelHandlesOf(pid);
  c.windows = WindowsOf(pid);
  c.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
  c.userObjects = GetGuiResources(process, GR_USEROBJECTS);
  GetProcessHandleCount(process, &c.handleCount);
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                              sizeof memory)) {
    c.workingSet = memory.WorkingSetSize;
    c.privateBytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
  }
  FILETIME created, exited, kernel, user;
  if (GetProcessTimes(process, &created, &exited, &kernel, &user))
    c.cpu100ns = Ticks(kernel) + Ticks(user);
  IO_COUNTERS io{};
  if (GetProcessIoCounters(process, &io)) c.readOperations = io.ReadOperationCount;
  return c;
}

double Megabytes(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

}  // namespace horalog::e2e
