// The system seam on Win32, used by the program.
#include <windows.h>
// The seam has a ReplaceFile of its own; the system header makes the name a macro.
#undef ReplaceFile

#include <cmath>
#include <cstring>
#include <cwctype>
#include <random>

#include "platform/FileFaults.h"
#include "platform/LocaleFormat.h"
#include "platform/Platform.h"
#include "platform/SystemError.h"
#include "platform/win32/WideText.h"
#include "win32/Handles.h"

namespace horalog::platform {

namespace {

int IoCode(DWORD error) {
  switch (error) {
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return IoDiskFull;
    case ERROR_HANDLE_EOF: return IoReadBeyondEnd;
    default: return static_cast<int>(error);  // 2 to 5 are file error codes as they are
  }
}

[[noreturn]] void RaiseIo(DWORD error) { throw EInOutError(IoCode(error)); }
[[noreturn]] void RaiseLastIo() { RaiseIo(GetLastError()); }

// The system's code for the failure armed on purpose.
DWORD FaultCode() {
  return faults::fault == FileFault::SharingViolation ? ERROR_SHARING_VIOLATION : ERROR_IO_DEVICE;
}

// A failure on purpose, when one is due: the last error is the armed one.
bool Fault() {
  if (!faults::Due()) return false;
  SetLastError(FaultCode());
  return true;
}

HANDLE H(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
// INVALID_HANDLE_VALUE, the value of a File that is not open.
constexpr intptr_t NoHandle = -1;

}  // namespace

File::~File() {
  if (IsOpen()) CloseHandle(H(handle_));
}

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = NoHandle; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) CloseHandle(H(handle_));
    handle_ = other.handle_;
    other.handle_ = NoHandle;
  }
  return *this;
}

File File::Open(const std::string& path, OpenMode mode) {
  DWORD access = GENERIC_READ;
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case OpenMode::Read: break;
    case OpenMode::ReadAlone: share = FILE_SHARE_READ; break;
    case OpenMode::ReadWrite:
      access |= GENERIC_WRITE;
      share = FILE_SHARE_READ;
      break;
    case OpenMode::OpenAlways:
      access |= GENERIC_WRITE;
      share = FILE_SHARE_READ;
      disposition = OPEN_ALWAYS;
      break;
    case OpenMode::Create:
      access |= GENERIC_WRITE;
      share = FILE_SHARE_READ;
      disposition = CREATE_ALWAYS;
      break;
  }
  if (Fault()) RaiseLastIo();
  HANDLE h = CreateFileW(WidePath(path).c_str(), access, share, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) RaiseLastIo();
  File file;
  file.handle_ = reinterpret_cast<intptr_t>(h);
  return file;
}

bool File::IsOpen() const { return handle_ != NoHandle; }

int64_t File::Size() const {
  LARGE_INTEGER size;
  if (Fault() || !GetFileSizeEx(H(handle_), &size)) RaiseLastIo();
  return size.QuadPart;
}

void File::Seek(int64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = offset;
  if (Fault() || !SetFilePointerEx(H(handle_), to, nullptr, FILE_BEGIN)) RaiseLastIo();
}

size_t File::Read(void* buffer, size_t size) {
  if (Fault()) RaiseLastIo();
  auto* p = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    const DWORD want = static_cast<DWORD>(size - done > 0x10000000 ? 0x10000000 : size - done);
    DWORD got = 0;
    if (!ReadFile(H(handle_), p + done, want, &got, nullptr)) RaiseLastIo();
    if (got == 0) break;
    done += got;
  }
  return done;
}

void File::Write(const void* buffer, size_t size) {
  const auto* p = static_cast<const char*>(buffer);
  size_t done = 0;
  if (Fault()) {
    // Part of the bytes reach the file before the failure.
    DWORD put = 0;
    WriteFile(H(handle_), p, static_cast<DWORD>(size / 2), &put, nullptr);
    RaiseIo(FaultCode());
  }
  while (done < size) {
    const DWORD want = static_cast<DWORD>(size - done > 0x10000000 ? 0x10000000 : size - done);
    DWORD put = 0;
    if (!WriteFile(H(handle_), p + done, want, &put, nullptr)) RaiseLastIo();
    if (put == 0) throw EInOutError(IoDiskFull);
    done += put;
  }
}

void File::Flush() {
  if (Fault() || !FlushFileBuffers(H(handle_))) RaiseLastIo();
}

void File::Close() {
  if (!IsOpen()) return;
  HANDLE h = H(handle_);
  handle_ = NoHandle;
  const bool fault = Fault();
  const BOOL closed = CloseHandle(h);
  if (fault) RaiseIo(FaultCode());
  if (!closed) RaiseLastIo();
}

bool FileFound(const std::string& path) {
  if (Fault()) RaiseLastIo();
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
  RaiseIo(error);
}

bool TryReplaceFile(const std::string& source, const std::string& target) {
  if (Fault()) return false;
  return MoveFileExW(WidePath(source).c_str(), WidePath(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void ReplaceFile(const std::string& source, const std::string& target) {
  if (!TryReplaceFile(source, target)) RaiseLastIo();
}

bool RemoveFile(const std::string& path) {
  return !Fault() && DeleteFileW(WidePath(path).c_str()) != 0;
}

bool RemoveEmptyFolder(const std::string& folder) {
  return !Fault() && RemoveDirectoryW(WidePath(folder).c_str()) != 0;
}

namespace {

// The system's copy carries the read-only attribute of its source: such a
// copy could neither be flushed nor replaced by the next one.
void MakeWritable(const std::string& path) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

}  // namespace

void CopyFileReplacing(const std::string& source, const std::string& target) {
  MakeWritable(target);
  if (Fault() || !CopyFileW(WidePath(source).c_str(), WidePath(target).c_str(), FALSE))
    RaiseLastOSError();
  MakeWritable(target);
  // The copy's data reaches the disk before anything relies on it.
  const HANDLE opened = CreateFileW(WidePath(target).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  win32::UniqueKernelHandle copy(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
  if (!copy || !FlushFileBuffers(copy.get())) RaiseLastOSError();
  if (!CloseHandle(copy.release())) RaiseLastOSError();
}

uint32_t LastErrorCode() { return GetLastError(); }

std::string SystemErrorText(uint32_t code) {
  win32::UniqueLocalMemory<char> text;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
          FORMAT_MESSAGE_ARGUMENT_ARRAY,
      nullptr, code, 0, reinterpret_cast<char*>(text.put()), 0, nullptr);
  std::string result;
  if (length != 0 && text) result.assign(text.get(), length);
  // Line breaks, blanks and the closing full stop go; the error box adds its own.
  while (!result.empty() && (static_cast<unsigned char>(result.back()) <= ' ' || result.back() == '.'))
    result.pop_back();
  return result;
}

TDateTime Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return ComposeDate(t.wYear, t.wMonth, t.wDay) +
         ComposeTime(t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
}

uint64_t SteadyMilliseconds() { return GetTickCount64(); }

// ---- Time zones ------------------------------------------------------------

namespace {

// 100-nanosecond intervals from 1601-01-01 to 1899-12-30, TDateTime's zero.
constexpr double FileTimeOfZero = 94353120000000000.0;
constexpr double FileTimePerDay = 864000000000.0;

}  // namespace

int32_t UtcOffsetMinutes(TDateTime utc) {
  const double ticks = FileTimeOfZero + utc * FileTimePerDay;
  // SYSTEMTIME holds the years 1601 to 30827.
  if (!(ticks >= 0 && ticks < 9.0e18)) return 0;
  ULARGE_INTEGER value;
  value.QuadPart = static_cast<ULONGLONG>(ticks);
  FILETIME fileTime{value.LowPart, value.HighPart};
  SYSTEMTIME universal, local;
  if (!FileTimeToSystemTime(&fileTime, &universal)) return 0;
  // The zone's rules for that year, as the system keeps them (dynamic zones
  // change their rules from year to year); kept while the zone and the year
  // stay the same.
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
  if (GetDynamicTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return 0;
  thread_local DYNAMIC_TIME_ZONE_INFORMATION keptZone{};
  thread_local TIME_ZONE_INFORMATION keptRules{};
  thread_local WORD keptYear = 0;
  if (keptYear != universal.wYear || std::memcmp(&keptZone, &zone, sizeof zone) != 0) {
    if (!GetTimeZoneInformationForYear(universal.wYear, &zone, &keptRules)) return 0;
    keptZone = zone;
    keptYear = universal.wYear;
  }
  if (!SystemTimeToTzSpecificLocalTime(&keptRules, &universal, &local)) return 0;
  FILETIME localFileTime;
  if (!SystemTimeToFileTime(&local, &localFileTime)) return 0;
  ULARGE_INTEGER localValue;
  localValue.LowPart = localFileTime.dwLowDateTime;
  localValue.HighPart = localFileTime.dwHighDateTime;
  const double difference =
      static_cast<double>(localValue.QuadPart) - static_cast<double>(value.QuadPart);
  return static_cast<int32_t>(std::lround(difference / 600000000.0));
}

TDateTime UtcNow() {
  FILETIME fileTime;
  GetSystemTimeAsFileTime(&fileTime);
  ULARGE_INTEGER value;
  value.LowPart = fileTime.dwLowDateTime;
  value.HighPart = fileTime.dwHighDateTime;
  return (static_cast<double>(value.QuadPart) - FileTimeOfZero) / FileTimePerDay;
}

void Pause(uint32_t ms) { Sleep(ms); }

std::string PathForDisplay(const std::string& path) { return AnsiPathText(path); }

namespace {

std::string LocaleText(LCTYPE type, const char* fallback) {
  char buffer[256];
  const int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer);
  if (n <= 1) return fallback;
  return std::string(buffer, static_cast<size_t>(n - 1));
}

TLocale ReadUserLocale() {
  TLocale locale;
  // The system numbers the days from Monday; the locale from Sunday.
  for (int i = 0; i < 7; ++i) {
    const int system = (i + 6) % 7;
    locale.shortDayNames[i] =
        LocaleText(LOCALE_SABBREVDAYNAME1 + system, locale.shortDayNames[i].c_str());
    locale.longDayNames[i] = LocaleText(LOCALE_SDAYNAME1 + system, locale.longDayNames[i].c_str());
  }
  for (int i = 0; i < 12; ++i) {
    locale.shortMonthNames[i] =
        LocaleText(LOCALE_SABBREVMONTHNAME1 + i, locale.shortMonthNames[i].c_str());
    locale.longMonthNames[i] = LocaleText(LOCALE_SMONTHNAME1 + i, locale.longMonthNames[i].c_str());
  }
  locale.dateSeparator = LocaleText(LOCALE_SDATE, "/");
  locale.timeSeparator = LocaleText(LOCALE_STIME, ":");
  locale.timeAMString = LocaleText(LOCALE_S1159, "AM");
  locale.timePMString = LocaleText(LOCALE_S2359, "PM");
  locale.decimalSeparator = LocaleText(LOCALE_SDECIMAL, ".");
  locale.listSeparator = LocaleText(LOCALE_SLIST, ",");
  // The system numbers it from Monday (0) to Sunday (6).
  const std::string firstDay = LocaleText(LOCALE_IFIRSTDAYOFWEEK, "6");
  if (firstDay.size() == 1 && firstDay[0] >= '0' && firstDay[0] <= '6')
    locale.firstDayOfWeek = (firstDay[0] - '0' + 1) % 7;
  const std::string shortDate = LocaleText(LOCALE_SSHORTDATE, "");
  if (!shortDate.empty()) locale.shortDateFormat = PatternFromWindowsPicture(shortDate);
  const std::string longTime = LocaleText(LOCALE_STIMEFORMAT, "");
  if (!longTime.empty()) locale.longTimeFormat = PatternFromWindowsPicture(longTime);
  return locale;
}

}  // namespace

const TLocale& UserLocale() {
  static const TLocale locale = ReadUserLocale();
  return locale;
}

PointerSample PointerPosition() {
  PointerSample sample;
  POINT p;
  if (GetCursorPos(&p)) {
    sample.ok = true;
    sample.x = p.x;
    sample.y = p.y;
  } else {
    sample.error = GetLastError();
  }
  return sample;
}

bool KeyPressedSinceLastQuery(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 1) != 0; }

std::optional<uint32_t> LastInputMoment() {
  LASTINPUTINFO info{};
  info.cbSize = sizeof(info);
  if (!GetLastInputInfo(&info)) return std::nullopt;
  return static_cast<uint32_t>(info.dwTime);
}

// ---- Folders -------------------------------------------------------------------

std::optional<TFileStamp> FileStamp(const std::string& path) {
  if (Fault()) RaiseLastIo();
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
    RaiseIo(error);
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
  TFileStamp stamp;
  stamp.size = static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                    data.nFileSizeLow);
  stamp.lastWrite =
      static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                           data.ftLastWriteTime.dwLowDateTime);
  return stamp;
}

std::vector<std::string> FolderFileNames(const std::string& folder) {
  if (Fault()) RaiseLastIo();
  std::wstring pattern = WidePath(folder);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) RaiseLastIo();
  std::vector<std::string> names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      names.push_back(Utf8FromWide(found.cFileName, wcslen(found.cFileName)));
  } while (FindNextFileW(search, &found));
  const DWORD error = GetLastError();
  FindClose(search);
  if (error != ERROR_NO_MORE_FILES) RaiseIo(error);
  return names;
}

namespace {

// Makes the folder, its parent first when that is missing too.
void MakeFolder(std::wstring folder) {
  while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  if (CreateDirectoryW(folder.c_str(), nullptr)) return;
  DWORD error = GetLastError();
  if (error == ERROR_PATH_NOT_FOUND) {
    const size_t cut = folder.find_last_of(L"\\/");
    if (cut != std::wstring::npos && cut > 0 && folder[cut - 1] != L':' &&
        folder[cut - 1] != L'\\') {
      MakeFolder(folder.substr(0, cut));
      if (CreateDirectoryW(folder.c_str(), nullptr)) return;
      error = GetLastError();
    }
  }
  // A folder that is there already is what was asked for.
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  RaiseIo(error);
}

// A GUID's text as the system writes it, in lower case without braces, or
// empty when text is none.
std::string GuidText(std::wstring text) {
  if (text.size() == 38 && text.front() == L'{' && text.back() == L'}')
    text = text.substr(1, 36);
  if (text.size() != 36) return {};
  std::string guid;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? c != L'-' : !std::iswxdigit(c) || c > 0x7F) return {};
    guid += static_cast<char>(std::towlower(c));
  }
  return guid;
}

std::wstring RegistryText(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS) return {};
  win32::UniqueKey key(opened);
  wchar_t buffer[64] = {};
  DWORD type = 0, size = sizeof buffer - sizeof(wchar_t);
  if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  return std::wstring(buffer, wcsnlen(buffer, size / sizeof(wchar_t)));
}

// Where the identity made for a machine without the system's is kept.
constexpr const wchar_t* OwnKeyPath = L"Software\\Horalog";
constexpr const wchar_t* OwnIdentityName = L"MachineId";

}  // namespace

void MakeFolders(const std::string& folder) {
  if (Fault()) RaiseLastIo();
  MakeFolder(WidePath(folder));
}

// ---- The machine -------------------------------------------------------------

std::string MachineIdentity() {
  // The system keeps it in the 64-bit view only: this program is 32-bit.
  std::string guid = GuidText(RegistryText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography",
                                           L"MachineGuid", KEY_WOW64_64KEY));
  if (!guid.empty()) return guid;
  guid = GuidText(RegistryText(HKEY_CURRENT_USER, OwnKeyPath, OwnIdentityName, 0));
  if (!guid.empty()) return guid;
  // Made once, a random GUID (version 4), and kept for the next start.
  std::random_device random;
  uint8_t bytes[16];
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);
  wchar_t text[40];
  swprintf(text, 40, L"%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
           bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7],
           bytes[8], bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  HKEY created = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, OwnKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &created, nullptr) != ERROR_SUCCESS)
    return {};
  win32::UniqueKey key(created);
  if (RegSetValueExW(key.get(), OwnIdentityName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
    return {};
  return GuidText(text);
}

std::string ComputerName() {
  wchar_t name[256];
  DWORD size = 256;
  if (GetComputerNameExW(ComputerNameDnsHostname, name, &size) && size > 0)
    return Utf8FromWide(name, size);
  size = 256;
  if (GetComputerNameW(name, &size)) return Utf8FromWide(name, size);
  return {};
}

}  // namespace horalog::platform
