// TReportDlg: the report window. It builds report.html for a range of dates,
// shows it in an embedded browser and saves copies of it under other names.
#pragma once

#include <string>

#include "data/DateTime.h"
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

  static constexpr const char* ClassName = "TReportDlg";

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

  // Writes the report of the dates (each a day at midnight) to
  // DataDir + "report.html" and makes the browser show it. A failure raises.
  void BuildReport(TDateTime startDate, TDateTime endDate);

  void SaveActionExecute();
  void CloseActionExecute();
  // Copies the report file to target; an existing target is refused and
  // kept as it was. A failure raises the system's error.
  void SaveReportAs(const std::string& target);

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void LayOut();
};

// Builds the report of the dates in a report window owned by owner and shows
// it modally; the window is gone when this returns (also when building fails,
// in which case it is never shown).
void ShowReport(ui::TComponent* owner, TDateTime startDate, TDateTime endDate);

}  // namespace horalog
