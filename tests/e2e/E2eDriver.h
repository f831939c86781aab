// The end-to-end driver: starts copies of Horalog.exe in scratch folders and
// drives them from outside, as a user (or the shell) would, through windows,
// messages, the pointer and the files the program writes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../ScratchDir.h"
#include "ProcessCounters.h"

namespace horalog::e2e {

// The program under test, as a Windows path. Set by main from its argument.
std::string& ProgramPath();
// "/a/b/c.exe" -> "Z:\a\b\c.exe" (Wine maps the Unix root to drive Z:); a path
// that already names a drive is kept.
std::string WindowsPathFromArgument(const std::string& argument);

// Paths here are UTF-8 text, so that a folder whose name the ANSI code page
// cannot hold can be named; the driver's file calls are the wide ones.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
// The whole file (empty when missing), and a file written whole.
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);

// Polls cond every 50 ms until it holds or timeoutMs has passed.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = 5000);

// Messages and numbers of the program's external interface.
constexpr UINT WmShowMain = WM_USER + 18;
constexpr UINT WmTrayNotify = WM_USER + 200;
constexpr WPARAM TrayIconId = 5;
constexpr const char* InstanceBlockName = "zirovevid";
// Where Windows records which programs use the microphone and the camera
// (under HKEY_CURRENT_USER); a scratch prefix has none until a test plants it.
constexpr const wchar_t* ConsentStoreKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore";
// For the life of a test: keys planted under the consent store, which goes
// again at the end unless it was there before.
class PlantedConsentStore {
 public:
  PlantedConsentStore();
  ~PlantedConsentStore();
  PlantedConsentStore(const PlantedConsentStore&) = delete;
  PlantedConsentStore& operator=(const PlantedConsentStore&) = delete;
  // The key at path below the store, made when missing; its values set when
  // given: the FILETIMEs of the last use's start and stop.
  void Plant(const std::wstring& path, ULONGLONG start = 0, ULONGLONG stop = 0);

 private:
  bool wasThere_ = false;
};

// hl.dat holds 141-byte records: the status (4 bytes), the action (1), the
// time at byte 5, unaligned (8), then Reserved bytes kept as they are.
constexpr size_t RecordSize = 141;
struct Record {
  int32_t status;
  uint8_t action;
  double time;
};
// One record as the file holds it, its Reserved bytes a pattern drawn from seed.
std::string RecordBytes(int32_t status, uint8_t action, double time, unsigned seed = 0);
// The file's whole records, as they are and read.
std::vector<std::string> RawRecords(const std::string& path);
Record ReadRecord(const std::string& raw);
std::vector<Record> ReadRecords(const std::string& path);
int64_t FileSize(const std::string& path);  // -1 when missing

// Now, local time, as days since 30 December 1899.
double NowAsDateTime();

// The tip of the program's icon in the notification area, as the shell's
// tooltip for it holds it (read from the shell's process); empty when no
// icon's tip begins with beginning.
std::string TrayTip(const std::string& beginning = "Horalog");
// The Unix path that a Windows path names under Wine; empty when none.
std::string UnixPath(const std::string& windowsPath);

// The handle published in the instance block, or nullptr when no block exists
// or it holds 0. Opens the block only when it exists, and closes it at once.
HWND PublishedWindow();

// Top-level windows (hidden ones included, and message-only windows) of a process.
std::vector<HWND> WindowsOf(DWORD pid, const char* className, const char* caption = nullptr);
HWND FindVisible(DWORD pid, const char* className, const char* caption = nullptr);
HWND FindAny(DWORD pid, const char* className, const char* caption = nullptr);
// The first child (at any depth) of the given class, compared regardless of case.
HWND FindChild(HWND parent, const char* className);

// WM_GETTEXT across processes.
std::string WindowText(HWND w);
// The same through the wide message, as UTF-8: texts beyond the ANSI code page.
std::string WindowTextUtf8(HWND w);
// The texts of a dialog's static controls, joined by "\n".
std::string DialogText(HWND dialog);
// Clicks a dialog's button by id (BM_CLICK, posted).
bool ClickButton(HWND dialog, int id);
// Presses the keys together and lets them go, as the foreground window gets
// them. The key bits they leave behind are read off again, so that the
// program's next ticks do not take them for activity.
void PressKeys(std::initializer_list<WORD> keys);

using test::ScratchDir;

// One started process. A process still running when its owner goes away is
// terminated, so the next test starts clean.
class Process {
 public:
  Process(const std::string& exe, const std::string& workDir);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  DWORD Pid() const { return info_.dwProcessId; }
  HANDLE Handle() const { return info_.hProcess; }
  HANDLE Thread() const { return info_.hThread; }  // its first thread, the program's UI thread
  bool Running() const;
  bool WaitExit(DWORD timeoutMs);
  DWORD ExitCode() const;
  void Terminate();

 private:
  PROCESS_INFORMATION info_{};
};

// A test with one scratch copy of the program.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void WriteIni(const std::string& content);
  // Starts a copy, waits until its main window and tray window exist and its
  // message loop is idle. Returns the process (owned by the test).
  Process& Start();
  // Starts a copy and waits until it has published its main window too.
  Process& StartReady();

  HWND Main() const { return FindAny(first_->Pid(), "TForm1", "Horalog"); }
  HWND Tray() const { return FindAny(first_->Pid(), "TmsTrayIcon"); }
  HWND Memo() const { return FindChild(Main(), "Edit"); }
  std::string Log() const { return WindowText(Memo()); }
  std::string DataFile() const { return dir_->Path("hl.dat"); }
  Process& First() { return *first_; }

  // Shows the main window as a second start would, and waits until it is visible.
  void ShowMain();
  // Waits for a visible dialog of the first process with the given caption.
  HWND WaitDialog(const char* caption, DWORD timeoutMs = 5000);
  HWND WaitPopupMenu(DWORD timeoutMs = 5000);
  // Closes a popup menu with Esc.
  void DismissPopupMenu(HWND menu);
  // Runs a command of the menu bar, found by the captions of its menu and item.
  // Under Wine it walks the menu by keyboard, and walks again when the menu
  // closed before its item was chosen.
  void ChooseMenuItem(const char* menuCaption, const char* itemCaption);
  // No menu of the first process is open (neither tracked nor shown).
  bool MenuClosed() const;
  // Closes whatever menu of the first process is open with Esc.
  void LeaveMenu();

  // Puts the pointer at a screen position; a change is input for the next tick.
  static void MoveCursor(int x, int y);

  // Added to the scratch folder's name when set before SetUp (UTF-8).
  std::string folderLeaf_;
  std::unique_ptr<ScratchDir> dir_;
  std::string exe_;
  std::vector<std::unique_ptr<Process>> processes_;
  Process* first_ = nullptr;
};

// Every window and box of the program, opened and closed once by keyboard and
// buttons as a user would: the rounds of the leak test and of the figures.
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
