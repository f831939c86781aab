// The load-at-log-in value, in a scratch key of the current user.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/LoadAtLogin.h"
#include "data/Errors.h"

namespace horalog {
namespace {

constexpr const char* Exe = "C:\\Program Files\\Horalog\\Horalog.exe";

class LoadAtLogin : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    scratch = "Software\\Horalog tests\\" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(counter++);
    where.parent = "\\" + scratch + "\\CurrentVersion";  // from the root, as the program's key
    RegDeleteTreeA(HKEY_CURRENT_USER, scratch.c_str());
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Horalog tests"); }

  std::string RunPath() const { return scratch + "\\CurrentVersion\\Run"; }
  void Store(DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, RunPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Horalog", 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  std::wstring WideRunPath() const {
    const std::string run = RunPath();
    return std::wstring(run.begin(), run.end());  // ASCII
  }
  void StoreWide(const std::wstring& text) {
    EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, WideRunPath().c_str(), L"Horalog", REG_SZ,
                              text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  void StoreText(const std::string& text) {
    Store(REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }
  // The stored value: its type and bytes; type REG_NONE when missing.
  std::pair<DWORD, std::string> Stored() const {
    char data[1024] = {};
    DWORD size = sizeof(data), type = REG_NONE;
    if (RegGetValueA(HKEY_CURRENT_USER, RunPath().c_str(), "Horalog", RRF_RT_ANY | RRF_NOEXPAND,
                     &type, data, &size) != ERROR_SUCCESS)
      return {REG_NONE, {}};
    return {type, std::string(data, size)};
  }

  std::string scratch;
  TRunKey where;
};

TEST_F(LoadAtLogin, WritesThePathWithItsZeroAndDeletesIt) {
  EXPECT_FALSE(GetLoadAtLogin(Exe, where)) << "no key at all means off";
  SetLoadAtLogin(true, Exe, where);
  EXPECT_EQ(Stored(), std::make_pair(DWORD{REG_SZ}, std::string(Exe) + '\0'));
  EXPECT_TRUE(GetLoadAtLogin(Exe, where));
  // Writing again when the value is there already is no error.
  SetLoadAtLogin(true, Exe, where);
  EXPECT_TRUE(GetLoadAtLogin(Exe, where));

  SetLoadAtLogin(false, Exe, where);
  EXPECT_EQ(Stored().first, DWORD{REG_NONE});
  EXPECT_FALSE(GetLoadAtLogin(Exe, where));
  // A missing value or subkey is no error.
  SetLoadAtLogin(false, Exe, where);
  RegDeleteTreeA(HKEY_CURRENT_USER, scratch.c_str());
  SetLoadAtLogin(false, Exe, where);
}

TEST_F(LoadAtLogin, OnlyThePathItselfInAnyLetterCaseIsOn) {
  StoreText("c:\\PROGRAM FILES\\horalog\\HORALOG.EXE");
  EXPECT_TRUE(GetLoadAtLogin(Exe, where));
  StoreText(std::string("\"") + Exe + "\"");
  EXPECT_FALSE(GetLoadAtLogin(Exe, where)) << "quoted";
  StoreText(std::string(Exe) + " /minimized");
  EXPECT_FALSE(GetLoadAtLogin(Exe, where)) << "with an argument";
  StoreText("");
  EXPECT_FALSE(GetLoadAtLogin(Exe, where));
  // Only A to Z are folded: other letters must match exactly. Paths are UTF-8.
  StoreWide(L"C:\\Caf\u00C9\\Horalog.exe");
  EXPECT_FALSE(GetLoadAtLogin("C:\\Caf\xC3\xA9\\Horalog.exe", where));
  EXPECT_TRUE(GetLoadAtLogin("c:\\caf\xC3\x89\\horalog.exe", where));

  // Off deletes the value even when it names another program.
  StoreText("C:\\Other\\Other.exe");
  SetLoadAtLogin(false, Exe, where);
  EXPECT_EQ(Stored().first, DWORD{REG_NONE});
}

// A folder whose name the ANSI code page cannot hold: the value holds the real
// path, as the system reads it to start the program, and reads back as on.
TEST_F(LoadAtLogin, APathOutsideTheAnsiCodePageIsStoredAsItIs) {
  const std::string exe = "C:\\Users\\\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\\\xE6\x96\x87\xE6\xA1\xA3\\Horalog.exe";
  const std::wstring wide = L"C:\\Users\\\u0418\u0432\u0430\u043D\\\u6587\u6863\\Horalog.exe";
  SetLoadAtLogin(true, exe, where);
  wchar_t stored[MAX_PATH] = {};
  DWORD size = sizeof stored;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, WideRunPath().c_str(), L"Horalog", RRF_RT_REG_SZ,
                         nullptr, stored, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(stored), wide);
  EXPECT_TRUE(GetLoadAtLogin(exe, where));
  EXPECT_FALSE(GetLoadAtLogin("C:\\Users\\????\\??\\Horalog.exe", where));
}

TEST_F(LoadAtLogin, StringsAreReadWithinTheirSizeUpToTheFirstZero) {
  // Stored without its terminating zero.
  Store(REG_SZ, Exe, static_cast<DWORD>(strlen(Exe)));
  EXPECT_TRUE(GetLoadAtLogin(Exe, where));
  // Bytes after a zero inside the value do not count.
  std::string padded = std::string(Exe) + '\0' + "junk";
  Store(REG_SZ, padded.data(), static_cast<DWORD>(padded.size()));
  EXPECT_TRUE(GetLoadAtLogin(Exe, where));
  // REG_EXPAND_SZ is taken as it is, unexpanded.
  const char expand[] = "%WINDIR%\\Horalog.exe";
  Store(REG_EXPAND_SZ, expand, sizeof(expand));
  EXPECT_TRUE(GetLoadAtLogin("%windir%\\horalog.exe", where));
  // A zero-size value of any type is empty text.
  Store(REG_BINARY, "", 0);
  EXPECT_FALSE(GetLoadAtLogin(Exe, where));
}

TEST_F(LoadAtLogin, OtherTypesFailNamingTheValue) {
  const DWORD number = 1;
  Store(REG_DWORD, &number, sizeof(number));
  try {
    GetLoadAtLogin(Exe, where);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Horalog'");
  }
  Store(REG_BINARY, Exe, 4);
  EXPECT_THROW(GetLoadAtLogin(Exe, where), Error);
  Store(REG_MULTI_SZ, "a\0b\0", 5);
  EXPECT_THROW(GetLoadAtLogin(Exe, where), Error);
  // Deleting it is still possible.
  SetLoadAtLogin(false, Exe, where);
  EXPECT_FALSE(GetLoadAtLogin(Exe, where));
}

TEST_F(LoadAtLogin, FailuresToCreateOrSetNameTheirKeyAndValue) {
  where.subKey = "Run\\";
  where.subKey += std::string(300, 'x');  // longer than a key name may be
  try {
    SetLoadAtLogin(true, Exe, where);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Failed to create key " + where.subKey);
  }
  where.subKey = "Run";
  where.valueName = std::string(20000, 'v');  // longer than a value name may be
  try {
    SetLoadAtLogin(true, Exe, where);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Failed to set data for '" + where.valueName + "'");
  }
}

}  // namespace
}  // namespace horalog
