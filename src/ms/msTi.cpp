#include "ms/msTi.h"

#include <shellapi.h>

#include <cstring>

#include "data/Errors.h"
#include "platform/Platform.h"
#include "ui/Application.h"
#include "ui/Window.h"
#include "version.h"

namespace horalog {

namespace {

// The first form of the shell's record, 88 bytes: every Windows takes it.
constexpr DWORD RecordSize = 88;
static_assert(offsetof(NOTIFYICONDATAA, szTip) + 64 == RecordSize);
// The second form, which carries a balloon's title, text and flags (every
// Windows since 2000). Only a balloon's change uses it: its tip field is
// twice as long, and the shell reads the others' record in the first form.
constexpr DWORD BalloonRecordSize = NOTIFYICONDATAA_V2_SIZE;
static_assert(offsetof(NOTIFYICONDATAA, dwInfoFlags) + sizeof(DWORD) == BalloonRecordSize);

// The property of a hooked owner window that names its tray icon.
constexpr const char* HookProperty = "Horalog.TmsTrayIcon";

}  // namespace

TmsTrayIcon::TmsTrayIcon(ui::TComponent* owner) : ui::TComponent(owner) {
  ui::RegisterWindowClass(NotifyWindowClass, &NotifyTrampoline);
  HWND window = CreateWindowExA(0, NotifyWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (!window) RaiseLastOSError();
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  notifyWindow_.reset(window);
  taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
  if (!Add()) StartRetrying();
}

TmsTrayIcon::~TmsTrayIcon() {
  // Also while an add or a change is being retried: the shell may have the
  // icon all the same. When it has none, nothing is left to remove.
  TrySend(NIM_DELETE, 0);
  if (notifyWindow_) SetWindowLongPtrA(notifyWindow_.get(), GWLP_USERDATA, 0);
  notifyWindow_.reset();
  icon_.reset();
  Unhook();
}

void TmsTrayIcon::Update(UINT flags) {
  // Before the add has succeeded the shell has no icon to change: the picture
  // and the tip are kept and go with the add.
  if (!added_) return;
  if (TrySend(NIM_MODIFY, flags)) return;
  // The shell refused the change (busy, or it lost the icon): the icon is
  // added again with its picture and tip, on the same retry as a failed add.
  addError_ = GetLastError();
  added_ = false;
  StartRetrying();
}

NOTIFYICONDATAA TmsTrayIcon::Record(DWORD size, UINT flags) const {
  NOTIFYICONDATAA data;
  std::memset(&data, 0, sizeof(data));
  data.cbSize = size;
  data.hWnd = notifyWindow_.get();
  data.uID = IconId;
  data.uFlags = flags;
  return data;
}

bool TmsTrayIcon::TrySend(DWORD message, UINT flags) {
  if (message == NIM_MODIFY && (flags & (NIF_ICON | NIF_TIP)) && failUpdates_ > 0) {
    --failUpdates_;
    SetLastError(ERROR_TIMEOUT);
    return false;
  }
  NOTIFYICONDATAA data = Record(RecordSize, flags);
  if (flags & NIF_MESSAGE) data.uCallbackMessage = WM_TRAYNOTIFY;
  if (flags & NIF_ICON) data.hIcon = icon_.get();
  if (flags & NIF_TIP) std::memcpy(data.szTip, tip_.data(), std::min(tip_.size(), TipLimit));
  SetLastError(0);
  return Shell_NotifyIconA(message, &data) != FALSE;
}

void TmsTrayIcon::Loaded() {
  ui::TComponent::Loaded();
  if (HideMainForm) ui::Application().ShowMainAtStart = false;
  if (noClose_) SetNoClose(true);
  if (icon_) Update(NIF_ICON);
}

void TmsTrayIcon::Notification(ui::TComponent* component, ui::TOperation operation) {
  ui::TComponent::Notification(component, operation);
  if (operation == ui::TOperation::Remove && component && component == popUpMenu_)
    popUpMenu_ = nullptr;
}

void TmsTrayIcon::SetIcon(HICON icon) {
  icon_.reset(icon ? CopyIcon(icon) : nullptr);
  Update(NIF_ICON);
}

void TmsTrayIcon::AssignIconHandle(HICON icon) {
  icon_.reset(icon);
  Update(NIF_ICON);
}

void TmsTrayIcon::SetTip(const std::string& tip) {
  tip_ = tip;
  Update(NIF_TIP);
}

bool TmsTrayIcon::ShowBalloon(const std::string& title, const std::string& text, uint32_t tag) {
  if (!added_) return false;
  NOTIFYICONDATAA data = Record(BalloonRecordSize, NIF_INFO);
  std::memcpy(data.szInfoTitle, title.data(), std::min(title.size(), sizeof(data.szInfoTitle) - 1));
  std::memcpy(data.szInfo, text.data(), std::min(text.size(), sizeof(data.szInfo) - 1));
  data.dwInfoFlags = NIIF_INFO;
#ifdef NIIF_RESPECT_QUIET_TIME
  data.dwInfoFlags |= NIIF_RESPECT_QUIET_TIME;
#endif
  // A balloon the shell refuses is not shown; the icon itself stays as it is
  // (its picture and tip go their own way when refused).
  if (!Shell_NotifyIconA(NIM_MODIFY, &data)) return false;
  if (balloonTag_ && *balloonTag_ != tag) olderBalloons_ = true;
  balloonTag_ = tag;
  balloonOnScreen_ = true;
  return true;
}

bool TmsTrayIcon::Add() {
  added_ = false;
  if (failAdds_ > 0) {
    --failAdds_;
    addError_ = 0;  // as the shell often fails it at start-up: without a code
    return false;
  }
  if (!TrySend(NIM_ADD, NIF_MESSAGE)) {
    addError_ = GetLastError();
    // An add that timed out may have reached the shell all the same: an icon
    // that takes a change is there.
    if (!TrySend(NIM_MODIFY, NIF_MESSAGE)) return false;
  }
  // The picture and the tip belong to the add: when the shell refuses either,
  // the whole is tried again.
  const bool pictureTaken = !icon_ || TrySend(NIM_MODIFY, NIF_ICON);
  if (!pictureTaken || (!tip_.empty() && !TrySend(NIM_MODIFY, NIF_TIP))) {
    addError_ = GetLastError();
    return false;
  }
  added_ = true;
  return true;
}

void TmsTrayIcon::StartRetrying() {
  if (!retrying_) firstFailure_ = GetTickCount64();
  retrying_ = true;
  if (SetTimer(notifyWindow_.get(), RetryTimerId, RetryIntervalMs, nullptr)) return;
  // Without its timer nothing would try again: the user is told now, as
  // when the retries give up.
  retrying_ = false;
  throw Error(GiveUpText(addError_));
}

void TmsTrayIcon::RetryTimer() {
  if (Add()) {
    KillTimer(notifyWindow_.get(), RetryTimerId);
    retrying_ = false;
    return;
  }
  if (GetTickCount64() - firstFailure_ < GiveUpAfterMs) return;
  // Given up: the one error the user sees about it. The taskbar's next
  // announcement still brings the icon.
  KillTimer(notifyWindow_.get(), RetryTimerId);
  retrying_ = false;
  throw Error(GiveUpText(addError_));
}

std::string TmsTrayIcon::GiveUpText(DWORD error) {
  const std::string product = HORALOG_PRODUCT_NAME;
  return "The " + product + " icon could not be added to the notification area. Starting " +
         product + " again shows its window.\r\n" +
         EOSError::Text(error, error != 0 ? platform::SystemErrorText(error) : std::string());
}

HWND TmsTrayIcon::OwnerWindow() const {
  try {
    auto* form = dynamic_cast<ui::TWindow*>(Owner());
    if (!form) return nullptr;
    return form->Handle();
  } catch (...) {
    return nullptr;
  }
}

void TmsTrayIcon::SetNoClose(bool value) {
  if (value) {
    Hook();
  } else {
    Unhook();
  }
  noClose_ = value;
}

void TmsTrayIcon::Hook() {
  if (savedWndProc_) return;  // already hooked: nothing more to install
  HWND window = OwnerWindow();
  if (!window) return;
  SetPropA(window, HookProperty, this);
  savedWndProc_ = reinterpret_cast<WNDPROC>(GetWindowLongA(window, GWL_WNDPROC));
  SetWindowLongA(window, GWL_WNDPROC, reinterpret_cast<LONG>(&OwnerStub));
  hookedWindow_ = window;
}

void TmsTrayIcon::Unhook() {
  if (!savedWndProc_) return;
  // When the owner's window is gone, so is the hook.
  if (hookedWindow_ && IsWindow(hookedWindow_) &&
      GetPropA(hookedWindow_, HookProperty) == this) {
    SetWindowLongA(hookedWindow_, GWL_WNDPROC, reinterpret_cast<LONG>(savedWndProc_));
    RemovePropA(hookedWindow_, HookProperty);
  }
  savedWndProc_ = nullptr;
  hookedWindow_ = nullptr;
}

LRESULT TmsTrayIcon::CallbackWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (taskbarCreated_ != 0 && message == taskbarCreated_) {
    // A new notification area: the icon goes back into it.
    if (Add()) {
      KillTimer(notifyWindow_.get(), RetryTimerId);
      retrying_ = false;
    } else {
      StartRetrying();
    }
    return 0;
  }
  if (message == WM_TIMER && wParam == RetryTimerId) {
    RetryTimer();
    return 0;
  }
  if (message != WM_TRAYNOTIFY || wParam != IconId)
    return DefWindowProcA(notifyWindow_.get(), message, wParam, lParam);
  // lParam is the mouse message, or the balloon's event, as the shell sends
  // them to an icon of the first version: the icon never asks for another,
  // whose messages carry the event and the id otherwise.
  const UINT event = static_cast<UINT>(lParam);
  if (event == NIN_BALLOONUSERCLICK) {
    // The balloon on the screen, or the only kind there was; an older one
    // clicked in the notification centre would be taken for the latest.
    std::optional<uint32_t> clicked;
    if (balloonTag_ && (balloonOnScreen_ || !olderBalloons_)) clicked = balloonTag_;
    if (OnBalloonClick) OnBalloonClick(clicked);
    return 0;
  }
  if (event == NIN_BALLOONSHOW) balloonOnScreen_ = true;
  if (event == NIN_BALLOONHIDE || event == NIN_BALLOONTIMEOUT) balloonOnScreen_ = false;
  // While a modal window is open, the icon only leads back to it.
  if ((event == WM_RBUTTONDOWN || event == WM_LBUTTONDBLCLK) &&
      ui::Application().BringModalToFront())
    return 0;
  switch (event) {
    case WM_RBUTTONDOWN:
      if (popUpMenu_) {
        POINT pos{};
        GetCursorPos(&pos);
        popUpMenu_->Popup(pos.x, pos.y, notifyWindow_.get());
      }
      break;
    case WM_LBUTTONDBLCLK:
      if (popUpMenu_) {
        const auto& items = popUpMenu_->Items();
        for (size_t i = 0; i < items.size(); ++i) {
          if (items[i].Default) {
            popUpMenu_->Click(i);
            break;
          }
        }
      }
      break;
    default:
      break;
  }
  return 0;
}

LRESULT TmsTrayIcon::OwnerWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = hookedWindow_;
  if (message == WM_SYSCOMMAND && (wParam == SC_CLOSE || wParam == SC_MINIMIZE)) {
    ShowWindow(window, SW_HIDE);
    return 0;
  }
  WNDPROC saved = savedWndProc_;
  if (message == WM_NCDESTROY) {
    // The window goes, and the hook with it.
    SetWindowLongA(window, GWL_WNDPROC, reinterpret_cast<LONG>(saved));
    RemovePropA(window, HookProperty);
    savedWndProc_ = nullptr;
    hookedWindow_ = nullptr;
  }
  return CallWindowProcA(saved, window, message, wParam, lParam);
}

LRESULT CALLBACK TmsTrayIcon::NotifyTrampoline(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  auto* self = reinterpret_cast<TmsTrayIcon*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  try {
    return self->CallbackWindowProc(message, wParam, lParam);
  } catch (...) {
    ui::Application().HandleException();
    return 0;
  }
}

LRESULT CALLBACK TmsTrayIcon::OwnerStub(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
  auto* self = static_cast<TmsTrayIcon*>(GetPropA(window, HookProperty));
  if (!self || !self->savedWndProc_) return DefWindowProcA(window, message, wParam, lParam);
  try {
    return self->OwnerWindowProc(message, wParam, lParam);
  } catch (...) {
    ui::Application().HandleException();
    return 0;
  }
}

}  // namespace horalog
