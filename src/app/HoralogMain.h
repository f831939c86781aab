// TForm1, the main window: the owner of the running state. It hosts the
// activity detector and its timer, the log pane, the settings file, the
// shared-memory block that marks the running instance, the tray icon, and the
// commands through which the user reaches the rest of the program.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "recorder/Detector.h"
#include "app/IniFile.h"
#include "app/LoadAtLogin.h"
#include "data/JournalWriter.h"
#include "ms/SharedMemory.h"
#include "ms/msTi.h"
#include "report/WorkTotals.h"
#include "ui/Action.h"
#include "ui/Controls.h"
#include "ui/Window.h"

namespace horalog {

class TDBViewDlg;

// The full path of the running executable.
std::string ModulePath();

// Image indices of the shared picture list.
enum TImageIndex : int {
  ExitImage = 0,
  ViewImage = 1,
  OptionsImage = 2,
  ShowImage = 3,
  CompactImage = 4,
  ReportImage = 5,
};

class TForm1 : public ui::TWindow, public ActivitySink {
 public:
  // The main window's class name, which other programs find it by; it stays.
  static constexpr const char* ClassName = "TForm1";
  static constexpr UINT Timer1Id = 1;
  static constexpr UINT Timer1Interval = 1000;
  static constexpr int Memo1Id = 10;

  // Builds the window with its controls, tray icon and commands, runs
  // FormCreate and starts Timer1. The executable's path locates the settings
  // file and DataDir.
  explicit TForm1(std::string exePath = ModulePath());
  ~TForm1() override;

  // Commands.
  ui::TActionList ActionList1;
  ui::TAction* ExitAction = nullptr;
  ui::TAction* ViewAction = nullptr;
  ui::TAction* OptionsAction = nullptr;
  ui::TAction* ShowAction = nullptr;
  ui::TAction* CompactAction = nullptr;
  ui::TAction* ReportAction = nullptr;
  ui::TAction* AboutAction = nullptr;

  // Controls and components.
  ui::TImageList ImageList1;
  ui::TToolBar ActionToolBar1;
  ui::TMemo Memo1;
  ui::TStatusBar StatusBar1;
  std::unique_ptr<ui::TPopupMenu> PopupMenu1;
  std::unique_ptr<TmsTrayIcon> TrayIcon;

  // Running state.
  TActivityDetector Detector;
  std::unique_ptr<TIniFile> IniFile;
  std::unique_ptr<TSharedMemory> InstanceMemory;
  TDateTime& IdleSpan() { return Detector.IdleSpan; }

  // The database view, made by the main routine right after this window and
  // kept until the end; not owned.
  TDBViewDlg* DBViewDlg = nullptr;

  // ActivitySink: the log pane and the data file. A record that cannot be
  // written waits in Journal and is tried again from the timer.
  void AddLogLine(const std::string& text) override;
  void AppendRecord(uint8_t action, TDateTime time) override;
  // A record stamped now, or for a Stop with useNow false, now minus IdleSpan;
  // it and every record that waits are tried at once, and a failure raises.
  void AppendAction(uint8_t action, bool useNow);

  // The journal's records that wait for the data file to be writable again.
  TJournalWriter Journal;
  // Appends the waiting records now, before a command reads or rewrites the
  // data file; a failure goes to the log pane and the records go on waiting.
  // Records that a failed write may have put in the file are settled; when
  // the file cannot be read for that, the error raises.
  void WriteWaitingRecords();

  // Today's and this week's hours, from the journal's tail and every record
  // kept since; the tray icon's tip shows them.
  TWorkTotals Totals;
  // Reads the hours afresh after the data file was written anew (the
  // database view's commands, compaction) and shows them.
  void JournalRewritten();
  // The tip's text now: the name and, when the journal could be read, the
  // hours, with a running spell up to its last activity.
  std::string TipText() const;
  // Gives the tray icon the tip's text when it has changed. Reads no file.
  void UpdateTip();

  void FormCreate();
  void Timer1Timer();
  void UpdateStatusLine();

  void ExitActionExecute();
  void ShowActionExecute();
  void ViewActionExecute();
  void CompactActionExecute();
  void OptionsActionExecute();
  void AboutActionExecute();

  // Load at log-in: the Run value names this executable.
  bool GetLoadAtLogin();
  void SetLoadAtLogin(bool enabled);
  // Where that value is kept.
  TRunKey RunKey;
  void ReportActionExecute();

  // Whether the close (or the end of the session) has written the final Stop.
  bool FinalStopWritten() const { return finalStopWritten_; }

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void FormClose(bool& allow) override;

 private:
  void BuildActions();
  void BuildMenus();
  void LayOut();
  void EndSession();
  // Starts Timer1; a failure raises the OS error.
  void StartTimer1();
  // Tries the waiting records (only when their retry is due, unless forced)
  // and tells the log pane what came of it.
  TJournalOutcome WriteJournal(bool forced);
  // The log line of an outage that ended.
  void TellWrittenLate(const TJournalOutcome& outcome);
  std::string DataFilePath() const;
  // A record for the data file: it waits in Journal and counts in Totals
  // (which are read afresh when the last read failed).
  void Keep(const TActRec& record);
  // Totals from the data file's tail and the records still waiting; a
  // failure goes to the log pane, and the tip shows no hours until a later
  // load succeeds.
  void ReloadTotals();
  // An error of a tick: in a box, unless a box of an earlier tick is still
  // open; then in the log pane.
  void ShowTickError(const std::string& text);

  std::string exePath_;
  SystemActivitySource source_;
  bool finalStopWritten_ = false;
  std::string outageText_;    // the box that tells of a new outage, shown at the end of the tick
  bool tickBoxOpen_ = false;  // a box raised by a tick is open
  bool totalsKnown_ = true;   // the last load of Totals succeeded
  TDateTime runningStart_ = 0;  // the Start of the spell that runs
};

}  // namespace horalog
