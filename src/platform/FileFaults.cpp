#include "platform/FileFaults.h"

#include "platform/Platform.h"

namespace horalog::platform {

void FailFileOperation(int k, FileFault fault) {
  faults::countdown = k > 0 ? k : 0;
  faults::fault = fault;
  faults::happened = false;
}

bool FileOperationFailed() { return faults::happened; }

}  // namespace horalog::platform
