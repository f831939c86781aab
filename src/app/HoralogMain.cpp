#include "app/HoralogMain.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "app/Startup.h"
#include "data/ActRec.h"
#include "data/Compaction.h"
#include "data/DataDir.h"
#include "data/Errors.h"
#include "data/SettingsRules.h"
#include "dialogs/DBViewDialog.h"
#include "dialogs/OptionsDialog.h"
#include "ms/msabout.h"
#include "ms/msvinfo.h"
#include "platform/Platform.h"
#include "platform/win32/WideText.h"
#include "dialogs/ReportDialog.h"
#include "dialogs/StartEndDatesDialog.h"
#include "ui/Application.h"
#include "ui/MessageBoxes.h"
#include "version.h"

namespace horalog {

namespace {

std::string CannotWriteText(const std::string& path, const std::string& reason) {
  return "Cannot write to " + platform::AnsiPathText(path) + ": " + reason;
}

// "1 record", "2 records".
std::string RecordsText(size_t count) {
  return std::to_string(count) + (count == 1 ? " record" : " records");
}

}  // namespace

std::string ModulePath() {
  // Wide, so that a folder name outside the ANSI code page survives.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (got == 0) RaiseLastOSError();
    if (got < path.size()) return platform::Utf8FromWide(path.data(), got);
    path.resize(path.size() * 2);
  }
}

TForm1::TForm1(std::string exePath) : exePath_(std::move(exePath)) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  TCreateParams params;
  params.className = ClassName;
  params.caption = HORALOG_PRODUCT_NAME;
  params.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  params.x = 0;
  params.y = 0;
  params.width = Scale(696);
  params.height = Scale(480);
  params.icon = LoadIconA(instance, "MAINICON");
  CreateHandle(params);
  CenterOnScreen();

  Actions = &ActionList1;
  BuildActions();
  ImageList1.LoadStrip("CMDIMAGES", 16);
  BuildMenus();

  ActionToolBar1.Create(Handle(), &ImageList1);
  ActionToolBar1.AddButton(*ViewAction);
  ActionToolBar1.AddButton(*ReportAction);
  ActionToolBar1.AddButton(*OptionsAction);
  ActionToolBar1.AddSeparator();
  ActionToolBar1.AddButton(*ExitAction);
  ActionToolBar1.AutoSize();
  Memo1.Create(Handle(), Memo1Id, "Lucida Console", 9);
  StatusBar1.Create(Handle());
  LayOut();

  // Tip and menu before Loaded, which acts on the properties it finds set.
  TrayIcon = std::make_unique<TmsTrayIcon>(this);
  TrayIcon->SetTip(HORALOG_PRODUCT_NAME);
  TrayIcon->SetPopUpMenu(PopupMenu1.get());
  TrayIcon->Loaded();

  FormCreate();
  // The heartbeat: without it nothing is recorded, so the start fails.
  StartTimer1();
}

void TForm1::StartTimer1() {
  if (!SetTimer(Handle(), Timer1Id, Timer1Interval, nullptr)) RaiseLastOSError();
}

TForm1::~TForm1() {
  if (Handle()) KillTimer(Handle(), Timer1Id);
  if (ui::Application().OnHint) ui::Application().OnHint = nullptr;
  // The window goes first, then the components it owns.
  DestroyHandle();
  TrayIcon.reset();
  PopupMenu1.reset();
}

void TForm1::BuildActions() {
  ExitAction = &ActionList1.Add("&Exit", "Exit|Close the program", ExitImage,
                                [this] { ExitActionExecute(); });
  ViewAction = &ActionList1.Add("&View", "View|View report", ViewImage,
                                [this] { ViewActionExecute(); });
  OptionsAction = &ActionList1.Add("&Options", "Options|Show program options",
                                   OptionsImage, [this] { OptionsActionExecute(); });
  ShowAction = &ActionList1.Add("&Show", "Show|Show main window", ShowImage,
                                [this] { ShowActionExecute(); });
  CompactAction = &ActionList1.Add("&Compact", "Compact|Compact the database",
                                   CompactImage, [this] { CompactActionExecute(); });
  ReportAction = &ActionList1.Add("&Report", "Report|Generate report",
                                  ReportImage, [this] { ReportActionExecute(); });
  AboutAction = &ActionList1.Add("&About", "About|Show program information", -1,
                                 [this] { AboutActionExecute(); });
}

void TForm1::BuildMenus() {
  ui::TMainMenu bar;
  HMENU file = bar.AddSubMenu("&File");
  ui::AppendActionItem(file, *ExitAction, &ImageList1);
  HMENU tools = bar.AddSubMenu("&Tools");
  ui::AppendActionItem(tools, *ViewAction, &ImageList1);
  ui::AppendActionItem(tools, *ReportAction, &ImageList1);
  ui::AppendActionItem(tools, *OptionsAction, &ImageList1);
  ui::AppendSeparator(tools);
  ui::AppendActionItem(tools, *CompactAction, &ImageList1);
  HMENU help = bar.AddSubMenu("&Help");
  ui::AppendActionItem(help, *AboutAction, &ImageList1);
  // From here the window owns the menu bar and destroys it with itself.
  SetMenu(Handle(), bar.Release());

  PopupMenu1 = std::make_unique<ui::TPopupMenu>(this, &ImageList1);
  PopupMenu1->AddItem(*ShowAction, true);
  PopupMenu1->AddSeparator();
  PopupMenu1->AddItem(*ViewAction);
  PopupMenu1->AddItem(*ReportAction);
  PopupMenu1->AddItem(*OptionsAction);
  PopupMenu1->AddSeparator();
  PopupMenu1->AddItem(*ExitAction);
}

void TForm1::LayOut() {
  if (!Handle() || !ActionToolBar1.Handle() || !StatusBar1.Handle() || !Memo1.Handle()) return;
  const RECT area = ui::AreaBetweenBars(Handle(), ActionToolBar1, &StatusBar1);
  Memo1.SetBounds(area.left, area.top, area.right - area.left, area.bottom - area.top);
}

void TForm1::FormCreate() {
  // Every step runs even when an earlier one fails: without DataDir the
  // journal would go to whatever folder the program was started from, and
  // without its picture the tray icon would leave no way in. The errors are
  // shown once the window is complete, in the order they happened.
  ui::TSteps steps;

  // From here a second start shows this window instead of running.
  steps.Run([this] {
    InstanceMemory = std::make_unique<TSharedMemory>(InstanceMemoryName, InstanceMemorySize);
    uint32_t handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Handle()));
    std::memcpy(InstanceMemory->View(), &handle, sizeof(handle));
  });

  // A start waiting to look at the block may do so now (and before any error
  // box of this handler).
  ReleaseStartupLock();

  // A timeout that does not convert, or a settings file that cannot be read,
  // leaves the default.
  steps.Run([this] {
    IdleSpan() = MinutesToTime(DefaultIntervalMinutes);
    IniFile = std::make_unique<TIniFile>(SettingsFilePath(exePath_));
    IdleSpan() =
        MinutesToTime(IniFile->ReadNumber(OptionsSection, IntervalKey, DefaultIntervalMinutes));
  });

  SetDataDir(DirectoryOf(exePath_));
  Detector.Reset();
  ReloadTotals();

  // The status line follows the hint of the element under the pointer.
  ui::Application().OnHint = [this] { UpdateStatusLine(); };

  // The tray icon's picture, which it owns from here; loaded at the small
  // icon size so that the notification area need not shrink it.
  steps.Run([this] {
    HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    if (!icon) RaiseLastOSError();
    TrayIcon->AssignIconHandle(icon);
  });
  steps.Run([this] { UpdateTip(); });

  steps.ShowErrors();
}

void TForm1::UpdateStatusLine() {
  StatusBar1.SetPanelText(ui::LongHint(ui::Application().Hint()));
}

void TForm1::AddLogLine(const std::string& text) { Memo1.AppendLine(text); }

std::string TForm1::DataFilePath() const { return DataDir() + DataFileBaseName; }

void TForm1::Keep(const TActRec& record) {
  Journal.Add(record);
  // Hours that could not be read are tried again with the next record.
  if (totalsKnown_) {
    Totals.Take(record);
  } else {
    ReloadTotals();
  }
}

void TForm1::AppendRecord(uint8_t action, TDateTime time) {
  if (action == ActionStart) runningStart_ = time;
  Keep(MakeRecord(action, time));
  // Behind records that wait, it waits for their retry.
  WriteJournal(false);
  UpdateTip();
}

void TForm1::AppendAction(uint8_t action, bool useNow) {
  TDateTime time = platform::Now();
  if (!useNow && action != ActionStart) time = Detector.TimedOutStopTime(time);
  Keep(MakeRecord(action, time));
  const TJournalOutcome outcome = WriteJournal(true);
  UpdateTip();
  if (!outcome.failed) return;
  // The caller tells of the failure; no box of its own follows at the next tick.
  outageText_.clear();
  throw Error(CannotWriteText(DataFilePath(), outcome.reason));
}

void TForm1::WriteWaitingRecords() {
  WriteJournal(true);
  // A rewrite sorts the file: records of a failed write that reached it all
  // the same could leave its end, where a retry looks for them. Which of them
  // are there is settled first; a file that cannot even be read for that
  // raises, and the command does not go on.
  TellWrittenLate(Journal.Settle(DataFilePath()));
}

void TForm1::TellWrittenLate(const TJournalOutcome& outcome) {
  if (!outcome.outageEnded) return;
  AddLogLine(RecordsText(outcome.written) + " written late to " +
             platform::AnsiPathText(DataFilePath()) + ".");
}

void TForm1::ReloadTotals() {
  const std::string path = DataFilePath();
  try {
    LoadWorkTotals(path, Totals);
    // The records that wait come after the file's.
    for (const TActRec& record : Journal.Waiting()) Totals.Take(record);
    totalsKnown_ = true;
  } catch (const std::exception& error) {
    if (totalsKnown_) {
      AddLogLine("Cannot read " + platform::AnsiPathText(path) + ": " +
                 JournalFailureReason(error) + ". The tray icon shows no hours until it can.");
    }
    totalsKnown_ = false;
  }
}

void TForm1::JournalRewritten() {
  ReloadTotals();
  UpdateTip();
}

std::string TForm1::TipText() const {
  if (!totalsKnown_) return HORALOG_PRODUCT_NAME;
  std::optional<TRunningSpell> running;
  if (!Detector.Idle) running = TRunningSpell{runningStart_, Detector.LastActivity};
  return WorkHoursTip(HORALOG_PRODUCT_NAME,
                      HoursAt(Totals, THoursSettings{}, platform::Now(),
                              platform::UserLocale().firstDayOfWeek, running));
}

void TForm1::UpdateTip() {
  std::string text = TipText();
  if (text != TrayIcon->Tip()) TrayIcon->SetTip(text);
}

TJournalOutcome TForm1::WriteJournal(bool forced) {
  const uint64_t now = GetTickCount64();
  if (Journal.Empty() || (!forced && !Journal.Due(now))) return {};
  const std::string path = DataFilePath();
  const TJournalOutcome outcome = Journal.Write(path, now);
  TellWrittenLate(outcome);
  if (outcome.failed) {
    // Retries that fail as the one before did are not told again.
    if (forced || outcome.newFailure) {
      AddLogLine(CannotWriteText(path, outcome.reason) +
                 ". Records waiting: " + std::to_string(Journal.Count()));
    }
    // One box per outage: it is shown when the tick has done its work.
    if (outcome.outageBegan) {
      outageText_ = CannotWriteText(path, outcome.reason) +
                    ". Horalog keeps the records and tries again.";
    }
  }
  return outcome;
}

void TForm1::Timer1Timer() {
  std::string error;
  try {
    Detector.Tick(source_, *this);
    // The hours follow the clock: a running spell, midnight, a new week.
    UpdateTip();
  } catch (...) {
    error = ui::TApplication::MessageOf(std::current_exception());
  }
  // The waiting records, once a tick at most: a tick whose own append has
  // just tried them finds them not due.
  WriteJournal(false);
  if (!outageText_.empty()) ShowTickError(std::exchange(outageText_, {}));
  if (!error.empty()) ShowTickError(error);
}

void TForm1::ShowTickError(const std::string& text) {
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
  ui::Application().ShowException(text);
}

void TForm1::ExitActionExecute() {
  if (ui::Confirm("Are you sure you want to exit from Horalog?", Handle())) Close();
}

void TForm1::ShowActionExecute() { Show(); }

void TForm1::ViewActionExecute() {
  if (DBViewDlg) DBViewDlg->Show();
}

bool TForm1::GetLoadAtLogin() { return horalog::GetLoadAtLogin(exePath_, RunKey); }

void TForm1::SetLoadAtLogin(bool enabled) { horalog::SetLoadAtLogin(enabled, exePath_, RunKey); }

void TForm1::OptionsActionExecute() {
  auto dialog = std::make_unique<TOptionsDlg>(this);
  dialog->LoadAtLoginCheckBox.SetChecked(GetLoadAtLogin());
  // The up-down's position is 16 bits wide.
  dialog->SetTimeOut(static_cast<int16_t>(
      IniFile->ReadNumber(OptionsSection, IntervalKey, DefaultIntervalMinutes)));
  if (dialog->ShowModal() != IDOK) return;
  // What is saved and applied is the number in the edit box.
  SetLoadAtLogin(dialog->LoadAtLoginCheckBox.Checked());
  IniFile->WriteNumber(OptionsSection, IntervalKey, dialog->TimeOut());
  IdleSpan() = MinutesToTime(dialog->TimeOut());
}

void TForm1::AboutActionExecute() {
  // Both are freed on every path, the dialog first.
  auto info = std::make_unique<TmsVersionInfo>();
  info->SetFileName(exePath_);
  auto dialog = std::make_unique<TAboutDlg>(this);
  dialog->ProductName.SetCaption(info->ProductName);
  dialog->ProductVersion.SetCaption(info->ProductVersion + " (" + info->FileVersion + ")");
  dialog->LegalCopyright.SetCaption(info->LegalCopyright);
  dialog->ShowModal();
}

void TForm1::CompactActionExecute() {
  if (!ui::Confirm("Do you want to compact the database now?", Handle())) return;
  WriteWaitingRecords();
  CompactDataFile(DataDir());
  JournalRewritten();
  ui::Information("Operation successful", Handle());
}

void TForm1::ReportActionExecute() {
  int result = 0;
  TDateTime startDate = 0, endDate = 0;
  {
    TStartEndDatesDlg dialog(this);
    result = dialog.ShowModal();
    startDate = dialog.StartDate();
    endDate = dialog.EndDate();
  }
  if (result != IDOK) return;
  WriteWaitingRecords();
  ShowReport(this, startDate, endDate, THoursSettings{});
}

void TForm1::FormClose(bool& allow) {
  allow = true;
  if (!finalStopWritten_) {
    TWorkTotals totalsBefore = Totals;
    try {
      AppendAction(ActionStop, true);
    } catch (const Error&) {
      // The program can always be ended; the user decides whether to go
      // without the records. Nothing is recorded after the final Stop while
      // the box is open.
      KillTimer(Handle(), Timer1Id);
      const std::string question = RecordsText(Journal.Count()) +
                                   " could not be written to " +
                                   platform::AnsiPathText(DataFilePath()) + " (" +
                                   Journal.Reason() + "). Exit anyway?";
      if (!ui::Confirm(question, Handle())) {
        // The program goes on, and the other records wait for the next
        // retry. The Stop of the exit that did not happen goes, unless the
        // failed write may have put it in the file: then it stays, and a
        // running spell goes on from a Start at the same moment, so that the
        // journal reads the same whether the Stop landed or not. While Idle
        // it stays alone, an Out without an In as after any exit while Idle.
        const TDateTime stopTime = Journal.Waiting().back().Time;
        if (Journal.WithdrawNewest()) {
          // The hours as they were before the Stop.
          Totals = std::move(totalsBefore);
          UpdateTip();
        } else if (!Detector.Idle) {
          AppendRecord(ActionStart, stopTime);
          // The answer was the user's: the quiet counts from there.
          Detector.LastActivity = std::max(Detector.LastActivity, stopTime);
        }
        allow = false;
        StartTimer1();
        return;
      }
    }
    finalStopWritten_ = true;
  }
  IniFile.reset();
  InstanceMemory.reset();
}

void TForm1::EndSession() {
  // The session ends and the process with it: a running spell gets its
  // Stop at the last activity (an idle user has none to close), every record
  // that waits is tried at once, and the settings are flushed. Nobody is
  // there to read a box now: no tick runs again, and what cannot be written
  // in time is lost without one.
  KillTimer(Handle(), Timer1Id);
  if (!finalStopWritten_) {
    try {
      Detector.EndSession(*this);
      finalStopWritten_ = true;
    } catch (...) {
      // Nobody is there to read an error box now.
    }
  }
  Journal.WriteAtSessionEnd(DataFilePath(), [] { Sleep(SessionEndPauseMs); });
  outageText_.clear();
  IniFile.reset();
  ui::Application().Terminate();
}

LRESULT TForm1::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SHOWMAIN:
      Show();
      return 0;
    case WM_TIMER:
      if (wParam == Timer1Id) {
        Timer1Timer();
        return 0;
      }
      break;
    case WM_SIZE:
      LayOut();
      return 0;
    case WM_SETFOCUS:
      if (Memo1.Handle()) SetFocus(Memo1.Handle());
      return 0;
    case WM_ENDSESSION:
      if (wParam) EndSession();
      return 0;
    default:
      break;
  }
  return TWindow::WndProc(message, wParam, lParam);
}

}  // namespace horalog
