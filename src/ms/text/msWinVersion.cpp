#include "ms/text/msWinVersion.h"

#include <string_view>

namespace horalog {

namespace {

// The service-pack text's character at position 2 counted from 1, or 0 when
// the text is shorter.
char SecondChar(std::string_view csd) { return csd.size() >= 2 ? csd[1] : '\0'; }

void AppendWindows9xName(const TWinVersionRecord& r, std::string_view csd, std::string& text) {
  if (r.MajorVersion != 4) return;
  const char second = SecondChar(csd);
  switch (r.MinorVersion) {
    case 0:
      text += "Microsoft Windows 95 ";
      if (second == 'C' || second == 'B') text += "OSR2 ";
      break;
    case 10:
      text += "Microsoft Windows 98 ";
      if (second == 'A') text += "SE ";
      break;
    case 90:
      text += "Microsoft Windows Millennium Edition ";
      break;
    default:
      break;
  }
}

void AppendNTEdition(const TWinVersionRecord& r, std::string& text) {
  if (r.ProductType == ProductWorkstation) {
    if (r.MajorVersion == 5 && r.MinorVersion == 1) text += "Microsoft Windows XP ";
    text += r.SuiteMask != 0 ? "Home Edition " : "Professional ";
  } else if (r.ProductType == ProductServer) {
    if (r.MajorVersion == 5 && r.MinorVersion == 2) text += "Microsoft Windows .NET ";
    if (r.SuiteMask & SuiteDataCenter)
      text += "DataCenter Server ";
    else if (r.SuiteMask & SuiteEnterprise)
      text += r.MajorVersion == 4 ? "Advanced Server " : "Enterprise Server ";
    else if (r.SuiteMask == SuiteBlade)
      text += "Web Server ";
    else
      text += "Server ";
  }
}

}  // namespace

std::string WindowsVersionText(const TWinVersionRecord& r) {
  std::string_view csd = r.CSDVersion;
  csd = csd.substr(0, csd.find('\0'));
  std::string text;
  if (r.PlatformId == PlatformWin32Windows) {
    AppendWindows9xName(r, csd, text);
  } else if (r.PlatformId == PlatformWin32NT) {
    if (r.MajorVersion <= 4)
      text += "Microsoft Windows NT ";
    else if (r.MajorVersion == 5 && r.MinorVersion == 0)
      text += "Microsoft Windows 2000 ";
    if (r.Extended) AppendNTEdition(r, text);
    const std::string build = " (Build " + std::to_string(r.BuildNumber & 0xFFFF) + ")";
    if (r.MajorVersion <= 4) {
      text += "Version " + std::to_string(static_cast<int32_t>(r.MajorVersion)) + "." +
              std::to_string(static_cast<int32_t>(r.MinorVersion)) + " ";
    }
    text.append(csd);
    text += build;
  }
  return text;
}

}  // namespace horalog
