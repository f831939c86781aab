// The system seam on POSIX, for the native build of the core and its tests.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <libgen.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>

#include "platform/FileFaults.h"
#include "platform/Platform.h"
#include "platform/SystemError.h"

namespace horalog::platform {

namespace {

int IoCode(int error) {
  switch (error) {
    case ENOENT: return IoFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL: return IoInvalidFilename;
    case EMFILE:
    case ENFILE: return IoTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return IoAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return IoDiskFull;
    case EBUSY:
    case ETXTBSY: return IoSharingViolation;
    default: return error;
  }
}

[[noreturn]] void RaiseIo(int error) { throw EInOutError(IoCode(error)); }

// errno for the failure armed on purpose.
int FaultCode() { return faults::fault == FileFault::SharingViolation ? EBUSY : EIO; }

// A failure on purpose, when one is due: errno is the armed one.
bool Fault() {
  if (!faults::Due()) return false;
  errno = FaultCode();
  return true;
}

int Fd(intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

File::~File() {
  if (IsOpen()) ::close(Fd(handle_));
}

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) ::close(Fd(handle_));
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

File File::Open(const std::string& path, OpenMode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::Read:
    case OpenMode::ReadAlone: flags |= O_RDONLY; break;
    case OpenMode::ReadWrite: flags |= O_RDWR; break;
    case OpenMode::OpenAlways: flags |= O_RDWR | O_CREAT; break;
    case OpenMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
  }
  if (Fault()) RaiseIo(errno);
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int error = errno;
    // A missing folder on the way is a bad name, as the system says on Windows.
    if (error == ENOENT) {
      std::string dir = path;
      struct stat parent;
      if (::stat(::dirname(dir.data()), &parent) != 0) RaiseIo(ENOTDIR);
    }
    RaiseIo(error);
  }
  // A directory is no file to read or write, as on Windows.
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    RaiseIo(error);
  }
  File file;
  file.handle_ = fd;
  return file;
}

bool File::IsOpen() const { return handle_ >= 0; }

int64_t File::Size() const {
  struct stat st;
  if (Fault() || ::fstat(Fd(handle_), &st) != 0) RaiseIo(errno);
  return st.st_size;
}

void File::Seek(int64_t offset) {
  if (Fault() || ::lseek(Fd(handle_), static_cast<off_t>(offset), SEEK_SET) < 0) RaiseIo(errno);
}

size_t File::Read(void* buffer, size_t size) {
  if (Fault()) RaiseIo(errno);
  auto* p = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(Fd(handle_), p + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseIo(errno);
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

void File::Write(const void* buffer, size_t size) {
  const auto* p = static_cast<const char*>(buffer);
  size_t done = 0;
  if (Fault()) {
    // Part of the bytes reach the file before the failure.
    [[maybe_unused]] const ssize_t n = ::write(Fd(handle_), p, size / 2);
    RaiseIo(FaultCode());
  }
  while (done < size) {
    const ssize_t n = ::write(Fd(handle_), p + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseIo(errno);
    }
    if (n == 0) throw EInOutError(IoDiskFull);
    done += static_cast<size_t>(n);
  }
}

void File::Flush() {
  if (Fault() || ::fsync(Fd(handle_)) != 0) RaiseIo(errno);
}

void File::Close() {
  if (!IsOpen()) return;
  const int fd = Fd(handle_);
  handle_ = -1;
  const bool fault = Fault();
  const int closed = ::close(fd);
  if (fault) RaiseIo(FaultCode());
  if (closed != 0 && errno != EINTR) RaiseIo(errno);
}

bool FileFound(const std::string& path) {
  if (Fault()) RaiseIo(errno);
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return !S_ISDIR(st.st_mode);
  if (errno == ENOENT || errno == ENOTDIR) return false;
  RaiseIo(errno);
}

bool TryReplaceFile(const std::string& source, const std::string& target) {
  if (Fault() || ::rename(source.c_str(), target.c_str()) != 0) return false;
  // The new directory entry reaches the disk too.
  const int error = errno;
  std::string dir = target;
  const int fd = ::open(::dirname(dir.data()), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  errno = error;
  return true;
}

void ReplaceFile(const std::string& source, const std::string& target) {
  if (!TryReplaceFile(source, target)) RaiseIo(errno);
}

bool RemoveFile(const std::string& path) { return !Fault() && ::unlink(path.c_str()) == 0; }

bool RemoveEmptyFolder(const std::string& folder) {
  return !Fault() && ::rmdir(folder.c_str()) == 0;
}

void CopyFileReplacing(const std::string& source, const std::string& target) {
  if (Fault()) RaiseLastOSError();
  struct Owned {
    int fd;
    ~Owned() {
      if (fd >= 0) ::close(fd);
    }
  };
  Owned in{::open(source.c_str(), O_RDONLY | O_CLOEXEC)};
  if (in.fd < 0) RaiseLastOSError();
  Owned out{::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
  if (out.fd < 0) RaiseLastOSError();
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(in.fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) RaiseLastOSError();
    if (got == 0) break;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(out.fd, buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) RaiseLastOSError();
      if (put == 0) RaiseOSError(ENOSPC);
      done += put;
    }
  }
  // The copy's data reaches the disk before anything relies on it.
  if (::fsync(out.fd) != 0) RaiseLastOSError();
  const int fd = out.fd;
  out.fd = -1;
  if (::close(fd) != 0) RaiseLastOSError();
}

uint32_t LastErrorCode() { return static_cast<uint32_t>(errno); }

std::string SystemErrorText(uint32_t code) { return std::strerror(static_cast<int>(code)); }

TDateTime Now() {
  timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  tm local;
  ::localtime_r(&ts.tv_sec, &local);
  return ComposeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         ComposeTime(static_cast<uint16_t>(local.tm_hour), static_cast<uint16_t>(local.tm_min),
                     static_cast<uint16_t>(local.tm_sec > 59 ? 59 : local.tm_sec),
                     static_cast<uint16_t>(ts.tv_nsec / 1000000));
}

uint64_t SteadyMilliseconds() {
  timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

void Pause(uint32_t ms) {
  timespec wait{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

std::string PathForDisplay(const std::string& path) { return path; }

const TLocale& UserLocale() {
  // No locale database is consulted here: the English names and formats.
  static const TLocale locale;
  return locale;
}

PointerSample PointerPosition() {
  // There is no pointer to sample outside a desktop session.
  PointerSample sample;
  sample.error = ENOSYS;
  return sample;
}

bool KeyPressedSinceLastQuery(int) { return false; }

std::optional<uint32_t> LastInputMoment() { return std::nullopt; }

// ---- Folders -------------------------------------------------------------------

std::optional<TFileStamp> FileStamp(const std::string& path) {
  if (Fault()) RaiseIo(errno);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    RaiseIo(errno);
  }
  if (S_ISDIR(st.st_mode)) return std::nullopt;
  return TFileStamp{static_cast<int64_t>(st.st_size),
                    static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::vector<std::string> FolderFileNames(const std::string& folder) {
  if (Fault()) RaiseIo(errno);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) RaiseIo(errno);
  std::vector<std::string> names;
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    struct stat st;
    const std::string name = entry->d_name;
    if (::stat((base + name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) names.push_back(name);
    errno = 0;
  }
  const int error = errno;
  ::closedir(dir);
  if (error != 0) RaiseIo(error);
  return names;
}

void MakeFolders(const std::string& folder) {
  if (Fault()) RaiseIo(errno);
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  // Each folder on the way, from the root down.
  for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    const std::string part = path.substr(0, at);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) RaiseIo(errno);
    if (at == std::string::npos) break;
  }
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) RaiseIo(errno);
  if (!S_ISDIR(st.st_mode)) RaiseIo(ENOTDIR);
}

// ---- The machine -------------------------------------------------------------

std::string MachineIdentity() {
  // The system's machine id, 32 hexadecimal digits, in the shape of a GUID.
  std::ifstream in("/etc/machine-id");
  std::string id;
  in >> id;
  if (id.size() != 32) return {};
  for (char& c : id) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return id.substr(0, 8) + "-" + id.substr(8, 4) + "-" + id.substr(12, 4) + "-" +
         id.substr(16, 4) + "-" + id.substr(20);
}

std::string ComputerName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

// ---- Time zones ------------------------------------------------------------

int32_t UtcOffsetMinutes(TDateTime utc) {
  // TZ as set now: a test that changes it calls tzset() first.
  const double seconds = (utc - 25569.0) * 86400.0;
  if (!(seconds > -1e12 && seconds < 1e12)) return 0;
  const time_t moment = static_cast<time_t>(std::floor(seconds));
  tm local;
  if (!::localtime_r(&moment, &local)) return 0;
  return static_cast<int32_t>(local.tm_gmtoff / 60);
}

TDateTime UtcNow() {
  timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  return 25569.0 + (static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9) / 86400.0;
}

// The native build knows of no calls.
bool WatchCalls() { return false; }

std::optional<std::string> CallProgram() { return std::nullopt; }

}  // namespace horalog::platform
