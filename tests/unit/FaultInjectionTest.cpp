// Every rewrite of a file, failed at each of its file operations in turn: the
// data file always holds what it held before or the complete new content, and
// what a failure leaves behind does not disturb the runs after it.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <functional>
#include <iostream>

#include "data/ActRecList.h"
#include "data/Compaction.h"
#include "data/Errors.h"
#include "platform/Platform.h"
#include "report/ReportBuilder.h"
#include "TestSupport.h"

namespace horalog {
namespace {

namespace fs = std::filesystem;
using namespace horalog::testing;

const TDateTime Day = 37683.0;
const TActRec Appended = MakeRecord(ActionStop, Day + 40);

// Runs prepare, then run with its k-th file operation failing, for k = 1, 2,
// ... until a run meets no failure. After each failed run, check gets the
// error's text ("(no error)" when the run went on regardless). Returns the
// number of failure points and prints it.
int AtEveryFailurePoint(const char* name, const std::function<void()>& prepare,
                        const std::function<void()>& run,
                        const std::function<void(int k, const std::string& error)>& check) {
  for (int k = 1; k < 100000; ++k) {
    prepare();
    platform::FailFileOperation(k);
    std::string error = "(no error)";
    try {
      run();
    } catch (const Error& e) {
      error = e.what();
    } catch (...) {
      platform::FailFileOperation(0);
      throw;
    }
    const bool failed = platform::FileOperationFailed();
    platform::FailFileOperation(0);
    if (!failed) {
      EXPECT_EQ(error, "(no error)") << name << " failed with nothing failing";
      std::cout << "[ failure points ] " << name << ": " << k - 1 << " tried\n";
      return k - 1;
    }
    SCOPED_TRACE(std::string(name) + ", failure at operation " + std::to_string(k));
    check(k, error);
    if (::testing::Test::HasFailure()) return k;
  }
  ADD_FAILURE() << name << " never ran to its end";
  return 0;
}

// The whole records of a file's bytes, without a fragment at the end.
Bytes WholeRecordsOf(Bytes bytes) {
  bytes.resize(bytes.size() / RecordSize * RecordSize);
  return bytes;
}
// The whole records of a file; none when it is missing.
Bytes WholeRecords(const std::string& path) { return WholeRecordsOf(ReadBytes(path)); }

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

int32_t StatusOf(const Bytes& records, size_t at) {
  int32_t status;
  std::memcpy(&status, records.data() + at, sizeof status);
  return status;
}

// The records of Status 0, as compaction keeps them.
Bytes LiveOf(const Bytes& whole) {
  Bytes live;
  for (size_t at = 0; at < whole.size(); at += RecordSize) {
    if (StatusOf(whole, at) == StatusLive)
      live.insert(live.end(), whole.begin() + at, whole.begin() + at + RecordSize);
  }
  return live;
}

class FaultInjection : public ::testing::Test {
 protected:
  void TearDown() override { platform::FailFileOperation(0); }

  std::string DataDir() const {
    return dir.Dir().string() + static_cast<char>(fs::path::preferred_separator);
  }
  std::string Data() const { return dir.Path(DataFileName); }
  std::string Backup() const { return dir.Path(BackupFileName); }

  // A journal of n records of three statuses, with a fragment at its end.
  static Bytes Journal(int n) {
    std::vector<TActRec> records;
    for (int i = 0; i < n; ++i)
      records.push_back(PatternedRecord(i % 5 == 0 ? -1 : i % 7 == 0 ? 7 : 0, i & 1, Day + i / 24.0, i));
    return Concat(RecordsBytes(records), Bytes(50, 0xEE));
  }

  // The data file as a failed run may leave it, with the temporaries of the
  // rewrites left over from earlier failed runs.
  void Lay(const Bytes& data) {
    if (data.empty())
      fs::remove(Data());
    else
      WriteBytes(Data(), data);
    for (const char* leftover : {"hl.dat.tmp", "hl.~dat", "report.html.tmp"})
      WriteBytes(dir.Path(leftover), Bytes(700, 0x5A));
  }

  // With everything a failed run left behind, the next load, append, save and
  // compaction work on the journal as it is.
  void ExpectLaterRunsWork() {
    const bool existed = fs::exists(Data());
    const Bytes before = WholeRecords(Data());
    TActRecList list;
    if (existed) {
      list.LoadFromFile(Data());
      int kept = 0;
      for (size_t at = 0; at < before.size(); at += RecordSize)
        kept += StatusOf(before, at) != StatusDeleted;
      EXPECT_EQ(list.Count(), kept);
    }
    AppendActionRecord(Data(), Appended.Action, Appended.Time);
    const Bytes appended = Concat(before, RecordBytes(Appended));
    ASSERT_EQ(ReadBytes(Data()), appended);
    CompactDataFile(DataDir());
    EXPECT_EQ(ReadBytes(Backup()), appended);
    EXPECT_EQ(ReadBytes(Data()), LiveOf(appended));
    TActRecList compacted;
    compacted.LoadFromFile(Data());
    compacted.SaveToFile(Data());
    EXPECT_EQ(WholeRecords(Data()).size(), LiveOf(appended).size());
  }

  ScratchDir dir;
};

TEST_F(FaultInjection, SaveToFileLeavesTheOldFileOrTheNewOne) {
  const Bytes old = Journal(700);
  WriteBytes(Data(), old);
  TActRecList list;
  list.LoadFromFile(Data());
  list.MarkDeleted(3);
  list.Add(Appended);
  list.SaveToFile(dir.Path("expected"));
  const Bytes saved = ReadBytes(dir.Path("expected"));

  const int points = AtEveryFailurePoint(
      "SaveToFile", [&] { Lay(old); }, [&] { list.SaveToFile(Data()); },
      [&](int, const std::string&) {
        const Bytes now = ReadBytes(Data());
        EXPECT_TRUE(now == old || now == saved);
        ExpectLaterRunsWork();
      });
  EXPECT_GE(points, 5);
}

TEST_F(FaultInjection, ReportLeavesTheDataAndTheEarlierReportOrTheNewOne) {
  const Bytes data = Journal(1000);
  const std::string report = dir.Path(ReportFileName);
  WriteBytes(Data(), data);
  BuildReportFile(DataDir(), Day, Day + 60, TLocale());
  const Bytes fresh = ReadBytes(report);
  const Bytes earlier(300, 'r');

  const int points = AtEveryFailurePoint(
      "report file",
      [&] {
        Lay(data);
        WriteBytes(report, earlier);
      },
      [&] { BuildReportFile(DataDir(), Day, Day + 60, TLocale()); },
      [&](int, const std::string&) {
        EXPECT_EQ(ReadBytes(Data()), data);
        const Bytes now = ReadBytes(report);
        EXPECT_TRUE(now == earlier || now == fresh);
        ExpectLaterRunsWork();
      });
  EXPECT_GE(points, 5);
}

TEST_F(FaultInjection, AppendKeepsEveryOldRecordWithOrWithoutTheNewOne) {
  for (const Bytes& old : {Journal(30), Bytes()}) {
    const Bytes oldWhole = WholeRecordsOf(old);
    const int points = AtEveryFailurePoint(
        old.empty() ? "append, no data file" : "append",
        [&] { Lay(old); },
        [&] { AppendActionRecord(Data(), Appended.Action, Appended.Time); },
        [&](int, const std::string&) {
          const Bytes now = WholeRecords(Data());
          EXPECT_TRUE(now == oldWhole || now == Concat(oldWhole, RecordBytes(Appended)));
          ExpectLaterRunsWork();
        });
    EXPECT_GE(points, 4);
  }
}

TEST_F(FaultInjection, CompactionLeavesTheOldFileOrTheCompactedOneWithItsBackup) {
  const Bytes old = Journal(1100);
  const Bytes live = LiveOf(WholeRecordsOf(old));
  const Bytes staleBackup(141 * 3, 0xBB);
  std::string lastError;
  const int points = AtEveryFailurePoint(
      "compaction",
      [&] {
        Lay(old);
        WriteBytes(Backup(), staleBackup);
      },
      [&] { CompactDataFile(DataDir()); },
      [&](int k, const std::string& error) {
        const Bytes now = ReadBytes(Data());
        if (now == live) {
          EXPECT_EQ(ReadBytes(Backup()), old) << "compacted without a complete backup";
        } else {
          EXPECT_EQ(now, old);
        }
        // The copy comes first; it and the replace raise the last system error.
        if (k == 1) EXPECT_EQ(error.rfind("System Error.  Code: ", 0), 0u) << error;
        lastError = error;
        ExpectLaterRunsWork();
      });
  EXPECT_GE(points, 10);
  EXPECT_EQ(lastError.rfind("System Error.  Code: ", 0), 0u) << lastError;
}

}  // namespace
}  // namespace horalog
