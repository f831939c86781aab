#include "ui/Action.h"

#include <commctrl.h>

namespace horalog::ui {

std::string ShortCutText(TShortCut shortCut) {
  if (shortCut.key == 0) return {};
  std::string text;
  if (shortCut.modifiers & FCONTROL) text += "Ctrl+";
  if (shortCut.modifiers & FSHIFT) text += "Shift+";
  if (shortCut.modifiers & FALT) text += "Alt+";
  WORD key = shortCut.key;
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) {
    text += static_cast<char>(key);
  } else if (key >= VK_F1 && key <= VK_F24) {
    // Appended in two steps here and below: GCC 12 reports a false overlap
    // (-Wrestrict) in a literal + std::string.
    text += 'F';
    text += std::to_string(key - VK_F1 + 1);
  } else {
    static const struct {
      WORD key;
      const char* name;
    } names[] = {{VK_DELETE, "Del"},  {VK_INSERT, "Ins"}, {VK_RETURN, "Enter"},
                 {VK_ESCAPE, "Esc"},  {VK_SPACE, "Space"}, {VK_BACK, "BkSp"},
                 {VK_TAB, "Tab"},     {VK_HOME, "Home"},  {VK_END, "End"},
                 {VK_PRIOR, "PgUp"},  {VK_NEXT, "PgDn"},  {VK_LEFT, "Left"},
                 {VK_RIGHT, "Right"}, {VK_UP, "Up"},      {VK_DOWN, "Down"}};
    bool found = false;
    for (const auto& entry : names) {
      if (entry.key == key) {
        text += entry.name;
        found = true;
        break;
      }
    }
    if (!found) {
      text += '#';
      text += std::to_string(key);
    }
  }
  return text;
}

TAction::TAction(UINT id, std::string caption, std::string hint, int imageIndex,
                 std::function<void()> onExecute)
    : Id(id),
      Caption(std::move(caption)),
      Hint(std::move(hint)),
      ImageIndex(imageIndex),
      OnExecute(std::move(onExecute)) {}

void TAction::SetEnabled(bool enabled) {
  enabled_ = enabled;
  for (HMENU menu : menus_) {
    if (IsMenu(menu)) EnableMenuItem(menu, Id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  }
  for (HWND toolbar : toolbars_) {
    if (IsWindow(toolbar)) SendMessageA(toolbar, TB_ENABLEBUTTON, Id, MAKELONG(enabled, 0));
  }
}

bool TAction::Execute() {
  if (!enabled_) return false;
  if (OnExecute) OnExecute();
  return true;
}

std::string TAction::MenuText() const {
  std::string keys = ShortCutText(ShortCut);
  return keys.empty() ? Caption : Caption + "\t" + keys;
}

void TAction::LinkMenu(HMENU menu) { menus_.push_back(menu); }
void TAction::LinkToolBar(HWND toolbar) { toolbars_.push_back(toolbar); }

TAction& TActionList::Add(std::string caption, std::string hint, int imageIndex,
                          std::function<void()> onExecute) {
  UINT id = FirstId + static_cast<UINT>(actions_.size());
  actions_.push_back(std::make_unique<TAction>(id, std::move(caption), std::move(hint),
                                               imageIndex, std::move(onExecute)));
  return *actions_.back();
}

TAction* TActionList::Find(UINT id) const {
  if (id < FirstId || id - FirstId >= actions_.size()) return nullptr;
  return actions_[id - FirstId].get();
}

win32::UniqueAccel TActionList::BuildAccelerators() const {
  std::vector<ACCEL> table;
  for (const auto& action : actions_) {
    if (action->ShortCut.key == 0) continue;
    ACCEL entry{};
    entry.fVirt = static_cast<BYTE>(FVIRTKEY | action->ShortCut.modifiers);
    entry.key = action->ShortCut.key;
    entry.cmd = static_cast<WORD>(action->Id);
    table.push_back(entry);
  }
  if (table.empty()) return win32::UniqueAccel();
  return win32::UniqueAccel(CreateAcceleratorTableA(table.data(), static_cast<int>(table.size())));
}

}  // namespace horalog::ui
