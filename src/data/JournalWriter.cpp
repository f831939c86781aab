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

void TJournalWriter::WithdrawNewest() {
  if (waiting_.empty()) return;
  waiting_.pop_back();
  reportedCount_ = std::min(reportedCount_, waiting_.size());
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

TJournalOutcome TJournalWriter::Write(const std::string& path, uint64_t nowMs) {
  TJournalOutcome outcome;
  if (waiting_.empty()) return outcome;
  try {
    // Positioned after the last whole record, so that a fragment at the end
    // is written over.
    AppendToDataFile(path, [&](platform::File& file) {
      const int64_t whole = file.Size() / static_cast<int64_t>(RecordSize);
      if (!mayHaveLanded_.empty()) {
        // The waiting records begin with those of the failed write, but for
        // one withdrawn since (which may have landed all the same).
        size_t stillWaiting = 0;
        while (stillWaiting < std::min(waiting_.size(), mayHaveLanded_.size()) &&
               SameRecord(waiting_[stillWaiting], mayHaveLanded_[stillWaiting]))
          ++stillWaiting;
        const size_t found = std::min(AlreadyAppended(file, whole), stillWaiting);
        waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<ptrdiff_t>(found));
        outcome.written += found;
        mayHaveLanded_.clear();
      }
      if (!waiting_.empty()) {
        std::vector<TActRec> batch(waiting_.begin(), waiting_.end());
        file.Seek(whole * static_cast<int64_t>(RecordSize));
        // From here on any of them may be in the file, whatever fails.
        mayHaveLanded_ = std::move(batch);
        file.Write(mayHaveLanded_.data(), mayHaveLanded_.size() * RecordSize);
      }
    });
  } catch (const std::exception& error) {
    outcome.failed = true;
    outcome.reason = JournalFailureReason(error);
    outcome.outageBegan = !outage_;
    outcome.newFailure =
        !outage_ || outcome.reason != reason_ || waiting_.size() > reportedCount_;
    if (outcome.newFailure) reportedCount_ = waiting_.size();
    outage_ = true;
    reason_ = outcome.reason;
    nextTryMs_ = nowMs + (HeldByAnother(error) ? RetryAfterSharingMs : RetryAfterFailureMs);
    return outcome;
  }
  outcome.written += waiting_.size();
  waiting_.clear();
  mayHaveLanded_.clear();
  outcome.outageEnded = outage_;
  outage_ = false;
  reportedCount_ = 0;
  nextTryMs_ = 0;
  return outcome;
}

}  // namespace horalog
