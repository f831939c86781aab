// Compaction: the data file rewritten with its live records only, after a
// backup of it has been made.
#pragma once

#include <string>

namespace horalog {

// Names in the user's folder, as earlier releases wrote them.
inline constexpr const char* BackupFileName = "hl.bak";
inline constexpr const char* CompactionTempFileName = "hl.~dat";

// Compacts the data file in dataDir (a folder path with its trailing
// separator):
// 1. the data file is copied to the backup with the system's file copy,
//    replacing an older backup, and the copy is forced to the disk; a failure
//    raises the last system error, a missing data file the system's error for
//    a missing file, and nothing is created;
// 2. every record whose Status is 0 is written, all 141 bytes unchanged and in
//    the file's order, to the temporary file (a fragment at the end is not
//    read); a failure raises the I/O error and removes the temporary;
// 3. the temporary is forced to the disk and put in the data file's place in
//    one step; a failure raises the last system error.
// Whatever fails, the data file is either the old one whole or the compacted
// one complete, and in the second case the backup is complete.
void CompactDataFile(const std::string& dataDir);

}  // namespace horalog
