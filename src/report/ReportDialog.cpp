#include "report/ReportDialog.h"

#include "data/DataDir.h"
#include "data/Errors.h"
#include "platform/win32/WideText.h"
#include "report/ReportBuilder.h"

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
  SaveDialog.Filter = "HTML files (*.htm; *.html)|*.htm;*.html|All files (*.*)|*.*";
}

void TReportDlg::BuildReport(TDateTime startDate, TDateTime endDate) {
  ReportFileName = DataDir() + ReportFileBaseName;
  BuildReportFile(DataDir(), startDate, endDate);
  WebBrowser1.Navigate(ReportFileName);
}

void TReportDlg::SaveActionExecute() {
  if (SaveDialog.Execute(Handle())) SaveReportAs(SaveDialog.FileName);
}

void TReportDlg::SaveReportAs(const std::string& target) {
  if (!CopyFileW(platform::WidePath(ReportFileName).c_str(), platform::WidePath(target).c_str(),
                 TRUE))
    RaiseLastOSError();
}

void TReportDlg::CloseActionExecute() { Close(); }

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

void ShowReport(ui::TComponent* owner, TDateTime startDate, TDateTime endDate) {
  TReportDlg dialog(owner);
  dialog.BuildReport(startDate, endDate);
  dialog.ShowModal();
}

}  // namespace horalog
