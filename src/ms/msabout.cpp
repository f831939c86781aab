#include "ms/msabout.h"

#include "data/Errors.h"
#include "ms/text/msWinVersion.h"
#include "ui/Application.h"

namespace horalog {

TAboutDlg::TAboutDlg(ui::TComponent* owner, std::function<std::string()> windowsVersion)
    : TDialog(owner), windowsVersion_(std::move(windowsVersion)) {
  if (!windowsVersion_) windowsVersion_ = [] { return WindowsVersionText(); };
  CreateForm({.className = ClassName, .caption = "About", .width = 323, .height = 204});

  Bevel1.Create(*this, 5, 8, 313, 161);
  Image1.Create(*this, 16, 16, 32, 32);
  ProductName.Create(*this, "", 88, 22, 225, 35);
  Label1.Create(*this, "Version", 16, 61, 35, 13);
  ProductVersion.Create(*this, "", 56, 61, 0, 13, true);
  LegalCopyright.Create(*this, "", 16, 93, 0, 13, true);
  WindowsVersionLabel.Create(*this, "", 16, 120, 297, 41);
  // The button is the only control that takes the focus.
  OKButton.Create(*this, IDOK, "OK", 244, 176, 75, 25, true);
  OKButton.ModalResult = IDOK;
  SetDefaultButton(&OKButton);

  // An error of the creation handler is shown and the dialog is built on.
  ui::TSteps steps;
  steps.Run([this] { FormCreate(); });
  steps.ShowErrors();
}

void TAboutDlg::FormCreate() {
  // A shared icon of the module: it is not destroyed.
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
  if (!icon) RaiseLastOSError();
  Image1.SetIcon(icon);
  WindowsVersionLabel.SetCaption(windowsVersion_());
}

}  // namespace horalog
