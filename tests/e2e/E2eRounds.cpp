#include "E2eDriver.h"

#include <algorithm>

namespace horalog::e2e {

std::vector<WindowRounds::Round> WindowRounds::Rounds() {
  return {
      {"main window hidden and shown",
       [this] {
         PostMessageA(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
         EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(Main()); }));
         ShowMain();
       }},
      {"tray menu", [this] { DismissPopupMenu(TrayMenu()); }},
      {"Exit answered No", [this] { Close(Command("&File", "&Exit", "#32770", "Confirm"), IDNO); }},
      {"Compact answered No",
       [this] { Close(Command("&Tools", "&Compact", "#32770", "Confirm"), IDNO); }},
      {"Options closed by Esc",
       [this] { Close(Command("&Tools", "&Options", "TOptionsDlg", "Options"), 0); }},
      {"About closed by OK", [this] { Close(Command("&Help", "&About", "TAboutDlg", "About"), IDOK); }},
      {"Report for today, closed by Esc", [this] { Close(ReportForToday(), 0); }},
      {"View closed by Esc",
       [this] { Close(Command("&Tools", "&View", "TDBViewDlg", "View Horalog Database"), 0); }},
  };
}

HWND WindowRounds::ReportForToday() {
  HWND dates = Command("&Tools", "&Report", "TStartEndDatesDlg", "Select Start and End Dates");
  if (dates == nullptr) return nullptr;
  EXPECT_TRUE(ClickButton(dates, IDOK));
  HWND report = nullptr;
  EXPECT_TRUE(WaitUntil(
      [&] { return (report = FindVisible(First().Pid(), "TReportDlg", "Report")) != nullptr; }, 15000))
      << "no report window";
  return report;
}

HWND WindowRounds::TrayMenu() {
  PostMessageA(Tray(), WmTrayNotify, TrayIconId, WM_RBUTTONDOWN);
  HWND menu = WaitPopupMenu();
  EXPECT_NE(menu, nullptr) << "no tray menu";
  return menu;
}

HWND WindowRounds::Command(const char* menu, const char* item, const char* className,
                           const char* caption, DWORD timeoutMs) {
  ChooseMenuItem(menu, item);
  HWND window = nullptr;
  WaitUntil([&] { return (window = FindVisible(First().Pid(), className, caption)) != nullptr; },
            timeoutMs);
  EXPECT_NE(window, nullptr) << "no window \"" << caption << "\" after " << item;
  return window;
}

void WindowRounds::Close(HWND window, int button) {
  if (window == nullptr) return;
  if (button != 0) {
    EXPECT_TRUE(ClickButton(window, button)) << "no button " << button;
  } else {
    Key(window, VK_ESCAPE);
  }
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }))
      << "the window did not close";
}

void WindowRounds::Key(HWND window, WPARAM key) {
  // As the window's keyboard handling gets it: at its focused control.
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  HWND focus = window;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui) && gui.hwndFocus != nullptr &&
      (gui.hwndFocus == window || IsChild(window, gui.hwndFocus)))
    focus = gui.hwndFocus;
  PostMessageA(focus, WM_KEYDOWN, key, 0);
  PostMessageA(focus, WM_KEYUP, key, 0xC0000000);
}

ProcessCounters WindowRounds::Settled() {
  WaitForInputIdle(First().Handle(), 5000);
  ProcessCounters least = CountersOf(First().Handle(), First().Pid());
  for (int i = 0; i < 3; ++i) {
    Sleep(200);
    const ProcessCounters c = CountersOf(First().Handle(), First().Pid());
    if (c.kernelHandles < least.kernelHandles) least.kernelHandles = c.kernelHandles;
    least.windows = std::min(least.windows, c.windows);
  }
  return least;
}

}  // namespace horalog::e2e
