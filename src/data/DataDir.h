// DataDir: the directory of the executable with its trailing separator, set
// once when the main window is created. The data file, the compaction files
// and the report file live there. The windows below the main window read it
// here, so that none of them needs to know the main window.
#pragma once

#include <string>
#include <utility>

namespace horalog {

namespace detail {
inline std::string dataDir;
}  // namespace detail

inline const std::string& DataDir() { return detail::dataDir; }
inline void SetDataDir(std::string dir) { detail::dataDir = std::move(dir); }

}  // namespace horalog
