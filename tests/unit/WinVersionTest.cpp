#include "ms/text/msWinVersion.h"

#include <gtest/gtest.h>

namespace horalog {
namespace {

TWinVersionRecord NT(uint32_t major, uint32_t minor, uint8_t productType, uint16_t suite,
                     const char* csd, uint32_t build) {
  TWinVersionRecord r;
  r.PlatformId = PlatformWin32NT;
  r.MajorVersion = major;
  r.MinorVersion = minor;
  r.ProductType = productType;
  r.SuiteMask = suite;
  r.CSDVersion = csd;
  r.BuildNumber = build;
  r.Extended = true;
  return r;
}

TWinVersionRecord Win9x(uint32_t major, uint32_t minor, std::string csd) {
  TWinVersionRecord r;
  r.PlatformId = PlatformWin32Windows;
  r.MajorVersion = major;
  r.MinorVersion = minor;
  r.CSDVersion = std::move(csd);
  r.BuildNumber = 1998;
  return r;
}

TEST(WinVersionText, Windows9xNamesOnlyWithTheirMarks) {
  EXPECT_EQ(WindowsVersionText(Win9x(4, 0, "")), "Microsoft Windows 95 ");
  EXPECT_EQ(WindowsVersionText(Win9x(4, 0, " C")), "Microsoft Windows 95 OSR2 ");
  EXPECT_EQ(WindowsVersionText(Win9x(4, 0, " B")), "Microsoft Windows 95 OSR2 ");
  EXPECT_EQ(WindowsVersionText(Win9x(4, 0, " b")), "Microsoft Windows 95 ");
  EXPECT_EQ(WindowsVersionText(Win9x(4, 0, "C")), "Microsoft Windows 95 ") << "C must be second";
  EXPECT_EQ(WindowsVersionText(Win9x(4, 10, " A")), "Microsoft Windows 98 SE ");
  EXPECT_EQ(WindowsVersionText(Win9x(4, 10, " a")), "Microsoft Windows 98 ");
  EXPECT_EQ(WindowsVersionText(Win9x(4, 10, "")), "Microsoft Windows 98 ");
  EXPECT_EQ(WindowsVersionText(Win9x(4, 10, " C")), "Microsoft Windows 98 ");
  EXPECT_EQ(WindowsVersionText(Win9x(4, 90, " A")), "Microsoft Windows Millennium Edition ");
  // A zero byte ends the service-pack text before its second character.
  EXPECT_EQ(WindowsVersionText(Win9x(4, 10, std::string(" \0A", 3))), "Microsoft Windows 98 ");
  // Unknown versions: nothing at all, not even a version part.
  EXPECT_EQ(WindowsVersionText(Win9x(4, 3, " A")), "");
  EXPECT_EQ(WindowsVersionText(Win9x(5, 0, " A")), "");
  EXPECT_EQ(WindowsVersionText(Win9x(3, 10, " A")), "");
}

TEST(WinVersionText, WorkstationEditions) {
  EXPECT_EQ(WindowsVersionText(NT(5, 1, ProductWorkstation, 0, "Service Pack 1", 2600)),
            "Microsoft Windows XP Professional Service Pack 1 (Build 2600)");
  EXPECT_EQ(WindowsVersionText(NT(5, 1, ProductWorkstation, 0x0100, "Service Pack 1", 2600)),
            "Microsoft Windows XP Home Edition Service Pack 1 (Build 2600)");
  EXPECT_EQ(WindowsVersionText(NT(5, 1, ProductWorkstation, 0x8000, "Service Pack 1", 2600)),
            "Microsoft Windows XP Home Edition Service Pack 1 (Build 2600)");
  EXPECT_EQ(WindowsVersionText(NT(5, 1, ProductWorkstation, 0, "", 2600)),
            "Microsoft Windows XP Professional  (Build 2600)");
  EXPECT_EQ(WindowsVersionText(NT(6, 1, ProductWorkstation, 0, "Service Pack 1", 7601)),
            "Professional Service Pack 1 (Build 7601)");
  EXPECT_EQ(WindowsVersionText(NT(10, 0, ProductWorkstation, 0x0100, "", 19045)),
            "Home Edition  (Build 19045)");
  EXPECT_EQ(WindowsVersionText(NT(5, 0, ProductWorkstation, 0, "Service Pack 4", 2195)),
            "Microsoft Windows 2000 Professional Service Pack 4 (Build 2195)");
  EXPECT_EQ(WindowsVersionText(NT(4, 0, ProductWorkstation, 0, "Service Pack 6", 1381)),
            "Microsoft Windows NT Professional Version 4.0 Service Pack 6 (Build 1381)");
}

TEST(WinVersionText, ServerEditions) {
  EXPECT_EQ(WindowsVersionText(NT(5, 0, ProductServer, 0x0002, "Service Pack 4", 2195)),
            "Microsoft Windows 2000 Enterprise Server Service Pack 4 (Build 2195)");
  EXPECT_EQ(WindowsVersionText(NT(4, 0, ProductServer, 0x0002, "Service Pack 6", 1381)),
            "Microsoft Windows NT Advanced Server Version 4.0 Service Pack 6 (Build 1381)");
  // DataCenter wins over Enterprise.
  EXPECT_EQ(WindowsVersionText(NT(5, 2, ProductServer, 0x0082, "", 3790)),
            "Microsoft Windows .NET DataCenter Server  (Build 3790)");
  EXPECT_EQ(WindowsVersionText(NT(5, 2, ProductServer, 0x0400, "", 3790)),
            "Microsoft Windows .NET Web Server  (Build 3790)");
  EXPECT_EQ(WindowsVersionText(NT(5, 2, ProductServer, 0x0410, "", 3790)),
            "Microsoft Windows .NET Server  (Build 3790)") << "Web Server only for 0x0400 alone";
  EXPECT_EQ(WindowsVersionText(NT(5, 2, ProductServer, 0x0402, "", 3790)),
            "Microsoft Windows .NET Enterprise Server  (Build 3790)");
  EXPECT_EQ(WindowsVersionText(NT(6, 3, ProductServer, 0, "", 9600)), "Server  (Build 9600)");
  // A domain controller has no edition words.
  EXPECT_EQ(WindowsVersionText(NT(5, 2, 2, 0x0002, "Service Pack 2", 3790)),
            "Service Pack 2 (Build 3790)");
}

TEST(WinVersionText, ShortRecordHasNoEdition) {
  TWinVersionRecord r = NT(4, 0, ProductServer, 0x0002, "Service Pack 3", 1381);
  r.Extended = false;
  EXPECT_EQ(WindowsVersionText(r), "Microsoft Windows NT Version 4.0 Service Pack 3 (Build 1381)");
  r = NT(5, 1, ProductWorkstation, 0, "Service Pack 1", 2600);
  r.Extended = false;
  EXPECT_EQ(WindowsVersionText(r), "Service Pack 1 (Build 2600)");
  r = NT(3, 51, 0, 0, "", 1057);
  EXPECT_EQ(WindowsVersionText(r), "Microsoft Windows NT Version 3.51  (Build 1057)");
}

TEST(WinVersionText, BuildKeepsItsLow16BitsAndServicePackStopsAtZero) {
  TWinVersionRecord r = NT(5, 1, ProductWorkstation, 0, "", 0x0A280A28);  // 9x style build
  r.CSDVersion = std::string("SP2\0garbage", 11);
  EXPECT_EQ(WindowsVersionText(r), "Microsoft Windows XP Professional SP2 (Build 2600)");
  r.BuildNumber = 0xFFFFFFFF;
  EXPECT_EQ(WindowsVersionText(r), "Microsoft Windows XP Professional SP2 (Build 65535)");
}

TEST(WinVersionText, OtherPlatformsGiveNothing) {
  for (uint32_t platform : {0u, 3u, 4u, 0xFFFFFFFFu}) {
    TWinVersionRecord r = NT(5, 1, ProductWorkstation, 0, "Service Pack 1", 2600);
    r.PlatformId = platform;
    EXPECT_EQ(WindowsVersionText(r), "") << platform;
  }
}

}  // namespace
}  // namespace horalog
