// The errors every layer raises: the base of the program's errors, a failed
// call to the operating system, a failed file operation and a value that
// cannot be converted. Each is an exception whose what() is
// the message the user sees in the error box. The window framework raises
// these too, so this header depends on nothing but the standard library.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace horalog {

// Base of every error the program raises.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failed system call: "System Error.  Code: %d.\r\n%s" with the system's
// code and text, or "A call to an OS function failed" when there is no code.
class EOSError : public Error {
 public:
  EOSError(uint32_t code, const std::string& systemText);
  uint32_t Code() const { return code_; }
  static std::string Text(uint32_t code, const std::string& systemText);

 private:
  uint32_t code_;
};

// The message of an allocation that failed.
inline constexpr const char* OutOfMemoryText = "Out of memory";

// Codes of the file errors: Windows' own codes where a failure has a text of
// its own (2 to 5), and 100 and 101 for reading past the end and a full disk,
// which have no such code.
enum IoErrorCode : int {
  IoFileNotFound = 2,
  IoInvalidFilename = 3,
  IoTooManyOpenFiles = 4,
  IoAccessDenied = 5,
  IoReadBeyondEnd = 100,
  IoDiskFull = 101,
  // The system's codes, which have no text of their own: another program holds
  // the file without sharing it, or has locked the part to be written.
  IoSharingViolation = 32,
  IoLockViolation = 33,
};

// A failed open, read, write, seek or close of a file: "File not found",
// "Invalid filename", "Too many open files", "File access denied",
// "Read beyond end of file", "Disk full", else "I/O error %d" followed by
// what the code means in parentheses: the program's own words for another
// program holding the file, else the system's text for the code.
class EInOutError : public Error {
 public:
  explicit EInOutError(int code);
  int Code() const { return code_; }
  static std::string Text(int code);

 private:
  int code_;
};

// A value that cannot be converted, such as "Invalid argument to time encode".
class EConvertError : public Error {
 public:
  using Error::Error;
};

// Raises EOSError for the calling thread's last system error code.
[[noreturn]] void RaiseLastOSError();
// Raises EOSError for the given system error code.
[[noreturn]] void RaiseOSError(uint32_t code);

}  // namespace horalog
