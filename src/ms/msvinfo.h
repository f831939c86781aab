// TmsVersionInfo: the string values of a file's version resource.
#pragma once

#include <string>

namespace horalog {

class TmsVersionInfo {
 public:
  // Makes name the current file and reads its version strings. A name equal
  // to the current one (letters a to z in either case) reads nothing again.
  // Values that cannot be read stay empty; nothing is reported.
  void SetFileName(const std::string& name);

  std::string FileName;
  std::string CompanyName;
  std::string FileDescription;
  std::string FileVersion;
  std::string InternalName;
  std::string LegalCopyright;
  std::string LegalTrademarks;
  std::string OriginalFilename;
  std::string ProductName;
  std::string ProductVersion;
  std::string Comments;
};

// The string-table key of a translation: language and code page as four
// upper-case hexadecimal digits each ("040904E4").
std::string TranslationKey(unsigned language, unsigned codePage);

}  // namespace horalog
