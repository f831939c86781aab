// The errors every layer raises: the base of the program's errors and a
// failed call to the operating system. Each is an exception whose what() is
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

// Raises EOSError for the calling thread's last system error code.
[[noreturn]] void RaiseLastOSError();
// Raises EOSError for the given system error code.
[[noreturn]] void RaiseOSError(uint32_t code);

}  // namespace horalog
