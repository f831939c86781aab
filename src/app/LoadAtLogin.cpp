#include "app/LoadAtLogin.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "data/Errors.h"
#include "ms/text/msText.h"
#include "platform/win32/WideText.h"
#include "win32/Handles.h"

namespace horalog {

namespace {

// The registry takes key paths relative to the root: a leading separator,
// which here means "from the root", is left out.
std::string RelativePath(const std::string& path) {
  size_t start = path.find_first_not_of('\\');
  return start == std::string::npos ? std::string() : path.substr(start);
}

// The parent key, opened with full access and created when missing.
win32::UniqueKey OpenParentKey(const TRunKey& where) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExA(where.root, RelativePath(where.parent).c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) RaiseOSError(static_cast<uint32_t>(result));
  return win32::UniqueKey(key);
}

win32::UniqueKey OpenSubKey(HKEY parent, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return {};
  return win32::UniqueKey(key);
}

}  // namespace

std::string ReadRegistryString(HKEY key, const std::string& valueName) {
  // Read wide: the value holds a path, which may lie outside the ANSI code page.
  const std::wstring name = platform::WideFromAnsi(valueName);
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return {};
  if (size == 0) return {};
  std::vector<unsigned char> buffer;
  for (;;) {
    buffer.resize(size);
    LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &type, buffer.data(), &size);
    if (result == ERROR_MORE_DATA) continue;  // the value grew in between: size is the new one
    if (result != ERROR_SUCCESS) return {};
    break;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    throw Error("Invalid data type for '" + valueName + "'");
  // The stored characters need not end in a zero: only the reported size counts.
  std::wstring text((size < buffer.size() ? size : buffer.size()) / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), buffer.data(), text.size() * sizeof(wchar_t));
  text.resize(std::wcslen(text.c_str()));
  return platform::Utf8FromWide(text);
}

bool GetLoadAtLogin(const std::string& exePath, const TRunKey& where) {
  win32::UniqueKey parent = OpenParentKey(where);
  win32::UniqueKey run = OpenSubKey(parent.get(), where.subKey);
  std::string text = run ? ReadRegistryString(run.get(), where.valueName) : std::string();
  return SameTextAZ(text, exePath);
}

void SetLoadAtLogin(bool enabled, const std::string& exePath, const TRunKey& where) {
  win32::UniqueKey parent = OpenParentKey(where);
  if (enabled) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent.get(), where.subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
      throw Error("Failed to create key " + where.subKey);
    win32::UniqueKey run(key);
    // The stored size counts the terminating zero.
    // The path as the system will read it to start the program: wide.
    const std::wstring path = platform::WidePath(exePath);
    if (RegSetValueExW(run.get(), platform::WideFromAnsi(where.valueName).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
      throw Error("Failed to set data for '" + where.valueName + "'");
  } else {
    win32::UniqueKey run = OpenSubKey(parent.get(), where.subKey);
    if (run) RegDeleteValueA(run.get(), where.valueName.c_str());
  }
}

}  // namespace horalog
