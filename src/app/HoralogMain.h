// TForm1, the main window: the owner of the running state. It hosts the
// recorder (the activity detector, the journal and the hours) and the timer
// that drives it, the log pane, the settings file, the shared-memory block
// that marks the running instance, the tray icon, and the commands through
// which the user reaches the rest of the program. What is recorded and what
// the tip says is the recorder's to decide; the window shows it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/IniFile.h"
#include "app/LoadAtLogin.h"
#include "ms/SharedMemory.h"
#include "ms/msTi.h"
#include "recorder/Recorder.h"
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

class TForm1 : public ui::TWindow, private TRecorderView {
 public:
  // The main window's class name, which other programs find it by; it stays.
  static constexpr const char* ClassName = "TForm1";
  static constexpr UINT Timer1Id = 1;
  static constexpr UINT Timer1Interval = 1000;
  // The first reading of the hours, once the start-up has settled: the
  // message posted to the window, then the timer it sets.
  static constexpr UINT WM_READHOURS = WM_APP + 1;
  // The other machines' copies have been read on a thread of their own.
  static constexpr UINT WM_MACHINESREAD = WM_APP + 2;
  static constexpr UINT HoursTimerId = 2;
  static constexpr int Memo1Id = 10;

  // Builds the window with its controls, tray icon and commands, runs
  // FormCreate and starts Timer1. The executable's path locates the settings
  // file and DataDir. The recorder samples the real pointer, keyboard and
  // clocks, or the source given.
  explicit TForm1(std::string exePath = ModulePath(), ActivitySource* source = nullptr);
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
  std::unique_ptr<TIniFile> IniFile;
  std::unique_ptr<TSharedMemory> InstanceMemory;

  // The recorder: what the journal and the tip say. Made by FormCreate.
  TRecorder& Recorder() { return *recorder_; }

  // The database view, made by the main routine right after this window and
  // kept until the end; not owned.
  TDBViewDlg* DBViewDlg = nullptr;

  // The log pane.
  void AddLogLine(const std::string& text) override;

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

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void FormClose(bool& allow) override;

 private:
  void BuildActions();
  void BuildMenus();
  void LayOut();
  // Starts Timer1; a failure raises the OS error.
  void StartTimer1();
  // The session ends (WM_ENDSESSION): the recorder's records first.
  void EndSession();
  // The [Hours], [Machines] and [Presence] settings from the settings file
  // for the recorder; a key that cannot be read is told in the log pane,
  // once while it stays as it is.
  void LoadHoursSettings();
  // At most once a minute: the settings file changed since it was read, so
  // its [Hours], [Machines] and [Presence] are read again.
  void LookAtHoursSettings();

  // TRecorderView.
  void ShowBox(const std::string& text) override;
  bool Confirm(const std::string& question) override;
  void SetTip(const std::string& text) override;
  void ShowBalloon(const std::string& text) override;
  void ShowNotice(const std::string& text) override;
  void ShowOffer(const std::string& text, const TAwayOffer& offer) override;

  std::string exePath_;
  SystemActivitySource systemSource_;
  ActivitySource& source_;
  // Before the recorder, which waits for it at its end.
  std::unique_ptr<TBackgroundWork> background_;
  std::unique_ptr<TRecorder> recorder_;
  // The settings file's last-write time when [Hours] was read, and when it
  // was last looked at (steady clock, milliseconds).
  std::optional<uint64_t> hoursWritten_;
  uint64_t hoursLookedAt_ = 0;
  // The settings' problems told at the last reading: a problem is told when
  // it comes, not again at each reading while it stays.
  std::vector<std::string> settingsProblems_;
  // The away times the balloons offered, by the tags the tray icon keeps
  // with them (the few latest).
  std::vector<std::pair<uint32_t, TAwayOffer>> offers_;
  uint32_t lastOfferTag_ = 0;
};

}  // namespace horalog
