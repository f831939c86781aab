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
#include <functional>
#include <string>
#include <vector>

#include "data/ActRec.h"

namespace horalog {

// How long a failed append waits before it is tried again: briefly after
// another program held the file, longer after anything else, so that a dead
// network share never slows the timer.
inline constexpr uint64_t RetryAfterSharingMs = 3 * 1000;
inline constexpr uint64_t RetryAfterFailureMs = 60 * 1000;
// At the end of the session a file held by another program is tried this
// many times more, this long apart: about two of the five seconds Windows
// gives a program before it asks the user.
inline constexpr int SessionEndRetries = 4;
inline constexpr uint32_t SessionEndPauseMs = 500;

// What one attempt to write the waiting records came to.
struct TJournalOutcome {
  size_t written = 0;        // records appended (or found already appended)
  bool failed = false;       // records still wait
  bool outageBegan = false;  // the first failure since every record was written
  bool outageEnded = false;  // every record that had waited is written
  bool newFailure = false;   // worth telling: a new outage, another reason, or more records
  bool heldByAnother = false;  // the failure: another program holds the file for a moment
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
  // The session ends: the waiting records are written at once, and while
  // another program holds the file, tried again SessionEndRetries times with
  // pause() between. What still waits after that is given up by the caller.
  // The outcome counts what all the attempts wrote.
  TJournalOutcome WriteAtSessionEnd(const std::string& path, const std::function<void()>& pause);
  // Before the data file at path is rewritten (and so sorted or shortened):
  // the records of a failed write that may have reached it all the same are
  // looked for at its end, where that write put them, and those found count
  // as written; the others are known not to be in it. A retry looks for them
  // only at the end, which the rewrite may move. A failure to read raises,
  // and the rewrite must not go ahead. The outcome fails while records still
  // wait.
  TJournalOutcome Settle(const std::string& path);

  size_t Count() const { return waiting_.size(); }
  bool Empty() const { return waiting_.empty(); }
  const std::deque<TActRec>& Waiting() const { return waiting_; }
  // The text of the last failure.
  const std::string& Reason() const { return reason_; }
  // Gives up record, a waiting record that no longer stands for what happened
  // (the Stop of an exit that did not happen), when it is the newest one. One
  // that a failed write may have put in the file stays, and so does one that
  // was written or is no longer the newest: false is returned, since the file
  // may hold it whatever is done here. A withdrawal that leaves nothing
  // waiting ends the outage.
  bool Withdraw(const TActRec& record);

 private:
  // How many of the records of a failed write, from the first, end the open
  // file, which holds wholeRecords whole records.
  size_t AlreadyAppended(platform::File& file, int64_t wholeRecords) const;
  // The first found waiting records are in the file: they go, and no record
  // is in doubt any more.
  void TakeLanded(size_t found, TJournalOutcome& outcome);
  // Every record is written: an outage ends.
  void AllWritten(TJournalOutcome& outcome);

  std::deque<TActRec> waiting_;
  // The records of a failed write, which may have reached the file all the
  // same (a failed flush or close): the next attempt looks for them at its
  // end first. The waiting records always begin with them.
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
