// [Presence] from outside: a call recorded in the system's consent store
// keeps a quiet spell going, and a click on the away time's balloon leaves
// one pair across it in the data file.
#include <gmock/gmock.h>

#include <algorithm>
#include <string>

#include "E2eDriver.h"

#include <shellapi.h>

namespace horalog::e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The entry of a desktop program under the microphone's key.
std::wstring MicrophoneEntry(std::wstring programPath) {
  for (wchar_t& c : programPath)
    if (c == L'\\') c = L'#';
  return L"microphone\\NonPackaged\\" + programPath;
}

ULONGLONG FileTimeNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

class Presence : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    // Keys typed by earlier tests would count as input in the first ticks.
    for (int pass = 0; pass < 2; ++pass)
      for (int key = 1; key < 256; ++key) GetAsyncKeyState(key);
  }
  // A desktop program's use of the microphone since a second ago (but not
  // before this test program began: a use older than its program's process
  // is none), going on (a Stop of 0) or stopped now.
  void PlantUse(const std::wstring& programPath, bool inUse) {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const ULONGLONG began = (ULONGLONG{created.dwHighDateTime} << 32) | created.dwLowDateTime;
    store_.Plant(MicrophoneEntry(programPath), std::max(FileTimeNow() - 10000000ULL, began),
                 inUse ? 0 : FileTimeNow());
  }

  bool LogHas(const char* text) { return Log().find(text) != std::string::npos; }

  PlantedConsentStore store_;
};

// This test program's own image, as the system names it: a program that
// runs, so its entry counts.
std::wstring ThisProgram() {
  wchar_t path[MAX_PATH * 2];
  DWORD length = MAX_PATH * 2;
  QueryFullProcessImageNameW(GetCurrentProcess(), 0, path, &length);
  return std::wstring(path, length);
}

// A call begins before the start: it starts a spell that the zero timeout
// does not end while it lasts, and a program that left a Stop of 0 behind
// but no longer runs counts for nothing. The call's Stop ends the spell. A
// key that cannot be read is named, and the others count.
TEST_F(Presence, ACallKeepsTheQuietSpellGoingUntilItsStopIsSet) {
  PlantUse(L"C:\\Horalog tests\\Ghost.exe", true);
  PlantUse(ThisProgram(), true);
  WriteIni("[Options]\r\nInterval=0\r\n[Presence]\r\nCalls=1\r\nConfirmStart=90\r\n");
  StartReady();
  ASSERT_TRUE(WaitUntil([&] { return LogHas("Activity started at "); })) << Log();
  EXPECT_THAT(Log(), HasSubstr("Cannot read ConfirmStart=90 in [Presence] of "));
  EXPECT_THAT(Log(), HasSubstr("A call (horalog_e2e.exe) counts as activity from "));
  EXPECT_THAT(Log(), Not(HasSubstr("Ghost.exe")));
  // Several quiet ticks, each of which would end the spell without the call.
  EXPECT_FALSE(WaitUntil([&] { return LogHas("Activity ended at "); }, 3500)) << Log();
  EXPECT_EQ(ReadRecords(DataFile()).size(), 1u);

  PlantUse(ThisProgram(), false);
  ASSERT_TRUE(WaitUntil([&] { return LogHas("Activity ended at "); })) << Log();
  ASSERT_TRUE(WaitUntil([&] { return ReadRecords(DataFile()).size() == 2; }));
  const auto records = ReadRecords(DataFile());
  EXPECT_EQ(records[0].action, 0);
  EXPECT_EQ(records[1].action, 1);
}

// Away for AskAfter (its least, five minutes), then back: the balloon's
// click, as the shell sends it to the icon, deletes the Stop and the Start
// around the away time, and the data file holds one pair.
TEST_F(Presence, AClickOnTheAwayTimesBalloonLeavesOnePair) {
  WriteIni("[Options]\r\nInterval=0\r\n[Presence]\r\nAskAfter=0:05\r\n");
  StartReady();
  MoveCursor(300, 200);
  ASSERT_TRUE(WaitUntil([&] { return ReadRecords(DataFile()).size() == 2; })) << Log();
  const double left = ReadRecords(DataFile())[1].time;
  constexpr double AskAfter = 5.0 / 1440, Second = 1.0 / 86400;
  ASSERT_TRUE(WaitUntil([&] { return NowAsDateTime() - left > AskAfter + 2 * Second; }, 330000));
  ASSERT_EQ(ReadRecords(DataFile()).size(), 2u) << "input while away: " << Log();

  MoveCursor(320, 240);
  ASSERT_TRUE(WaitUntil([&] { return ReadRecords(DataFile()).size() == 4; })) << Log();
  PostMessageA(Tray(), WmTrayNotify, TrayIconId, NIN_BALLOONUSERCLICK);
  ASSERT_TRUE(WaitUntil([&] { return LogHas("counted as work: its Stop and Start are deleted"); }))
      << Log();
  const auto records = ReadRecords(DataFile());
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].action, 0);
  EXPECT_EQ(records[1].action, 1);
  EXPECT_GT(records[1].time - records[0].time, AskAfter);
}

}  // namespace
}  // namespace horalog::e2e
