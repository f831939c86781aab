// Compaction over real files in a scratch folder.
#include "data/Compaction.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "data/ActRec.h"
#include "data/Errors.h"
#include "platform/Platform.h"
#include "TestSupport.h"

namespace horalog {
namespace {

namespace fs = std::filesystem;
using namespace horalog::test;

const TDateTime Day = 37683.0;

class Compaction : public ::testing::Test {
 protected:
  std::string DataDir() const {
    return dir.Dir().string() + static_cast<char>(fs::path::preferred_separator);
  }
  std::string Data() const { return dir.Path(DataFileBaseName); }
  std::string Backup() const { return dir.Path(BackupFileName); }
  std::string Temporary() const { return dir.Path(CompactionTempFileName); }
  ScratchDir dir;
};

TEST_F(Compaction, KeepsOnlyStatusZeroByteForByteInTheFilesOrder) {
  // Only live records, across several read buffers: data and backup stay identical.
  std::vector<TActRec> live;
  for (int i = 0; i < 1200; ++i) live.push_back(PatternedRecord(0, i % 3, Day + i / 24.0, i));
  WriteRecords(Data(), live);
  CompactDataFile(DataDir());
  EXPECT_EQ(ReadBytes(Data()), RecordsBytes(live));
  EXPECT_EQ(ReadBytes(Backup()), RecordsBytes(live));
  EXPECT_FALSE(fs::exists(Temporary()));

  // Other statuses go, the order stays (not sorted), a fragment at the end is
  // not read but kept in the backup; the older backup and a temporary left by
  // an earlier run, both longer, are replaced whole.
  const TActRec a = PatternedRecord(0, 0, Day + 0.5, 1), b = PatternedRecord(0, 1, Day + 0.1, 2),
                c = PatternedRecord(0, 7, Day + 0.3, 3);
  Bytes before = RecordsBytes({PatternedRecord(7, 0, Day, 4), a, PatternedRecord(-1, 1, Day, 5), b,
                               PatternedRecord(-2, 0, Day, 6), PatternedRecord(1, 0, Day, 7), c});
  before.insert(before.end(), 50, 0xAB);
  WriteBytes(Data(), before);
  WriteBytes(Temporary(), Bytes(141 * 2000, 2));
  CompactDataFile(DataDir());
  EXPECT_EQ(ReadBytes(Data()), RecordsBytes({a, b, c}));
  EXPECT_EQ(ReadBytes(Backup()), before);
  EXPECT_FALSE(fs::exists(Temporary()));
}

TEST_F(Compaction, WithoutADataFileRaisesTheSystemsErrorAndCreatesNothing) {
  // The system's code for a missing file is 2 on both systems.
  EXPECT_EQ(ErrorText<EOSError>([&] { CompactDataFile(DataDir()); }),
            "System Error.  Code: 2.\r\n" + platform::SystemErrorText(2));
  EXPECT_TRUE(fs::is_empty(dir.Dir()));
}

// The system's copy carries a read-only attribute from the journal to the
// backup: the backup is made writable, or the next compaction could not
// replace it.
TEST_F(Compaction, AReadOnlyJournalLeavesAWritableBackup) {
  const TActRec live = PatternedRecord(0, 0, Day, 1);
  const Bytes before = RecordsBytes({live, PatternedRecord(7, 1, Day + 0.1, 2)});
  WriteBytes(Data(), before);
  const fs::perms writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(Data(), writable, fs::perm_options::remove);
  try {
    CompactDataFile(DataDir());
  } catch (const EOSError&) {
    // A read-only journal may refuse to be replaced; the backup is made first.
  }
  ASSERT_EQ(ReadBytes(Backup()), before);
  EXPECT_NE(fs::status(Backup()).permissions() & fs::perms::owner_write, fs::perms::none);

  fs::permissions(Data(), fs::perms::owner_write, fs::perm_options::add);
  WriteBytes(Data(), before);
  CompactDataFile(DataDir());
  EXPECT_EQ(ReadBytes(Backup()), before);
  EXPECT_EQ(ReadBytes(Data()), RecordsBytes({live}));
}

}  // namespace
}  // namespace horalog
