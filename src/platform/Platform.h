// The seam between the portable core and the system. One implementation for
// Win32 (src/platform/win32, used by the program) and one for POSIX
// (src/platform/posix, used by the native test build).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/DateTime.h"

namespace horalog::platform {

// ---- Files ---------------------------------------------------------------
// Paths are UTF-8 text, whatever the system's ANSI code page. Failures raise
// EInOutError with the system's code mapped to the file error codes (see
// data/Errors.h).

enum class OpenMode {
  Read,        // an existing file, for reading
  ReadWrite,   // an existing file, for reading and writing
  OpenAlways,  // an existing file as it is, or a new empty one; reading and writing
  Create,      // created, or truncated when it exists; reading and writing
  // An existing file, for reading, that no other program holds open for
  // writing: one still being written fails with a sharing violation (where
  // the system shares files by mode; elsewhere it is Read).
  ReadAlone,
};

class File {
 public:
  File() = default;
  ~File();  // closes quietly when still open
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  static File Open(const std::string& path, OpenMode mode);

  bool IsOpen() const;
  int64_t Size() const;
  void Seek(int64_t offset);
  // Reads up to size bytes; fewer only at the end of the file.
  size_t Read(void* buffer, size_t size);
  // Writes all bytes; a short write raises "Disk full".
  void Write(const void* buffer, size_t size);
  // Forces what was written to the disk.
  void Flush();
  // Closes the file; a failure raises, and the file counts as closed.
  void Close();

 private:
  intptr_t handle_ = -1;
};

// Whether a file of that name is there: false only when the system says that
// neither it nor the folder on its way is (a folder of that name is no file
// either); any other failure, such as a share that does not answer or a
// folder that may not be read, raises its I/O error, for then nobody can tell.
bool FileFound(const std::string& path);
// Replaces target by source in one step (the target is either the old or the
// new file, never a mix), written through to the disk.
void ReplaceFile(const std::string& source, const std::string& target);
// The same, but false with the system's last error set when it failed.
bool TryReplaceFile(const std::string& source, const std::string& target);
// Deletes the file; false when it could not be deleted.
bool RemoveFile(const std::string& path);
// Deletes the folder when it is empty; false when it is not, or could not be.
bool RemoveEmptyFolder(const std::string& folder);
// Copies source to target with the system's file copy, replacing an existing
// target, and forces the copy to the disk; the copy is left writable, also
// when the source is read-only. A failure raises the last system error
// (EOSError).
void CopyFileReplacing(const std::string& source, const std::string& target);

// ---- Failures on purpose, for tests --------------------------------------
// What the failing operation meets: a device's I/O error, or another program
// that holds the file without sharing it.
enum class FileFault { DeviceError, SharingViolation };
// Arms the seam so that the k-th file operation from now fails as the system
// would (k >= 1; 0 disarms). Every open, size, seek, read, write, flush,
// close, existence check, copy, replace and delete counts one; a failing write
// puts part of its bytes first. The seam disarms itself when the failure has
// happened. Unarmed, each operation pays one comparison.
void FailFileOperation(int k, FileFault fault = FileFault::DeviceError);
// Whether the failure armed last has happened.
bool FileOperationFailed();

// A path (UTF-8) as the boxes and the log pane show text: in the system's
// 8-bit code page, a character it lacks as its stand-in.
std::string PathForDisplay(const std::string& path);

// ---- System errors -------------------------------------------------------

// The calling thread's last system error code.
uint32_t LastErrorCode();
// The system's text for an error code, without a trailing line break.
std::string SystemErrorText(uint32_t code);

// ---- Clock and locale ----------------------------------------------------

// The local wall-clock date and time.
TDateTime Now();
// A steady clock in milliseconds: it never steps, whatever is done to the
// wall clock. Only differences mean anything.
uint64_t SteadyMilliseconds();
// Waits ms milliseconds.
void Pause(uint32_t ms);
// The user's names and formats, read once.
const TLocale& UserLocale();

// ---- Input ---------------------------------------------------------------

struct PointerSample {
  bool ok = false;
  int32_t x = 0, y = 0;
  uint32_t error = 0;  // the system's error code when not ok
};
// The pointer position in screen coordinates.
PointerSample PointerPosition();
// Whether the virtual key (0-255) was pressed since the previous query; the
// query consumes the press.
bool KeyPressedSinceLastQuery(int virtualKey);
// The system's tick count at the last input of the session (any window, any
// process), or nothing when it cannot tell. It wraps: compare only for change.
std::optional<uint32_t> LastInputMoment();

// ---- Folders -----------------------------------------------------------------

// What the system tells of a file without opening it.
struct TFileStamp {
  int64_t size = 0;
  // The last write, in the system's own units: only compared.
  int64_t lastWrite = 0;
  bool operator==(const TFileStamp&) const = default;
};
// The stamp of the file at path; nothing when neither it nor the folder on
// its way is there, or when it is a folder. Any other failure raises its I/O
// error. Counts as one file operation.
std::optional<TFileStamp> FileStamp(const std::string& path);
// The names of the files (not the folders) in a folder, in no particular
// order. A folder that cannot be read raises its I/O error. Counts as one
// file operation.
std::vector<std::string> FolderFileNames(const std::string& folder);
// Makes the folder, and the folders on its way that are missing; one that is
// there already is left as it is. A failure raises its I/O error. Counts as
// one file operation.
void MakeFolders(const std::string& folder);

// ---- The machine -------------------------------------------------------------

// The machine's identity, which survives a new computer name and does not
// travel with the program's folder: the system's machine GUID, else a GUID
// made once and kept for the user. A GUID's 36 characters in lower case, no
// braces; empty when neither can be had.
std::string MachineIdentity();
// The computer's name as the system gives it (UTF-8); empty when unknown.
std::string ComputerName();

// ---- Time zones ------------------------------------------------------------

// This machine's offset from UTC at the moment utc (a TDateTime of UTC), in
// whole minutes, local time being UTC plus the offset: by the rules of the
// zone the system is set to now, for that moment's date. A moment the rules
// cannot place counts as UTC.
int32_t UtcOffsetMinutes(TDateTime utc);
// The wall clock in UTC.
TDateTime UtcNow();

// ---- Calls ---------------------------------------------------------------

// Starts watching the system's record of the programs that use the
// microphone or the camera, once; later calls only say what the first found.
// False when this system keeps no such record: then no call is ever seen.
// Parts of the record that are not there yet (no program used a microphone
// in this profile) or that fail later are watched for and taken when they
// come, without a new start. The watch belongs to the calling thread, which
// must live as long as it.
bool WatchCalls();
// The file name of a program that uses the microphone or the camera now
// ("Teams.exe"; a packaged app by its package name), or nothing. A use
// counts only when it began after the last boot and after a running process
// of its program began: one left open by a program that crashed or lost its
// power is no call. The record is read again only after it changed, or a
// program it named ended.
std::optional<std::string> CallProgram();

}  // namespace horalog::platform
