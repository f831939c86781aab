#include "data/JournalWriter.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "data/Errors.h"

namespace horalog {

namespace {

bool SameRecord(const TActRec& a, const TActRec& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Another program holds the file for a moment: worth trying again soon.
bool HeldByAnother(const std::exception& error) {
  const auto* io = dynamic_cast<const EInOutError*>(&error);
  return io && (io->Code() == IoSharingViolation || io->Code() == IoLockViolation);
}

}  // namespace

std::string JournalFailureReason(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error)) return OutOfMemoryText;
  return error.what();
}

void TJournalWriter::Add(const TActRec& record) { waiting_.push_back(record); }

bool TJournalWriter::Due(uint64_t nowMs) const { return !waiting_.empty() && nowMs >= nextTryMs_; }

bool TJournalWriter::Withdraw(const TActRec& record) {
  if (waiting_.size() <= mayHaveLanded_.size() || !SameRecord(waiting_.back(), record))
    return false;
  waiting_.pop_back();
  reportedCount_ = std::min(reportedCount_, waiting_.size());
  if (waiting_.empty()) {
    TJournalOutcome ignored;
    AllWritten(ignored);
  }
  return true;
}

size_t TJournalWriter::AlreadyAppended(platform::File& file, int64_t wholeRecords) const {
  const size_t tail =
      std::min(mayHaveLanded_.size(), static_cast<size_t>(std::max<int64_t>(wholeRecords, 0)));
  if (tail == 0) return 0;
  std::vector<TActRec> last(tail);
  file.Seek((wholeRecords - static_cast<int64_t>(tail)) * static_cast<int64_t>(RecordSize));
  if (file.Read(last.data(), tail * RecordSize) != tail * RecordSize) return 0;
  // The longest run of them, from the first, that ends the file.
  for (size_t m = tail; m > 0; --m) {
    bool same = true;
    for (size_t i = 0; same && i < m; ++i)
      same = SameRecord(last[tail - m + i], mayHaveLanded_[i]);
    if (same) return m;
  }
  return 0;
}

void TJournalWriter::TakeLanded(size_t found, TJournalOutcome& outcome) {
  found = std::min(found, waiting_.size());
  waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<ptrdiff_t>(found));
  outcome.written += found;
  mayHaveLanded_.clear();
}

void TJournalWriter::AllWritten(TJournalOutcome& outcome) {
  outcome.outageEnded = outage_;
  outage_ = false;
  reportedCount_ = 0;
  nextTryMs_ = 0;
}

TJournalOutcome TJournalWriter::Write(const std::string& path, uint64_t nowMs) {
  TJournalOutcome outcome;
  if (waiting_.empty()) return outcome;
  try {
    // Positioned after the last whole record, so that a fragment at the end
    // is written over.
    AppendToDataFile(path, [&](platform::File& file) {
      const int64_t whole = file.Size() / static_cast<int64_t>(RecordSize);
      if (!mayHaveLanded_.empty()) TakeLanded(AlreadyAppended(file, whole), outcome);
      if (!waiting_.empty()) {
        std::vector<TActRec> batch(waiting_.begin(), waiting_.end());
        file.Seek(whole * static_cast<int64_t>(RecordSize));
        // From here on any of them may be in the file, whatever fails.
        mayHaveLanded_ = std::move(batch);
        file.Write(mayHaveLanded_.data(), mayHaveLanded_.size() * RecordSize);
      }
    });
  } catch (const std::exception& error) {
    // A failure after every record was found in the file leaves nothing
    // waiting: that is no outage.
    if (!waiting_.empty()) {
      outcome.failed = true;
      outcome.reason = JournalFailureReason(error);
      outcome.heldByAnother = HeldByAnother(error);
      outcome.outageBegan = !outage_;
      outcome.newFailure =
          !outage_ || outcome.reason != reason_ || waiting_.size() > reportedCount_;
      if (outcome.newFailure) reportedCount_ = waiting_.size();
      outage_ = true;
      reason_ = outcome.reason;
      nextTryMs_ = nowMs + (outcome.heldByAnother ? RetryAfterSharingMs : RetryAfterFailureMs);
      return outcome;
    }
  }
  outcome.written += waiting_.size();
  waiting_.clear();
  mayHaveLanded_.clear();
  AllWritten(outcome);
  return outcome;
}

TJournalOutcome TJournalWriter::WriteAtSessionEnd(const std::string& path,
                                                  const std::function<void()>& pause) {
  TJournalOutcome outcome = Write(path, 0);
  for (int retry = 0; retry < SessionEndRetries && outcome.heldByAnother; ++retry) {
    pause();
    const TJournalOutcome earlier = outcome;
    outcome = Write(path, 0);
    outcome.written += earlier.written;
    outcome.outageEnded = outcome.outageEnded || earlier.outageEnded;
  }
  return outcome;
}

TJournalOutcome TJournalWriter::Settle(const std::string& path) {
  TJournalOutcome outcome;
  if (!mayHaveLanded_.empty()) {
    size_t found = 0;
    try {
      platform::File file = platform::File::Open(path, platform::OpenMode::Read);
      found = AlreadyAppended(file, file.Size() / static_cast<int64_t>(RecordSize));
      file.Close();
    } catch (const EInOutError& error) {
      // No file: the write that failed did not even create it. A file that
      // only seems to be missing (a share that is away) is no answer.
      if (error.Code() != IoFileNotFound) throw;
    }
    TakeLanded(found, outcome);
    if (waiting_.empty()) AllWritten(outcome);
  }
  if (!waiting_.empty()) {
    outcome.failed = true;
    outcome.reason = reason_;
  }
  return outcome;
}

}  // namespace horalog
