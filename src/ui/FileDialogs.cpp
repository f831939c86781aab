#include "ui/FileDialogs.h"

#include <commdlg.h>

#include <cwchar>
#include <string>
#include <vector>

#include "platform/SystemError.h"
#include "platform/win32/WideText.h"
#include "ui/Application.h"

namespace horalog::ui {

bool TSaveDialog::Execute(HWND owner) {
  // The dialog wants the filter's parts each ended by a null, and one more at the end.
  std::string filter = Filter;
  for (char& c : filter) {
    if (c == '|') c = '\0';
  }
  filter.append(2, '\0');
  // The texts are the program's own; the file name is a path (UTF-8), and the
  // chosen one may lie in any folder.
  const std::wstring wideFilter = platform::WideFromAnsi(filter);
  const std::wstring title = platform::WideFromAnsi(Title);
  const std::wstring defaultExt = platform::WideFromAnsi(DefaultExt);

  std::vector<wchar_t> name(32768, L'\0');
  const std::wstring offered = platform::WidePath(FileName);
  offered.copy(name.data(), name.size() - 1);

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = wideFilter.c_str();
  dialog.nFilterIndex = static_cast<DWORD>(FilterIndex);
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
  dialog.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                 OFN_ENABLESIZING;
  // Modal to the whole program.
  TModalScope modal;
  BOOL chosen = GetSaveFileNameW(&dialog);
  modal.EndAfterBox(owner);
  if (!chosen) {
    DWORD error = CommDlgExtendedError();
    // The dialog's own error codes are not the system's: no system text fits them.
    if (error != 0) throw Error("The file dialog failed with code " + std::to_string(error));
    return false;
  }
  FileName = platform::Utf8FromWide(name.data(), std::wcslen(name.data()));
  FilterIndex = static_cast<int>(dialog.nFilterIndex);
  return true;
}

}  // namespace horalog::ui
