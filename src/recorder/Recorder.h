// The recorder: everything that decides what the journal and the tray icon's
// tip say, without a window. It owns the activity detector, the journal's
// writer with the records that wait, the hours of the tip and the state of an
// outage, and it writes the final Stop of an exit (asking whether to go
// without records that cannot be written) and the records of a session that
// ends. The main window drives it from its timer and commands and shows what
// it is told through TRecorderView.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/ActRec.h"
#include "data/JournalWriter.h"
#include "machines/MachineFolder.h"
#include "machines/MachineHours.h"
#include "platform/DateTime.h"
#include "recorder/Detector.h"
#include "recorder/PresenceSettings.h"
#include "report/HoursSettings.h"
#include "report/NetHours.h"
#include "report/WorkTotals.h"

namespace horalog {

// An away time the balloon offers to count as work: its Stop and the Start
// after it. The balloon keeps it, and a click on that balloon names it.
struct TAwayOffer {
  TDateTime stop = 0, start = 0;
  bool operator==(const TAwayOffer&) const = default;
};

// What the recorder shows. Boxes and questions may run a message loop of
// their own, in which the next ticks and even the end of the session run.
class TRecorderView {
 public:
  virtual ~TRecorderView() = default;
  // A line for the log pane.
  virtual void AddLogLine(const std::string& text) = 0;
  // An error box; returns once the user has closed it.
  virtual void ShowBox(const std::string& text) = 0;
  // A question with Yes and No; true for Yes.
  virtual bool Confirm(const std::string& question) = 0;
  // The tray icon's tip, given only when it changed.
  virtual void SetTip(const std::string& text) = 0;
  // A notification beside the tray icon that asks nothing and takes no
  // focus; a click on it comes back as TRecorder::KeepAwayTime. A newer one
  // replaces it.
  virtual void ShowBalloon(const std::string& text) = 0;
  // A notification beside the tray icon that only tells (a limit of the
  // day's work is near): it asks nothing, takes no focus, and a click on it
  // keeps nothing. A newer one replaces it.
  virtual void ShowNotice(const std::string& text) { (void)text; }
  // The balloon that offers an away time: it keeps the offer, and a click
  // on it comes back as TRecorder::KeepAwayTime(offer).
  virtual void ShowOffer(const std::string& text, const TAwayOffer& offer) = 0;
};

// How a command uses the data file.
enum class TFileCommand {
  Reads,     // reads it (the report)
  Rewrites,  // writes it anew (compaction, the database view's Insert, Edit and Delete)
  // reads it for this machine's copy in the machines' folder: the records
  // that wait are not forced (the copy takes them as they wait)
  Copies,
};

// The recorder's door to the data file as a window sees it: a command and
// how it uses the file. A window without one (in a test) runs it directly.
using TFileDoor = std::function<void(TFileCommand, const std::function<void()>&)>;
inline void ThroughDoor(const TFileDoor& door, TFileCommand use,
                        const std::function<void()>& command) {
  if (door) {
    door(use, command);
  } else {
    command();
  }
}

// What the recorder is in the middle of. A box or a question runs a message
// loop of its own, in which the next events come; each state has its answer
// to them:
// - a tick records as ever while a tick's box is open (its errors go to the
//   log pane); nothing is recorded while the exit's question is open, while
//   the session ends, or once it is over;
// - a second exit while the exit's question is open is declined: the first
//   one's answer decides;
// - the end of the session ends it from any state; while the exit's question
//   is open, the exit's Stop is the last record;
// - a command that reads or rewrites the data file runs in any state (while
//   the exit's question is open, the exit's Stop is written with the other
//   waiting records; a No then goes on from a Start just after it);
// - a click on the balloon that offers an away time keeps it while
//   recording or while a tick's box is open; while the exit's question is
//   open and from the end of the session on it changes nothing (the file is
//   failing, or the program ends) and the log pane says so.
enum class TRecorderState {
  Recording,
  TickBox,        // a box raised by a tick is open
  ExitQuestion,   // the exit's question is open
  SessionEnding,  // the end of the session writes the records; they are only kept
  Over,           // the final Stop is written or given up, or the session ended
};

// Work run away from the thread of the recorder (a long reading), so that
// the window answers meanwhile. The shell calls the recorder's
// BackgroundDone on its own thread once the work has ended.
class TBackgroundWork {
 public:
  virtual ~TBackgroundWork() = default;
  virtual void Run(std::function<void()> work) = 0;
  // Waits until the work run last has ended; at once when none runs.
  virtual void Wait() = 0;
};

class TRecorder : private ActivitySink {
 public:
  // The journal lives in dataDir (with its trailing separator); texts use
  // locale. Nothing is read until Start.
  TRecorder(ActivitySource& source, TRecorderView& view, std::string dataDir,
            const TLocale& locale);
  ~TRecorder() override;

  // Reads the hours from the journal and shows them.
  void Start();
  // Starts without reading them: the tip shows the name alone until
  // ReadHours, or the first record kept, reads them (a start-up that is to be
  // quick leaves the whole journal's reading for after it).
  void StartBeforeHours();

  // The inactivity timeout, used from the next tick on.
  TDateTime IdleSpan() const { return detector_.IdleSpan; }
  void SetIdleSpan(TDateTime span) { detector_.IdleSpan = span; }
  // Targets, days off, the balance and the working day's start. A new day
  // start reads the hours afresh.
  const THoursSettings& HoursSettings() const { return settings_; }
  void SetHoursSettings(const THoursSettings& settings);
  // [Machines]: the folder shared with the user's other machines, and this
  // machine's name and identity there. Without a folder none of it runs.
  // Once the hours are read, the folder is looked at (at most once a minute
  // from then on: the other ticks read no file), the other machines' hours
  // count in the tip, and this machine's copy is written when it is missing
  // or older than the journal, after the journal changed (at most once a
  // minute), at least every five minutes while a spell runs, at the exit and
  // at the end of the session when time is left.
  const TMachinesSettings& MachinesSettings() const { return machinesSettings_; }
  void SetMachinesSettings(const TMachinesSettings& settings);
  // The clock's zone that the folder of [Machines] notes: the system's unless
  // set, for the folders made from then on.
  void SetMachinesZone(TZoneClock zone) { machinesZone_ = std::move(zone); }
  // Where the other machines' copies are read whole (the first look, and
  // after a new day start): without it, at once.
  void SetBackground(TBackgroundWork* background) { background_ = background; }
  // The reading in the background has ended: its machines count.
  void BackgroundDone();
  // Whether the other machines' copies are being read in the background.
  bool ReadingMachines() const { return reading_; }
  // The folder as last looked at (a reading in the background ended
  // first); nothing without [Machines].
  const TMachineFolder* Machines() {
    FinishReading();
    return machines_.get();
  }
  // The hours the tip counts: this machine's, or with [Machines] the union
  // of all machines'.
  const TDayHours& Hours() const;

  // Calls, the confirmation of a start and the pointer's slack for the
  // detector, and when an away time is offered; from the next tick on.
  const TPresenceSettings& PresenceSettings() const { return detector_.Presence; }
  void SetPresenceSettings(const TPresenceSettings& settings) { detector_.Presence = settings; }

  // One tick of the timer: the detector's sample, the tip, the records that
  // wait when their retry is due, the hours when their retry is due, and a
  // box for a new outage or an error.
  void Tick();

  // The final Stop of an exit, stamped now, and every record that waits.
  // When they cannot be written the user is asked whether to exit anyway;
  // true when the program may end. A declined exit goes on recording.
  bool Exit();
  // The session ends (log-off, shutdown): a running spell ends at its last
  // activity, unless the exit's Stop is already there, and every record that
  // waits is written at once, tried a few times while another program holds
  // the file. Nothing is recorded after it.
  void EndSession();

  // The one door to the data file for every command that reads or rewrites
  // it: the waiting records are written first and those of a failed write
  // that may have reached the file are settled (when the file cannot even be
  // read for that, the error raises and the command does not run); then the
  // command runs; after a rewrite the hours are read afresh, also when it
  // raised part-way.
  void FileCommand(TFileCommand use, const std::function<void()>& command);
  // The same door for a window.
  TFileDoor Door() {
    return [this](TFileCommand use, const std::function<void()>& command) {
      FileCommand(use, command);
    };
  }
  // The hours afresh from the journal (first after StartBeforeHours), shown
  // in the tip.
  void ReadHours();

  // The click on a balloon: the away time it offered counts as work, or
  // nothing when the click cannot tell which balloon it was (nothing). Its
  // Stop and the Start after it are deleted from the data file, as the
  // database view's Delete deletes them and through the same door, while
  // both are there, no record lies between them, a Start comes before the
  // Stop and no Start after the Start, so that no day counts less; the log
  // pane says what was kept, or why nothing was.
  void KeepAwayTime(const std::optional<TAwayOffer>& offer);
  // The longest away time offered; longer ones, and those across the split
  // between two working days, are not offered (the night is no meeting).
  static constexpr int64_t LongestOfferSeconds = 12 * 3600;

  // The tip's text now: the name and, when the journal could be read, the
  // hours, with a running spell up to its last activity.
  std::string TipText() const;

  const TActivityDetector& Detector() const { return detector_; }
  const TJournalWriter& Journal() const { return journal_; }
  TRecorderState State() const { return state_; }
  // Whether the tip's hours are those of the last reading of the journal and
  // the records kept since (not of an older reading kept through a failure).
  bool HoursCurrent() const { return totalsKnown_ && !totalsFailing_; }
  // Whether the final Stop has been written (or given up by the user), or
  // the session has ended.
  bool FinalStopWritten() const { return state_ == TRecorderState::Over; }

 private:
  // ActivitySink: the detector's transitions.
  void AddLogLine(const std::string& text) override;
  void AppendRecord(uint8_t action, TDateTime time) override;

  // A record for the data file: it waits in the journal and counts in the
  // hours (which are read when none could be read yet).
  void Keep(const TActRec& record);
  // Tries the waiting records (only when their retry is due, unless forced)
  // and tells the log pane what came of it.
  TJournalOutcome WriteJournal(bool forced);
  void TellWrittenLate(const TJournalOutcome& outcome);
  // The waiting records written now, and those of a failed write settled;
  // a file that cannot be read for that raises.
  void WriteWaitingRecords();
  // The hours from the data file and the records still waiting. When the
  // file cannot be read, or cannot even be told to be there, the tip keeps
  // the hours it had and a tick reads again a minute later.
  void ReloadTotals();
  void UpdateTip();
  // The exit's Stop is written or given up: the program may end. True.
  bool Ended();
  // A spell that started after an away time of at least AskAfter: the
  // balloon offers it.
  void OfferAwayTime();
  // "Away 11:05 to 11:52 (0:47)".
  std::string AwayText(const TAwayOffer& away) const;
  // While a spell runs with MaxStretch or MaxDay set: the notice a quarter
  // of an hour before the limit (TLimitWatch), once a day and limit.
  void WatchLimits();
  // An error of a tick: in a box, unless a box of an earlier tick is still
  // open; then in the log pane.
  void ShowTickError(const std::string& text);
  // The machines' folder looked at, and this machine's copy written when it
  // is due (or, with forced, whenever the journal is newer than the copy).
  void LookAtMachines(bool forced);
  // The reading in the background, when one runs, ended and counted.
  void FinishReading();
  // The reading in the background, when one runs, ended, its counts left
  // for a reading anew: false when none ran.
  bool AbandonReading();
  // The same, the reading stopped first at its next copy (the exit, the end
  // of the session, a reading anew).
  void StopReading();
  // The own copy written when due, after a look.
  void WriteOwnCopyWhenDue(bool forced);
  void MachinesLog(const std::string& text);
  // This machine's copy, through the door; its running spell's last
  // activity unless the spell has ended (the exit, the end of the session).
  void WriteOwnCopy(bool spellEnded = false);
  std::string DataFilePath() const { return dataDir_ + DataFileBaseName; }

  ActivitySource& source_;
  TRecorderView& view_;
  const std::string dataDir_;
  const TLocale& locale_;

  TActivityDetector detector_;
  TJournalWriter journal_;
  THoursSettings settings_;
  TWorkTotals totals_;
  TRecorderState state_ = TRecorderState::Recording;
  bool started_ = false;
  bool totalsKnown_ = false;     // the tip has hours: a reading succeeded once
  bool totalsFailing_ = false;   // the last reading failed; the next is due at hoursRetryMs_
  uint64_t hoursRetryMs_ = 0;
  uint64_t reloads_ = 0;         // readings of the hours so far
  std::string tip_;              // the tip last given to the view
  TMachinesSettings machinesSettings_;
  TZoneClock machinesZone_ = TZoneClock::System();
  std::unique_ptr<TMachineFolder> machines_;
  std::unique_ptr<TMachineHours> machineHours_;  // over totals_
  std::optional<uint64_t> machinesLookedAtMs_;   // nothing before the first look
  TBackgroundWork* background_ = nullptr;
  // A reading in the background: the folder and the other machines' counts
  // are its own until it ends (set before it starts, cleared once it has
  // been waited for: no lock needed), and what it tells waits for then.
  bool reading_ = false;
  bool readForced_ = false, readChanged_ = false;
  std::vector<std::string> readLog_;
  uint64_t copyWrittenMs_ = 0;
  bool journalChanged_ = false;                  // since this machine's copy was written
  std::optional<TDateTime> copyUntil_;           // the running spell's last activity in it
  std::string outageText_;       // the box that tells of a new outage, shown at the end of the tick

  // The away times offered, the latest last (the few latest: an older
  // balloon is long gone), and whether each is kept.
  struct TAwayTime {
    TAwayOffer offer;
    bool kept = false;
  };
  std::vector<TAwayTime> offers_;
  static constexpr size_t OffersKept = 32;
  std::optional<TDateTime> awayLookedAt_;  // the Start of the spell last looked at for one
  TLimitWatch limits_;
};

}  // namespace horalog
