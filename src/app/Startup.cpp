#include "app/Startup.h"

#include <cstdio>

#include "ui/Application.h"

namespace horalog {

namespace {

TStartupLock* currentLock = nullptr;

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

TStartupLock::TStartupLock(const char* name, DWORD timeoutMs) {
  // Without a lock (the name taken by another kind of object) the start goes
  // on unguarded: starting matters more than the guard.
  mutex_.reset(CreateMutexA(nullptr, FALSE, name));
  if (mutex_) {
    const DWORD waited = WaitForSingleObject(mutex_.get(), timeoutMs);
    // An abandoned lock was held by a start that died: it is ours now.
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    taken_ = waited == WAIT_TIMEOUT;
  }
  if (currentLock == nullptr) currentLock = this;
}

TStartupLock::~TStartupLock() {
  Release();
  if (currentLock == this) currentLock = nullptr;
}

void TStartupLock::Release() {
  if (!held_) return;
  held_ = false;
  ReleaseMutex(mutex_.get());
}

void ReleaseStartupLock() {
  if (currentLock != nullptr) currentLock->Release();
}

int ShowStartupError(const std::string& className, const std::string& message) {
  // No other start need wait for this one any longer.
  ReleaseStartupLock();
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  char address[32] = {};
  std::snprintf(address, sizeof address, "%p", static_cast<void*>(GetModuleHandleA(nullptr)));
  // "Exception %s in module %s at %p.\r\n%s%s\r\n": the message with the error
  // box's full-stop rule.
  const std::string text = "Exception " + className + " in module " + BaseName(module) + " at " +
                           address + ".\r\n" + ui::TApplication::ErrorBoxText(message) + "\r\n";
  // A main window destroyed by the unwinding has posted the quit message; the
  // box's own loop would take it and close at once.
  MSG quit;
  while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  MessageBoxA(nullptr, text.c_str(), "Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  return 1;
}

}  // namespace horalog
