// The journal's appends, with the records that could not be written yet.
//
// Another program often holds the data file for a moment (a backup, a virus
// scan, a sync client, an indexer), and a data folder on a network drive is
// away for a while after the machine wakes. A record whose append fails is
// therefore kept, in order and with its stamp, and later records wait behind
// it; the waiting records are appended in one write as soon as the file can
// be written again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <string>
#include <vector>

#include "data/ActRec.h"

namespace horalog {

// How long a failed append waits before it is tried again: briefly after
// another program held the file, longer after anything else, so that a dead
// network share never slows the timer.
inline constexpr uint64_t RetryAfterSharingMs = 3 * 1000;
inline constexpr uint64_t RetryAfterFailureMs = 60 * 1000;

// What one attempt to write the waiting records came to.
struct TJournalOutcome {
  size_t written = 0;        // records appended (or found already appended)
  bool failed = false;       // records still wait
  bool outageBegan = false;  // the first failure since every record was written
  bool outageEnded = false;  // every record that had waited is written
  bool newFailure = false;   // worth telling: a new outage, another reason, or more records
  std::string reason;        // the failure's text
};

class TJournalWriter {
 public:
  // Keeps the record behind those that wait; nothing is written yet.
  void Add(const TActRec& record);
  // Whether the waiting records are to be tried at nowMs (a steady clock in
  // milliseconds): at once unless an attempt failed less than its pause ago.
  bool Due(uint64_t nowMs) const;
  // Appends every waiting record to the data file at path, in order, in one
  // write, flushed to the disk. On failure the records stay; nothing raises.
  TJournalOutcome Write(const std::string& path, uint64_t nowMs);

  size_t Count() const { return waiting_.size(); }
  bool Empty() const { return waiting_.empty(); }
  const std::deque<TActRec>& Waiting() const { return waiting_; }
  // The text of the last failure.
  const std::string& Reason() const { return reason_; }
  // Gives up the newest waiting record, one that no longer stands for what
  // happened (the Stop of an exit that did not happen).
  void WithdrawNewest();

 private:
  // How many of the records of a failed write, from the first, end the open
  // file, which holds wholeRecords whole records.
  size_t AlreadyAppended(platform::File& file, int64_t wholeRecords) const;

  std::deque<TActRec> waiting_;
  // The records of a failed write, which may have reached the file all the
  // same (a failed flush or close): the next attempt looks for them at its
  // end first.
  std::vector<TActRec> mayHaveLanded_;
  uint64_t nextTryMs_ = 0;
  bool outage_ = false;
  size_t reportedCount_ = 0;  // records waiting when the last failure was told
  std::string reason_;
};

// The failure's text for the user: the I/O error's message, explained where
// the system's code has no text of its own.
std::string JournalFailureReason(const std::exception& error);

}  // namespace horalog
