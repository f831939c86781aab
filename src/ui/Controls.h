// Thin wrappers of the native controls used by the program's windows. Child
// controls are destroyed with their parent window; the wrappers own the
// menus, image lists, bitmaps and fonts they make.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "ui/Action.h"
#include "ui/Component.h"
#include "win32/Handles.h"

namespace horalog::ui {

// A list of same-size pictures, loaded from a bitmap strip whose colour of
// the top-left pixel is transparent.
class TImageList {
 public:
  TImageList() = default;
  // Loads the strip resource; the pictures are size x size pixels.
  void LoadStrip(const char* resourceName, int size);
  HIMAGELIST Handle() const { return list_.get(); }
  int Count() const;
  // A picture as a bitmap on the menu colour, for menu items; owned by the list.
  HBITMAP MenuBitmap(int index);

 private:
  win32::UniqueImageList list_;
  int size_ = 16;
  std::vector<win32::UniqueBitmap> menuBitmaps_;
};

// Menu items made from actions.
void AppendActionItem(HMENU menu, TAction& action, TImageList* images);
void AppendSeparator(HMENU menu);

// A window's menu bar: top-level drop-down menus of action items.
class TMainMenu {
 public:
  TMainMenu();
  HMENU Handle() const { return bar_.get(); }
  // Adds a drop-down menu with the caption and returns it (owned by the bar).
  HMENU AddSubMenu(const std::string& caption);
  // Gives up ownership: a menu attached to a window is destroyed with it.
  HMENU Release() { return bar_.release(); }

 private:
  win32::UniqueMenu bar_;
};

// A popup menu of action items, one of which may be the default item (bold).
class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* owner, TImageList* images = nullptr);

  struct TItem {
    TAction* action = nullptr;  // null for a separator
    bool Default = false;
  };
  void AddItem(TAction& action, bool isDefault = false);
  void AddSeparator();
  const std::vector<TItem>& Items() const { return items_; }
  HMENU Handle() const { return menu_.get(); }

  // Shows the menu at a screen point on behalf of the owner window and runs
  // the chosen item. The owner is made the foreground window first and gets a
  // null message after, so that the menu closes when the user clicks elsewhere.
  void Popup(int x, int y, HWND owner);
  // Runs the item's action as if the user had chosen the item.
  void Click(size_t index);

 private:
  win32::UniqueMenu menu_;
  TImageList* images_;
  std::vector<TItem> items_;
};

// A child control: a window handle that lives as long as its parent.
//
// The parent window hands each WM_COMMAND and WM_NOTIFY a child sends to the
// child's wrapper (TWindow looks it up from the child's handle), so a control
// handles its own notifications; what no wrapper takes goes on to the
// parent's default handling.
class TControl {
 public:
  TControl() = default;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;
  virtual ~TControl();

  HWND Handle() const { return handle_; }
  std::string Text() const;
  void SetText(const std::string& text);
  void SetBounds(int x, int y, int width, int height);

  // The wrapper of a child window, or null for a window no wrapper attached
  // and for a window of another thread.
  static TControl* FromHandle(HWND window);

  // A WM_COMMAND notification of this control; true when handled.
  virtual bool Command(WORD /*id*/, WORD /*code*/) { return false; }
  // A WM_NOTIFY of this control; true when handled, with the result to return.
  virtual bool Notify(const NMHDR& /*header*/, LRESULT& /*result*/) { return false; }

 protected:
  // Takes the new window as this wrapper's, so that its notifications come here.
  void Attach(HWND window);
  // Lets the notifications of another window (a control's own tooltip) come here too.
  void AttachAlso(HWND window);

  HWND handle_ = nullptr;

 private:
  HWND also_ = nullptr;
};

// A toolbar's buttons run their actions, and their hints and tooltips are the actions' too.
class TToolBar : public TControl {
 public:
  // A flat toolbar at the top of the parent with tooltips; with captions,
  // they stand right of the pictures, else the buttons show pictures only.
  void Create(HWND parent, TImageList* images, bool captions = true);
  void AddButton(TAction& action);
  void AddSeparator();
  void AutoSize();
  int Height() const;

  bool Command(WORD id, WORD code) override;
  bool Notify(const NMHDR& header, LRESULT& result) override;

 private:
  TAction* Find(UINT id) const;
  std::vector<std::string> texts_;
  std::vector<TAction*> actions_;  // not owned
  std::string tipBuffer_;
  bool captions_ = true;
};

class TStatusBar : public TControl {
 public:
  // A status line of one panel at the bottom of the parent.
  void Create(HWND parent);
  void SetPanelText(const std::string& text);
  std::string PanelText() const;
  void AutoSize();
  int Height() const;
};

// A multi-line plain-text edit.
class TMemo : public TControl {
 public:
  void Create(HWND parent, int id, const char* fontName, int pointSize);
  // Appends text as a new last line.
  void AppendLine(const std::string& text);

 private:
  win32::UniqueFont font_;
};

// "Toolbar on top, the rest below": sizes the bars to their contents and
// gives the part of the window's client area between them (never of
// negative height), for the control that fills the window.
RECT AreaBetweenBars(HWND window, TToolBar& toolBar, TStatusBar* statusBar = nullptr);

}  // namespace horalog::ui
