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
using namespace horalog::testing;

const TDateTime Day = 37683.0;

class Compaction : public ::testing::Test {
 protected:
  std::string DataDir() const {
    return dir.Dir().string() + static_cast<char>(fs::path::preferred_separator);
  }
  std::string Data() const { return dir.Path(DataFileName); }
  std::string Backup() const { return dir.Path(BackupFileName); }
  std::string Temporary() const { return dir.Path(CompactionTempFileName); }
  ScratchDir dir;
};

TEST_F(Compaction, FileOfLiveRecordsStaysByteIdenticalAndSoDoesItsBackup) {
  std::vector<TActRec> live;
  for (int i = 0; i < 1200; ++i) live.push_back(PatternedRecord(0, i % 3, Day + i / 24.0, i));
  WriteRecords(Data(), live);
  const Bytes before = ReadBytes(Data());

  CompactDataFile(DataDir());
  EXPECT_EQ(ReadBytes(Data()), before);
  EXPECT_EQ(ReadBytes(Backup()), before);
  EXPECT_FALSE(fs::exists(Temporary()));
}

TEST_F(Compaction, KeepsOnlyStatusZeroInTheFilesOrderAndReplacesOldFiles) {
  // Out of time order on purpose: compaction does not sort.
  const TActRec a = PatternedRecord(0, 0, Day + 0.5, 1), b = PatternedRecord(0, 1, Day + 0.1, 2),
                c = PatternedRecord(0, 7, Day + 0.3, 3);
  WriteRecords(Data(), {PatternedRecord(7, 0, Day, 4), a, PatternedRecord(-1, 1, Day, 5), b,
                        PatternedRecord(-2, 0, Day, 6), PatternedRecord(1, 0, Day, 7), c});
  // A fragment at the end ends the read; the backup keeps it.
  Bytes before = ReadBytes(Data());
  before.insert(before.end(), 50, 0xAB);
  WriteBytes(Data(), before);
  // An older backup and a temporary left by an earlier run, both longer.
  WriteBytes(Backup(), Bytes(141 * 20, 1));
  WriteBytes(Temporary(), Bytes(141 * 20, 2));

  CompactDataFile(DataDir());
  EXPECT_EQ(ReadBytes(Data()), RecordsBytes({a, b, c}));
  EXPECT_EQ(ReadBytes(Backup()), before);
  EXPECT_FALSE(fs::exists(Temporary()));

  // Nothing live at all leaves an empty data file.
  WriteRecords(Data(), {PatternedRecord(-1, 0, Day, 8)});
  CompactDataFile(DataDir());
  EXPECT_TRUE(fs::exists(Data()));
  EXPECT_TRUE(ReadBytes(Data()).empty());
}

TEST_F(Compaction, WithoutADataFileRaisesTheSystemsErrorAndCreatesNothing) {
  // The system's code for a missing file is 2 on both systems.
  EXPECT_EQ(ErrorText<EOSError>([&] { CompactDataFile(DataDir()); }),
            "System Error.  Code: 2.\r\n" + platform::SystemErrorText(2));
  EXPECT_TRUE(fs::is_empty(dir.Dir()));
}

TEST_F(Compaction, TemporaryThatCannotBeWrittenLeavesDataWholeAndBackupComplete) {
  WriteRecords(Data(), {PatternedRecord(0, 0, Day, 1), PatternedRecord(-1, 1, Day, 2)});
  const Bytes before = ReadBytes(Data());
  fs::create_directory(Temporary());
  EXPECT_EQ(ErrorText<EInOutError>([&] { CompactDataFile(DataDir()); }), "File access denied");
  EXPECT_EQ(ReadBytes(Data()), before);
  EXPECT_EQ(ReadBytes(Backup()), before);
}

}  // namespace
}  // namespace horalog
