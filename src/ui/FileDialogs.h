// The system's file-save dialog.
#pragma once

#include <windows.h>

#include <string>

namespace horalog::ui {

class TSaveDialog {
 public:
  std::string Title;
  // Added to a typed name that has no extension, without its dot ("html").
  std::string DefaultExt;
  // Pairs of description and patterns, all separated by "|":
  // "HTML files (*.htm; *.html)|*.htm;*.html|All files (*.*)|*.*".
  std::string Filter;
  // The type offered before Execute and the one chosen after: the number of
  // a pair of the filter, from 1.
  int FilterIndex = 1;
  // The chosen file's full path after Execute; the name offered before.
  std::string FileName;

  // Runs the dialog; true when the user confirmed a name. An existing file
  // may be chosen: whoever writes it decides what to do with it. A dialog
  // that cannot be shown raises.
  bool Execute(HWND owner);
};

}  // namespace horalog::ui
