#include "recorder/Recorder.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "data/Errors.h"
#include "platform/Platform.h"
#include "version.h"

namespace horalog {

namespace {

constexpr TDateTime OneMillisecond = 1.0 / MSecsPerDay;

// "1 record", "2 records".
std::string RecordsText(size_t count) {
  return std::to_string(count) + (count == 1 ? " record" : " records");
}

}  // namespace

TRecorder::TRecorder(ActivitySource& source, TRecorderView& view, std::string dataDir,
                     const TLocale& locale)
    : source_(source), view_(view), dataDir_(std::move(dataDir)), locale_(locale) {}

void TRecorder::Start() {
  StartBeforeHours();
  ReadHours();
}

void TRecorder::StartBeforeHours() {
  started_ = true;
  totals_.Reset(settings_.dayStart);
  // Not read yet: no hours in the tip, and the next record reads them.
  totalsKnown_ = false;
  UpdateTip();
}

void TRecorder::SetHoursSettings(const THoursSettings& settings) {
  const bool otherDays = settings.dayStart != settings_.dayStart;
  settings_ = settings;
  if (!started_) return;
  if (otherDays) {
    totals_.Reset(settings_.dayStart);
    ReloadTotals();
  }
  UpdateTip();
}

// ---- Records --------------------------------------------------------------

void TRecorder::AddLogLine(const std::string& text) { view_.AddLogLine(text); }

void TRecorder::Keep(const TActRec& record) {
  journal_.Add(record);
  // The hours are not shown any more once the session ends.
  if (sessionEnding_) return;
  // Hours that could not be read are tried again with the next record.
  if (totalsKnown_) {
    totals_.Take(record);
  } else {
    ReloadTotals();
  }
}

void TRecorder::AppendRecord(uint8_t action, TDateTime time) {
  if (action == ActionStart) runningStart_ = time;
  Keep(MakeRecord(action, time));
  // At the end of the session the record only waits: the session's forced
  // write comes next, and the little time there is goes to it.
  if (sessionEnding_) return;
  // Behind records that wait, it waits for their retry.
  WriteJournal(false);
  UpdateTip();
}

TJournalOutcome TRecorder::AppendNow(uint8_t action, bool useNow) {
  TDateTime time = source_.Now();
  if (!useNow && action != ActionStart) time = detector_.TimedOutStopTime(time);
  Keep(MakeRecord(action, time));
  const TJournalOutcome outcome = WriteJournal(true);
  UpdateTip();
  // The caller tells of a failure; no box of its own follows at the next tick.
  if (outcome.failed) outageText_.clear();
  return outcome;
}

void TRecorder::AppendAction(uint8_t action, bool useNow) {
  const TJournalOutcome outcome = AppendNow(action, useNow);
  if (outcome.failed)
    throw Error("Cannot write to " + platform::PathForDisplay(DataFilePath()) + ": " +
                outcome.reason);
}

TJournalOutcome TRecorder::WriteJournal(bool forced) {
  const uint64_t now = source_.SteadyMilliseconds();
  if (journal_.Empty() || (!forced && !journal_.Due(now))) return {};
  const TJournalOutcome outcome = journal_.Write(DataFilePath(), now);
  TellWrittenLate(outcome);
  if (outcome.failed) {
    const std::string cannot =
        "Cannot write to " + platform::PathForDisplay(DataFilePath()) + ": " + outcome.reason;
    // Retries that fail as the one before did are not told again.
    if (forced || outcome.newFailure)
      AddLogLine(cannot + ". Records waiting: " + std::to_string(journal_.Count()));
    // One box per outage: it is shown when the tick has done its work.
    if (outcome.outageBegan) outageText_ = cannot + ". Horalog keeps the records and tries again.";
  }
  return outcome;
}

void TRecorder::TellWrittenLate(const TJournalOutcome& outcome) {
  if (!outcome.outageEnded) return;
  AddLogLine(RecordsText(outcome.written) + " written late to " +
             platform::PathForDisplay(DataFilePath()) + ".");
}

void TRecorder::WriteWaitingRecords() {
  WriteJournal(true);
  // A rewrite sorts the file: records of a failed write that reached it all
  // the same could leave its end, where a retry looks for them. Which of them
  // are there is settled first; a file that cannot even be read for that
  // raises, and the command does not go on.
  TellWrittenLate(journal_.Settle(DataFilePath()));
}

// ---- The hours ----------------------------------------------------------------

void TRecorder::ReloadTotals() {
  ++reloads_;
  const std::string path = DataFilePath();
  try {
    // Records of a failed write that reached the file all the same count
    // once, from the file: they are settled before the waiting ones are taken.
    TellWrittenLate(journal_.Settle(path));
    LoadWorkTotals(path, totals_);
    // The records that wait come after the file's.
    for (const TActRec& record : journal_.Waiting()) totals_.Take(record);
    totalsKnown_ = true;
  } catch (const std::exception& error) {
    // Told at the first reading, and when the hours leave the tip.
    if (totalsKnown_ || reloads_ == 1) {
      AddLogLine("Cannot read " + platform::PathForDisplay(path) + ": " +
                 JournalFailureReason(error) + ". The tray icon shows no hours until it can.");
    }
    totalsKnown_ = false;
  }
}

void TRecorder::ReadHours() {
  ReloadTotals();
  UpdateTip();
}

std::string TRecorder::TipText() const {
  if (!totalsKnown_) return HORALOG_PRODUCT_NAME;
  std::optional<TRunningSpell> running;
  if (!detector_.Idle) running = TRunningSpell{runningStart_, detector_.LastActivity};
  return WorkHoursTip(HORALOG_PRODUCT_NAME, HoursAt(totals_, settings_, source_.Now(),
                                                    locale_.firstDayOfWeek, running));
}

void TRecorder::UpdateTip() {
  if (sessionEnding_) return;
  std::string text = TipText();
  if (text == tip_) return;
  tip_ = std::move(text);
  view_.SetTip(tip_);
}

// ---- The timer ------------------------------------------------------------------

void TRecorder::Tick() {
  // Nothing is recorded while the exit's question is open, nor after the end
  // of the session.
  if (exitAsked_ || sessionEnded_) return;
  std::string error;
  try {
    detector_.Tick(source_, *this, locale_);
    // The hours follow the clock: a running spell, midnight, a new week.
    UpdateTip();
  } catch (const std::exception& e) {
    error = JournalFailureReason(e);
  }
  // The waiting records, once a tick at most: a tick whose own append has
  // just tried them finds them not due.
  WriteJournal(false);
  if (!outageText_.empty()) ShowTickError(std::exchange(outageText_, {}));
  if (!error.empty()) ShowTickError(error);
}

void TRecorder::ShowTickError(const std::string& text) {
  // The box runs a message loop of its own, in which the next ticks run: their
  // errors go to the log pane until it is closed, so boxes never pile up.
  if (tickBoxOpen_) {
    AddLogLine(text);
    return;
  }
  tickBoxOpen_ = true;
  struct Reopen {
    bool& open;
    ~Reopen() { open = false; }
  } reopen{tickBoxOpen_};
  view_.ShowBox(text);
}

// ---- The end --------------------------------------------------------------------

bool TRecorder::Exit() {
  if (finalStopWritten_ || sessionEnded_) return true;
  const TWorkTotals totalsBefore = totals_;
  const uint64_t reloadsBefore = reloads_;
  const TJournalOutcome outcome = AppendNow(ActionStop, true);
  if (!outcome.failed) {
    finalStopWritten_ = true;
    return true;
  }
  const TActRec stop = journal_.Waiting().back();
  // The program can always be ended; the user decides whether to go without
  // the records. Nothing is recorded after the final Stop while the question
  // is open.
  exitAsked_ = true;
  const bool yes = view_.Confirm(RecordsText(journal_.Count()) + " could not be written to " +
                                 platform::PathForDisplay(DataFilePath()) + " (" +
                                 journal_.Reason() + "). Exit anyway?");
  exitAsked_ = false;
  // The session may have ended while the question was open: its end wrote
  // what it could, with this Stop as its last record, and the program ends.
  if (yes || sessionEnded_) {
    finalStopWritten_ = true;
    return true;
  }
  // The program goes on, and the other records wait for the next retry.
  if (journal_.Withdraw(stop)) {
    // The hours as they were before the Stop, unless they were read afresh
    // meanwhile (and so with the Stop).
    if (reloads_ == reloadsBefore) {
      totals_ = totalsBefore;
    } else {
      ReloadTotals();
    }
  } else if (!detector_.Idle) {
    // The failed write may have put the Stop in the file: it stays, and the
    // running spell goes on from a Start just after it, so that the journal
    // reads the same whether the Stop landed or not and no sort can put the
    // Start before it. The quiet counts from there: the answer was the
    // user's. While Idle the Stop stays alone, an Out without an In as after
    // any exit while Idle.
    const TDateTime resume = stop.Time + OneMillisecond;
    AppendRecord(ActionStart, resume);
    detector_.LastActivity = std::max(detector_.LastActivity, resume);
  }
  UpdateTip();
  return false;
}

void TRecorder::EndSession() {
  if (sessionEnded_) return;
  // The session ends and the process with it: a running spell gets its Stop
  // at the last activity (an idle user has none to close), unless the exit's
  // Stop, whose question is open, is already there; then every record that
  // waits is written at once. Nobody is there to read a box now: no tick
  // runs again, and what cannot be written in time is lost without one.
  sessionEnding_ = true;
  if (!finalStopWritten_ && !exitAsked_) detector_.EndSession(*this, locale_);
  finalStopWritten_ = true;
  journal_.WriteAtSessionEnd(DataFilePath(), [this] { source_.Pause(SessionEndPauseMs); });
  outageText_.clear();
  sessionEnded_ = true;
}

}  // namespace horalog
