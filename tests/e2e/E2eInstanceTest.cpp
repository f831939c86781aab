// Start-up and the single instance, seen from outside.
#include <cstring>
#include <vector>

#include "E2eDriver.h"

namespace horalog::e2e {
namespace {

class Instance : public ProgramTest {};

TEST_F(Instance, StartsWithTheTrayIconOnlyAndPublishesItsMainWindow) {
  Process& p = StartReady();
  ASSERT_TRUE(p.Running());
  EXPECT_NE(Tray(), nullptr);
  ASSERT_NE(Main(), nullptr);
  EXPECT_FALSE(IsWindowVisible(Main()));
  EXPECT_EQ(FindVisible(p.Pid(), nullptr), nullptr) << "a window of the program is visible";
  EXPECT_EQ(PublishedWindow(), Main());
  EXPECT_NE(Memo(), nullptr) << "no log pane";
}

TEST_F(Instance, SecondStartShowsTheFirstOneAndExitsWithZero) {
  Process& first = StartReady();
  ASSERT_FALSE(IsWindowVisible(Main()));
  const HWND main = Main();

  Process& second = Start();
  ASSERT_TRUE(second.WaitExit(15000)) << "the second start did not end";
  EXPECT_EQ(second.ExitCode(), 0u);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }))
      << "the first instance's window was not shown";
  EXPECT_TRUE(first.Running());
  // Still the one instance: the block names the first one's window.
  EXPECT_EQ(PublishedWindow(), main);
  EXPECT_TRUE(WindowsOf(second.Pid(), nullptr).empty());
}

TEST_F(Instance, SecondStartRestoresAMinimisedWindow) {
  StartReady();
  ShowMain();
  const HWND main = Main();
  ShowWindow(main, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(main) != FALSE; })) << "could not minimise";

  Process& second = Start();
  ASSERT_TRUE(second.WaitExit(15000));
  EXPECT_EQ(second.ExitCode(), 0u);
  EXPECT_TRUE(WaitUntil([&] { return !IsIconic(main) && IsWindowVisible(main); }))
      << "the minimised window was not restored";
}

TEST_F(Instance, StartAfterExitRunsAsAFirstInstance) {
  Process& first = StartReady();
  PostMessageA(Main(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(first.WaitExit(10000)) << "WM_CLOSE did not end the program";
  EXPECT_EQ(PublishedWindow(), nullptr) << "the block outlived the instance";

  processes_.clear();
  first_ = nullptr;
  Process& again = StartReady();
  EXPECT_TRUE(again.Running());
  EXPECT_NE(Main(), nullptr);
}

// Starts at the same moment (the Run key and a start by hand at log-in, a
// double click done twice) take turns: exactly one instance runs, and every
// other start shows its window and ends with 0.
TEST_F(Instance, SimultaneousStartsLeaveExactlyOneInstance) {
  constexpr size_t starts = 4;
  std::vector<Process*> started;
  for (size_t i = 0; i < starts; ++i) started.push_back(&Start());
  auto ended = [&] {
    size_t n = 0;
    for (Process* p : started) n += p->Running() ? 0 : 1;
    return n;
  };
  ASSERT_TRUE(WaitUntil([&] { return ended() >= starts - 1; }, 30000))
      << ended() << " of " << starts << " starts ended";
  Process* instance = nullptr;
  for (Process* p : started) {
    if (p->Running()) {
      EXPECT_EQ(instance, nullptr) << "a second instance runs";
      instance = p;
    } else {
      EXPECT_EQ(p->ExitCode(), 0u);
    }
  }
  ASSERT_NE(instance, nullptr) << "no instance runs";
  HWND main = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    main = FindAny(instance->Pid(), "TForm1", "Horalog");
    return main != nullptr && PublishedWindow() == main;
  })) << "the instance did not publish its window";
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }))
      << "the other starts did not show the instance's window";
}

// A first instance that does not answer (hung, or stopped in a debugger) does
// not hold a second start for ever: it still ends with 0 and shows nothing.
TEST_F(Instance, SecondStartEndsWithZeroWhenTheFirstOneDoesNotAnswer) {
  Process& first = StartReady();
  const HWND main = Main();
  ASSERT_NE(SuspendThread(first.Thread()), static_cast<DWORD>(-1));
  Process& second = Start();
  const bool ended = second.WaitExit(30000);
  ResumeThread(first.Thread());
  ASSERT_TRUE(ended) << "the second start waits on the first one";
  EXPECT_EQ(second.ExitCode(), 0u);
  EXPECT_TRUE(WindowsOf(second.Pid(), nullptr).empty());
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(PublishedWindow(), main);
}

// A block left holding the handle of a window that no longer exists (its
// instance ended while another copy still held the block) names no instance.
TEST_F(Instance, StaleHandleInTheBlockDoesNotStopAStart) {
  HWND gone = CreateWindowA("STATIC", "gone", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(gone, nullptr);
  DestroyWindow(gone);
  ASSERT_FALSE(IsWindow(gone));

  HANDLE block = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4,
                                    InstanceBlockName);
  ASSERT_NE(block, nullptr);
  void* view = MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 4);
  ASSERT_NE(view, nullptr);
  const uint32_t stale = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(gone));
  std::memcpy(view, &stale, 4);

  Process& p = Start();
  const bool started =
      WaitUntil([&] { return FindAny(p.Pid(), "TForm1", "Horalog") != nullptr; }, 15000);
  const bool published = started && WaitUntil([&] { return PublishedWindow() == Main(); });
  UnmapViewOfFile(view);
  CloseHandle(block);

  EXPECT_TRUE(started) << "the start took the stale handle for a running instance (exit code "
                       << p.ExitCode() << ")";
  EXPECT_TRUE(published);
  EXPECT_TRUE(p.Running());
}

// An error before the message loop runs reaches the last-resort handler: its
// box names the error, the module and the message, and the process ends with 1.
TEST_F(Instance, AnErrorBeforeTheMessageLoopEndsTheProcessWithOne) {
  // Another kind of object under the block's name: the single-instance check
  // cannot open the block.
  HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, InstanceBlockName);
  ASSERT_NE(squatter, nullptr);

  Process& p = Start();
  HWND box = WaitDialog("Application Error", 15000);
  const std::string text = box != nullptr ? DialogText(box) : "";
  if (box != nullptr) ClickButton(box, IDOK);
  const bool ended = p.WaitExit(10000);
  CloseHandle(squatter);

  ASSERT_NE(box, nullptr) << "no Application Error box";
  EXPECT_EQ(text.rfind("Exception EOSError in module Horalog.exe at ", 0), 0u) << text;
  EXPECT_NE(text.find(".\r\nSystem Error.  Code: 6.\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 3), ".\r\n") << text;
  ASSERT_TRUE(ended) << "the process did not end after the box";
  EXPECT_EQ(p.ExitCode(), 1u);
  EXPECT_EQ(FindAny(p.Pid(), "TForm1", "Horalog"), nullptr);
}

}  // namespace
}  // namespace horalog::e2e
