// The system's message boxes: a confirmation ("Confirm"), a warning
// ("Warning") and an information ("Information"), each with its standard
// icon. With "&Yes" and "&No", Yes is the default button and No the cancel
// button, so Esc and the close box answer No; information boxes have "OK".
//
// They are dialogs of the system's own (#32770) built from a template in
// memory, because the stock message box ignores Esc when it has no Cancel
// button. The buttons carry the ids IDYES, IDNO and IDOK.
#pragma once

#include <windows.h>

#include <string>

namespace horalog::ui {

enum class TMsgDlgType { Confirmation, Warning, Information, Error };
enum class TMsgDlgButtons { YesNo, Ok };

inline constexpr const char* ConfirmTitle = "Confirm";
inline constexpr const char* WarningTitle = "Warning";
inline constexpr const char* InformationTitle = "Information";

// Shows the box modally (timers go on) and returns IDYES, IDNO or IDOK.
// The owner defaults to the active window.
int MessageDialog(const std::string& text, const std::string& title, TMsgDlgType type,
                  TMsgDlgButtons buttons, HWND owner = nullptr);

// True only for Yes.
bool Confirm(const std::string& text, HWND owner = nullptr);
bool Warning(const std::string& text, HWND owner = nullptr);
void Information(const std::string& text, HWND owner = nullptr);

}  // namespace horalog::ui
