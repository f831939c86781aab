// Every window and box of the program, opened and closed once by keyboard and
// buttons as a user would: the rounds of the leak test and of the figures.
#pragma once

#include <functional>
#include <vector>

#include "E2eDriver.h"
#include "ProcessCounters.h"

namespace horalog::e2e {

class WindowRounds : public ProgramTest {
 protected:
  struct Round {
    const char* name;
    std::function<void()> run;
  };
  // The rounds start and end with the main window shown.
  std::vector<Round> Rounds();

  // Runs a command of the menu bar and waits for its window or box.
  HWND Command(const char* menu, const char* item, const char* className, const char* caption,
               DWORD timeoutMs = 10000);
  // Closes a window by its button, or by Esc with id 0, and waits until it is gone or hidden.
  void Close(HWND window, int button);
  // Posts a key press to the window's focused control (no input for the detector).
  void Key(HWND window, WPARAM key);
  // Report with the dates dialog's own dates (today): the report window.
  HWND ReportForToday();
  // Opens the tray icon's popup menu.
  HWND TrayMenu();
  // The first process's counters once it is idle: the smallest handle count of
  // a few samples, so that a file open for one tick's append does not count.
  ProcessCounters Settled();
};

}  // namespace horalog::e2e
