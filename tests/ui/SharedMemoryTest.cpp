// The named block against the real system: creation, sharing, lifetime.
#include "ms/SharedMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <cstring>
#include <string>

#include "app/Startup.h"
#include "data/Errors.h"

namespace horalog {
namespace {

// A name no other test or program uses, so that each case starts without a block.
std::string FreshName(const char* tag) {
  static int counter = 0;
  return "horalog-test-" + std::string(tag) + "-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++counter);
}

uint32_t ReadWord(const TSharedMemory& block) {
  uint32_t v;
  std::memcpy(&v, block.View(), sizeof v);
  return v;
}

TEST(SharedMemory, NewBlockIsZeroFilledAndSharedBetweenHolders) {
  const std::string name = FreshName("share");
  TSharedMemory first(name.c_str(), 64);
  const auto* bytes = static_cast<const unsigned char*>(first.View());
  for (int i = 0; i < 64; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;

  const uint32_t value = 0x12345678;
  std::memcpy(first.View(), &value, sizeof value);
  TSharedMemory second(name.c_str(), 64);
  EXPECT_NE(second.View(), first.View());
  EXPECT_EQ(ReadWord(second), value);

  // Writes go both ways.
  const uint32_t other = 0xCAFEF00D;
  std::memcpy(second.View(), &other, sizeof other);
  EXPECT_EQ(ReadWord(first), other);
}

TEST(SharedMemory, BlockLivesExactlyAsLongAsAHolder) {
  const std::string name = FreshName("life");
  const uint32_t value = 0x0BADBEEF;
  {
    TSharedMemory first(name.c_str(), InstanceMemorySize);
    std::memcpy(first.View(), &value, sizeof value);
    {
      TSharedMemory second(name.c_str(), InstanceMemorySize);
    }
    // One holder left: the content survives the other one's close.
    TSharedMemory third(name.c_str(), InstanceMemorySize);
    EXPECT_EQ(ReadWord(third), value);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ReadRunningWindow(name.c_str())), value);
  }
  // The last holder has gone: the object and its content are gone.
  TSharedMemory again(name.c_str(), InstanceMemorySize);
  EXPECT_EQ(ReadWord(again), 0u);
}

TEST(SharedMemory, ReadRunningWindowOfAFreshNameIsNullAndLeavesNoBlock) {
  const std::string name = FreshName("read");
  EXPECT_EQ(ReadRunningWindow(name.c_str()), nullptr);
  // The reading closed what it created.
  HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
  EXPECT_EQ(h, nullptr);
  if (h != nullptr) CloseHandle(h);
}

TEST(SharedMemory, SetNullDaclOnAnExistingMappingSucceeds) {
  const std::string name = FreshName("dacl");
  TSharedMemory block(name.c_str(), InstanceMemorySize);
  EXPECT_EQ(SetNullDacl(name.c_str()), static_cast<DWORD>(ERROR_SUCCESS));
  // The object is still usable afterwards, also by a second opener.
  TSharedMemory second(name.c_str(), InstanceMemorySize);
  EXPECT_NE(second.View(), nullptr);
}

TEST(SharedMemory, FailuresRaiseTheOSError) {
  // A name with a backslash names a namespace that does not exist.
  try {
    TSharedMemory block("NoSuchNamespace\\horalog-test", InstanceMemorySize);
    ADD_FAILURE() << "construction succeeded";
  } catch (const EOSError& e) {
    EXPECT_NE(e.Code(), 0u);
    EXPECT_EQ(std::string(e.what()).rfind("System Error.  Code: ", 0), 0u) << e.what();
  }
  // A zero size for a new paging-file block is refused by the system.
  try {
    TSharedMemory block(FreshName("zero").c_str(), 0);
    ADD_FAILURE() << "construction succeeded";
  } catch (const EOSError& e) {
    EXPECT_NE(e.Code(), 0u);
  }
}

TEST(SharedMemory, PlatformFamilyIsNT) {
  // Every system this program still runs on is of the NT family, Wine included.
  EXPECT_TRUE(IsWindowsNTFamily());
}

// ---- The start-up around the block ----------------------------------------

// A window standing for a running instance's main window, counting the
// WM_SHOWMAIN it gets.
int shownCount = 0;
LRESULT CALLBACK InstanceProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SHOWMAIN) {
    ++shownCount;
    return 0;
  }
  return DefWindowProcA(w, message, wParam, lParam);
}

TEST(SingleInstance, OnlyAWindowOfTheMainWindowsClassIsShown) {
  constexpr const char* ClassName = "HoralogTestInstance";
  WNDCLASSA wc{};
  wc.lpfnWndProc = &InstanceProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = ClassName;
  RegisterClassA(&wc);
  HWND instance = CreateWindowA(ClassName, "Horalog", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(instance, nullptr);
  shownCount = 0;
  EXPECT_TRUE(ShowRunningInstance(instance, ClassName));
  EXPECT_EQ(shownCount, 1) << "WM_SHOWMAIN is sent, and handled on return";

  // A handle reused by a window of another class, or of no window at all.
  HWND other = CreateWindowA("STATIC", "other", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  EXPECT_FALSE(ShowRunningInstance(other, ClassName));
  DestroyWindow(other);
  EXPECT_FALSE(ShowRunningInstance(other, ClassName));
  EXPECT_FALSE(ShowRunningInstance(nullptr, ClassName));
  EXPECT_FALSE(ShowRunningInstance(instance)) << "the program's class is another";
  EXPECT_EQ(shownCount, 1);
  DestroyWindow(instance);
}

TEST(StartupError, TheBoxStaysUntilClosedThoughTheQuitMessageWaits) {
  // The unwinding destroyed the main window, which posted the quit message.
  PostQuitMessage(0);
  std::string text;
  std::thread user([&] {
    HWND box = nullptr;
    const DWORD start = GetTickCount();
    while (!(box = FindWindowA("#32770", "Application Error")) && GetTickCount() - start < 10000)
      Sleep(20);
    if (!box) return;
    char buffer[512] = {};
    GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
    text = buffer[0] ? buffer : "(shown)";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(ShowStartupError("EOSError", "System Error.  Code: 5.\r\nAccess denied"), 1);
  user.join();
  ASSERT_FALSE(text.empty()) << "the box closed by itself";
  if (text != "(shown)") {
    EXPECT_EQ(text.rfind("Exception EOSError in module horalog_ui_tests.exe at ", 0), 0u) << text;
    EXPECT_NE(text.find("Access denied.\r\n"), std::string::npos) << text;
  }
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

}  // namespace
}  // namespace horalog
