// The activity record and the data file of fixed 141-byte records.
#pragma once

#include <bit>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Platform.h"

namespace horalog {

static_assert(std::endian::native == std::endian::little, "records are little-endian");

#pragma pack(push, 1)
struct TActRec {
  int32_t Status;         // 0 live, -1 deleted
  uint8_t Action;         // 0 Start; anything else reads as Stop
  TDateTime Time;         // at byte 5, not aligned
  uint8_t Reserved[128];  // zero in new records, kept as read
};
#pragma pack(pop)
static_assert(sizeof(TActRec) == 141, "a record is 141 bytes");

constexpr size_t RecordSize = sizeof(TActRec);
constexpr int32_t StatusLive = 0;
constexpr int32_t StatusDeleted = -1;
constexpr uint8_t ActionStart = 0;
constexpr uint8_t ActionStop = 1;

// The data file's name in DataDir; DataDir + this is its path.
// Users' folders hold the journal by this name: it stays.
inline constexpr const char* DataFileBaseName = "hl.dat";

// A record of zero bytes with the given action and time.
TActRec MakeRecord(uint8_t action, TDateTime time);

// Opens the data file at path for appending (created when missing, never
// truncated), runs write on it, flushes it to the disk and closes it. The file
// is closed on a failure too, and the first error is the one raised.
void AppendToDataFile(const std::string& path, const std::function<void(platform::File&)>& write);

// Appends one record to the data file at path: opened (created when missing),
// positioned after its last whole record, written, flushed to the disk and
// closed. A fragment at the end is overwritten.
void AppendActionRecord(const std::string& path, uint8_t action, TDateTime time);

// Reads a data file record by record from the front. The end comes when the
// position in whole records reaches the size in whole records, so a fragment
// at the end is never seen. Opening a missing file raises "File not found".
class TActRecReader {
 public:
  explicit TActRecReader(const std::string& path);
  // The next record, or false at the end.
  bool Next(TActRec& record);
  // The next records as read, in place: count of them at the result, valid
  // until the next call; nothing (count 0) at the end.
  const TActRec* NextRecords(size_t& count);
  // The number of whole records in the file.
  int64_t Count() const { return count_; }
  void Close();

 private:
  // Reads the next block of records into the buffer.
  void Fill();

  platform::File file_;
  int64_t count_ = 0;
  int64_t position_ = 0;
  std::vector<TActRec> buffer_;
  size_t buffered_ = 0, taken_ = 0;
};

}  // namespace horalog
