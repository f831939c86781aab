// Compact from the menu bar: No changes nothing, Yes keeps a backup and leaves
// only the live records, a missing data file is the system's error.
#include <gmock/gmock.h>

#include "E2eDriver.h"

namespace horalog::e2e {
namespace {

using ::testing::HasSubstr;

class Compact : public ProgramTest {
 protected:
  std::string Backup() const { return dir_->Path("hl.bak"); }
  std::string Temporary() const { return dir_->Path("hl.~dat"); }
  bool Exists(const std::string& path) const { return FileSize(path) >= 0; }

  // Chooses Tools, Compact and answers the confirmation with the button given.
  void CompactAnswering(int button) {
    ChooseMenuItem("&Tools", "&Compact");
    HWND box = WaitDialog("Confirm");
    ASSERT_NE(box, nullptr) << "no confirmation";
    EXPECT_THAT(DialogText(box), HasSubstr("Do you want to compact the database now?"));
    ASSERT_TRUE(ClickButton(box, button));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  }
  // Waits for a box by caption, returns its text and closes it with OK.
  std::string AcknowledgeBox(const char* caption) {
    HWND box = WaitDialog(caption);
    if (box == nullptr) return "(no box " + std::string(caption) + ")";
    const std::string text = DialogText(box);
    EXPECT_TRUE(ClickButton(box, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    return text;
  }
};

TEST_F(Compact, NoChangesNothingYesKeepsABackupAndOnlyLiveRecordsNoDataFileIsAnError) {
  const double day = 37683.0;  // long ago: the program's own records would stand out
  const std::string liveA = RecordBytes(0, 0, day + 0.5, 1), liveB = RecordBytes(0, 1, day + 0.1, 2);
  const std::string data = RecordBytes(7, 0, day, 3) + liveA + RecordBytes(-1, 1, day, 4) + liveB;
  WriteAll(DataFile(), data);
  WriteAll(Backup(), std::string(141 * 5, 'o'));
  WriteAll(Temporary(), std::string(141 * 5, 't'));

  StartReady();
  // Under Wine input the test did not give can reach the program at any tick
  // (keys an earlier test typed, a moved last-input moment), and with it a
  // Start that would land in the journal beside the test's. A spell begun now
  // outlasts the test (the timeout is ten minutes): its one Start is the
  // program's only record.
  MoveCursor(300, 300);
  ASSERT_TRUE(WaitUntil([&] { return RawRecords(DataFile()).size() == 5; }, 15000))
      << "no Start after the pointer moved";
  const std::string start = RawRecords(DataFile()).back();
  ASSERT_EQ(ReadRecord(start).action, 0) << "not a Start";
  ASSERT_EQ(ReadAll(DataFile()), data + start);

  ShowMain();
  CompactAnswering(IDNO);
  EXPECT_FALSE(IsWindow(WaitDialog("Information", 1000)));
  EXPECT_EQ(ReadAll(DataFile()), data + start);
  EXPECT_EQ(ReadAll(Backup()), std::string(141 * 5, 'o'));
  EXPECT_EQ(ReadAll(Temporary()), std::string(141 * 5, 't'));

  CompactAnswering(IDYES);
  EXPECT_THAT(AcknowledgeBox("Information"), HasSubstr("Operation successful"));
  EXPECT_EQ(ReadAll(Backup()), data + start);
  EXPECT_EQ(ReadAll(DataFile()), liveA + liveB + start) << "the live records in the file's order";
  EXPECT_FALSE(Exists(Temporary()));

  // Without a data file: the system's error for a missing file, nothing created.
  ASSERT_TRUE(DeleteFileA(DataFile().c_str()) && DeleteFileA(Backup().c_str()));
  CompactAnswering(IDYES);
  EXPECT_THAT(AcknowledgeBox("Horalog"), HasSubstr("System Error.  Code: 2."));
  EXPECT_FALSE(Exists(DataFile()));
  EXPECT_FALSE(Exists(Backup()));
  EXPECT_FALSE(Exists(Temporary()));
  EXPECT_TRUE(First().Running());
}

}  // namespace
}  // namespace horalog::e2e
