// TmsTrayIcon: keeps one icon in the shell's notification area for as long
// as it exists, turns mouse actions on the icon into menu actions, keeps the
// main window from showing at start and makes its owner window hide instead
// of closing or minimising.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ui/Component.h"
#include "ui/Controls.h"
#include "win32/Handles.h"

namespace horalog {

class TmsTrayIcon : public ui::TComponent {
 public:
  // The shell knows the icon by its window and this id, as the design fixes it.
  static constexpr UINT IconId = 5;
  // The icon's callback message, as the design fixes it.
  static constexpr UINT WM_TRAYNOTIFY = WM_USER + 200;
  static constexpr size_t TipLimit = 63;  // characters the shell's tip field holds
  // The hidden notify window's class name, as the design fixes it.
  static constexpr const char* NotifyWindowClass = "TmsTrayIcon";

  // The add is tried again this often while it fails, and given up (one
  // error shown) when it still fails this long after the first try.
  static inline UINT RetryIntervalMs = 2000;
  static inline ULONGLONG GiveUpAfterMs = 4 * 60 * 1000;
  static constexpr UINT RetryTimerId = 1;

  // Creates the hidden notify window and adds the icon (no picture, no tip).
  // Early in a log-in the notification area may not exist yet: a failed add
  // raises nothing, and the add is tried again on a timer and when the shell
  // announces its taskbar, until it succeeds. A picture or tip that the shell
  // refuses later goes the same way: the icon is added again with both.
  explicit TmsTrayIcon(ui::TComponent* owner);
  // Deletes the icon, destroys the notify window and unhooks the owner.
  ~TmsTrayIcon() override;

  // Once the owner has set the properties up: clears the application's
  // ShowMainAtStart when HideMainForm is set, hooks the owner when NoClose is
  // set and sends the picture when there is one.
  void Loaded() override;
  void Notification(ui::TComponent* component, ui::TOperation operation) override;

  // Copies the given icon (null for none) and sends the picture.
  void SetIcon(HICON icon);
  // Takes the icon handle over and sends the picture.
  void AssignIconHandle(HICON icon);
  HICON IconHandle() const { return icon_.get(); }

  const std::string& Tip() const { return tip_; }
  // Keeps the whole text; the shell gets its first 63 characters.
  void SetTip(const std::string& tip);

  // A notification balloon beside the icon: it asks nothing and takes no
  // focus, and the system holds it back in quiet hours and over a
  // full-screen program. A newer one replaces it on the screen, and the icon
  // keeps its tag (0 for none). False when the shell did not take it (no
  // icon yet): then nothing is shown, and nothing else happens.
  bool ShowBalloon(const std::string& title, const std::string& text, uint32_t tag = 0);
  // Runs when the user clicks a balloon, with the tag of the balloon
  // clicked, or nothing when the click cannot tell which it was. The shell's
  // click names no balloon, and an older one may wait in the notification
  // centre: a click names the latest while it is on the screen, or while no
  // balloon of another tag came before it.
  std::function<void(std::optional<uint32_t>)> OnBalloonClick;

  ui::TPopupMenu* PopUpMenu() const { return popUpMenu_; }
  void SetPopUpMenu(ui::TPopupMenu* menu) { popUpMenu_ = menu; }

  bool HideMainForm = true;

  bool NoClose() const { return noClose_; }
  void SetNoClose(bool value);
  bool Hooked() const { return savedWndProc_ != nullptr; }

  HWND NotifyWindow() const { return notifyWindow_.get(); }
  // Whether the shell has the icon.
  bool Added() const { return added_; }

  // The error shown when the add is given up: what it means for the user,
  // then the shell's error.
  static std::string GiveUpText(DWORD error);

  // Failures on purpose, for tests: the next n adds fail as the shell fails
  // them at log-in (0 disarms).
  static void FailAdds(int n) { failAdds_ = n; }
  // The next n picture or tip changes fail as a busy shell fails them.
  static void FailUpdates(int n) { failUpdates_ = n; }

  LRESULT CallbackWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OwnerWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The owner's window when the owner is a window; null otherwise.
  HWND OwnerWindow() const;

 private:
  static LRESULT CALLBACK NotifyTrampoline(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam);
  static LRESULT CALLBACK OwnerStub(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // The shell's record for this icon, zero-filled but for its size, window,
  // id and flags.
  NOTIFYICONDATAA Record(DWORD size, UINT flags) const;
  bool TrySend(DWORD message, UINT flags);
  // Sends the picture (NIF_ICON) or the tip (NIF_TIP) to an added icon; a
  // refusal starts the retry of the add.
  void Update(UINT flags);
  // Adds the icon with its picture and tip; false, with the shell's error
  // kept, when the shell refused any of them.
  bool Add();
  // Tries the add again on the timer until it succeeds or the time is up.
  // A timer that cannot be started raises the give-up error at once.
  void StartRetrying();
  void RetryTimer();
  void Hook();
  void Unhook();

  win32::UniqueWindow notifyWindow_;
  win32::UniqueIcon icon_;
  std::string tip_;
  ui::TPopupMenu* popUpMenu_ = nullptr;
  bool noClose_ = true;
  HWND hookedWindow_ = nullptr;
  WNDPROC savedWndProc_ = nullptr;
  UINT taskbarCreated_ = 0;
  bool added_ = false;
  bool retrying_ = false;
  ULONGLONG firstFailure_ = 0;
  DWORD addError_ = 0;
  // The latest balloon's tag, whether it is on the screen, and whether a
  // balloon of another tag came before it.
  std::optional<uint32_t> balloonTag_;
  bool balloonOnScreen_ = false;
  bool olderBalloons_ = false;
  static inline int failAdds_ = 0;
  static inline int failUpdates_ = 0;
};

}  // namespace horalog
