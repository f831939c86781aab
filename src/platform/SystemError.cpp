#include "platform/SystemError.h"

#include "platform/Platform.h"

namespace horalog {

EOSError::EOSError(uint32_t code, const std::string& systemText)
    : Error(Text(code, systemText)), code_(code) {}

std::string EOSError::Text(uint32_t code, const std::string& systemText) {
  if (code == 0) return "A call to an OS function failed";
  return "System Error.  Code: " + std::to_string(code) + ".\r\n" + systemText;
}

EInOutError::EInOutError(int code) : Error(Text(code)), code_(code) {}

std::string EInOutError::Text(int code) {
  switch (code) {
    case IoFileNotFound: return "File not found";
    case IoInvalidFilename: return "Invalid filename";
    case IoTooManyOpenFiles: return "Too many open files";
    case IoAccessDenied: return "File access denied";
    case IoReadBeyondEnd: return "Read beyond end of file";
    case IoDiskFull: return "Disk full";
    default: break;
  }
  // A code without a text of its own (a network share gone, a device that
  // stopped answering) says what happened in words too.
  std::string text = "I/O error " + std::to_string(code);
  std::string explanation;
  if (code == IoSharingViolation) {
    explanation = "the file is in use by another program";
  } else if (code == IoLockViolation) {
    explanation = "the file is locked by another program";
  } else if (code > 0) {
    explanation = platform::SystemErrorText(static_cast<uint32_t>(code));
  }
  if (!explanation.empty()) text += " (" + explanation + ")";
  return text;
}

void RaiseOSError(uint32_t code) {
  throw EOSError(code, code != 0 ? platform::SystemErrorText(code) : std::string());
}

void RaiseLastOSError() { RaiseOSError(platform::LastErrorCode()); }

}  // namespace horalog
