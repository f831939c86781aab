#include "dialogs/ReportDialog.h"

#include "data/DataDir.h"
#include "data/Errors.h"
#include "machines/MachineReport.h"
#include "ms/text/msText.h"
#include "platform/Platform.h"
#include "platform/win32/WideText.h"
#include "report/ReportCsv.h"

namespace horalog {

TReportDlg::TReportDlg(ui::TComponent* owner) : ui::TDialog(owner) {
  CreateForm({.className = ClassName,
              .caption = "Report",
              .width = 613,
              .height = 412,
              .clientSize = false,
              .border = ui::TBorderStyle::SizeToolWindow});

  SaveAction = &ActionList1.Add("&Save", "Save", SaveImage,
                                [this] { SaveActionExecute(); });
  SaveAction->ShortCut = {FCONTROL, 'S'};
  CloseAction = &ActionList1.Add("&Close", "Close", CloseImage,
                                 [this] { CloseActionExecute(); });
  CloseAction->ShortCut = {0, VK_ESCAPE};
  Actions = &ActionList1;
  SetShortcuts(ActionList1);

  ImageList1.LoadStrip("REPORTIMAGES", 16);
  ActionToolBar1.Create(Handle(), &ImageList1);
  ActionToolBar1.AddButton(*SaveAction);
  ActionToolBar1.AddButton(*CloseAction);
  ActionToolBar1.AutoSize();

  WebBrowser1.NoteText = "The report cannot be shown here.";
  WebBrowser1.Create(Handle());
  LayOut();

  SaveDialog.Title = "Save Report";
  SaveDialog.DefaultExt = "html";
  SaveDialog.Filter =
      "HTML files (*.htm; *.html)|*.htm;*.html|CSV files (*.csv)|*.csv|"
      "Day summary (*.csv)|*.csv|All files (*.*)|*.*";
}

void TReportDlg::BuildReport(TDateTime startDate, TDateTime endDate,
                             const THoursSettings& settings, const TMachineFolder* machines) {
  ReportFileName = DataDir() + ReportFileBaseName;
  Settings = settings;
  FirstDay = DayNumber(startDate);
  LastDay = DayNumber(endDate);
  MachineTotals.reset();
  if (machines) {
    MachineTotals = std::make_unique<TMachineHours>(Totals);
    const std::vector<TMachineReading> readings = machines->WholeReadings();
    std::vector<const TMachineReading*> others;
    for (const TMachineReading& reading : readings) others.push_back(&reading);
    ReportDays = BuildMachinesReportFile(DataDir(), startDate, endDate, platform::UserLocale(),
                                         settings.dayStart, machines->Settings().name, others,
                                         Totals, *MachineTotals)
                     .days;
  } else {
    // Breaks and stretches count from each day's spells.
    Totals = TWorkTotals(settings.dayStart, settings.NeedsSpells());
    ReportDays = BuildReportFile(DataDir(), startDate, endDate, platform::UserLocale(),
                                 settings.dayStart, &Totals)
                     .days;
  }
  WebBrowser1.Navigate(ReportFileName);
}

void TReportDlg::SaveActionExecute() {
  if (!SaveDialog.Execute(Handle())) return;
  const TReportSaveTarget target = ReportSaveTarget(SaveDialog.FileName, SaveDialog.FilterIndex);
  switch (target.kind) {
    case TReportSaveKind::Page: SaveReportAs(target.path); break;
    case TReportSaveKind::Csv: SaveCsvAs(target.path); break;
    case TReportSaveKind::DaySummary: SaveDaySummaryAs(target.path); break;
  }
}

void TReportDlg::SaveReportAs(const std::string& target) {
  if (!CopyFileW(platform::WidePath(ReportFileName).c_str(), platform::WidePath(target).c_str(),
                 TRUE))
    RaiseLastOSError();
}

void TReportDlg::SaveCsvAs(const std::string& target) {
  SaveNewFile(target, JoinLines(ReportCsvLines(ReportDays, CsvSeparators(platform::UserLocale()),
                                               MachineTotals != nullptr)));
}

void TReportDlg::SaveDaySummaryAs(const std::string& target) {
  const TDayHours& hours = MachineTotals ? static_cast<const TDayHours&>(*MachineTotals) : Totals;
  SaveNewFile(target, JoinLines(DaySummaryLines(ReportDays, FirstDay, LastDay, hours, Settings,
                                                CsvSeparators(platform::UserLocale()))));
}

void TReportDlg::SaveNewFile(const std::string& target, const std::string& text) {
  // The name is taken new, as the copy takes it: an existing file is refused
  // with the system's error and stays as it was.
  const HANDLE created = CreateFileW(platform::WidePath(target).c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created == INVALID_HANDLE_VALUE) RaiseLastOSError();
  CloseHandle(created);
  // The file is ours now: what fails part-way takes it away again.
  try {
    platform::File file = platform::File::Open(target, platform::OpenMode::ReadWrite);
    file.Write(text.data(), text.size());
    file.Flush();
    file.Close();
  } catch (...) {
    platform::RemoveFile(target);
    throw;
  }
}

void TReportDlg::CloseActionExecute() { Close(); }

TReportSaveTarget ReportSaveTarget(const std::string& chosen, int filterIndex) {
  constexpr std::string_view Csv = ".csv";
  TReportSaveTarget target{chosen, filterIndex == TReportDlg::DaySummaryFilterIndex
                                       ? TReportSaveKind::DaySummary
                                   : filterIndex == TReportDlg::CsvFilterIndex
                                       ? TReportSaveKind::Csv
                                       : TReportSaveKind::Page};
  const std::string name = chosen.substr(chosen.find_last_of("\\/") + 1);
  if (target.kind != TReportSaveKind::Page && name.find('.') == std::string::npos)
    target.path += Csv;
  if (target.kind == TReportSaveKind::Page && target.path.size() >= Csv.size() &&
      SameTextAZ(std::string_view(target.path).substr(target.path.size() - Csv.size()), Csv))
    target.kind = TReportSaveKind::Csv;
  return target;
}

void TReportDlg::LayOut() {
  if (!ActionToolBar1.Handle() || !WebBrowser1.Handle()) return;
  const RECT area = ui::AreaBetweenBars(Handle(), ActionToolBar1);
  WebBrowser1.SetBounds(area.left, area.top, area.right - area.left, area.bottom - area.top);
}

LRESULT TReportDlg::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    LayOut();
    return 0;
  }
  return TDialog::WndProc(message, wParam, lParam);
}

void ShowReport(ui::TComponent* owner, TDateTime startDate, TDateTime endDate,
                const THoursSettings& settings, const TFileDoor& door,
                const TMachineFolder* machines) {
  TReportDlg dialog(owner);
  ThroughDoor(door, TFileCommand::Reads,
              [&] { dialog.BuildReport(startDate, endDate, settings, machines); });
  dialog.ShowModal();
}

}  // namespace horalog
