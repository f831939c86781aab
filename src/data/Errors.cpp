#include "data/Errors.h"

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

EListError::EListError(long long index)
    : Error("List index out of bounds (" + std::to_string(index) + ")") {}

}  // namespace horalog
