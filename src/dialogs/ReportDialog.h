// TReportDlg: the report window. It builds report.html for a range of dates,
// shows it in an embedded browser and saves copies of it under other names,
// or the same rows as a CSV file.
#pragma once

#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "report/ReportBuilder.h"
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
  // The save dialog's type for CSV files.
  static constexpr int CsvFilterIndex = 2;

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

  // Writes the report of the dates (each a day at midnight) to
  // DataDir + "report.html" and makes the browser show it. A failure raises.
  void BuildReport(TDateTime startDate, TDateTime endDate);

  void SaveActionExecute();
  void CloseActionExecute();
  // Copies the report file to target; an existing target is refused and
  // kept as it was. A failure raises the system's error.
  void SaveReportAs(const std::string& target);
  // Writes the report's days as CSV to target, a new file: an existing target
  // is refused with the system's error and kept as it was, and a failure
  // part-way leaves no file under that name.
  void SaveCsvAs(const std::string& target);

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void LayOut();
};

// What a save writes, and where: CSV when the CSV type was chosen or the
// name ends in ".csv" (any case); ".csv" is added when the CSV type was chosen
// and the name has no extension.
struct TReportSaveTarget {
  std::string path;
  bool csv = false;
};
TReportSaveTarget ReportSaveTarget(const std::string& chosen, int filterIndex);

// Builds the report of the dates in a report window owned by owner and shows
// it modally; the window is gone when this returns (also when building fails,
// in which case it is never shown).
void ShowReport(ui::TComponent* owner, TDateTime startDate, TDateTime endDate);

}  // namespace horalog
