// The seam's failures on purpose: one countdown shared by both implementations.
#pragma once

#include "platform/Platform.h"

namespace horalog::platform::faults {

// Operations left until the armed failure; 0 when unarmed.
inline int countdown = 0;
inline bool happened = false;
inline FileFault fault = FileFault::DeviceError;

// Counts one file operation; true when it is the one to fail.
inline bool Due() {
  if (countdown == 0) return false;
  if (--countdown != 0) return false;
  happened = true;
  return true;
}

}  // namespace horalog::platform::faults
