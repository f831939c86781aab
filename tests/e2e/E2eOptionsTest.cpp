// The Options dialog and the about box, reached from the menu bar by keys.
#include <gmock/gmock.h>

#include <string>

#include "E2eDriver.h"
#include "ms/text/msWinVersion.h"
#include "version.h"

namespace horalog::e2e {
namespace {

using ::testing::HasSubstr;

constexpr int LoadAtLoginId = 101;
constexpr int TimeOutEditId = 102;
constexpr const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string RunValue() {
  char text[MAX_PATH] = {};
  DWORD size = sizeof text;
  if (RegGetValueA(HKEY_CURRENT_USER, RunKey, "Horalog", RRF_RT_ANY, nullptr, text, &size) !=
      ERROR_SUCCESS)
    return "(none)";
  return text;
}

class Settings : public ProgramTest {
 protected:
  // The program and this test share the prefix's registry: no value is left behind.
  void SetUp() override {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, RunKey, "Horalog");
    ProgramTest::SetUp();
  }
  void TearDown() override {
    ProgramTest::TearDown();
    RegDeleteKeyValueA(HKEY_CURRENT_USER, RunKey, "Horalog");
  }
  std::string Interval() {
    char text[64] = {};
    GetPrivateProfileStringA("Options", "Interval", "(none)", text, sizeof text,
                             dir_->Path("Horalog.ini").c_str());
    return text;
  }
  HWND OpenOptions() {
    ChooseMenuItem("&Tools", "&Options");
    HWND dlg = nullptr;
    WaitUntil([&] { return (dlg = FindVisible(First().Pid(), "TOptionsDlg", "Options")); });
    return dlg;
  }
  bool Closed(HWND dlg) {
    return WaitUntil([&] { return !IsWindow(dlg); });
  }
  static void SetText(HWND control, const char* text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        5000, &ignored);
  }
  static bool Checked(HWND dlg) {
    DWORD_PTR state = 0;
    SendMessageTimeoutA(GetDlgItem(dlg, LoadAtLoginId), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG,
                        5000, &state);
    return state == BST_CHECKED;
  }
};

TEST_F(Settings, OptionsRefuseBadNumbersSaveOnOkOnlyAndApplyTheTimeout) {
  // A zero timeout ends every activity at the first quiet tick.
  WriteIni("[Options]\r\nInterval=0\r\n");
  StartReady();
  ShowMain();

  HWND dlg = OpenOptions();
  ASSERT_NE(dlg, nullptr) << "no Options dialog";
  HWND edit = GetDlgItem(dlg, TimeOutEditId);
  EXPECT_EQ(WindowText(edit), "1") << "a stored 0 is shown at the range's end";
  EXPECT_FALSE(Checked(dlg));

  for (const char* refused : {"0", "60", "five"}) {
    SetText(edit, refused);
    ClickButton(dlg, IDOK);
    HWND box = WaitDialog("Horalog");
    ASSERT_NE(box, nullptr) << "no error box for " << refused;
    EXPECT_THAT(DialogText(box),
                HasSubstr("Inactivity timeout value can be a number between 1 and 59"));
    ClickButton(box, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    EXPECT_TRUE(IsWindowVisible(dlg)) << "the dialog closed on " << refused;
    EXPECT_EQ(WindowText(edit), refused);
  }
  EXPECT_EQ(Interval(), "0");
  EXPECT_EQ(RunValue(), "(none)");

  SetText(edit, "1");
  ClickButton(dlg, LoadAtLoginId);
  ASSERT_TRUE(WaitUntil([&] { return Checked(dlg); }));
  SetForegroundWindow(dlg);
  PressKeys({VK_RETURN});
  ASSERT_TRUE(Closed(dlg)) << "Enter did not confirm";
  EXPECT_EQ(Interval(), "1");
  EXPECT_EQ(RunValue(), exe_);

  // With the new timeout a Start is no longer followed by a Stop at once.
  MoveCursor(300, 200);
  ASSERT_TRUE(WaitUntil([&] { return ReadRecords(DataFile()).size() >= 1; }));
  Sleep(3000);
  const auto records = ReadRecords(DataFile());
  ASSERT_EQ(records.size(), 1u) << "a Stop came before a minute of quiet";
  EXPECT_EQ(records[0].action, 0);

  // The box ticked comes back; clearing it deletes the value.
  dlg = OpenOptions();
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(Checked(dlg));
  EXPECT_EQ(WindowText(GetDlgItem(dlg, TimeOutEditId)), "1");
  ClickButton(dlg, LoadAtLoginId);
  ASSERT_TRUE(WaitUntil([&] { return !Checked(dlg); }));
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(Closed(dlg));
  EXPECT_EQ(RunValue(), "(none)");

  // Esc after changing both writes nothing.
  dlg = OpenOptions();
  ASSERT_NE(dlg, nullptr);
  SetText(GetDlgItem(dlg, TimeOutEditId), "30");
  ClickButton(dlg, LoadAtLoginId);
  ASSERT_TRUE(WaitUntil([&] { return Checked(dlg); }));
  SetForegroundWindow(dlg);
  PressKeys({VK_ESCAPE});
  ASSERT_TRUE(Closed(dlg)) << "Esc did not cancel";
  EXPECT_EQ(Interval(), "1");
  EXPECT_EQ(RunValue(), "(none)");
}

// The version record as the system itself knows it, whatever a program's
// manifest makes the version query answer.
TWinVersionRecord TrueVersion() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  auto get = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  TWinVersionRecord r;
  if (!get || get(&info) != 0) return r;
  r.MajorVersion = info.dwMajorVersion;
  r.MinorVersion = info.dwMinorVersion;
  r.BuildNumber = info.dwBuildNumber;
  r.PlatformId = info.dwPlatformId;
  for (const wchar_t* c = info.szCSDVersion; *c; ++c) r.CSDVersion += static_cast<char>(*c);
  r.Extended = true;
  r.SuiteMask = info.wSuiteMask;
  r.ProductType = info.wProductType;
  return r;
}

class About : public ProgramTest {
 protected:
  HWND OpenAbout() {
    StartReady();
    ShowMain();
    ChooseMenuItem("&Help", "&About");
    HWND dlg = nullptr;
    WaitUntil([&] { return (dlg = FindVisible(First().Pid(), "TAboutDlg", "About")); });
    return dlg;
  }
};

TEST_F(About, ShowsTheVersionResourceAndTheWindowsItRunsOn) {
  HWND dlg = OpenAbout();
  ASSERT_NE(dlg, nullptr) << "no About box";
  const std::string texts = DialogText(dlg);
  EXPECT_THAT(texts, HasSubstr(HORALOG_PRODUCT_NAME "\nVersion\n" HORALOG_VERSION_TEXT
                               " (" HORALOG_VERSION_TEXT ")\n" HORALOG_COPYRIGHT "\n"));
  const std::string windows = WindowsVersionText(TrueVersion());
  ASSERT_FALSE(windows.empty());
  EXPECT_THAT(texts, HasSubstr("\n" + windows)) << "the running Windows is " << windows;

  // Esc does nothing; Enter on OK closes.
  SetForegroundWindow(dlg);
  PressKeys({VK_ESCAPE});
  Sleep(500);
  EXPECT_TRUE(IsWindowVisible(dlg)) << "Esc closed the About box";
  PressKeys({VK_RETURN});
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dlg); })) << "Enter did not close the About box";
}

// Windows 8.1 and later answer the version query of a program that does not
// list the versions it supports with Windows 8 (build 9200). Wine does the
// same; here it is told to be Windows 10 for the program.
TEST_F(About, OnWindows10TheBoxNamesAWindows10Build) {
  const char* key = "Software\\Wine\\AppDefaults\\Horalog.exe";
  RegSetKeyValueA(HKEY_CURRENT_USER, key, "Version", REG_SZ, "win10", 6);
  HWND dlg = OpenAbout();
  RegDeleteKeyA(HKEY_CURRENT_USER, key);
  ASSERT_NE(dlg, nullptr) << "no About box";
  const std::string texts = DialogText(dlg);
  const size_t build = texts.rfind("(Build ");
  ASSERT_NE(build, std::string::npos) << texts;
  EXPECT_GE(std::stoi(texts.substr(build + 7)), 10240) << texts;
}

}  // namespace
}  // namespace horalog::e2e
