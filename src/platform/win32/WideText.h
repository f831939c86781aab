// Paths are kept as UTF-8 text throughout the program, so that a folder whose
// name the ANSI code page cannot hold (a Cyrillic or Chinese user name on a
// system set to English) still names the real folder. Every Win32 call that
// takes or gives a path uses the wide ("W") function, through these.
#pragma once

#include <string>

namespace horalog::platform {

// A UTF-8 path for a wide function.
std::wstring WidePath(const std::string& utf8);
// What a wide function gave, as UTF-8.
std::string Utf8FromWide(const wchar_t* text, size_t length);
inline std::string Utf8FromWide(const std::wstring& text) {
  return Utf8FromWide(text.data(), text.size());
}

// Texts that are not paths (section and key names, registry names) are in the
// ANSI code page, as the "A" functions would take them.
std::wstring WideFromAnsi(const std::string& text);
std::string AnsiFromWide(const wchar_t* text, size_t length);

// A UTF-8 path as ANSI text, for the boxes and the log pane: a character the
// code page lacks shows as the code page's stand-in.
inline std::string AnsiPathText(const std::string& utf8) {
  const std::wstring wide = WidePath(utf8);
  return AnsiFromWide(wide.data(), wide.size());
}

}  // namespace horalog::platform
