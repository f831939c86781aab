#include "ui/FileDialogs.h"

#include <commdlg.h>

#include <string>
#include <vector>

#include "data/Errors.h"
#include "ui/Application.h"

namespace horalog::ui {

bool TSaveDialog::Execute(HWND owner) {
  // The dialog wants the filter's parts each ended by a null, and one more at the end.
  std::string filter = Filter;
  for (char& c : filter) {
    if (c == '|') c = '\0';
  }
  filter.append(2, '\0');

  std::vector<char> name(32768, '\0');
  FileName.copy(name.data(), name.size() - 1);

  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  dialog.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  dialog.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                 OFN_ENABLESIZING;
  // Modal to the whole program; it closes with its owner disabled, so the
  // activation is handed back by hand.
  TModalScope modal;
  BOOL chosen = GetSaveFileNameA(&dialog);
  modal.End();
  if (owner && IsWindow(owner) && IsWindowVisible(owner)) SetActiveWindow(owner);
  if (!chosen) {
    DWORD error = CommDlgExtendedError();
    // The dialog's own error codes are not the system's: no system text fits them.
    if (error != 0) throw Error("The file dialog failed with code " + std::to_string(error));
    return false;
  }
  FileName = name.data();
  return true;
}

}  // namespace horalog::ui
