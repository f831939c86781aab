// The support of the window tests: timers and steps that act while a modal
// loop runs, finding the system's dialogs, and draining the quit message that
// a destroyed main window leaves behind; the core's support beneath.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "../unit/TestSupport.h"
#include "ui/Application.h"

namespace horalog::test {

// Runs action once, from the message loop that runs after `ms` milliseconds
// (a thread timer: a modal loop dispatches it too).
inline void After(UINT ms, std::function<void()> action) {
  static std::map<UINT_PTR, std::function<void()>> pending;
  struct Proc {
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
      KillTimer(nullptr, id);
      auto found = pending.find(id);
      if (found == pending.end()) return;
      auto run = std::move(found->second);
      pending.erase(found);
      run();
    }
  };
  UINT_PTR id = SetTimer(nullptr, 0, ms, &Proc::Fire);
  pending[id] = std::move(action);
}

// Runs the steps in order, `ms` apart, from the loop that runs then (a modal
// loop dispatches them too). A step may post input that the next one checks.
inline void Steps(std::vector<std::function<void()>> steps, UINT ms = 150) {
  if (steps.empty()) return;
  std::function<void()> first = std::move(steps.front());
  steps.erase(steps.begin());
  After(ms, [first, rest = std::move(steps), ms] {
    first();
    Steps(rest, ms);
  });
}

// Pumps messages for about `ms` milliseconds.
inline void Pump(DWORD ms) {
  DWORD until = GetTickCount() + ms;
  MSG msg;
  while (static_cast<LONG>(until - GetTickCount()) > 0) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      ui::Application().DispatchOne(msg);
    }
    Sleep(5);
  }
}

// Pumps messages until cond holds or timeoutMs has passed; whether it holds.
inline bool PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs = 5000) {
  const DWORD start = GetTickCount();
  MSG msg;
  for (;;) {
    if (cond()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      ui::Application().DispatchOne(msg);
    }
    Sleep(5);
  }
}

// Removes a WM_QUIT left in this thread's queue; true when there was one.
inline bool DrainQuit() {
  MSG msg;
  bool found = false;
  while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) found = true;
  return found;
}

inline HWND FindDialog(const char* title) { return FindWindowA("#32770", title); }

inline std::string WindowText(HWND window) {
  if (!window) return {};
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

inline std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

// Sends a key to the dialog's focused control through the dialog's own loop.
inline void PressKey(HWND dialog, WPARAM key) {
  HWND focus = GetFocus();
  if (!focus || (focus != dialog && !IsChild(dialog, focus))) focus = dialog;
  PostMessageA(focus, WM_KEYDOWN, key, 0);
  PostMessageA(focus, WM_KEYUP, key, 0xC0000000);
}

// Swallows the error boxes of the application for one scope, recording their texts.
class CaptureErrors {
 public:
  CaptureErrors() {
    ui::Application().OnShowException = [this](const std::string& text) { texts.push_back(text); };
  }
  ~CaptureErrors() { ui::Application().OnShowException = nullptr; }
  std::vector<std::string> texts;
};

// A test of windows made without an owner. Such a window is the main form:
// its end leaves a quit message, dropped here.
class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::Application().Initialize();
    DrainQuit();
  }
  void TearDown() override { DrainQuit(); }
};

}  // namespace horalog::test
