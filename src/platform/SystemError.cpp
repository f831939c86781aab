#include "platform/SystemError.h"

#include "platform/Platform.h"

namespace horalog {

EOSError::EOSError(uint32_t code, const std::string& systemText)
    : Error(Text(code, systemText)), code_(code) {}

std::string EOSError::Text(uint32_t code, const std::string& systemText) {
  if (code == 0) return "A call to an OS function failed";
  return "System Error.  Code: " + std::to_string(code) + ".\r\n" + systemText;
}

void RaiseOSError(uint32_t code) {
  throw EOSError(code, code != 0 ? platform::SystemErrorText(code) : std::string());
}

void RaiseLastOSError() { RaiseOSError(platform::LastErrorCode()); }

}  // namespace horalog
