// Commands as objects: one action carries a caption, a hint "short|long", a
// shortcut, an image index and the enabled state, and feeds the menu items,
// toolbar buttons and popup items made from it and the accelerator table.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win32/Handles.h"

namespace horalog::ui {

struct TShortCut {
  BYTE modifiers = 0;  // FCONTROL, FSHIFT, FALT
  WORD key = 0;        // a virtual-key code; 0 for none
};

// "Ctrl+Shift+F5" and the like; empty for no shortcut.
std::string ShortCutText(TShortCut shortCut);

class TAction {
 public:
  TAction(UINT id, std::string caption, std::string hint, int imageIndex,
          std::function<void()> onExecute);

  const UINT Id;
  std::string Caption;
  std::string Hint;
  int ImageIndex;
  TShortCut ShortCut;
  std::function<void()> OnExecute;

  bool Enabled() const { return enabled_; }
  // Updates every menu item and toolbar button made from the action.
  void SetEnabled(bool enabled);
  // Runs OnExecute when the action is enabled; false otherwise.
  bool Execute();

  // The text of a menu item: the caption and, after a tab, the shortcut.
  std::string MenuText() const;

  void LinkMenu(HMENU menu);
  void LinkToolBar(HWND toolbar);

 private:
  bool enabled_ = true;
  std::vector<HMENU> menus_;
  std::vector<HWND> toolbars_;
};

class TActionList {
 public:
  // The first action gets the id FirstId, the next one FirstId + 1, ...
  static constexpr UINT FirstId = 100;

  TAction& Add(std::string caption, std::string hint, int imageIndex,
               std::function<void()> onExecute);
  TAction* Find(UINT id) const;
  const std::vector<std::unique_ptr<TAction>>& Items() const { return actions_; }

  // The accelerator table of the actions with a shortcut; null when none has one.
  win32::UniqueAccel BuildAccelerators() const;

 private:
  std::vector<std::unique_ptr<TAction>> actions_;
};

}  // namespace horalog::ui
