// Errors of the program. Every failure is an exception whose what() is the
// message the user sees in the error box. The base Error, EOSError, the file
// errors and the conversion error come from the platform layer, which raises
// them and which the window framework shares.
#pragma once

#include <cstdint>
#include <string>

#include "platform/SystemError.h"

namespace horalog {

// "List index out of bounds (%d)".
class EListError : public Error {
 public:
  explicit EListError(long long index);
};

}  // namespace horalog
