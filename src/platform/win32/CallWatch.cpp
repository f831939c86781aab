// Calls on Win32: the system's record of the programs that use the
// microphone or the camera (what drives the "in use" indicator of the
// notification area), read again only when it changed.
//
// Under HKCU\...\CapabilityAccessManager\ConsentStore, the keys "microphone"
// and "webcam" hold a key per packaged app (named by its package family
// name) and, under "NonPackaged", a key per desktop program, named by its
// path with '#' for '\'. Each has the FILETIMEs LastUsedTimeStart and
// LastUsedTimeStop: a Start with a Stop of 0 is a use that goes on, or one
// whose program crashed or lost its power meanwhile, which stays so for
// months. So a use counts only when it began after the last boot and after
// a running process of its program began. HKCU\Software is the same for a
// 32-bit process.
//
// The keys may not be there yet (a profile that never used a microphone):
// their parent is watched for them, or, while it is missing too, looked for
// now and then. A key that fails (deleted meanwhile) is opened again so.
#include <windows.h>
#include <tlhelp32.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"
#include "platform/win32/WideText.h"
#include "win32/Handles.h"

namespace horalog::platform {

namespace {

constexpr const wchar_t* ConsentStoreKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore";
constexpr const wchar_t* CapabilityKeys[] = {L"microphone", L"webcam"};
constexpr std::wstring_view DesktopProgramsKey = L"NonPackaged";
// Missing keys are looked for at most this often while their parent is
// missing too (or cannot be watched).
constexpr ULONGLONG LookAgainMs = 10 * 1000;
// The first Windows that keeps the record: Windows 10, version 1903.
constexpr DWORD FirstBuildWithRecord = 18362;

bool SameText(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

ULONGLONG FileTimeValue(const FILETIME& time) {
  return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// The moment of the last boot, as a FILETIME.
ULONGLONG BootMoment() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return FileTimeValue(now) - GetTickCount64() * 10000;
}

// Whether this Windows records the programs that use the microphone or the
// camera: from Windows 10 version 1903 on, or wherever the record's key is.
bool SystemKeepsRecord() {
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto getVersion =
      ntdll ? reinterpret_cast<RtlGetVersionFunction>(
                  reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
            : nullptr;
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (getVersion && getVersion(&version) == 0 &&
      (version.dwMajorVersion > 10 ||
       (version.dwMajorVersion == 10 && version.dwBuildNumber >= FirstBuildWithRecord)))
    return true;
  win32::UniqueKey store;
  return RegOpenKeyExW(HKEY_CURRENT_USER, ConsentStoreKey, 0, KEY_READ, store.put()) ==
         ERROR_SUCCESS;
}

// The Start of the use of this app's key that goes on, if one does and it
// began after the boot.
std::optional<ULONGLONG> UseStart(HKEY app, ULONGLONG boot) {
  auto value = [app](const wchar_t* name) -> std::optional<ULONGLONG> {
    ULONGLONG time = 0;
    DWORD type = 0, size = sizeof time;
    if (RegQueryValueExW(app, name, nullptr, &type, reinterpret_cast<BYTE*>(&time), &size) !=
            ERROR_SUCCESS ||
        type != REG_QWORD)
      return std::nullopt;
    return time;
  };
  const std::optional<ULONGLONG> start = value(L"LastUsedTimeStart");
  if (!start || *start == 0 || *start < boot || value(L"LastUsedTimeStop").value_or(0) != 0)
    return std::nullopt;
  return start;
}

// Runs each(name, key) for the subkeys of key until it returns true.
template <typename Each>
bool AnySubkey(HKEY key, Each&& each) {
  wchar_t name[256];  // the longest name a key may have, and its NUL
  for (DWORD i = 0;; ++i) {
    DWORD length = static_cast<DWORD>(std::size(name));
    const LONG result = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    // A name too long for any key is passed over; a key deleted meanwhile
    // (or any other failure) has nothing more to give.
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) return false;
    win32::UniqueKey subkey;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, subkey.put()) != ERROR_SUCCESS) continue;
    if (each(std::wstring_view(name, length), subkey.get())) return true;
  }
}

// The package family name of a process; empty for a desktop program, or
// where the system cannot tell (before Windows 8: no packages). The function
// is looked up at run time.
std::wstring PackageFamilyName(HANDLE process) {
  using Function = LONG(WINAPI*)(HANDLE, UINT32*, PWSTR);
  static const Function function = [] {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<Function>(
                        reinterpret_cast<void*>(GetProcAddress(kernel, "GetPackageFamilyName")))
                  : nullptr;
  }();
  if (!function) return {};
  wchar_t name[256];
  UINT32 length = static_cast<UINT32>(std::size(name));
  if (function(process, &length, name) != ERROR_SUCCESS || length == 0) return {};
  return std::wstring(name, length - 1);  // the length counts the NUL
}

// A running process that began no later than the use at start, held so
// that its end can be waited for: of the desktop program at path, or of the
// packaged app of this family name. None when no such process runs.
win32::UniqueKernelHandle ProcessOfUse(const std::wstring& path, const std::wstring& family,
                                       ULONGLONG start) {
  const std::wstring_view fileName =
      path.empty() ? std::wstring_view()
                   : std::wstring_view(path).substr(path.find_last_of(L'\\') + 1);
  const HANDLE taken = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (taken == INVALID_HANDLE_VALUE) return {};
  const win32::UniqueKernelHandle snapshot(taken);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(taken, &entry); more; more = Process32NextW(taken, &entry)) {
    if (!path.empty() && !SameText(entry.szExeFile, fileName)) continue;
    win32::UniqueKernelHandle process(OpenProcess(
        PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!process) continue;
    if (!path.empty()) {
      wchar_t image[MAX_PATH * 2];
      DWORD length = static_cast<DWORD>(std::size(image));
      if (!QueryFullProcessImageNameW(process.get(), 0, image, &length) ||
          !SameText(std::wstring_view(image, length), path))
        continue;
    } else if (!SameText(PackageFamilyName(process.get()), family)) {
      continue;
    }
    // A use that began before this process did is another process's: one
    // that crashed during a call, or lost its power.
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process.get(), &created, &exited, &kernel, &user) ||
        FileTimeValue(created) > start)
      continue;
    return process;
  }
  return {};
}

// A key, and the event its changes signal.
struct TWatchedKey {
  win32::UniqueKey key;
  win32::UniqueKernelHandle changed;

  // Opens the key below HKCU and asks for its first notice; false, with
  // nothing open, when it is not there or cannot be watched.
  bool Open(const std::wstring& path, bool subtree) {
    Close();
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
      return false;
    changed.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    subtree_ = subtree;
    if (changed && Arm()) return true;
    Close();
    return false;
  }
  void Close() {
    key.reset();
    changed.reset();
  }
  bool IsOpen() const { return key.get() != nullptr; }
  // One notice per call: asked for again after each signal, never more often
  // (every repeated request adds a wait to the key). A key deleted meanwhile
  // cannot be asked again.
  bool Arm() {
    const DWORD filter =
        subtree_ ? REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET : REG_NOTIFY_CHANGE_NAME;
    return RegNotifyChangeKeyValue(key.get(), subtree_, filter, changed.get(), TRUE) ==
           ERROR_SUCCESS;
  }

 private:
  BOOL subtree_ = TRUE;
};

class TCallWatch {
 public:
  bool Start() {
    if (!started_) {
      started_ = true;
      recorded_ = SystemKeepsRecord();
      if (recorded_) {
        OpenKeys(true);
        Read();
      }
    }
    return recorded_;
  }

  std::optional<std::string> Program() {
    if (!recorded_) return std::nullopt;
    bool changed = OpenKeys(false);
    // One look at every event for a tick in which nothing changed; a few
    // rounds at most when something did.
    for (int round = 0; round < 8; ++round) {
      HANDLE handles[std::size(CapabilityKeys) + 2];
      TWatchedKey* owners[std::size(handles)] = {};
      DWORD count = 0;
      for (TWatchedKey& watched : keys_)
        if (watched.IsOpen()) {
          owners[count] = &watched;
          handles[count++] = watched.changed.get();
        }
      if (parent_.IsOpen()) {
        owners[count] = &parent_;
        handles[count++] = parent_.changed.get();
      }
      if (process_) handles[count++] = process_.get();
      if (count == 0) break;
      const DWORD woke = WaitForMultipleObjects(count, handles, FALSE, 0);
      if (woke >= WAIT_OBJECT_0 + count) break;  // nothing (more), or a failure
      changed = true;
      TWatchedKey* owner = owners[woke - WAIT_OBJECT_0];
      if (!owner) {
        // The program in use ended: its process stays signalled until let go.
        process_.reset();
        continue;
      }
      // A key deleted meanwhile is opened again when it is back.
      if (!owner->Arm()) owner->Close();
      if (owner == &parent_) OpenKeys(true);
    }
    if (changed) Read();
    return program_;
  }

 private:
  // Opens the capabilities' keys that are not open, when forced or when
  // their look is due; while one is missing its parent is watched for it.
  // True when one was opened.
  bool OpenKeys(bool forced) {
    const ULONGLONG now = GetTickCount64();
    if (!forced && (parent_.IsOpen() || now - lookedAt_ < LookAgainMs)) return false;
    bool missing = false;
    for (TWatchedKey& watched : keys_) missing |= !watched.IsOpen();
    if (!missing) return false;
    lookedAt_ = now;
    bool opened = false;
    missing = false;
    for (size_t i = 0; i < keys_.size(); ++i) {
      if (keys_[i].IsOpen()) continue;
      if (keys_[i].Open(std::wstring(ConsentStoreKey) + L"\\" + CapabilityKeys[i], true)) {
        opened = true;
      } else {
        missing = true;
      }
    }
    if (!missing) {
      parent_.Close();
    } else if (!parent_.IsOpen() && parent_.Open(ConsentStoreKey, false)) {
      // A key that came before the parent's watch began would be missed.
      for (size_t i = 0; i < keys_.size(); ++i)
        if (!keys_[i].IsOpen())
          opened |=
              keys_[i].Open(std::wstring(ConsentStoreKey) + L"\\" + CapabilityKeys[i], true);
    }
    return opened;
  }

  void Read() {
    program_.reset();
    process_.reset();
    const ULONGLONG boot = BootMoment();
    for (const TWatchedKey& watched : keys_)
      if (watched.IsOpen() && FindUse(watched.key.get(), boot)) return;
  }

  // The first app of a capability's key that uses it now.
  bool FindUse(HKEY capability, ULONGLONG boot) {
    return AnySubkey(capability, [&](std::wstring_view name, HKEY app) {
      if (SameText(name, DesktopProgramsKey)) {
        return AnySubkey(app, [&](std::wstring_view pathName, HKEY program) {
          const std::optional<ULONGLONG> start = UseStart(program, boot);
          if (!start) return false;
          std::wstring path(pathName);
          for (wchar_t& c : path)
            if (c == L'#') c = L'\\';
          win32::UniqueKernelHandle process = ProcessOfUse(path, {}, *start);
          if (!process) return false;
          const std::wstring_view fileName =
              std::wstring_view(path).substr(path.find_last_of(L'\\') + 1);
          program_ = AnsiFromWide(fileName.data(), fileName.size());
          process_ = std::move(process);
          return true;
        });
      }
      const std::optional<ULONGLONG> start = UseStart(app, boot);
      if (!start) return false;
      win32::UniqueKernelHandle process = ProcessOfUse({}, std::wstring(name), *start);
      if (!process) return false;
      // A package's family name is its name, '_' and the publisher's id.
      const std::wstring_view package = name.substr(0, name.find(L'_'));
      program_ = AnsiFromWide(package.data(), package.size());
      process_ = std::move(process);
      return true;
    });
  }

  bool started_ = false;
  bool recorded_ = false;
  std::array<TWatchedKey, std::size(CapabilityKeys)> keys_;
  TWatchedKey parent_;     // the consent store, while a capability's key is missing
  ULONGLONG lookedAt_ = 0;  // the last look for missing keys (tick count)
  win32::UniqueKernelHandle process_;  // the program in use, watched for its end
  std::optional<std::string> program_;
};

TCallWatch& Watch() {
  static TCallWatch watch;
  return watch;
}

}  // namespace

bool WatchCalls() { return Watch().Start(); }

std::optional<std::string> CallProgram() { return Watch().Program(); }

}  // namespace horalog::platform
