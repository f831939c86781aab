// The system seam: real files in a scratch folder, error texts, clock, locale.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "data/Errors.h"
#include "platform/LocaleFormat.h"
#include "platform/Platform.h"
#include "TestSupport.h"

#ifdef _WIN32
#include <windows.h>
// The seam's ReplaceFile is meant below, not the system's macro of that name.
#undef ReplaceFile
#endif

namespace horalog {
namespace {

namespace fs = std::filesystem;
using platform::File;
using platform::OpenMode;

class FileTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return scratch_.Path(name); }
  std::string Slurp(const std::string& name) const { return test::ReadText(Path(name)); }
  const fs::path& Dir() const { return scratch_.Dir(); }

 private:
  test::ScratchDir scratch_;
};

TEST_F(FileTest, WritesSeeksReadsAndReportsSize) {
  File f = File::Open(Path("a.dat"), OpenMode::Create);
  f.Write("hello world", 11);
  f.Flush();
  EXPECT_EQ(f.Size(), 11);
  f.Seek(6);
  char buffer[16] = {};
  EXPECT_EQ(f.Read(buffer, sizeof buffer), 5u);  // short only at the end
  EXPECT_EQ(std::string(buffer), "world");
  f.Close();
  EXPECT_FALSE(f.IsOpen());
  f.Close();  // closing a closed file is harmless

  File again = File::Open(Path("a.dat"), OpenMode::ReadWrite);
  again.Seek(again.Size());
  again.Write("!", 1);
  again.Close();
  EXPECT_EQ(Slurp("a.dat"), "hello world!");

  File::Open(Path("a.dat"), OpenMode::Create).Close();
  EXPECT_EQ(Slurp("a.dat"), "");  // Create truncates
}

TEST_F(FileTest, OpenFailuresCarryTheIoTexts) {
  EXPECT_EQ(test::IoErrorText([&] { File::Open(Path("missing.dat"), OpenMode::Read); }),
            "File not found");
  EXPECT_EQ(test::IoErrorText([&] { File::Open(Path("missing.dat"), OpenMode::ReadWrite); }),
            "File not found");
  EXPECT_EQ(test::IoErrorText([&] { File::Open(Path("no-such-dir/x.dat"), OpenMode::Create); }),
            "Invalid filename");
  fs::create_directory(Dir() / "folder");
  EXPECT_EQ(test::IoErrorText([&] { File::Open(Path("folder"), OpenMode::Read); }), "File access denied");
  EXPECT_EQ(test::IoErrorText([&] { File::Open(Path("folder"), OpenMode::Create); }), "File access denied");
}

// A file is found or not only when the system says so; a question it cannot
// answer raises, for "not there" would be a guess.
TEST_F(FileTest, FoundIsForFilesAndRaisesWhenTheSystemCannotTell) {
  EXPECT_FALSE(platform::FileFound(Path("x")));
  EXPECT_FALSE(platform::FileFound(Path("no-such-dir/x")));
  File::Open(Path("x"), OpenMode::Create).Close();
  EXPECT_TRUE(platform::FileFound(Path("x")));
  fs::create_directory(Dir() / "folder");
  EXPECT_FALSE(platform::FileFound(Path("folder")));
  EXPECT_TRUE(platform::RemoveFile(Path("x")));
  EXPECT_FALSE(platform::FileFound(Path("x")));
  EXPECT_FALSE(platform::RemoveFile(Path("x")));

#ifdef _WIN32
  // A name the system refuses.
  EXPECT_THROW(platform::FileFound(Path("a|b")), EInOutError);
#else
  // A link that leads to itself.
  fs::create_symlink("loop", Dir() / "loop");
  EXPECT_EQ(test::IoErrorText([&] { platform::FileFound(Path("loop")); }),
            EInOutError::Text(ELOOP));
#endif
  // An armed check fails as the system would.
  File::Open(Path("x"), OpenMode::Create).Close();
  platform::FailFileOperation(1, platform::FileFault::SharingViolation);
  EXPECT_EQ(test::IoErrorText([&] { platform::FileFound(Path("x")); }),
            "I/O error 32 (the file is in use by another program)");
  EXPECT_TRUE(platform::FileFound(Path("x")));
}

TEST_F(FileTest, ReplaceSwapsInTheNewFileOrLeavesBothAlone) {
  std::ofstream(Path("old")) << "old";
  std::ofstream(Path("new")) << "new";
  platform::ReplaceFile(Path("new"), Path("old"));
  EXPECT_EQ(Slurp("old"), "new");
  EXPECT_FALSE(fs::exists(Dir() / "new"));

  // A target that is a non-empty folder cannot be replaced: both stay as they were.
  fs::create_directories(Dir() / "folder" / "inside");
  std::ofstream(Path("next")) << "next";
  EXPECT_THROW(platform::ReplaceFile(Path("next"), Path("folder")), EInOutError);
  EXPECT_EQ(Slurp("next"), "next");
  EXPECT_TRUE(fs::is_directory(Dir() / "folder" / "inside"));
}

// Paths are UTF-8: a folder whose name the ANSI code page cannot hold (a
// Cyrillic or Chinese user name on a system set to English) is the real folder
// for every file operation, and a compaction's copy and swap work there.
TEST_F(FileTest, PathsOutsideTheAnsiCodePageNameTheRealFiles) {
  const std::u8string folderName = u8"\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B \u6587\u6863";
  const fs::path folder = Dir() / fs::path(folderName);
  fs::create_directory(folder);
  const std::string dir =
      Dir().string() + static_cast<char>(fs::path::preferred_separator) +
      std::string(folderName.begin(), folderName.end()) + static_cast<char>(fs::path::preferred_separator);

  File f = File::Open(dir + "hl.dat", OpenMode::Create);
  f.Write("journal", 7);
  f.Close();
  EXPECT_TRUE(fs::exists(folder / "hl.dat")) << "written elsewhere";
  EXPECT_TRUE(platform::FileFound(dir + "hl.dat"));
  platform::CopyFileReplacing(dir + "hl.dat", dir + "hl.bak");
  EXPECT_EQ(fs::file_size(folder / "hl.bak"), 7u);
  platform::ReplaceFile(dir + "hl.bak", dir + "hl.dat");
  EXPECT_FALSE(fs::exists(folder / "hl.bak"));
  char buffer[8] = {};
  File again = File::Open(dir + "hl.dat", OpenMode::Read);
  EXPECT_EQ(again.Read(buffer, sizeof buffer), 7u);
  again.Close();
  EXPECT_TRUE(platform::RemoveFile(dir + "hl.dat"));
  EXPECT_FALSE(fs::exists(folder / "hl.dat"));
}

TEST(ErrorTexts, IoCodesHaveTheirTexts) {
  EXPECT_STREQ(EInOutError(2).what(), "File not found");
  EXPECT_STREQ(EInOutError(3).what(), "Invalid filename");
  EXPECT_STREQ(EInOutError(4).what(), "Too many open files");
  EXPECT_STREQ(EInOutError(5).what(), "File access denied");
  EXPECT_STREQ(EInOutError(100).what(), "Read beyond end of file");
  EXPECT_STREQ(EInOutError(101).what(), "Disk full");
  EXPECT_STREQ(EInOutError(32).what(), "I/O error 32 (the file is in use by another program)");
  EXPECT_STREQ(EInOutError(33).what(), "I/O error 33 (the file is locked by another program)");
  EXPECT_EQ(EInOutError(32).Code(), 32);
  // A code without a text of its own, as a network share gives it, carries
  // the system's words.
  EXPECT_EQ(EInOutError(64).what(), "I/O error 64 (" + platform::SystemErrorText(64) + ")");
}

TEST(ErrorTexts, SystemErrorsNameCodeAndText) {
  EXPECT_STREQ(EOSError(5, "Access denied").what(), "System Error.  Code: 5.\r\nAccess denied");
  EXPECT_STREQ(EOSError(0, "").what(), "A call to an OS function failed");
  EXPECT_STREQ(EListError(-1).what(), "List index out of bounds (-1)");

  const std::string text = platform::SystemErrorText(2);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '.');
  try {
    RaiseOSError(2);
    FAIL() << "RaiseOSError returned";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.Code(), 2u);
    EXPECT_EQ(std::string(e.what()), "System Error.  Code: 2.\r\n" + text);
  }
}

TEST(WindowsPictures, BecomeFormatPatterns) {
  using platform::PatternFromWindowsPicture;
  EXPECT_EQ(PatternFromWindowsPicture("M/d/yyyy"), "m/d/yyyy");
  EXPECT_EQ(PatternFromWindowsPicture("dd.MM.yyyy"), "dd.mm.yyyy");
  EXPECT_EQ(PatternFromWindowsPicture("yyyy-MM-dd"), "yyyy-mm-dd");
  EXPECT_EQ(PatternFromWindowsPicture("d/M/yy"), "d/m/yy");
  EXPECT_EQ(PatternFromWindowsPicture("h:mm:ss tt"), "h:nn:ss ampm");
  EXPECT_EQ(PatternFromWindowsPicture("HH:mm:ss"), "hh:nn:ss");
  EXPECT_EQ(PatternFromWindowsPicture("tt hh:mm:ss"), "ampm hh:nn:ss");
  EXPECT_EQ(PatternFromWindowsPicture("H' h 'mm"), "h\" h \"nn");
  EXPECT_EQ(PatternFromWindowsPicture("dddd, MMMM dd"), "dddd, mmmm dd");
  EXPECT_EQ(PatternFromWindowsPicture("d 'de' MMMM"), "d \"de\" mmmm");
  EXPECT_EQ(PatternFromWindowsPicture("'it''s' d"), "\"it's\" d");
}

TEST(Clock, NowIsTheLocalDateAndTime) {
  const TDateTime a = platform::Now();
  const TDateTime b = platform::Now();
  // A wall clock may step either way; two reads still lie close together.
  EXPECT_LT(std::abs(b - a), OneMinute);
  EXPECT_GT(a, ComposeDate(2020, 1, 1));
  EXPECT_LT(a, ComposeDate(2200, 1, 1));
}

TEST(Locale, UserLocaleHasEveryName) {
  const TLocale& locale = platform::UserLocale();
  for (const auto& name : locale.longDayNames) EXPECT_FALSE(name.empty());
  for (const auto& name : locale.shortMonthNames) EXPECT_FALSE(name.empty());
  EXPECT_FALSE(locale.shortDateFormat.empty());
  EXPECT_FALSE(locale.longTimeFormat.empty());
}

#ifdef _WIN32
// The system's record of calls, planted in a profile that had none: the
// watch starts without it (this Windows keeps one), takes its keys when they
// come and again after they were deleted, and counts a use only while a
// process of its program runs that began before it.
TEST(Calls, TheWatchTakesKeysThatComeLaterAndCountsOnlyUsesOfRunningPrograms) {
  const std::wstring store =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore";
  HKEY probe = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, store.c_str(), 0, KEY_READ, &probe) == ERROR_SUCCESS) {
    RegCloseKey(probe);
    GTEST_SKIP() << "this profile keeps a record of its own";
  }
  wchar_t image[MAX_PATH * 2];
  DWORD length = MAX_PATH * 2;
  ASSERT_TRUE(QueryFullProcessImageNameW(GetCurrentProcess(), 0, image, &length));
  const std::wstring self(image, length);
  std::wstring entry = self;
  for (wchar_t& c : entry)
    if (c == L'\\') c = L'#';
  FILETIME created{}, exited{}, kernel{}, user{}, now{};
  ASSERT_TRUE(GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user));
  auto value = [](const FILETIME& t) {
    return (ULONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime;
  };
  auto plant = [&](const std::wstring& path, ULONGLONG start, ULONGLONG stop) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (store + L"\\" + path).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"LastUsedTimeStart", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&start),
                   sizeof start);
    RegSetValueExW(key, L"LastUsedTimeStop", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&stop),
                   sizeof stop);
    RegCloseKey(key);
  };
  // Until the program is (or is not) in a call, within half a minute.
  auto callUntil = [](bool inCall) {
    for (int i = 0; i < 300; ++i) {
      if (platform::CallProgram().has_value() == inCall) return true;
      platform::Pause(100);
    }
    return false;
  };
  const std::string name = "horalog_unit_tests.exe";

  // The store of a Windows that keeps the record (older versions, as Wine
  // may say it is, have none), without a capability's key yet.
  HKEY storeKey = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, store.c_str(), 0, nullptr, 0, KEY_READ, nullptr,
                            &storeKey, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(storeKey);
  ASSERT_TRUE(platform::WatchCalls()) << "a profile without the keys taken for a Windows without";
  EXPECT_FALSE(platform::CallProgram());
  // A use left open since before this process began, and a packaged app's
  // that does not run: no calls.
  plant(L"microphone\\NonPackaged\\" + entry, value(created) - 600000000ULL, 0);
  GetSystemTimeAsFileTime(&now);
  plant(L"microphone\\Horalog.Ghost_8wekyb3d8bbwe", value(now), 0);
  plant(L"webcam\\NonPackaged\\" + entry, value(now), 0);
  ASSERT_TRUE(callUntil(true)) << "the keys that came were not taken";
  EXPECT_EQ(platform::CallProgram(), name);
  GetSystemTimeAsFileTime(&now);
  plant(L"webcam\\NonPackaged\\" + entry, value(now) - 10000000ULL, value(now));
  EXPECT_TRUE(callUntil(false)) << "a stale use counted";

  // The keys deleted and planted again.
  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, (store + L"\\webcam").c_str()), ERROR_SUCCESS);
  EXPECT_FALSE(platform::CallProgram());
  GetSystemTimeAsFileTime(&now);
  plant(L"webcam\\NonPackaged\\" + entry, value(now), 0);
  EXPECT_TRUE(callUntil(true)) << "the key planted again was not taken";
  // The whole store deleted, and planted again: looked for now and then.
  RegDeleteTreeW(HKEY_CURRENT_USER, store.c_str());
  EXPECT_TRUE(callUntil(false));
  GetSystemTimeAsFileTime(&now);
  plant(L"microphone\\NonPackaged\\" + entry, value(now), 0);
  EXPECT_TRUE(callUntil(true)) << "the store planted again was not taken";
  RegDeleteTreeW(HKEY_CURRENT_USER, store.c_str());
}
#endif

}  // namespace
}  // namespace horalog
