#include "ui/Application.h"

#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <new>
#include <utility>

#include "platform/SystemError.h"

#include "ui/Window.h"

namespace horalog::ui {

TApplication& Application() {
  static TApplication application;
  return application;
}

TApplication::~TApplication() {
  if (comInitialized_) OleUninitialize();
}

void TApplication::Initialize() {
  if (!comInitialized_) {
    // OLE, not only COM: the browser copies to the clipboard and drags with it.
    HRESULT result = OleInitialize(nullptr);
    comInitialized_ = SUCCEEDED(result);
  }
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_DATE_CLASSES | ICC_UPDOWN_CLASS |
                   ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&controls);
}

void TApplication::FormDestroyed(TWindow* form) {
  if (mainForm_ == form) mainForm_ = nullptr;
}

int TApplication::Run() {
  if (ShowMainAtStart && mainForm_) mainForm_->Show();
  MSG msg{};
  int exitCode = 0;
  while (!terminated_) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) exitCode = static_cast<int>(msg.wParam);
    if (got == 0 || got == -1) break;
    DispatchOne(msg);
  }
  terminated_ = true;
  return exitCode;
}

void TApplication::Terminate() {
  if (!terminated_) PostQuitMessage(0);
}

void TApplication::DispatchOne(MSG& msg) {
  for (auto [target, table] : accelerators_) {
    if (IsWindowEnabled(target) && (msg.hwnd == target || IsChild(target, msg.hwnd)) &&
        TranslateAcceleratorA(target, table, &msg))
      return;
  }
  // By index: a filter may remove itself (or another) while it runs.
  for (size_t i = 0; i < filters_.size(); ++i) {
    if (filters_[i]->FilterMessage(msg)) return;
  }
  for (HWND dialog : dialogs_) {
    if (IsWindow(dialog) && (msg.hwnd == dialog || IsChild(dialog, msg.hwnd)) &&
        IsDialogMessageA(dialog, &msg))
      return;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

void TApplication::SetAccelerators(HACCEL table, HWND target) {
  std::erase_if(accelerators_, [target](const auto& entry) { return entry.first == target; });
  if (table && target) accelerators_.emplace_back(target, table);
}

void TApplication::AddMessageFilter(TMessageFilter* filter) {
  if (std::find(filters_.begin(), filters_.end(), filter) == filters_.end())
    filters_.push_back(filter);
}

void TApplication::RemoveMessageFilter(TMessageFilter* filter) {
  filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}

void TApplication::AddDialogWindow(HWND window) {
  if (std::find(dialogs_.begin(), dialogs_.end(), window) == dialogs_.end())
    dialogs_.push_back(window);
}

void TApplication::RemoveDialogWindow(HWND window) {
  dialogs_.erase(std::remove(dialogs_.begin(), dialogs_.end(), window), dialogs_.end());
}

void TApplication::AddForm(HWND window) {
  if (std::find(forms_.begin(), forms_.end(), window) == forms_.end()) forms_.push_back(window);
}

void TApplication::RemoveForm(HWND window) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), window), forms_.end());
}

HWND TApplication::ModalWindow() const {
  if (modals_.empty()) return nullptr;
  if (HWND modal = modals_.back()->Window(); modal && IsWindow(modal)) return modal;
  // A box of the system's own (the error box) does not name its window: it is
  // the visible, enabled top-level window of this thread that is no form.
  struct Search {
    const std::vector<HWND>* forms;
    HWND found = nullptr;
    static BOOL CALLBACK Visit(HWND window, LPARAM data) {
      auto* self = reinterpret_cast<Search*>(data);
      if (!IsWindowVisible(window) || !IsWindowEnabled(window) ||
          std::find(self->forms->begin(), self->forms->end(), window) != self->forms->end())
        return TRUE;
      self->found = window;
      return FALSE;
    }
  } search{&forms_};
  EnumThreadWindows(GetCurrentThreadId(), &Search::Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool TApplication::BringModalToFront() {
  if (modals_.empty()) return false;
  if (HWND modal = ModalWindow()) {
    SetForegroundWindow(modal);
    BringWindowToTop(modal);
  }
  return true;
}

TModalScope::TModalScope(HWND modal) : modal_(modal) {
  TApplication& application = Application();
  for (HWND form : application.forms_) {
    if (form != modal && IsWindow(form) && IsWindowEnabled(form)) {
      EnableWindow(form, FALSE);
      disabled_.push_back(form);
    }
  }
  application.modals_.push_back(this);
}

TModalScope::~TModalScope() {
  End();
  auto& modals = Application().modals_;
  modals.erase(std::remove(modals.begin(), modals.end(), this), modals.end());
}

void TModalScope::End() {
  if (ended_) return;
  ended_ = true;
  for (auto it = disabled_.rbegin(); it != disabled_.rend(); ++it) {
    if (IsWindow(*it)) EnableWindow(*it, TRUE);
  }
  disabled_.clear();
}

void TModalScope::EndAfterBox(HWND owner) {
  End();
  if (owner && IsWindow(owner) && IsWindowVisible(owner)) SetActiveWindow(owner);
}

void TApplication::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  if (OnHint) OnHint();
}

std::string TApplication::ErrorBoxText(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

std::string TApplication::MessageOf(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    return OutOfMemoryText;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

void TApplication::HandleException() {
  ShowException(MessageOf(std::current_exception()));
}

void TSteps::Run(const std::function<void()>& step) {
  try {
    step();
  } catch (...) {
    errors_.push_back(std::current_exception());
  }
}

void TSteps::ShowErrors() {
  for (const std::exception_ptr& error : std::exchange(errors_, {})) {
    try {
      std::rethrow_exception(error);
    } catch (...) {
      Application().HandleException();
    }
  }
}

void TApplication::ShowException(const std::string& message) {
  std::string text = ErrorBoxText(message);
  if (OnShowException) {
    OnShowException(text);
    return;
  }
  HWND owner = GetActiveWindow();
  TModalScope modal;
  MessageBoxA(owner, text.c_str(), Title.c_str(), MB_OK | MB_ICONERROR);
  modal.EndAfterBox(owner);
}

std::string ShortHint(const std::string& hint) {
  size_t bar = hint.find('|');
  return bar == std::string::npos ? hint : hint.substr(0, bar);
}

std::string LongHint(const std::string& hint) {
  size_t bar = hint.find('|');
  return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

}  // namespace horalog::ui
