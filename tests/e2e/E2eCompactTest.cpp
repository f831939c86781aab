// Compact from the menu bar: No changes nothing, Yes keeps a backup and leaves
// only the live records, a missing data file is the system's error.
#include <gmock/gmock.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "E2eDriver.h"

namespace horalog::e2e {
namespace {

using ::testing::HasSubstr;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// One 141-byte record with Reserved bytes of its own.
std::string RecordBytes(int32_t status, uint8_t action, double time, char fill) {
  std::string r(141, fill);
  std::memcpy(r.data(), &status, 4);
  r[4] = static_cast<char>(action);
  std::memcpy(r.data() + 5, &time, 8);
  return r;
}

class Compact : public ProgramTest {
 protected:
  std::string Backup() const { return dir_->File("hl.bak"); }
  std::string Temporary() const { return dir_->File("hl.~dat"); }
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
  const std::string liveA = RecordBytes(0, 0, day + 0.5, 'a'), liveB = RecordBytes(0, 1, day + 0.1, 'b');
  const std::string data = RecordBytes(7, 0, day, 's') + liveA + RecordBytes(-1, 1, day, 'd') + liveB;
  Put(DataFile(), data);
  Put(Backup(), std::string(141 * 5, 'o'));
  Put(Temporary(), std::string(141 * 5, 't'));

  StartReady();
  ShowMain();
  CompactAnswering(IDNO);
  EXPECT_FALSE(IsWindow(WaitDialog("Information", 1000)));
  EXPECT_EQ(Slurp(DataFile()), data);
  EXPECT_EQ(Slurp(Backup()), std::string(141 * 5, 'o'));
  EXPECT_EQ(Slurp(Temporary()), std::string(141 * 5, 't'));

  CompactAnswering(IDYES);
  EXPECT_THAT(AcknowledgeBox("Information"), HasSubstr("Operation successful"));
  EXPECT_EQ(Slurp(Backup()), data);
  EXPECT_EQ(Slurp(DataFile()), liveA + liveB) << "the live records in the file's order";
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
