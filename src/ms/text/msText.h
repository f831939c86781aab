// Small text rules of the in-house library, shared by its Win32 pieces and
// free of any system header.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace horalog {

// Whether two texts are equal when the letters A to Z are taken without
// regard to case; every other character must match exactly.
inline bool SameTextAZ(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// The text stored in size bytes at data, up to the first zero byte among
// them; a text without a zero byte ends with the bytes. Nothing beyond size
// is read.
inline std::string TextUpToZero(const void* data, size_t size) {
  if (!data) return {};
  std::string_view bytes(static_cast<const char*>(data), size);
  return std::string(bytes.substr(0, bytes.find('\0')));
}

}  // namespace horalog
