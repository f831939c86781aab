// What the main routine needs around the single-instance check: the start-up
// lock that makes simultaneous starts take turns, and the last-resort error
// box for an error that escapes before the message loop runs.
#pragma once

#include <windows.h>

#include <string>

#include "win32/Handles.h"

namespace horalog {

// The lock's name; it lives beside the instance block.
inline constexpr const char* StartupLockName = "zirovevid.start";
// How long a start waits for another start to publish its main window.
constexpr DWORD StartupLockTimeoutMs = 30000;

// Held by one starting process at a time, from before its look at the
// instance block until its main window has been published there, so that two
// starts at once cannot both find the block empty. A start that finds the lock
// taken waits for it, at most timeoutMs; one that still finds it taken then
// (another start hung before publishing its window) does not run beside it.
// One lock is the process's current one; ReleaseStartupLock releases it early.
class TStartupLock {
 public:
  explicit TStartupLock(const char* name = StartupLockName,
                        DWORD timeoutMs = StartupLockTimeoutMs);
  ~TStartupLock();
  TStartupLock(const TStartupLock&) = delete;
  TStartupLock& operator=(const TStartupLock&) = delete;

  bool Held() const { return held_; }
  // Another start held the lock for the whole wait.
  bool TakenByAnother() const { return taken_; }
  void Release();

 private:
  win32::UniqueKernelHandle mutex_;
  bool held_ = false;
  bool taken_ = false;
};

// Releases the current start-up lock of this process, if one is held: the
// main window calls it once it has published its handle.
void ReleaseStartupLock();

// The last-resort handler: the box "Application Error" with the error's class,
// the module and the message; it stays until the user closes it, also when the
// unwinding has already posted the quit message. Returns the exit code, 1.
int ShowStartupError(const std::string& className, const std::string& message);

}  // namespace horalog
