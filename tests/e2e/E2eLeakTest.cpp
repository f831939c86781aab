// A long run in little: every window and box opened and closed many times
// gives back what it took. Kernel handles (from the system's handle table) and
// windows are checked everywhere; the GDI and USER object counts only where
// the system keeps them (Wine 8 gives 0 for both).
#include <gmock/gmock.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "E2eDriver.h"

namespace horalog::e2e {
namespace {

// Under Wine on an X server without a window manager, each hide of a window
// waits 2 s for a state that never comes, so a round of every window takes
// seconds: make test runs a few rounds, `make bench` the full fifty.
int Repeats() {
  char text[16] = {};
  const DWORD length = GetEnvironmentVariableA("HORALOG_LEAK_ROUNDS", text, sizeof text);
  return length > 0 && length < sizeof text ? std::atoi(text) : 5;
}
constexpr long HandleMargin = 4;  // handles the system may open or cache on its own
constexpr DWORD GuiMargin = 8;

class Leak : public WindowRounds {};

TEST_F(Leak, EveryWindowOpenedAndClosedManyTimesGivesBackItsHandlesAndWindows) {
  StartReady();
  ShowMain();
  // The first opening of each fills the system's caches (classes, fonts, themes).
  for (const Round& round : Rounds()) round.run();
  const ProcessCounters before = Settled();
  ASSERT_GE(before.kernelHandles, 0) << "the system's handle table cannot be read";

  const auto rounds = Rounds();
  std::vector<ULONGLONG> spent(rounds.size());
  const int repeats = Repeats();
  for (int i = 0; i < repeats && !HasFailure(); ++i)
    for (size_t r = 0; r < rounds.size(); ++r) {
      SCOPED_TRACE(rounds[r].name);
      const ULONGLONG start = GetTickCount64();
      rounds[r].run();
      spent[r] += GetTickCount64() - start;
    }
  const ProcessCounters after = Settled();
  for (size_t r = 0; r < rounds.size(); ++r)
    std::printf("[ figures  ] %s: %.2f s a round\n", rounds[r].name, spent[r] / 1000.0 / repeats);
  std::printf("[ figures  ] %d rounds: kernel handles %ld -> %ld, "
              "windows %ld -> %ld, GDI %lu -> %lu, USER %lu -> %lu, working set %.1f -> %.1f MB\n",
              repeats,
              before.kernelHandles, after.kernelHandles, before.windows, after.windows,
              before.gdiObjects, after.gdiObjects, before.userObjects, after.userObjects,
              Megabytes(before.workingSet), Megabytes(after.workingSet));

  EXPECT_LE(after.kernelHandles, before.kernelHandles + HandleMargin);
  EXPECT_EQ(after.windows, before.windows);
  if (before.gdiObjects != 0) {
    EXPECT_LE(after.gdiObjects, before.gdiObjects + GuiMargin);
  }
  if (before.userObjects != 0) {
    EXPECT_LE(after.userObjects, before.userObjects + GuiMargin);
  }
  EXPECT_TRUE(First().Running());
}

}  // namespace
}  // namespace horalog::e2e
