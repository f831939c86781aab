// TReportDlg: the report window. It builds report.html for a range of dates,
// shows it in an embedded browser and saves copies of it under other names,
// the same rows as a CSV file, or one row a day (the day summary).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "machines/MachineFolder.h"
#include "machines/MachineHours.h"
#include "platform/DateTime.h"
#include "recorder/Recorder.h"
#include "report/HoursSettings.h"
#include "report/ReportBuilder.h"
#include "report/WorkTotals.h"
#include "ui/Action.h"
#include "ui/Controls.h"
#include "ui/Dialog.h"
#include "ui/FileDialogs.h"
#include "ui/WebBrowser.h"

namespace horalog {

class TReportDlg : public ui::TDialog {
 public:
  // Image indices of the report window's pictures.
  enum TReportImageIndex : int {
    CloseImage = 0,
    SaveImage = 1,
  };

  // The window class name other programs find this window by; it stays.
  static constexpr const char* ClassName = "TReportDlg";
  // The save dialog's types for CSV files and for the day summary.
  static constexpr int CsvFilterIndex = 2;
  static constexpr int DaySummaryFilterIndex = 3;

  // Made hidden, centred on the screen, owned by the owner's window.
  explicit TReportDlg(ui::TComponent* owner);
  ~TReportDlg() override { DestroyHandle(); }

  ui::TActionList ActionList1;
  ui::TAction* SaveAction = nullptr;
  ui::TAction* CloseAction = nullptr;
  ui::TImageList ImageList1;
  ui::TToolBar ActionToolBar1;
  ui::TWebBrowser WebBrowser1;
  ui::TSaveDialog SaveDialog;

  // DataDir + "report.html", set by BuildReport.
  std::string ReportFileName;
  // The days the page shows, kept by BuildReport: a CSV saved later holds
  // the same rows and totals as the page, whatever the journal holds by then.
  std::vector<TReportDay> ReportDays;
  // What BuildReport was given and read with the page, for the day summary:
  // the range's first and last working day, the settings, and the hours of
  // each working day of the whole journal.
  int64_t FirstDay = 0, LastDay = -1;
  THoursSettings Settings;
  TWorkTotals Totals;
  // With [Machines]: the union of this machine's hours (Totals) and the
  // other machines' as their copies were read.
  std::unique_ptr<TMachineHours> MachineTotals;

  // Writes the report of the dates (each a day at midnight; days split at
  // the settings' working day's start) to DataDir + "report.html" and makes
  // the browser show it. A failure raises. With the machines' folder, every
  // machine's rows and the union's totals.
  void BuildReport(TDateTime startDate, TDateTime endDate,
                   const THoursSettings& settings = THoursSettings{},
                   const TMachineFolder* machines = nullptr);

  void SaveActionExecute();
  void CloseActionExecute();
  // Copies the report file to target; an existing target is refused and
  // kept as it was. A failure raises the system's error.
  void SaveReportAs(const std::string& target);
  // Writes the report's days as CSV to target, a new file: an existing target
  // is refused with the system's error and kept as it was, and a failure
  // part-way leaves no file under that name.
  void SaveCsvAs(const std::string& target);
  // Writes the day summary of the report's range to target, as SaveCsvAs.
  void SaveDaySummaryAs(const std::string& target);

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void LayOut();
  // Writes text to target, a new file (see SaveCsvAs).
  void SaveNewFile(const std::string& target, const std::string& text);
};

// What a save writes, and where: the day summary when its type was chosen;
// else CSV when the CSV type was chosen or the name ends in ".csv" (any
// case); else the page. ".csv" is added when a CSV type was chosen and the
// name has no extension.
enum class TReportSaveKind { Page, Csv, DaySummary };
struct TReportSaveTarget {
  std::string path;
  TReportSaveKind kind = TReportSaveKind::Page;
};
TReportSaveTarget ReportSaveTarget(const std::string& chosen, int filterIndex);

// Builds the report of the dates in a report window owned by owner and shows
// it modally; the window is gone when this returns (also when building fails,
// in which case it is never shown). The settings give the working day's
// start and the day summary's targets. The report reads the data file
// through the recorder's door, when one is given.
void ShowReport(ui::TComponent* owner, TDateTime startDate, TDateTime endDate,
                const THoursSettings& settings, const TFileDoor& door = {},
                const TMachineFolder* machines = nullptr);

}  // namespace horalog
