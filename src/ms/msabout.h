// TAboutDlg: the program's icon, name, version and copyright, and the
// Windows it runs on.
#pragma once

#include <functional>
#include <string>

#include "ui/Dialog.h"

namespace horalog {

class TAboutDlg : public ui::TDialog {
 public:
  // The window class name other programs find this window by; it stays.
  static constexpr const char* ClassName = "TAboutDlg";

  // windowsVersion gives the text of WindowsVersionLabel; by default the
  // running Windows' description.
  explicit TAboutDlg(ui::TComponent* owner,
                     std::function<std::string()> windowsVersion = nullptr);
  ~TAboutDlg() override { DestroyHandle(); }

  ui::TIconImage Image1;
  ui::TLabel ProductName;
  ui::TLabel Label1;
  ui::TLabel ProductVersion;
  ui::TLabel LegalCopyright;
  ui::TLabel WindowsVersionLabel;
  ui::TButton OKButton;
  ui::TBevel Bevel1;

  // The icon, then the Windows version. A failure is shown; the label it
  // would have filled stays empty.
  void FormCreate();

 private:
  std::function<std::string()> windowsVersion_;
};

}  // namespace horalog
