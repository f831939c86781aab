#include "app/HoralogMain.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "app/HoursSettingsFile.h"
#include "app/MachinesSettingsFile.h"
#include "app/PresenceSettingsFile.h"
#include "app/Startup.h"
#include "data/ActRec.h"
#include "data/Compaction.h"
#include "data/DataDir.h"
#include "data/Errors.h"
#include "data/SettingsRules.h"
#include "dialogs/DBViewDialog.h"
#include "dialogs/OptionsDialog.h"
#include "dialogs/ReportDialog.h"
#include "dialogs/StartEndDatesDialog.h"
#include "ms/msabout.h"
#include "ms/msvinfo.h"
#include "platform/Platform.h"
#include "platform/win32/WideText.h"
#include "ui/Application.h"
#include "ui/MessageBoxes.h"
#include "version.h"

namespace horalog {

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

namespace {

// The recorder's work away from the window: a thread of its own, which
// posts message to the window once the work has ended.
class TWindowBackground : public TBackgroundWork {
 public:
  TWindowBackground(HWND window, UINT message) : window_(window), message_(message) {}
  ~TWindowBackground() override { Wait(); }

  void Run(std::function<void()> work) override {
    Wait();
    work_ = std::move(work);
    thread_ = CreateThread(nullptr, 0, &Main, this, 0, nullptr);
    // No thread to be had: the work runs here, and the window hears of it
    // as it would.
    if (!thread_) Main(this);
  }
  void Wait() override {
    if (!thread_) return;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }

 private:
  static DWORD WINAPI Main(void* self) {
    auto* background = static_cast<TWindowBackground*>(self);
    try {
      background->work_();
    } catch (...) {
      // The reading tells its own problems; what is left ends it.
    }
    PostMessageA(background->window_, background->message_, 0, 0);
    return 0;
  }

  HWND window_;
  UINT message_;
  std::function<void()> work_;
  HANDLE thread_ = nullptr;
};

}  // namespace

TForm1::TForm1(std::string exePath, ActivitySource* source)
    : exePath_(std::move(exePath)), source_(source ? *source : systemSource_) {
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
  TrayIcon->OnBalloonClick = [this](std::optional<uint32_t> tag) {
    if (!recorder_) return;
    // A click that cannot tell its balloon keeps nothing, and says so.
    if (!tag) return recorder_->KeepAwayTime(std::nullopt);
    for (const auto& [offerTag, offer] : offers_)
      if (offerTag == *tag) return recorder_->KeepAwayTime(offer);
  };
  TrayIcon->Loaded();

  FormCreate();
  // The heartbeat: without it nothing is recorded, so the start fails.
  StartTimer1();
  // The hours need the whole journal, a long read on a journal of years. It
  // comes once the start-up has settled: the message loop takes this posted
  // message first, and the timer it sets fires only when nothing else waits,
  // so that the window, the tray icon and the database view are ready before.
  if (!PostMessageA(Handle(), WM_READHOURS, 0, 0)) recorder_->ReadHours();
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
  TDateTime idleSpan = MinutesToTime(DefaultIntervalMinutes);
  steps.Run([this, &idleSpan] {
    IniFile = std::make_unique<TIniFile>(SettingsFilePath(exePath_));
    idleSpan =
        MinutesToTime(IniFile->ReadNumber(OptionsSection, IntervalKey, DefaultIntervalMinutes));
  });

  SetDataDir(DirectoryOf(exePath_));
  // The detector starts Idle at (0, 0); the hours are read from the journal.
  recorder_ = std::make_unique<TRecorder>(source_, static_cast<TRecorderView&>(*this), DataDir(),
                                          platform::UserLocale());
  recorder_->SetIdleSpan(idleSpan);
  background_ = std::make_unique<TWindowBackground>(Handle(), WM_MACHINESREAD);
  recorder_->SetBackground(background_.get());
  LoadHoursSettings();
  recorder_->StartBeforeHours();

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
  steps.ShowErrors();
}

void TForm1::UpdateStatusLine() {
  StatusBar1.SetPanelText(ui::LongHint(ui::Application().Hint()));
}

void TForm1::AddLogLine(const std::string& text) { Memo1.AppendLine(text); }

void TForm1::ShowBox(const std::string& text) { ui::Application().ShowException(text); }

bool TForm1::Confirm(const std::string& question) { return ui::Confirm(question, Handle()); }

void TForm1::SetTip(const std::string& text) { TrayIcon->SetTip(text); }

void TForm1::ShowBalloon(const std::string& text) {
  TrayIcon->ShowBalloon(HORALOG_PRODUCT_NAME, text);
}

// A notice offers nothing: shown without a tag, a click on it keeps nothing.
void TForm1::ShowNotice(const std::string& text) {
  TrayIcon->ShowBalloon(HORALOG_PRODUCT_NAME, text);
}

void TForm1::ShowOffer(const std::string& text, const TAwayOffer& offer) {
  constexpr size_t OffersKept = 32;
  if (offers_.size() == OffersKept) offers_.erase(offers_.begin());
  offers_.emplace_back(++lastOfferTag_, offer);
  TrayIcon->ShowBalloon(HORALOG_PRODUCT_NAME, text, lastOfferTag_);
}

void TForm1::Timer1Timer() {
  recorder_->Tick();
  LookAtHoursSettings();
}

void TForm1::LoadHoursSettings() {
  if (!IniFile) return;
  hoursWritten_ = IniFile->LastWriteTime();
  hoursLookedAt_ = source_.SteadyMilliseconds();
  // The problems' lines are UTF-8 (the file's path, the values as written).
  std::vector<std::string> lines;
  std::vector<THoursSettingsProblem> problems;
  const THoursSettings settings = ReadHoursSettings(*IniFile, problems);
  for (const THoursSettingsProblem& problem : problems)
    lines.push_back(HoursSettingsProblemText(problem, IniFile->FileName()));
  recorder_->SetHoursSettings(settings);
  const TMachinesSettings machines = ReadMachinesSettings(*IniFile, exePath_, lines);
  recorder_->SetMachinesSettings(machines);
  std::vector<TPresenceSettingsProblem> presenceProblems;
  const TPresenceSettings presence = ReadPresenceSettings(*IniFile, presenceProblems);
  for (const TPresenceSettingsProblem& problem : presenceProblems)
    lines.push_back(PresenceSettingsProblemText(problem, IniFile->FileName()));
  recorder_->SetPresenceSettings(presence);
  // A change elsewhere in the file tells again none of those that stay.
  for (const std::string& line : lines)
    if (std::find(settingsProblems_.begin(), settingsProblems_.end(), line) ==
        settingsProblems_.end())
      AddLogLine(platform::PathForDisplay(line));
  settingsProblems_ = std::move(lines);
}

void TForm1::LookAtHoursSettings() {
  constexpr uint64_t LookEveryMs = 60 * 1000;
  if (!IniFile || source_.SteadyMilliseconds() - hoursLookedAt_ < LookEveryMs) return;
  hoursLookedAt_ = source_.SteadyMilliseconds();
  if (IniFile->LastWriteTime() != hoursWritten_) LoadHoursSettings();
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
  recorder_->SetIdleSpan(MinutesToTime(dialog->TimeOut()));
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
  recorder_->FileCommand(TFileCommand::Rewrites, [] { CompactDataFile(DataDir()); });
  ui::Information("Operation successful", Handle());
}

void TForm1::ReportActionExecute() {
  int result = 0;
  TDateTime startDate = 0, endDate = 0;
  {
    TStartEndDatesDlg dialog(this, recorder_->HoursSettings().dayStart);
    result = dialog.ShowModal();
    startDate = dialog.StartDate();
    endDate = dialog.EndDate();
  }
  if (result != IDOK) return;
  ShowReport(this, startDate, endDate, recorder_->HoursSettings(), recorder_->Door(),
             recorder_->Machines());
}

void TForm1::FormClose(bool& allow) {
  allow = recorder_->Exit();
  if (!allow) return;
  IniFile.reset();
  InstanceMemory.reset();
}

void TForm1::EndSession() {
  // The records first: Windows gives a program a few seconds.
  KillTimer(Handle(), Timer1Id);
  recorder_->EndSession();
  IniFile.reset();
  ui::Application().Terminate();
}

LRESULT TForm1::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SHOWMAIN:
      Show();
      return 0;
    case WM_MACHINESREAD:
      recorder_->BackgroundDone();
      return 0;
    case WM_READHOURS:
      if (!SetTimer(Handle(), HoursTimerId, USER_TIMER_MINIMUM, nullptr)) recorder_->ReadHours();
      return 0;
    case WM_TIMER:
      if (wParam == Timer1Id) {
        Timer1Timer();
        return 0;
      }
      if (wParam == HoursTimerId) {
        KillTimer(Handle(), HoursTimerId);
        recorder_->ReadHours();
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
