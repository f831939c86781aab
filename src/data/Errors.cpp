#include "data/Errors.h"

namespace horalog {

EListError::EListError(long long index)
    : Error("List index out of bounds (" + std::to_string(index) + ")") {}

}  // namespace horalog
