// DataDir: the directory of the executable with its trailing separator, set
// once when the main window is created. The data file, the compaction files
// and the report file live there.
#pragma once

#include <string>

namespace horalog {

inline std::string DataDir;

}  // namespace horalog
