#include "platform/win32/WideText.h"

#include <windows.h>

namespace horalog::platform {

namespace {

std::wstring Widen(const std::string& text, UINT codePage) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const wchar_t* text, size_t length, UINT codePage) {
  if (length == 0) return {};
  const int n = WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), nullptr, 0,
                                    nullptr, nullptr);
  std::string narrow(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), narrow.data(), n, nullptr,
                        nullptr);
  return narrow;
}

}  // namespace

std::wstring WidePath(const std::string& utf8) { return Widen(utf8, CP_UTF8); }

std::string Utf8FromWide(const wchar_t* text, size_t length) {
  return Narrow(text, length, CP_UTF8);
}

std::wstring WideFromAnsi(const std::string& text) { return Widen(text, CP_ACP); }

std::string AnsiFromWide(const wchar_t* text, size_t length) {
  return Narrow(text, length, CP_ACP);
}

}  // namespace horalog::platform
