// The recorder: everything that decides what the journal and the tray icon's
// tip say, without a window. It owns the activity detector, the journal's
// writer with the records that wait, the hours of the tip and the state of an
// outage, and it writes the final Stop of an exit (asking whether to go
// without records that cannot be written) and the records of a session that
// ends. The main window drives it from its timer and commands and shows what
// it is told through TRecorderView.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "data/ActRec.h"
#include "data/JournalWriter.h"
#include "platform/DateTime.h"
#include "recorder/Detector.h"
#include "report/HoursSettings.h"
#include "report/WorkTotals.h"

namespace horalog {

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
};

class TRecorder : private ActivitySink {
 public:
  // The journal lives in dataDir (with its trailing separator); texts use
  // locale. Nothing is read until Start.
  TRecorder(ActivitySource& source, TRecorderView& view, std::string dataDir,
            const TLocale& locale);

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

  // One tick of the timer: the detector's sample, the tip, the records that
  // wait when their retry is due, and a box for a new outage or an error.
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

  // Appends a record stamped now, or for a Stop with useNow false now minus
  // the timeout; it and every record that waits are tried at once, and a
  // failure raises.
  void AppendAction(uint8_t action, bool useNow);

  // Before a command reads or rewrites the data file: the waiting records are
  // written now (a failure goes to the log pane and they go on waiting), and
  // those of a failed write that may have reached the file are settled. When
  // the file cannot be read for that, the error raises.
  void WriteWaitingRecords();
  // The hours afresh from the journal (after the data file was written
  // anew, or first after StartBeforeHours), shown in the tip.
  void ReadHours();

  // The tip's text now: the name and, when the journal could be read, the
  // hours, with a running spell up to its last activity.
  std::string TipText() const;

  const TActivityDetector& Detector() const { return detector_; }
  TActivityDetector& Detector() { return detector_; }
  const TJournalWriter& Journal() const { return journal_; }
  // Whether the final Stop has been written (or given up by the user).
  bool FinalStopWritten() const { return finalStopWritten_; }

 private:
  // ActivitySink: the detector's transitions.
  void AddLogLine(const std::string& text) override;
  void AppendRecord(uint8_t action, TDateTime time) override;

  // A record for the data file: it waits in the journal and counts in the
  // hours (which are read afresh when the last read failed).
  void Keep(const TActRec& record);
  // Tries the waiting records (only when their retry is due, unless forced)
  // and tells the log pane what came of it.
  TJournalOutcome WriteJournal(bool forced);
  void TellWrittenLate(const TJournalOutcome& outcome);
  // The hours from the data file and the records still waiting; a failure
  // goes to the log pane, and the tip shows no hours until a later load
  // succeeds.
  void ReloadTotals();
  void UpdateTip();
  // An error of a tick: in a box, unless a box of an earlier tick is still
  // open; then in the log pane.
  void ShowTickError(const std::string& text);
  std::string DataFilePath() const { return dataDir_ + DataFileBaseName; }
  // A record stamped now (see AppendAction), tried at once with every record
  // that waits; what came of it.
  TJournalOutcome AppendNow(uint8_t action, bool useNow);

  ActivitySource& source_;
  TRecorderView& view_;
  const std::string dataDir_;
  const TLocale& locale_;

  TActivityDetector detector_;
  TJournalWriter journal_;
  THoursSettings settings_;
  TWorkTotals totals_;
  bool started_ = false;
  bool totalsKnown_ = true;     // the last load of the hours succeeded
  uint64_t reloads_ = 0;        // loads of the hours so far
  TDateTime runningStart_ = 0;  // the Start of the spell that runs
  std::string tip_;             // the tip last given to the view

  bool finalStopWritten_ = false;
  bool exitAsked_ = false;      // the exit's question is open
  bool sessionEnding_ = false;  // records are only kept now: the end writes them
  bool sessionEnded_ = false;
  std::string outageText_;      // the box that tells of a new outage, shown at the end of the tick
  bool tickBoxOpen_ = false;    // a box raised by a tick is open
};

}  // namespace horalog
