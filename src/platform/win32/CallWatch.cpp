// Calls on Win32: the system's record of the programs that use the
// microphone or the camera (what drives the "in use" indicator of the
// notification area), read again only when it changed.
//
// Under HKCU\...\CapabilityAccessManager\ConsentStore, the keys "microphone"
// and "webcam" hold a key per packaged app and, under "NonPackaged", a key
// per desktop program, named by its path with '#' for '\'. Each has the
// FILETIMEs LastUsedTimeStart and LastUsedTimeStop: a Start with a Stop of 0
// is a use that goes on. HKCU\Software is the same for a 32-bit process.
#include <windows.h>
#include <tlhelp32.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"
#include "platform/win32/WideText.h"
#include "win32/Handles.h"

namespace horalog::platform {

namespace {

constexpr const wchar_t* ConsentStoreKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\";
constexpr const wchar_t* CapabilityKeys[] = {L"microphone", L"webcam"};
constexpr std::wstring_view DesktopProgramsKey = L"NonPackaged";

bool SameText(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Whether the app of this key uses the capability now.
bool InUse(HKEY app) {
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
  return start && *start != 0 && value(L"LastUsedTimeStop").value_or(0) == 0;
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

// A running process whose image is the file at path, held so that its end
// can be waited for; none when no such process runs.
win32::UniqueKernelHandle RunningProcessOf(const std::wstring& path) {
  const std::wstring_view fileName =
      std::wstring_view(path).substr(path.find_last_of(L'\\') + 1);
  const HANDLE taken = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (taken == INVALID_HANDLE_VALUE) return {};
  const win32::UniqueKernelHandle snapshot(taken);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(taken, &entry); more; more = Process32NextW(taken, &entry)) {
    if (!SameText(entry.szExeFile, fileName)) continue;
    win32::UniqueKernelHandle process(OpenProcess(
        PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!process) continue;
    wchar_t image[MAX_PATH * 2];
    DWORD length = static_cast<DWORD>(std::size(image));
    if (QueryFullProcessImageNameW(process.get(), 0, image, &length) &&
        SameText(std::wstring_view(image, length), path))
      return process;
  }
  return {};
}

// The capability's key, and the event its changes (in any key below) signal.
struct TWatchedKey {
  win32::UniqueKey key;
  win32::UniqueKernelHandle changed;

  // One notice per call: asked for again after each signal, never more often
  // (every repeated request adds a wait to the key).
  bool Arm() {
    return RegNotifyChangeKeyValue(key.get(), TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                   changed.get(), TRUE) == ERROR_SUCCESS;
  }
};

class TCallWatch {
 public:
  bool Start() {
    if (started_) return !keys_.empty();
    started_ = true;
    for (const wchar_t* capability : CapabilityKeys) {
      TWatchedKey watched;
      if (RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(ConsentStoreKey) + capability).c_str(), 0,
                        KEY_READ, watched.key.put()) != ERROR_SUCCESS)
        continue;
      watched.changed.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
      if (watched.changed && watched.Arm()) keys_.push_back(std::move(watched));
    }
    Read();
    return !keys_.empty();
  }

  std::optional<std::string> Program() {
    if (keys_.empty()) return std::nullopt;
    // One look at every event for a tick in which nothing changed.
    HANDLE handles[std::size(CapabilityKeys) + 1];
    DWORD count = 0;
    for (const TWatchedKey& watched : keys_) handles[count++] = watched.changed.get();
    if (process_) handles[count++] = process_.get();
    bool changed = false;
    for (;;) {
      const DWORD woke = WaitForMultipleObjects(count, handles, FALSE, 0);
      if (woke >= WAIT_OBJECT_0 + count) break;  // nothing (more), or a failure
      changed = true;
      const size_t index = woke - WAIT_OBJECT_0;
      // The program in use ended: its process stays signalled until let go.
      if (index >= keys_.size()) break;
      keys_[index].Arm();
    }
    if (changed) Read();
    return program_;
  }

 private:
  void Read() {
    program_.reset();
    process_.reset();
    for (const TWatchedKey& watched : keys_)
      if (FindUse(watched.key.get())) return;
  }

  // The first app of a capability's key that uses it now. A desktop program
  // counts only while a process of its path runs: one that ended during a
  // call leaves its Stop at 0 for good.
  bool FindUse(HKEY capability) {
    return AnySubkey(capability, [this](std::wstring_view name, HKEY app) {
      if (SameText(name, DesktopProgramsKey)) {
        return AnySubkey(app, [this](std::wstring_view pathName, HKEY program) {
          if (!InUse(program)) return false;
          std::wstring path(pathName);
          for (wchar_t& c : path)
            if (c == L'#') c = L'\\';
          win32::UniqueKernelHandle process = RunningProcessOf(path);
          if (!process) return false;
          const std::wstring_view fileName =
              std::wstring_view(path).substr(path.find_last_of(L'\\') + 1);
          program_ = AnsiFromWide(fileName.data(), fileName.size());
          process_ = std::move(process);
          return true;
        });
      }
      if (!InUse(app)) return false;
      // A package's family name is its name, '_' and the publisher's id.
      const std::wstring_view package = name.substr(0, name.find(L'_'));
      program_ = AnsiFromWide(package.data(), package.size());
      return true;
    });
  }

  bool started_ = false;
  std::vector<TWatchedKey> keys_;
  win32::UniqueKernelHandle process_;  // the desktop program in use, watched for its end
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
