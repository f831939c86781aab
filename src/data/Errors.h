// Errors of the program. Every failure is an exception whose what() is the
// message the user sees in the error box. The base Error and EOSError come
// from the platform layer, which the window framework shares.
#pragma once

#include <cstdint>
#include <string>

#include "platform/SystemError.h"

namespace horalog {

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

// "List index out of bounds (%d)".
class EListError : public Error {
 public:
  explicit EListError(long long index);
};

}  // namespace horalog
