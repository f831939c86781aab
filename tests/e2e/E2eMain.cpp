// horalog_e2e [GoogleTest flags] <path of Horalog.exe>
//   runs the end-to-end tests against that program;
// horalog_e2e --tour <step> [argument]
//   does one step of a guided tour of a running instance, for screenshots:
//   wait, tip (prints the tip of its icon), show, menu <letter>, item <letter>,
//   key <ins|del|esc|enter|ctrlenter|tab|virtual-key code>, tray, esc, close.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "E2eDriver.h"

namespace {

using namespace horalog::e2e;

HWND RunningMain() { return FindWindowA("TForm1", "Horalog"); }

DWORD PidOf(HWND w) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  return pid;
}

int Tour(const std::string& step, const char* argument) {
  if (step == "wait") return WaitUntil([] { return RunningMain() != nullptr; }, 15000) ? 0 : 1;
  if (step == "tip") {
    // The tip of the running instance's icon, once it has its hours.
    std::string tip;
    WaitUntil([&tip] { return !(tip = TrayTip()).empty(); }, 15000);
    std::fputs(tip.c_str(), stdout);
    return tip.empty() ? 1 : 0;
  }
  HWND main = RunningMain();
  if (main == nullptr) {
    std::fprintf(stderr, "no running instance\n");
    return 1;
  }
  const DWORD pid = PidOf(main);
  if (step == "show") {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(main, WmShowMain, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
  } else if (step == "menu" && argument != nullptr) {
    PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, argument[0]);
    WaitUntil([&] { return FindVisible(pid, "#32768") != nullptr; });
  } else if (step == "item" && argument != nullptr) {
    // An item of the open menu, by its letter.
    if (HWND menu = FindVisible(pid, "#32768")) PostMessageA(menu, WM_CHAR, argument[0], 0);
    Sleep(500);
  } else if (step == "key" && argument != nullptr) {
    // A key as the foreground window gets it, by its name or its virtual-key code.
    const std::string name = argument;
    const bool control = name == "ctrlenter";
    const WORD key = name == "ins"     ? VK_INSERT
                     : name == "del"   ? VK_DELETE
                     : name == "esc"   ? VK_ESCAPE
                     : name == "tab"   ? VK_TAB
                     : name == "enter" || control ? VK_RETURN
                                       : static_cast<WORD>(std::atoi(argument));
    if (control) keybd_event(VK_CONTROL, 0, 0, 0);
    keybd_event(static_cast<BYTE>(key), 0, 0, 0);
    keybd_event(static_cast<BYTE>(key), 0, KEYEVENTF_KEYUP, 0);
    if (control) keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
    Sleep(500);
  } else if (step == "tray") {
    PostMessageA(FindAny(pid, "TmsTrayIcon"), WmTrayNotify, TrayIconId, WM_RBUTTONDOWN);
    WaitUntil([&] { return FindVisible(pid, "#32768") != nullptr; });
  } else if (step == "esc") {
    // A drop-down of the menu bar needs two: one closes it, one leaves the bar.
    for (int i = 0; i < 2; ++i) {
      if (HWND menu = FindVisible(pid, "#32768")) PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
      else PostMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
      Sleep(200);
    }
  } else if (step == "close") {
    PostMessageA(main, WM_CLOSE, 0, 0);
  } else {
    std::fprintf(stderr, "unknown step %s\n", step.c_str());
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--tour") == 0)
    return Tour(argv[2], argc >= 4 ? argv[3] : nullptr);
  testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: horalog_e2e [gtest flags] <path of Horalog.exe>\n");
    return 2;
  }
  ProgramPath() = WindowsPathFromArgument(argv[1]);
  return RUN_ALL_TESTS();
}
