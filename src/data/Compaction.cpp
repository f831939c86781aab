#include "data/Compaction.h"

#include "data/ActRec.h"
#include "data/AtomicFile.h"
#include "platform/Platform.h"

namespace horalog {

void CompactDataFile(const std::string& dataDir) {
  const std::string data = dataDir + DataFileBaseName;
  platform::CopyFileReplacing(data, dataDir + BackupFileName);

  TActRecReader reader(data);
  TReplacingFile compacted(data, dataDir + CompactionTempFileName);
  TActRec record;
  while (reader.Next(record)) {
    if (record.Status == StatusLive) compacted.Write(&record, RecordSize);
  }
  // The data file is closed before it is replaced; the system does not replace
  // a file that is open.
  reader.Close();
  compacted.Commit(TReplaceError::LastOSError);
}

}  // namespace horalog
