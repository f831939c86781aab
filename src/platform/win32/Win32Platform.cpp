// The system seam on Win32, used by the program.
#include <windows.h>
// The seam has a ReplaceFile of its own; the system header makes the name a macro.
#undef ReplaceFile

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

}  // namespace horalog::platform
