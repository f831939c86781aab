#include "ms/msvinfo.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "ms/text/msText.h"
#include "platform/win32/WideText.h"

namespace horalog {

std::string TranslationKey(unsigned language, unsigned codePage) {
  static const char digits[] = "0123456789ABCDEF";
  std::string key(8, '0');
  for (int i = 0; i < 4; ++i) {
    key[3 - i] = digits[(language >> (4 * i)) & 0xF];
    key[7 - i] = digits[(codePage >> (4 * i)) & 0xF];
  }
  return key;
}

void TmsVersionInfo::SetFileName(const std::string& name) {
  if (SameTextAZ(name, FileName)) return;
  // The ten values in the order they are read.
  const std::pair<const char*, std::string*> keys[] = {
      {"\\\\CompanyName", &CompanyName},         {"\\\\FileDescription", &FileDescription},
      {"\\\\FileVersion", &FileVersion},         {"\\\\InternalName", &InternalName},
      {"\\\\LegalCopyright", &LegalCopyright},   {"\\\\LegalTrademarks", &LegalTrademarks},
      {"\\\\OriginalFilename", &OriginalFilename}, {"\\\\ProductName", &ProductName},
      {"\\\\ProductVersion", &ProductVersion},   {"\\\\Comments", &Comments},
  };
  for (const auto& key : keys) key.second->clear();
  FileName = name;

  // The file is found by its wide path; the values are read as ANSI texts
  // from the same block (the block keeps room for that conversion).
  const std::wstring path = platform::WidePath(name);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return;
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return;

  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\\\VarFileInfo\\\\Translation", &value, &length) || !value ||
      length < 4)
    return;
  // The first entry of the translation list: language, then code page.
  uint16_t words[2];
  std::memcpy(words, value, sizeof(words));
  const std::string prefix = "\\\\StringFileInfo\\\\" + TranslationKey(words[0], words[1]);

  const unsigned char* blockEnd = block.data() + block.size();
  for (const auto& [suffix, field] : keys) {
    value = nullptr;
    length = 0;
    if (!VerQueryValueA(block.data(), (prefix + suffix).c_str(), &value, &length) || !value)
      continue;
    // The text up to its first zero byte, within the block.
    const auto* text = static_cast<const unsigned char*>(value);
    if (text < block.data() || text >= blockEnd) continue;
    *field = TextUpToZero(text, static_cast<size_t>(blockEnd - text));
  }
}

}  // namespace horalog
