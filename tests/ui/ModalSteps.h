// Steps run one after another from inside a modal loop, and a fixture for
// dialogs made without an owner.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <vector>

#include "UiTestSupport.h"
#include "ui/Application.h"

namespace horalog::test {

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

// A test of dialogs without an owner. Such a dialog is the main form: its
// end leaves a quit message, dropped here.
class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::Application().Initialize();
    DrainQuit();
  }
  void TearDown() override { DrainQuit(); }
};

}  // namespace horalog::test
