#include "data/Errors.h"

#include "platform/Platform.h"

namespace horalog {

EInOutError::EInOutError(int code) : Error(Text(code)), code_(code) {}

std::string EInOutError::Text(int code) {
  switch (code) {
    case IoFileNotFound: return "File not found";
    case IoInvalidFilename: return "Invalid filename";
    case IoTooManyOpenFiles: return "Too many open files";
    case IoAccessDenied: return "File access denied";
    case IoReadBeyondEnd: return "Read beyond end of file";
    case IoDiskFull: return "Disk full";
    default: return "I/O error " + std::to_string(code);
  }
}

EOSError::EOSError(uint32_t code, const std::string& systemText)
    : Error(Text(code, systemText)), code_(code) {}

std::string EOSError::Text(uint32_t code, const std::string& systemText) {
  if (code == 0) return "A call to an OS function failed";
  return "System Error.  Code: " + std::to_string(code) + ".\r\n" + systemText;
}

EListError::EListError(long long index)
    : Error("List index out of bounds (" + std::to_string(index) + ")") {}

void RaiseOSError(uint32_t code) {
  throw EOSError(code, code != 0 ? platform::SystemErrorText(code) : std::string());
}

void RaiseLastOSError() { RaiseOSError(platform::LastErrorCode()); }

}  // namespace horalog
