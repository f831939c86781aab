#include "recorder/Recorder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <utility>

#include "data/ActRecList.h"
#include "data/Errors.h"
#include "data/RecordMatch.h"
#include "platform/Platform.h"
#include "version.h"

namespace horalog {

namespace {

constexpr TDateTime OneMillisecond = 1.0 / MSecsPerDay;
// The machines' folder is looked at no more often; this machine's copy
// follows a running spell at least this often.
constexpr uint64_t LookAtMachinesEveryMs = 60 * 1000;
constexpr uint64_t CopyOfRunningSpellEveryMs = 5 * 60 * 1000;
// At the end of the session the copy is written only while this much of the
// few seconds Windows gives is left.
constexpr uint64_t SessionEndCopyWithinMs = 2500;

// Puts the recorder in a state for the length of a box or a question, then
// back in the one before, unless an event inside has moved it on meanwhile
// (the session ended, the final Stop was written).
class TStateFor {
 public:
  TStateFor(TRecorderState& state, TRecorderState during)
      : state_(state), during_(during), before_(std::exchange(state, during)) {}
  ~TStateFor() {
    if (state_ == during_) state_ = before_;
  }
  TStateFor(const TStateFor&) = delete;
  TStateFor& operator=(const TStateFor&) = delete;

 private:
  TRecorderState& state_;
  const TRecorderState during_, before_;
};

// "1 record", "2 records".
std::string RecordsText(size_t count) {
  return std::to_string(count) + (count == 1 ? " record" : " records");
}

}  // namespace

TRecorder::TRecorder(ActivitySource& source, TRecorderView& view, std::string dataDir,
                     const TLocale& locale)
    : source_(source), view_(view), dataDir_(std::move(dataDir)), locale_(locale) {}

TRecorder::~TRecorder() {
  if (reading_) background_->Wait();
}

void TRecorder::Start() {
  StartBeforeHours();
  ReadHours();
}

void TRecorder::StartBeforeHours() {
  started_ = true;
  totals_.Reset(settings_.dayStart);
  // Not read yet: no hours in the tip, and the next record reads them.
  totalsKnown_ = false;
  totalsFailing_ = false;
  UpdateTip();
}

void TRecorder::SetHoursSettings(const THoursSettings& settings) {
  // Breaks and stretches need each day's spells: the hours are read with them.
  const bool otherDays = settings.dayStart != settings_.dayStart ||
                         settings.NeedsSpells() != settings_.NeedsSpells();
  settings_ = settings;
  if (!started_) return;
  if (otherDays) {
    // The hours of the old days are no hours of the new ones.
    totals_.Reset(settings_.dayStart);
    totalsKnown_ = false;
    ReloadTotals();
    // The other machines' days are counted anew from their copies, read again.
    if (machines_ && machinesLookedAtMs_) {
      StopReading();
      machines_->ReadAgain();
      machinesLookedAtMs_.reset();
      LookAtMachines(false);
    }
  }
  UpdateTip();
}

void TRecorder::SetMachinesSettings(const TMachinesSettings& settings) {
  if (settings == machinesSettings_) return;
  // A reading of the folder before is of no use.
  StopReading();
  machinesSettings_ = settings;
  machineHours_.reset();
  machines_.reset();
  machinesLookedAtMs_.reset();
  journalChanged_ = false;
  copyUntil_.reset();
  if (settings.Active()) {
    machines_ = std::make_unique<TMachineFolder>(
        settings, [this](const std::string& text) { MachinesLog(text); }, DataFilePath(),
        machinesZone_);
    machineHours_ = std::make_unique<TMachineHours>(totals_);
  }
  // This machine's spells are kept for the union only.
  const bool read = totalsKnown_;
  totals_ = TWorkTotals(settings_.dayStart, settings.Active() || settings_.NeedsSpells());
  totalsKnown_ = false;
  if (!started_) return;
  // Hours that were read are read again with their spells, and the folder
  // looked at; before the first reading, that reading does both.
  if (read) {
    ReloadTotals();
    if (machines_) LookAtMachines(true);
  }
  UpdateTip();
}

const TDayHours& TRecorder::Hours() const {
  if (machineHours_) return *machineHours_;
  return totals_;
}

// ---- Records --------------------------------------------------------------

void TRecorder::AddLogLine(const std::string& text) { view_.AddLogLine(text); }

void TRecorder::Keep(const TActRec& record) {
  journal_.Add(record);
  // The hours are not shown any more once the session ends.
  if (state_ == TRecorderState::SessionEnding) return;
  if (totalsKnown_) {
    totals_.Take(record);
  } else if (!totalsFailing_) {
    // Not read yet: the first record reads them (a failed reading is tried
    // again by a tick when due).
    ReloadTotals();
  }
}

void TRecorder::AppendRecord(uint8_t action, TDateTime time) {
  Keep(MakeRecord(action, time));
  // At the end of the session the record only waits: the session's forced
  // write comes next, and the little time there is goes to it.
  if (state_ == TRecorderState::SessionEnding) return;
  // Behind records that wait, it waits for their retry.
  WriteJournal(false);
  UpdateTip();
}

TJournalOutcome TRecorder::WriteJournal(bool forced) {
  const uint64_t now = source_.SteadyMilliseconds();
  if (journal_.Empty() || (!forced && !journal_.Due(now))) return {};
  const TJournalOutcome outcome = journal_.Write(DataFilePath(), now);
  if (outcome.written > 0) journalChanged_ = true;
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

void TRecorder::FileCommand(TFileCommand use, const std::function<void()>& command) {
  if (use == TFileCommand::Copies) {
    // The copy takes the waiting records as they wait; those of a failed
    // write that reached the file all the same are settled first, so that
    // none is in the copy twice.
    TellWrittenLate(journal_.Settle(DataFilePath()));
    command();
    return;
  }
  WriteWaitingRecords();
  if (use == TFileCommand::Reads) {
    command();
    return;
  }
  // A rewrite that failed part-way left the old file or the new one: the
  // hours are read from whichever it is.
  journalChanged_ = true;
  try {
    command();
  } catch (...) {
    ReadHours();
    throw;
  }
  ReadHours();
}

// ---- The hours ----------------------------------------------------------------

void TRecorder::ReloadTotals() {
  ++reloads_;
  const std::string path = DataFilePath();
  try {
    // Records of a failed write that reached the file all the same count
    // once, from the file: they are settled before the waiting ones are taken.
    TellWrittenLate(journal_.Settle(path));
    TWorkTotals fresh(settings_.dayStart, machines_ != nullptr || settings_.NeedsSpells());
    LoadWorkTotals(path, fresh);
    // The records that wait come after the file's.
    for (const TActRec& record : journal_.Waiting()) fresh.Take(record);
    totals_ = std::move(fresh);
    totalsKnown_ = true;
    totalsFailing_ = false;
  } catch (const std::exception& error) {
    // A file that cannot be read, or not even be told to be there, is no
    // empty journal: the tip keeps what it had, with the records kept since,
    // and a tick reads again later. Told once per run of failures.
    if (!totalsFailing_) {
      AddLogLine("Cannot read " + platform::PathForDisplay(path) + ": " +
                 JournalFailureReason(error) +
                 (totalsKnown_ ? ". The tray icon keeps the hours it has and reads again in a minute."
                               : ". The tray icon shows no hours until it can."));
    }
    totalsFailing_ = true;
    hoursRetryMs_ = source_.SteadyMilliseconds() + RetryAfterFailureMs;
  }
}

void TRecorder::ReadHours() {
  ReloadTotals();
  // The other machines first come with the first reading of the hours.
  if (machines_ && !machinesLookedAtMs_) LookAtMachines(true);
  UpdateTip();
}

std::string TRecorder::TipText() const {
  if (!totalsKnown_) return HORALOG_PRODUCT_NAME;
  std::optional<TRunningSpell> running;
  if (const std::optional<TSpell> spell = detector_.Running())
    running = TRunningSpell{spell->lastActivity};
  return WorkHoursTip(HORALOG_PRODUCT_NAME, HoursAt(Hours(), settings_, source_.Now(),
                                                    locale_.firstDayOfWeek, running));
}

void TRecorder::UpdateTip() {
  if (state_ == TRecorderState::SessionEnding || state_ == TRecorderState::Over) return;
  std::string text = TipText();
  if (text == tip_) return;
  tip_ = std::move(text);
  view_.SetTip(tip_);
}

// ---- The timer ------------------------------------------------------------------

void TRecorder::Tick() {
  // Nothing is recorded while the exit's question is open, nor after the end.
  if (state_ != TRecorderState::Recording && state_ != TRecorderState::TickBox) return;
  std::string error;
  try {
    detector_.Tick(source_, *this, locale_);
    // Hours that could not be read are read again when their retry is due.
    if (totalsFailing_ && source_.SteadyMilliseconds() >= hoursRetryMs_) ReloadTotals();
    // The machines' folder once a minute; the other ticks read no file.
    if (machines_ && machinesLookedAtMs_ &&
        source_.SteadyMilliseconds() - *machinesLookedAtMs_ >= LookAtMachinesEveryMs)
      LookAtMachines(false);
    OfferAwayTime();
    // The hours follow the clock: a running spell, midnight, a new week.
    UpdateTip();
    WatchLimits();
  } catch (const std::exception& e) {
    error = JournalFailureReason(e);
  }
  // The waiting records, once a tick at most: a tick whose own append has
  // just tried them finds them not due.
  WriteJournal(false);
  if (!outageText_.empty()) ShowTickError(std::exchange(outageText_, {}));
  if (!error.empty()) ShowTickError(error);
}

// ---- The other machines ------------------------------------------------------------

void TRecorder::MachinesLog(const std::string& text) {
  if (!reading_) return AddLogLine(text);
  readLog_.push_back(text);
}

void TRecorder::LookAtMachines(bool forced) {
  if (reading_) return;
  const bool whole = !machinesLookedAtMs_;
  machinesLookedAtMs_ = source_.SteadyMilliseconds();
  // Every copy read whole: away from the window, which shows this machine's
  // hours meanwhile.
  if (whole && background_) {
    reading_ = true;
    readForced_ = forced;
    background_->Run([this, dayStart = settings_.dayStart] {
      readChanged_ = LookAndCount(*machines_, *machineHours_, dayStart);
    });
    return;
  }
  TakeMachines(*machines_, *machineHours_,
               LookAndCount(*machines_, *machineHours_, settings_.dayStart), settings_.dayStart);
  WriteOwnCopyWhenDue(forced);
}

void TRecorder::BackgroundDone() {
  if (!reading_) return;
  FinishReading();
  UpdateTip();
}

void TRecorder::StopReading() {
  if (!reading_) return;
  machines_->Stop();
  AbandonReading();
  machines_->Stop(false);
}

bool TRecorder::AbandonReading() {
  if (!reading_) return false;
  background_->Wait();
  std::vector<std::string> lines;
  lines.swap(readLog_);
  reading_ = false;
  for (const std::string& line : lines) AddLogLine(line);
  return true;
}

void TRecorder::FinishReading() {
  if (!AbandonReading()) return;
  TakeMachines(*machines_, *machineHours_, readChanged_, settings_.dayStart);
  WriteOwnCopyWhenDue(readForced_);
}

void TRecorder::WriteOwnCopyWhenDue(bool forced) {
  const uint64_t now = source_.SteadyMilliseconds();
  const std::optional<TSpell> spell = detector_.Running();
  const bool due =
      journalChanged_ || machines_->OwnCopyDue() ||
      (forced && machines_->OwnCopyOlderThan(DataFilePath())) ||
      // A spell that runs: its last activity, every five minutes at least.
      (spell && copyUntil_ != spell->lastActivity &&
       (!copyUntil_ || now - copyWrittenMs_ >= CopyOfRunningSpellEveryMs)) ||
      // The copy still says a spell runs that has ended.
      (!spell && copyUntil_);
  if (due) WriteOwnCopy();
}

void TRecorder::WriteOwnCopy(bool spellEnded) {
  // The folder is the reading's until it ends.
  FinishReading();
  std::optional<TDateTime> until;
  if (const std::optional<TSpell> spell = detector_.Running(); spell && !spellEnded)
    until = spell->lastActivity;
  try {
    FileCommand(TFileCommand::Copies, [&] {
      if (!machines_->WriteOwnCopy(DataFilePath(), journal_.Waiting(), until, source_.Now()))
        return;
      journalChanged_ = false;
      copyUntil_ = until;
      copyWrittenMs_ = source_.SteadyMilliseconds();
    });
  } catch (const std::exception&) {
    // The journal could not even be read to settle the records of a failed
    // write: its reading tells why, and the copy is tried again next time.
  }
}

void TRecorder::ShowTickError(const std::string& text) {
  // The box runs a message loop of its own, in which the next ticks run: their
  // errors go to the log pane until it is closed, so boxes never pile up.
  if (state_ == TRecorderState::TickBox) {
    AddLogLine(text);
    return;
  }
  TStateFor box(state_, TRecorderState::TickBox);
  view_.ShowBox(text);
}

// ---- The day's limits -------------------------------------------------------------

void TRecorder::WatchLimits() {
  if (!totalsKnown_ || (!settings_.maxStretch && !settings_.maxDay)) return;
  const std::optional<TSpell> spell = detector_.Running();
  if (!spell) return;
  if (const std::optional<std::string> notice =
          limits_.Due(Hours(), settings_, TRunningSpell{spell->lastActivity}, locale_))
    view_.ShowNotice(*notice);
}

// ---- Away time kept ------------------------------------------------------------

void TRecorder::OfferAwayTime() {
  const int64_t askAfter = detector_.Presence.askAfterSeconds;
  if (askAfter <= 0) return;
  const std::optional<TSpell> spell = detector_.Running();
  // Once per spell, at its first tick.
  if (!spell || awayLookedAt_ == spell->start) return;
  awayLookedAt_ = spell->start;
  if (!spell->quietFrom) return;
  const int64_t awayMs = std::llround((spell->start - *spell->quietFrom) * MSecsPerDay);
  // A night, a weekend, or a quiet spell across the split between two
  // working days, is not offered: its click would join days.
  const TDateTime dayStart = settings_.dayStart;
  if (awayMs < askAfter * 1000 || awayMs > LongestOfferSeconds * 1000 ||
      WorkDayOf(*spell->quietFrom, dayStart) != WorkDayOf(spell->start, dayStart))
    return;
  const TAwayOffer offer{*spell->quietFrom, spell->start};
  if (offers_.size() == OffersKept) offers_.erase(offers_.begin());
  offers_.push_back({offer, false});
  view_.ShowOffer(AwayText(offer) + ". Click here to count it as work.", offer);
}

std::string TRecorder::AwayText(const TAwayOffer& away) const {
  // The span between the two clock times shown, in their whole minutes, so
  // that the three agree.
  const auto minute = [](TDateTime t) { return std::llround(t * MSecsPerDay) / 60000; };
  const int64_t seconds = (minute(away.start) - minute(away.stop)) * 60;
  return "Away " + ClockText(away.stop, locale_) + " to " + ClockText(away.start, locale_) +
         " (" + HoursText(seconds) + ")";
}

void TRecorder::KeepAwayTime(const std::optional<TAwayOffer>& offer) {
  if (!offer) {
    if (offers_.empty()) return;  // no balloon of an away time was shown
    AddLogLine("The notification clicked cannot be told from an older one: no away time is "
               "counted as work.");
    return;
  }
  const auto found = std::find_if(offers_.begin(), offers_.end(),
                                  [&offer](const TAwayTime& a) { return a.offer == *offer; });
  if (found == offers_.end()) {
    AddLogLine(AwayText(*offer) + " not counted as work: it is offered no longer.");
    return;
  }
  TAwayTime& away = *found;
  auto notKept = [this, &away](const std::string& why) {
    AddLogLine(AwayText(away.offer) + " not counted as work: " + why + ".");
  };
  if (away.kept) return notKept("it counts already");
  // The exit's question is open only while the file fails; from the end of
  // the session on, the program ends.
  if (state_ == TRecorderState::ExitQuestion || state_ == TRecorderState::SessionEnding ||
      state_ == TRecorderState::Over)
    return notKept(std::string(HORALOG_PRODUCT_NAME) + " is exiting");

  const TActRec stop = MakeRecord(ActionStop, away.offer.stop);
  const TActRec start = MakeRecord(ActionStart, away.offer.start);
  auto waits = [this](const TActRec& record) {
    return std::any_of(journal_.Waiting().begin(), journal_.Waiting().end(),
                       [&record](const TActRec& r) { return std::memcmp(&r, &record, RecordSize) == 0; });
  };
  std::string why;
  try {
    FileCommand(TFileCommand::Rewrites, [&] {
      if (waits(stop) || waits(start)) {
        why = "its Stop and Start are not written to " + std::string(DataFileBaseName) + " yet";
        return;
      }
      // In file order, as the hours pair them, and written back so: a sort
      // would pair the records of a day out of time order (a clock set
      // back) anew, and such a day could count less.
      TActRecList list;
      {
        TActRecReader reader(DataFilePath());
        TActRec record;
        while (reader.Next(record))
          if (record.Status != StatusDeleted) list.Add(record);
        reader.Close();
      }
      const int at = FindRecord(list.Entries(), stop);
      const int next = FindRecord(list.Entries(), start);
      if (at == RecordNotFound || next == RecordNotFound) {
        why = "its Stop or Start is no longer in " + std::string(DataFileBaseName);
        return;
      }
      if (next != at + 1) {
        why = "a record lies between its Stop and Start";
        return;
      }
      // The Start before the Stop and the Stop after the Start (or the
      // running spell) become one pair; without them the spell before or
      // after the away time would pair with nothing and count less.
      const bool startBefore = at > 0 && list.Items(at - 1).Action == ActionStart;
      const bool stopAfter = next + 1 >= list.Count() || list.Items(next + 1).Action == ActionStop;
      if (!startBefore || !stopAfter) {
        why = "the records around it are no Start before and Stop after";
        return;
      }
      list.MarkDeleted(at);
      list.MarkDeleted(next);
      list.SaveToFile(DataFilePath());
      // The running spell, when it is the one after the away time, runs from
      // the Start before the away time now, as the journal pairs them; the
      // hours read after the rewrite count it so.
      detector_.JoinSpellBefore(away.offer.start, list.Items(at - 1).Time);
    });
  } catch (const std::exception& error) {
    why = JournalFailureReason(error);
  }
  if (!why.empty()) return notKept(why);
  away.kept = true;
  AddLogLine(AwayText(away.offer) + " counted as work: its Stop and Start are deleted from " +
             DataFileBaseName + ".");
}

// ---- The end --------------------------------------------------------------------

bool TRecorder::Exit() {
  switch (state_) {
    case TRecorderState::Over:
    case TRecorderState::SessionEnding:
      return true;
    case TRecorderState::ExitQuestion:
      // One exit at a time (a second close from another program while the
      // question waits): the first one's answer decides.
      return false;
    case TRecorderState::Recording:
    case TRecorderState::TickBox:
      break;
  }
  const TWorkTotals totalsBefore = totals_;
  const uint64_t reloadsBefore = reloads_;
  // The final Stop, stamped now, tried at once with every record that waits.
  Keep(MakeRecord(ActionStop, source_.Now()));
  const TJournalOutcome outcome = WriteJournal(true);
  UpdateTip();
  if (!outcome.failed) return Ended();
  // The question tells of the failure; no box of its own follows at the next tick.
  outageText_.clear();
  const TActRec stop = journal_.Waiting().back();
  // The program can always be ended; the user decides whether to go without
  // the records. Nothing is recorded after the final Stop while the question
  // is open.
  bool yes = false;
  {
    TStateFor question(state_, TRecorderState::ExitQuestion);
    yes = view_.Confirm(RecordsText(journal_.Count()) + " could not be written to " +
                        platform::PathForDisplay(DataFilePath()) + " (" + journal_.Reason() +
                        "). Exit anyway?");
  }
  // The session may have ended while the question was open: its end wrote
  // what it could, with this Stop as its last record, and the program ends.
  if (state_ == TRecorderState::Over) return true;
  if (yes) {
    // The file may have come back while the question was open: what it takes
    // now is not lost.
    WriteJournal(true);
    return Ended();
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
  } else {
    // The failed write may have put the Stop in the file (or a command wrote
    // it meanwhile): it stays, and a running spell goes on from a Start just
    // after it, so that the journal reads the same whether the Stop landed or
    // not and no sort can put the Start before it. The quiet counts from
    // there: the answer was the user's. While Idle the Stop stays alone, an
    // Out without an In as after any exit while Idle. An answer later than
    // the timeout after the Stop comes from a user who was away meanwhile:
    // the spell ended at the Stop (a Start just after it would pair with a
    // Stop at that Start at the next tick).
    if (std::llround((source_.Now() - stop.Time) * MSecsPerDay) >
        std::llround(detector_.IdleSpan * MSecsPerDay)) {
      detector_.EndAtExitStop();
    } else {
      detector_.GoOnFrom(stop.Time + OneMillisecond, *this);
    }
  }
  UpdateTip();
  return false;
}

bool TRecorder::Ended() {
  state_ = TRecorderState::Over;
  // The other machines' last word of this one: no spell runs here any more.
  if (machines_) {
    // A reading of the copies still running is not waited for to its end.
    StopReading();
    WriteOwnCopy(true);
  }
  return true;
}

void TRecorder::EndSession() {
  if (state_ == TRecorderState::SessionEnding) return;
  if (state_ == TRecorderState::Over && journal_.Empty()) return;
  // The session ends and the process with it: a running spell gets its Stop
  // at the last activity (an idle user has none to close), unless the exit's
  // Stop, whose question is open, is already there; then every record that
  // waits is written at once. Nobody is there to read a box now: no tick
  // runs again, and what cannot be written in time is lost without one.
  const uint64_t began = source_.SteadyMilliseconds();
  const TRecorderState before = std::exchange(state_, TRecorderState::SessionEnding);
  StopReading();
  if (before != TRecorderState::ExitQuestion && before != TRecorderState::Over)
    detector_.EndSession(*this, locale_);
  journal_.WriteAtSessionEnd(DataFilePath(), [this] { source_.Pause(SessionEndPauseMs); });
  // The copy for the other machines comes after the journal, when every
  // record is written and time is left.
  if (machines_ && journal_.Empty() &&
      source_.SteadyMilliseconds() - began < SessionEndCopyWithinMs)
    WriteOwnCopy(true);
  outageText_.clear();
  state_ = TRecorderState::Over;
}

}  // namespace horalog
