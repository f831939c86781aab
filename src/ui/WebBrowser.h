// A view of a local HTML file: the system's WebBrowser control, embedded in
// place by a small OLE container of our own (client site, in-place site and
// frame). Where the control cannot be made or cannot show the page, the view
// shows a note in its place instead: a short text, the file's path and a
// button that opens the file with the system's handler for its kind.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <oleidl.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "ui/Application.h"
#include "ui/Window.h"
#include "win32/Handles.h"

namespace horalog::ui {

class TWebBrowser : public TWindow, private TMessageFilter {
 public:
  static constexpr const char* ClassName = "THoralogWebBrowser";
  // Ids of the note's controls, clear of the ids of commands and dialog buttons.
  static constexpr int OpenButtonId = 0x7F01;
  static constexpr int NoteId = 0x7F02;

  TWebBrowser();
  ~TWebBrowser() override;

  // The first line of the note shown in place of a page that cannot be shown.
  std::string NoteText = "This page cannot be shown here.";

  // Makes the view as a child of the parent and tries to embed the control.
  void Create(HWND parent);
  void SetBounds(int x, int y, int width, int height);

  // Shows the file: in the control when it has a page engine to show it
  // with, otherwise in the note.
  void Navigate(const std::string& path);
  // Opens the file with the system's handler for it (the note's button).
  void OpenInBrowser();

  // The control is embedded and active in place.
  bool Embedded() const { return static_cast<bool>(inPlace_); }
  // The note is shown instead of a page.
  bool ShowsNote() const { return showsNote_; }
  const std::string& Path() const { return path_; }
  // Where the control says it is, as it reports it ("" without the control).
  std::string LocationURL() const;
  // Why the note is shown (for the record of what the control reported).
  const std::string& NoteReason() const { return noteReason_; }

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  class Site;

  void Embed();
  void Unembed();
  static HRESULT PageEngineState();
  void ShowNote(const std::string& reason);
  std::string NoteLines() const;
  void LayOut();
  bool FilterMessage(MSG& msg) override;

  std::unique_ptr<Site> site_;
  Microsoft::WRL::ComPtr<IOleObject> object_;
  Microsoft::WRL::ComPtr<IOleInPlaceObject> inPlace_;
  Microsoft::WRL::ComPtr<IOleInPlaceActiveObject> active_;
  Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
  HWND note_ = nullptr;
  HWND openButton_ = nullptr;
  bool showsNote_ = false;
  std::string path_;
  std::string noteReason_;

  friend class Site;
};

}  // namespace horalog::ui
