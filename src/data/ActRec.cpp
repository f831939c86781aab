#include "data/ActRec.h"

#include <algorithm>
#include <cstring>

#include "data/Errors.h"

namespace horalog {

namespace {

// Records read from the disk at a time; about 580 KB.
constexpr size_t ReadChunkRecords = 4096;

}  // namespace

TActRec MakeRecord(uint8_t action, TDateTime time) {
  TActRec record;
  std::memset(&record, 0, sizeof record);
  record.Status = StatusLive;
  record.Action = action;
  record.Time = time;
  return record;
}

void AppendToDataFile(const std::string& path,
                      const std::function<void(platform::File&)>& write) {
  // Opened as it is, or created when missing, in one call: a file that merely
  // seemed missing is never truncated.
  platform::File file = platform::File::Open(path, platform::OpenMode::OpenAlways);
  try {
    write(file);
    // A record once logged must survive a power cut.
    file.Flush();
  } catch (...) {
    // The file is closed on this path too, but the first error is the one raised.
    try {
      file.Close();
    } catch (...) {
    }
    throw;
  }
  file.Close();
}

void AppendActionRecord(const std::string& path, uint8_t action, TDateTime time) {
  const TActRec record = MakeRecord(action, time);
  AppendToDataFile(path, [&record](platform::File& file) {
    // After the last whole record: a fragment at the end is written over.
    const int64_t wholeRecords = file.Size() / static_cast<int64_t>(RecordSize);
    file.Seek(wholeRecords * static_cast<int64_t>(RecordSize));
    file.Write(&record, sizeof record);
  });
}

TActRecReader::TActRecReader(const std::string& path)
    : file_(platform::File::Open(path, platform::OpenMode::Read)) {
  count_ = file_.Size() / static_cast<int64_t>(RecordSize);
}

bool TActRecReader::Next(TActRec& record) {
  if (position_ >= count_) return false;
  if (taken_ == buffered_) Fill();
  record = buffer_[taken_++];
  ++position_;
  return true;
}

const TActRec* TActRecReader::NextRecords(size_t& count) {
  count = 0;
  if (position_ >= count_) return nullptr;
  if (taken_ == buffered_) Fill();
  count = buffered_ - taken_;
  const TActRec* records = buffer_.data() + taken_;
  taken_ = buffered_;
  position_ += static_cast<int64_t>(count);
  return records;
}

void TActRecReader::Fill() {
  const size_t wanted = static_cast<size_t>(
      std::min<int64_t>(static_cast<int64_t>(ReadChunkRecords), count_ - position_));
  if (buffer_.size() < wanted) buffer_.resize(wanted);
  file_.Seek(position_ * static_cast<int64_t>(RecordSize));
  const size_t got = file_.Read(buffer_.data(), wanted * RecordSize);
  taken_ = 0;
  buffered_ = got / RecordSize;
  if (buffered_ < wanted) {
    // The file became shorter than it was when opened: the records that came
    // whole are handed out, and the end comes where a whole record was
    // expected and not found.
    count_ = position_ + static_cast<int64_t>(buffered_) + 1;
  }
  if (buffered_ == 0) throw EInOutError(IoReadBeyondEnd);
}

void TActRecReader::Close() {
  if (file_.IsOpen()) file_.Close();
}

}  // namespace horalog
