// Activity and idleness as the data file and the log pane show them.
#include <gmock/gmock.h>

#include "E2eDriver.h"

namespace horalog::e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr double FiveMinutes = 5.0 / 1440;

class Activity : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    // The detector starts at (0, 0): a pointer there is no input.
    MoveCursor(0, 0);
  }
  bool LogHas(const char* text) { return Log().find(text) != std::string::npos; }
};

TEST_F(Activity, PointerMovementRecordsAStart) {
  StartReady();
  EXPECT_EQ(Log(), "") << "the log pane is not empty at start";
  EXPECT_EQ(FileSize(DataFile()), -1);

  MoveCursor(300, 200);
  ASSERT_TRUE(WaitUntil([&] { return LogHas("Activity started at "); })) << Log();
  EXPECT_THAT(Log(), StartsWith("Activity started at "));
  ASSERT_TRUE(WaitUntil([&] { return FileSize(DataFile()) == 141; }))
      << "hl.dat has " << FileSize(DataFile()) << " bytes";
  const auto records = ReadRecords(DataFile());
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].status, 0);
  EXPECT_EQ(records[0].action, 0);
  EXPECT_NEAR(records[0].time, NowAsDateTime(), FiveMinutes);
}

TEST_F(Activity, ZeroTimeoutEndsTheSpellAtTheFirstQuietTickAndNewInputStartsAnother) {
  WriteIni("[Options]\r\nInterval=0\r\n");
  StartReady();
  MoveCursor(320, 240);
  ASSERT_TRUE(WaitUntil([&] { return LogHas("Activity ended at "); })) << Log();
  ASSERT_TRUE(WaitUntil([&] { return FileSize(DataFile()) == 2 * 141; }));
  auto records = ReadRecords(DataFile());
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].action, 0);
  EXPECT_EQ(records[1].status, 0);
  EXPECT_EQ(records[1].action, 1);
  // The Stop is stamped when the quiet spell began: at the Start, not later.
  EXPECT_GE(records[1].time, records[0].time);
  EXPECT_NEAR(records[1].time, records[0].time, 1.0 / 1440);
  EXPECT_THAT(Log(), HasSubstr("Activity started at "));

  MoveCursor(330, 250);
  ASSERT_TRUE(WaitUntil([&] { return ReadRecords(DataFile()).size() >= 3; }));
  records = ReadRecords(DataFile());
  EXPECT_EQ(records[2].action, 0);
  EXPECT_GE(records[2].time, records[1].time);
}

TEST_F(Activity, BadIntervalIsReportedAndTheProgramRunsWithTenMinutes) {
  WriteIni("[Options]\r\nInterval=60\r\n");
  Process& p = Start();
  HWND box = WaitDialog("Horalog", 15000);
  ASSERT_NE(box, nullptr) << "no error box";
  EXPECT_THAT(DialogText(box), HasSubstr("Invalid argument to time encode"));
  ASSERT_TRUE(ClickButton(box, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); })) << "the error box stayed";
  ASSERT_TRUE(p.Running());

  // The rest of the start-up ran: tray icon, published window, detector.
  EXPECT_TRUE(WaitUntil([&] { return Tray() != nullptr; }));
  EXPECT_EQ(PublishedWindow(), Main());
  MoveCursor(310, 220);
  ASSERT_TRUE(WaitUntil([&] { return LogHas("Activity started at "); })) << Log();
  // Several quiet ticks: with a timeout of minutes, none of them ends the spell.
  EXPECT_FALSE(WaitUntil([&] { return LogHas("Activity ended at "); }, 3500)) << Log();
  EXPECT_EQ(ReadRecords(DataFile()).size(), 1u);
}

// Another program holds hl.dat without sharing it while activity starts and
// ends: the records wait, one box tells of it, and once the file is let go
// they are written with the moments they happened at.
TEST_F(Activity, RecordsWaitWhileAnotherProgramHoldsTheDataFile) {
  WriteIni("[Options]\r\nInterval=0\r\n");
  StartReady();
  HANDLE held = CreateFileA(DataFile().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  MoveCursor(300, 200);
  HWND box = WaitDialog("Horalog", 15000);
  ASSERT_NE(box, nullptr) << "no error box";
  EXPECT_THAT(DialogText(box), HasSubstr("hl.dat: I/O error 32 (the file is in use by another program). "
                                         "Horalog keeps the records and tries again."));
  // The zero timeout ends the spell at the next quiet tick; its Stop waits
  // too, told in the log pane only.
  ASSERT_TRUE(WaitUntil([&] { return LogHas("Activity ended at "); })) << Log();
  EXPECT_EQ(FileSize(DataFile()), 0);
  const double released = NowAsDateTime();
  CloseHandle(held);

  ASSERT_TRUE(WaitUntil([&] { return FileSize(DataFile()) >= 2 * 141; }, 15000))
      << "the waiting records were not written";
  const auto records = ReadRecords(DataFile());
  EXPECT_EQ(records[0].action, 0);
  EXPECT_EQ(records[1].action, 1);
  EXPECT_LE(records[0].time, records[1].time);
  EXPECT_LT(records[1].time, released) << "stamped when written, not when they happened";
  EXPECT_TRUE(WaitUntil([&] { return LogHas("records written late to "); })) << Log();
  EXPECT_EQ(WindowsOf(First().Pid(), "#32770", "Horalog").size(), 1u) << "more than one box";
  ASSERT_TRUE(ClickButton(box, IDOK));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  EXPECT_TRUE(First().Running());
}

}  // namespace
}  // namespace horalog::e2e
