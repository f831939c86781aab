// Every rewrite of a file, failed at each of its file operations in turn: the
// data file always holds what it held before or the complete new content, and
// what a failure leaves behind does not disturb the runs after it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>

#include "data/ActRecList.h"
#include "data/Compaction.h"
#include "data/Errors.h"
#include "data/JournalWriter.h"
#include "platform/Platform.h"
#include "report/ReportBuilder.h"
#include "report/WorkTotals.h"
#include "TestSupport.h"

namespace horalog {
namespace {

namespace fs = std::filesystem;
using namespace horalog::test;

const TDateTime Day = 37683.0;
const TActRec Appended = MakeRecord(ActionStop, Day + 40);
const char* const SystemError = "System Error.  Code: ";

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
// Without a fragment at the end.
Bytes WholeRecords(Bytes bytes) {
  bytes.resize(bytes.size() / RecordSize * RecordSize);
  return bytes;
}
// The records of Status 0, as compaction keeps them.
Bytes LiveOf(const Bytes& records) {
  Bytes live;
  for (size_t at = 0; at + RecordSize <= records.size(); at += RecordSize) {
    int32_t status;
    std::memcpy(&status, &records[at], sizeof status);
    if (status == StatusLive) live.insert(live.end(), &records[at], &records[at] + RecordSize);
  }
  return live;
}

class FaultInjection : public ::testing::Test {
 protected:
  void TearDown() override { platform::FailFileOperation(0); }

  // Runs lay, then run with its k-th file operation failing, for k = 1, 2, ...
  // until a run meets no failure; after each failure, check gets k and the
  // error's text ("" when the run went on regardless), and the later runs are
  // tried. Prints and returns the number of failure points.
  int AtEveryFailurePoint(const char* name, const std::function<void()>& lay,
                          const std::function<void()>& run,
                          const std::function<void(int, const std::string&)>& check) {
    for (int k = 1; k < 10000; ++k) {
      lay();
      platform::FailFileOperation(k);
      std::string error;
      try {
        run();
      } catch (const Error& e) {
        error = e.what();
      }
      const bool failed = platform::FileOperationFailed();
      platform::FailFileOperation(0);
      if (!failed) {
        EXPECT_EQ(error, "") << name << " failed with nothing failing";
        std::cout << "[ failure points ] " << name << ": " << k - 1 << " tried\n";
        return k - 1;
      }
      SCOPED_TRACE(std::string(name) + ", failure at operation " + std::to_string(k));
      check(k, error);
      ExpectLaterRunsWork();
      if (HasFailure()) return k;
    }
    ADD_FAILURE() << name << " never ran to its end";
    return 0;
  }

  std::string DataDir() const {
    return dir.Dir().string() + static_cast<char>(fs::path::preferred_separator);
  }
  std::string Data() const { return dir.Path(DataFileBaseName); }
  std::string Backup() const { return dir.Path(BackupFileName); }

  // A journal of n records of three statuses, with a fragment at its end.
  static Bytes Journal(int n) {
    std::vector<TActRec> records;
    for (int i = 0; i < n; ++i)
      records.push_back(PatternedRecord(i % 5 == 0 ? -1 : i % 7 == 0 ? 7 : 0, i & 1, Day + i / 24.0, i));
    return Concat(RecordsBytes(records), Bytes(50, 0xEE));
  }

  // The data file (none when empty), among the temporaries that failed runs
  // of every rewrite may leave.
  void Lay(const Bytes& data) {
    if (data.empty())
      fs::remove(Data());
    else
      WriteBytes(Data(), data);
    for (const char* leftover : {"hl.dat.tmp", "hl.~dat", "report.html.tmp"})
      WriteBytes(dir.Path(leftover), Bytes(700, 0x5A));
  }

  // Whatever a failure left, the next append, compaction, load and save work
  // on the journal as it is.
  void ExpectLaterRunsWork() {
    const Bytes appended = Concat(WholeRecords(ReadBytes(Data())), RecordBytes(Appended));
    AppendActionRecord(Data(), Appended.Action, Appended.Time);
    ASSERT_EQ(ReadBytes(Data()), appended);
    CompactDataFile(DataDir());
    EXPECT_EQ(ReadBytes(Backup()), appended);
    EXPECT_EQ(ReadBytes(Data()), LiveOf(appended));
    TActRecList list;
    list.LoadFromFile(Data());
    list.SaveToFile(Data());
    EXPECT_EQ(ReadBytes(Data()).size(), LiveOf(appended).size());
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
  list.SaveToFile(dir.Path("saved"));
  const Bytes saved = ReadBytes(dir.Path("saved"));

  const int points = AtEveryFailurePoint(
      "SaveToFile", [&] { Lay(old); }, [&] { list.SaveToFile(Data()); },
      [&](int, const std::string&) {
        const Bytes now = ReadBytes(Data());
        EXPECT_TRUE(now == old || now == saved);
      });
  EXPECT_GE(points, 5);
}

TEST_F(FaultInjection, ReportLeavesTheDataAndTheEarlierReportOrTheNewOne) {
  const Bytes data = Journal(1000), earlier(300, 'r');
  const std::string report = dir.Path(ReportFileBaseName);
  WriteBytes(Data(), data);
  BuildReportFile(DataDir(), Day, Day + 60, TLocale());
  const Bytes fresh = ReadBytes(report);

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
      });
  EXPECT_GE(points, 5);
}

// Only a journal that is not there reads as an empty one. When the system
// cannot tell whether it is there (a share that does not answer, a folder that
// may not be read), the hours and the page raise that error instead, and the
// earlier report stays: an empty page or no hours would pass for the truth.
TEST_F(FaultInjection, AJournalThatMayOrMayNotBeThereIsNoEmptyOne) {
  const Bytes data = Journal(30), earlier(300, 'r');
  const std::string report = dir.Path(ReportFileBaseName);
  for (const bool there : {true, false}) {
    SCOPED_TRACE(there ? "a journal there" : "no journal");
    Lay(there ? data : Bytes());
    WriteBytes(report, earlier);
    TWorkTotals totals;
    platform::FailFileOperation(1, platform::FileFault::SharingViolation);
    EXPECT_EQ(IoErrorText([&] { LoadWorkTotals(Data(), totals); }),
              "I/O error 32 (the file is in use by another program)");
    EXPECT_TRUE(platform::FileOperationFailed());
    platform::FailFileOperation(1);
    EXPECT_THROW(BuildReportFile(DataDir(), Day, Day + 60, TLocale(), 0, &totals), EInOutError);
    EXPECT_TRUE(platform::FileOperationFailed());
    EXPECT_EQ(ReadBytes(report), earlier);
    EXPECT_EQ(ReadBytes(Data()), there ? data : Bytes());
  }

  // Not there: an empty journal, an empty page, no hours from before.
  TWorkTotals totals;
  totals.Take(Appended);
  LoadWorkTotals(Data(), totals);
  EXPECT_EQ(totals.FirstDay(), std::nullopt);
  totals.Take(Appended);
  EXPECT_TRUE(BuildReportFile(DataDir(), Day, Day + 60, TLocale(), 0, &totals).days.empty());
  EXPECT_EQ(totals.FirstDay(), std::nullopt);
  const std::string page =
      "<html>\r\n<body>\r\n<font face=\"arial\">\r\n</font>\r\n</body>\r\n</html>\r\n";
  EXPECT_EQ(ReadBytes(report), Bytes(page.begin(), page.end()));
  EXPECT_FALSE(fs::exists(Data()));
}

TEST_F(FaultInjection, AppendKeepsEveryOldRecordWithOrWithoutTheNewOne) {
  for (const Bytes& old : {Journal(30), Bytes()}) {
    const Bytes before = WholeRecords(old), after = Concat(before, RecordBytes(Appended));
    const int points = AtEveryFailurePoint(
        old.empty() ? "append, no data file" : "append", [&] { Lay(old); },
        [&] { AppendActionRecord(Data(), Appended.Action, Appended.Time); },
        [&](int, const std::string&) {
          const Bytes now = WholeRecords(ReadBytes(Data()));
          EXPECT_TRUE(now == before || now == after);
        });
    EXPECT_GE(points, 4);
  }
}

TEST_F(FaultInjection, CompactionLeavesTheOldFileOrTheCompactedOneWithItsBackup) {
  const Bytes old = Journal(1100), live = LiveOf(old);
  std::string lastError;
  const int points = AtEveryFailurePoint(
      "compaction",
      [&] {
        Lay(old);
        WriteBytes(Backup(), Bytes(141 * 3, 0xBB));
      },
      [&] { CompactDataFile(DataDir()); },
      [&](int k, const std::string& error) {
        const Bytes now = ReadBytes(Data());
        if (now == live)
          EXPECT_EQ(ReadBytes(Backup()), old) << "compacted without a complete backup";
        else
          EXPECT_EQ(now, old);
        // The copy comes first and the replace last: both raise the system's error.
        if (k == 1) {
          EXPECT_EQ(error.rfind(SystemError, 0), 0u) << error;
        }
        lastError = error;
      });
  EXPECT_GE(points, 10);
  EXPECT_EQ(lastError.rfind(SystemError, 0), 0u) << lastError;
}

// A record that cannot be appended waits, with its stamp, and later ones wait
// behind it; the retry writes them all in order, each once.
TEST_F(FaultInjection, AppendsHeldByAnotherProgramWaitAndAreWrittenLateInOrder) {
  const Bytes old = Journal(20);
  WriteBytes(Data(), old);
  TJournalWriter journal;
  std::vector<TActRec> records;
  uint64_t now = 1000;
  int outages = 0, told = 0;
  // Three failing tries, a new record before each, all with sharing violations.
  for (int i = 0; i < 3; ++i) {
    records.push_back(MakeRecord(i % 2 ? ActionStop : ActionStart, Day + 50 + i / 1440.0));
    journal.Add(records.back());
    ASSERT_TRUE(journal.Due(now));
    platform::FailFileOperation(1, platform::FileFault::SharingViolation);
    const TJournalOutcome outcome = journal.Write(Data(), now);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.written, 0u);
    EXPECT_EQ(outcome.reason, "I/O error 32 (the file is in use by another program)");
    outages += outcome.outageBegan;
    told += outcome.newFailure;
    // Soon again, but not at once.
    EXPECT_FALSE(journal.Due(now + RetryAfterSharingMs - 1));
    now += RetryAfterSharingMs;
  }
  EXPECT_EQ(outages, 1) << "one outage, one box";
  EXPECT_EQ(told, 3) << "each failure came with a new record";
  EXPECT_EQ(ReadBytes(Data()), old);
  // The same failure again with nothing new is not worth telling.
  platform::FailFileOperation(1, platform::FileFault::SharingViolation);
  EXPECT_FALSE(journal.Write(Data(), now).newFailure);
  // Anything else is tried again only after a minute.
  platform::FailFileOperation(2);
  const TJournalOutcome device = journal.Write(Data(), now);
  EXPECT_TRUE(device.newFailure) << "another reason";
  EXPECT_FALSE(device.outageBegan);
  EXPECT_FALSE(journal.Due(now + RetryAfterSharingMs));
  EXPECT_TRUE(journal.Due(now + RetryAfterFailureMs));

  const TJournalOutcome late = journal.Write(Data(), now + RetryAfterFailureMs);
  EXPECT_FALSE(late.failed);
  EXPECT_TRUE(late.outageEnded);
  EXPECT_EQ(late.written, 3u);
  EXPECT_TRUE(journal.Empty());
  EXPECT_EQ(ReadBytes(Data()), Concat(WholeRecords(old), RecordsBytes(records)));

  // The next record goes straight in, and a new outage is a new one.
  journal.Add(Appended);
  EXPECT_TRUE(journal.Due(now));
  platform::FailFileOperation(1);
  EXPECT_TRUE(journal.Write(Data(), now).outageBegan);
}

// A write may land although its flush or close failed: the retry finds the
// records at the end of the file and writes none of them twice, whichever
// operation failed, also when more records came meanwhile.
TEST_F(FaultInjection, ARetryAfterAFailedWriteWritesEachRecordOnce) {
  const Bytes old = Journal(30);
  const std::vector<TActRec> batch = {PatternedRecord(0, 0, Day + 60, 1),
                                      PatternedRecord(0, 1, Day + 61, 2),
                                      PatternedRecord(0, 0, Day + 62, 3)};
  int points = 0;
  for (int k = 1; k < 100; ++k) {
    SCOPED_TRACE("failure at operation " + std::to_string(k));
    WriteBytes(Data(), old);
    TJournalWriter journal;
    for (size_t i = 0; i < 2; ++i) journal.Add(batch[i]);
    platform::FailFileOperation(k);
    const TJournalOutcome first = journal.Write(Data(), 0);
    const bool failed = platform::FileOperationFailed();
    platform::FailFileOperation(0);
    if (!failed) {
      EXPECT_FALSE(first.failed);
      break;
    }
    ++points;
    EXPECT_TRUE(first.failed);
    journal.Add(batch[2]);
    const TJournalOutcome retry = journal.Write(Data(), RetryAfterFailureMs);
    EXPECT_FALSE(retry.failed);
    EXPECT_EQ(retry.written, 3u);
    EXPECT_EQ(ReadBytes(Data()), Concat(WholeRecords(old), RecordsBytes(batch)));
  }
  EXPECT_GE(points, 6) << "open, size, seek, write, flush and close";

  // The newest record after a failed flush may be in the file: it cannot be
  // withdrawn, and it is written once. One that cannot have landed goes.
  WriteBytes(Data(), old);
  TJournalWriter withdrawn;
  withdrawn.Add(batch[0]);
  withdrawn.Add(batch[1]);
  platform::FailFileOperation(5);  // open, size, seek, write, then the flush
  ASSERT_TRUE(withdrawn.Write(Data(), 0).failed);
  EXPECT_FALSE(withdrawn.Withdraw(batch[1]));
  withdrawn.Add(batch[2]);
  platform::FailFileOperation(1);
  ASSERT_TRUE(withdrawn.Write(Data(), 0).failed);
  EXPECT_TRUE(withdrawn.Withdraw(batch[2]));
  EXPECT_FALSE(withdrawn.Write(Data(), 0).failed);
  EXPECT_EQ(ReadBytes(Data()), Concat(WholeRecords(old), RecordsBytes({batch[0], batch[1]})));

  // A rewrite sorts them away from the end: they are settled before it (not
  // from a file that cannot be read). A failure after all were found is no outage.
  withdrawn.Add(batch[2]);
  platform::FailFileOperation(5);
  ASSERT_TRUE(withdrawn.Write(Data(), 0).failed);
  platform::FailFileOperation(1);
  EXPECT_THROW(withdrawn.Settle(Data()), EInOutError);
  EXPECT_TRUE(withdrawn.Settle(Data()).outageEnded);
  TActRecList list;
  list.LoadFromFile(Data());
  list.Add(MakeRecord(ActionStop, Day + 99));
  list.SortByTime();
  list.SaveToFile(Data());
  const Bytes rewritten = ReadBytes(Data());
  withdrawn.Add(Appended);
  platform::FailFileOperation(5);
  ASSERT_TRUE(withdrawn.Write(Data(), 0).failed);
  platform::FailFileOperation(5);  // open, size, seek, read: all found; then the flush
  const TJournalOutcome found = withdrawn.Write(Data(), 0);
  EXPECT_FALSE(found.failed);
  EXPECT_TRUE(found.outageEnded);
  EXPECT_EQ(ReadBytes(Data()), Concat(rewritten, RecordBytes(Appended)));
}

// At the end of the session the waiting records are written at once, and
// tried again a few times while another program holds the file.
TEST_F(FaultInjection, TheEndOfTheSessionRetriesOnlyWhileTheFileIsHeld) {
  TJournalWriter journal;
  int pauses = 0, heldFor = 2;
  auto hold = [] { platform::FailFileOperation(1, platform::FileFault::SharingViolation); };
  auto pause = [&] { if (++pauses < heldFor) hold(); };
  journal.Add(Appended);
  hold();
  EXPECT_FALSE(journal.WriteAtSessionEnd(Data(), pause).failed);
  EXPECT_EQ(pauses, 2);
  EXPECT_EQ(ReadBytes(Data()), RecordBytes(Appended));
  journal.Add(Appended);
  pauses = 0, heldFor = 100;
  hold();
  EXPECT_TRUE(journal.WriteAtSessionEnd(Data(), pause).failed);
  EXPECT_EQ(pauses, SessionEndRetries);

  // Two records of a failed flush are found in the file, the third is held:
  // the outcome counts what every attempt wrote. A settle that leaves
  // records waiting fails.
  const std::vector<TActRec> batch = {PatternedRecord(0, 0, Day + 60, 1),
                                      PatternedRecord(0, 1, Day + 61, 2),
                                      PatternedRecord(0, 0, Day + 62, 3)};
  for (const bool settle : {false, true}) {
    WriteBytes(Data(), {});
    TJournalWriter landed;
    landed.Add(batch[0]);
    landed.Add(batch[1]);
    platform::FailFileOperation(5);  // open, size, seek, write, then the flush
    ASSERT_TRUE(landed.Write(Data(), 0).failed);
    landed.Add(batch[2]);
    if (settle) {
      const TJournalOutcome settled = landed.Settle(Data());
      EXPECT_EQ(settled.written, 2u);
      EXPECT_TRUE(settled.failed) << "a record still waits";
      continue;
    }
    pauses = 0, heldFor = 1;
    platform::FailFileOperation(6, platform::FileFault::SharingViolation);  // after the read
    const TJournalOutcome outcome = landed.WriteAtSessionEnd(Data(), pause);
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.written, 3u);
    EXPECT_EQ(ReadBytes(Data()), RecordsBytes(batch));
  }
}

}  // namespace
}  // namespace horalog
