// Several machines through one shared folder: the names that are machines,
// the copies as the sync service brings them (in pieces, twice, held open,
// older, from a cloned machine), a folder that cannot be read, the union of
// the machines' spells, and two recorders that see each other's hours.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "RecorderSupport.h"
#include "TestSupport.h"
#include "machines/MachineCopy.h"
#include "machines/MachineFolder.h"
#include "machines/MachineHours.h"
#include "machines/MachineReport.h"
#include "platform/Platform.h"
#include "recorder/Recorder.h"
#include "report/ReportCsv.h"

namespace horalog {
namespace {

const TDateTime Monday = ComposeDate(2026, 3, 2);
TDateTime At(uint16_t h, uint16_t m, uint16_t s = 0) { return Monday + ComposeTime(h, m, s, 0); }

const std::string Desk = "0d2c6a1e-5b7f-4c3a-9e1d-2f4b6a8c0e11";
const std::string Laptop = "7f3e9b20-1c4d-4e5f-8a6b-9c0d1e2f3a44";

bool Contains(const std::vector<std::string>& lines, const std::string& part) {
  for (const std::string& line : lines)
    if (line.find(part) != std::string::npos) return true;
  return false;
}

// The names a sync service makes of a copy's name are no machines; the name
// this program writes is, read back from both ends.
TEST(MachineNames, OnlyTheExactNamesThisProgramWritesAreMachines) {
  const std::string name = CopyFileName("Laptop (home)", Laptop);
  EXPECT_EQ(name, "Horalog Laptop (home) {" + Laptop + "}.dat");
  const std::optional<TMachineName> machine = MachineOfFileName(name);
  ASSERT_TRUE(machine);
  EXPECT_EQ(machine->name, "Laptop (home)");
  EXPECT_EQ(machine->identity, Laptop);
  // A name a file name cannot hold is made safe, and so read back.
  EXPECT_EQ(CopyFileName(" Büro: PC/2. ", Desk), "Horalog Büro_ PC_2 {" + Desk + "}.dat");
  EXPECT_TRUE(MachineOfFileName(CopyFileName(" Büro: PC/2. ", Desk)));

  const std::string stem = "Horalog Laptop {" + Laptop + "}";
  for (const std::string& other : std::vector<std::string>{
           stem + " (Anna's conflicted copy 2026-12-08).dat",    // Dropbox
           stem + " (conflicted copy 2026-12-08 101010).dat",    // Nextcloud
           stem + ".sync-conflict-20261208-101010-ABCDEFG.dat",  // Syncthing
           "~syncthing~" + stem + ".dat.tmp", "." + stem + ".dat.~1a2b",
           stem + "-LAPTOP.dat",  // OneDrive
           stem + ".dat.tmp",     // this program's, on its way
           "Horalog Laptop {" + Laptop + "} .dat", "horalog Laptop {" + Laptop + "}.dat",
           "Horalog Laptop {" + Laptop + "}.DAT", "Horalog  {" + Laptop + "}.dat",
           "Horalog Laptop {7F3E9B20-1C4D-4E5F-8A6B-9C0D1E2F3A44}.dat",
           "Horalog Laptop {7f3e9b20-1c4d-4e5f-8a6b-9c0d1e2f3a4}.dat", "hl.dat"})
    EXPECT_FALSE(MachineOfFileName(other)) << other;
}

class MachinesTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::FailFileOperation(0); }

  std::string Folder() const { return shared.Path(); }
  std::string CopyPath(const std::string& name, const std::string& identity) const {
    return Folder() + CopyFileName(name, identity);
  }
  // A copy of the records as a machine writes it, made at madeAt: the next
  // number of its writer's sequence (none: as an earlier release wrote it).
  void WriteCopy(const std::string& name, const std::string& identity,
                 const std::vector<TActRec>& records, TDateTime madeAt,
                 std::optional<TDateTime> runningUntil = {}, const std::string& writer = "OTHER",
                 bool ordered = true) {
    const std::string journal = scratch.Path("journal.dat");
    test::WriteRecords(journal, records);
    TCopyMark mark{identity, name, writer, madeAt, std::nullopt};
    if (ordered) mark.order = TCopyOrder{77, ++sequence};
    WriteMachineCopy(CopyPath(name, identity), journal, {}, runningUntil, mark);
  }
  // A clock an hour ahead of UTC all year, at noon on Monday.
  static TZoneClock FixedZone(int32_t minutes = 60) {
    return {[minutes](TDateTime) { return minutes; }, [] { return At(12, 0); }};
  }
  // This machine's folder: its state beside the journal at dataPath (none:
  // kept while the folder lives).
  TMachineFolder Folder(const std::string& identity, const std::string& computer = "DESK",
                        const std::string& dataPath = {}, const std::string& name = "Desk") {
    return TMachineFolder({Folder(), name, identity, computer},
                          [this](const std::string& line) { log.push_back(line); }, dataPath,
                          FixedZone());
  }
  // What a copy holds as a reader reads it: its live records, the running
  // spell's last activity (StatusRunningUntil) and the mark.
  static std::vector<TActRec> CopyRecords(const std::string& path) {
    const std::string fileName = path.substr(path.find_last_of("/\\") + 1);
    const TCopyOutcome outcome =
        ReadMachineCopy(path, fileName, MachineOfFileName(fileName)->identity);
    std::vector<TActRec> records;
    if (!outcome.reading) return records;
    for (const TMachineRecord& record : outcome.reading->records)
      records.push_back(MakeRecord(record.action, record.time));
    if (outcome.reading->runningUntil) {
      records.push_back(MakeRecord(ActionStop, *outcome.reading->runningUntil));
      records.back().Status = StatusRunningUntil;
    }
    records.push_back(MakeCopyMark(outcome.reading->mark));
    return records;
  }
  // The files in the folder and in the folders within, by their paths in it.
  std::map<std::string, platform::TFileStamp> Snapshot() const {
    std::map<std::string, platform::TFileStamp> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Folder()))
      if (entry.is_regular_file())
        if (const auto stamp = platform::FileStamp(entry.path().string()))
          files[std::filesystem::relative(entry.path(), Folder()).generic_string()] = *stamp;
    return files;
  }
  // The files written (or made) between two snapshots, and their bytes.
  static std::vector<std::string> Written(const std::map<std::string, platform::TFileStamp>& before,
                                          const std::map<std::string, platform::TFileStamp>& after,
                                          int64_t* bytes = nullptr) {
    std::vector<std::string> names;
    for (const auto& [name, stamp] : after) {
      const auto found = before.find(name);
      if (found != before.end() && found->second == stamp) continue;
      names.push_back(name);
      if (bytes) *bytes += stamp.size;
    }
    return names;
  }
  std::vector<std::string> CopiesInFolder() const {
    std::vector<std::string> names = platform::FolderFileNames(Folder());
    std::sort(names.begin(), names.end());
    return names;
  }
  static std::vector<std::string> Names(const TMachineFolder& folder) {
    std::vector<std::string> names;
    for (const TMachineReading* reading : folder.Machines()) names.push_back(reading->mark.name);
    return names;
  }
  // The machine of that name among those the folder counts; nothing when none.
  static const TMachineReading* Named(const TMachineFolder& folder, const std::string& name) {
    for (const TMachineReading* reading : folder.Machines())
      if (reading->mark.name == name) return reading;
    return nullptr;
  }

  test::ScratchDir shared{"shared"}, scratch;
  std::vector<std::string> log;
  uint64_t sequence = 0;
};

const std::vector<TActRec> LaptopMorning{MakeRecord(ActionStart, At(8, 0)),
                                         MakeRecord(ActionStop, At(10, 0))};

// A copy that comes in pieces is not counted until it is whole; the reading
// before it is kept meanwhile, and each state of it is told once, naming the
// file. An empty copy and one that is older than the one read are passed
// over the same way.
TEST_F(MachinesTest, ACopyArrivingInPiecesKeepsTheLastGoodReading) {
  TMachineFolder folder = Folder(Desk);
  const std::string path = CopyPath("Laptop", Laptop);
  WriteCopy("Laptop", Laptop, LaptopMorning, At(10, 5));
  const test::Bytes whole = test::ReadBytes(path);
  test::WriteBytes(path, test::Bytes(whole.begin(), whole.begin() + 200));
  EXPECT_FALSE(folder.Look());
  EXPECT_TRUE(folder.Machines().empty());
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], path +
                        " is still arriving (its size is not whole records); Laptop is not "
                        "counted until it can be read.");
  test::WriteBytes(path, test::Bytes(whole.begin(), whole.begin() + 2 * RecordSize));
  EXPECT_FALSE(folder.Look()) << "whole records without the mark at the end";
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[1].find("does not end with Horalog's mark"), std::string::npos) << log[1];
  test::WriteBytes(path, whole);
  EXPECT_TRUE(folder.Look());
  EXPECT_EQ(Names(folder), std::vector<std::string>{"Laptop"});
  ASSERT_EQ(folder.Machines()[0]->records.size(), 2u);
  EXPECT_EQ(log.size(), 2u);

  // The next copy arrives in pieces too: the reading before counts meanwhile.
  WriteCopy("Laptop", Laptop,
            {LaptopMorning[0], LaptopMorning[1], MakeRecord(ActionStart, At(11, 0))}, At(11, 5));
  const test::Bytes next = test::ReadBytes(path);
  test::WriteBytes(path, test::Bytes(next.begin(), next.begin() + 300));
  EXPECT_FALSE(folder.Look());
  ASSERT_EQ(folder.Machines().size(), 1u);
  EXPECT_EQ(folder.Machines()[0]->records.size(), 2u);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_NE(log[2].find("; Laptop counts as read before."), std::string::npos) << log[2];
  EXPECT_FALSE(folder.Look()) << "an unchanged file is not read again";
  EXPECT_EQ(log.size(), 3u) << "told once";
  test::WriteBytes(path, {});
  folder.Look();
  EXPECT_EQ(folder.Machines()[0]->records.size(), 2u);
  EXPECT_NE(log.back().find(" is empty; Laptop counts as read before."), std::string::npos)
      << log.back();
  test::WriteBytes(path, next);
  EXPECT_TRUE(folder.Look());
  // An earlier copy in its writer's order (the sync service brings back one
  // it had): passed over, whatever its clock says, until the writer writes again.
  test::WriteBytes(path, whole);
  EXPECT_FALSE(folder.Look());
  EXPECT_EQ(folder.Machines()[0]->records.size(), 3u);
  EXPECT_NE(log.back().find(" is an earlier copy than the one read before (number 1 of its "
                            "writer, the one before number 2); Laptop counts as read before."),
            std::string::npos)
      << log.back();
  // A copy of an earlier release has no order: it is taken as it comes.
  WriteCopy("Laptop", Laptop, {LaptopMorning[0]}, At(9, 0), {}, "OTHER", false);
  EXPECT_TRUE(folder.Look());
  EXPECT_EQ(folder.Machines()[0]->records.size(), 1u);
  test::WriteBytes(path, next);
  EXPECT_TRUE(folder.Look());
  EXPECT_EQ(folder.Machines()[0]->records.size(), 3u);

  // A copy that another program holds open is read at the next look, though
  // it did not change.
  WriteCopy("Laptop", Laptop, LaptopMorning, At(12, 0), At(12, 30));
  platform::FailFileOperation(4, platform::FileFault::SharingViolation);  // make, list, stamp, open
  EXPECT_FALSE(folder.Look());
  EXPECT_NE(log.back().find("is still arriving (another program holds it open)"), std::string::npos)
      << log.back();
  EXPECT_TRUE(folder.Look());
  ASSERT_TRUE(folder.Machines()[0]->runningUntil);
  EXPECT_DOUBLE_EQ(*folder.Machines()[0]->runningUntil, At(12, 30));
}

// Two copies of one machine (renamed, or a copy the sync service kept): the
// newer counts, told once. Conflict copies and temporary files are no
// machines and stop nobody; a folder that cannot be read keeps the machines
// read before.
TEST_F(MachinesTest, TwinsConflictCopiesAndAnUnreadableFolderStopNobody) {
  TMachineFolder folder = Folder(Desk);
  WriteCopy("Laptop", Laptop, LaptopMorning, At(10, 5));
  WriteCopy("Notebook", Laptop, {LaptopMorning[0]}, At(11, 0));
  WriteCopy("Tablet", "11111111-2222-4333-8444-555555555555", LaptopMorning, At(9, 0));
  const std::string conflict =
      "Horalog Laptop {" + Laptop + "} (Anna's conflicted copy 2026-03-02).dat";
  test::WriteBytes(Folder() + conflict, test::ReadBytes(CopyPath("Laptop", Laptop)));
  test::WriteText(Folder() + "desktop.ini", "[.ShellClassInfo]");
  // Counted as the recorder counts: each copy as it is read, its records
  // gone once its count is frozen.
  TWorkTotals own(0, true);
  TMachineHours hours(own);
  EXPECT_TRUE(LookAndCount(folder, hours, 0));
  TakeMachines(folder, hours, true, 0);
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"Tablet", "Notebook"}));
  EXPECT_TRUE(Contains(log, Folder() + conflict + " is not a machine's copy"));
  EXPECT_TRUE(Contains(log, "Two copies of the machine Notebook {" + Laptop + "} in " + Folder() +
                                ": Horalog Laptop {" + Laptop + "}.dat, Horalog Notebook {" +
                                Laptop + "}.dat; the newer, Horalog Notebook {" + Laptop +
                                "}.dat, counts."));
  EXPECT_EQ(log.size(), 2u) << "nothing about desktop.ini";
  EXPECT_FALSE(folder.Look());
  EXPECT_EQ(log.size(), 2u) << "told once";
  // The newer goes: the other counts again, its records read again (they
  // went when it was first read and counted no one).
  platform::RemoveFile(CopyPath("Notebook", Laptop));
  EXPECT_TRUE(LookAndCount(folder, hours, 0));
  TakeMachines(folder, hours, true, 0);
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"Tablet", "Laptop"}));
  EXPECT_TRUE(hours.Uncounted().empty());
  EXPECT_EQ(hours.Spells(DayNumber(Monday)).size(), 2u) << "the Tablet's spell and the Laptop's";

  platform::FailFileOperation(2);  // the listing
  EXPECT_FALSE(folder.Look());
  EXPECT_FALSE(folder.Readable());
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"Tablet", "Laptop"}));
  EXPECT_NE(log.back().find("Cannot read the folder " + Folder() + " of [Machines]: "),
            std::string::npos)
      << log.back();
  const size_t lines = log.size();
  platform::FailFileOperation(2);
  folder.Look();
  EXPECT_EQ(log.size(), lines) << "told once per change";
  folder.Look();
  EXPECT_TRUE(folder.Readable());
}

// A folder that cannot be made is told once, and writing this machine's copy
// into it fails without raising: recording goes on.
TEST_F(MachinesTest, AFolderThatCannotBeMadeIsToldOnce) {
  test::WriteText(scratch.Path("file"), "not a folder");
  TMachineFolder folder({scratch.Path("file") + "/Horalog/", "Desk", Desk, "DESK"},
                        [this](const std::string& line) { log.push_back(line); });
  EXPECT_FALSE(folder.Look());
  EXPECT_FALSE(folder.Look());
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].rfind(
                "Cannot make the folder " + scratch.Path("file") + "/Horalog/ of [Machines]: ", 0),
            0u)
      << log[0];
  EXPECT_NE(log[0].find("Recording goes on"), std::string::npos) << log[0];
  EXPECT_FALSE(folder.WriteOwnCopy(scratch.Path("hl.dat"), {}, {}, At(9, 0)));
  EXPECT_EQ(log.size(), 1u) << "the same folder told once";
}

// Who wrote a copy is told by what it holds. This installation's copy, of
// this run or an earlier one, is written over; one that another writer made
// under the same identity (a copied program folder: the journal and the
// state beside it) never is: this installation takes a new identity, told
// once, and counts the other as a machine of its own, and so does the other.
TEST_F(MachinesTest, AnotherWritersCopyUnderThisIdentityIsNeverOverwritten) {
  test::ScratchDir deskDir, cloneDir;
  const std::string journal = deskDir.Path(DataFileBaseName);
  test::WriteRecords(journal, LaptopMorning);
  TMachineFolder folder = Folder(Desk, "DESK", journal);
  ASSERT_TRUE(folder.WriteOwnCopy(journal, {}, {}, At(10, 0)));
  EXPECT_TRUE(folder.WriteOwnCopy(journal, {}, At(10, 30), At(10, 31)));
  TMachineFolder nextRun = Folder(Desk, "DESK", journal);
  EXPECT_EQ(nextRun.Identity(), folder.Identity()) << "kept beside the journal";
  EXPECT_NE(nextRun.Identity(), Desk) << "the installation's, not the computer's";
  EXPECT_TRUE(nextRun.WriteOwnCopy(journal, {}, {}, At(11, 0)));
  EXPECT_TRUE(log.empty());

  // The program folder copied to another computer, whose journal goes on.
  const std::string cloneJournal = cloneDir.Path(DataFileBaseName);
  test::WriteRecords(cloneJournal, {LaptopMorning[0], LaptopMorning[1],
                                    MakeRecord(ActionStart, At(11, 0))});
  test::WriteBytes(cloneDir.Path(MachineStateFileName),
                   test::ReadBytes(deskDir.Path(MachineStateFileName)));
  std::vector<std::string> cloneLog;
  TMachineFolder clone({Folder(), "Desk", Desk, "DESK"},
                       [&cloneLog](const std::string& line) { cloneLog.push_back(line); },
                       cloneJournal, FixedZone());
  ASSERT_EQ(clone.Identity(), nextRun.Identity());
  EXPECT_FALSE(clone.Look()) << "the copy it finds holds no hours it lacks";
  ASSERT_TRUE(clone.WriteOwnCopy(cloneJournal, {}, {}, At(11, 5)));
  const test::Bytes clones = test::ReadBytes(clone.OwnCopyPath());

  const std::string first = nextRun.Identity();
  EXPECT_TRUE(nextRun.Look());
  EXPECT_NE(nextRun.Identity(), first);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("Horalog Desk {" + first + "}.dat has this installation's identity {" +
                        first + "} but holds hours that this machine's journal does not (its "
                                 "writer: DESK)"),
            std::string::npos)
      << log[0];
  EXPECT_NE(log[0].find("this machine's copy is Horalog Desk {" + nextRun.Identity() +
                        "}.dat from now on."),
            std::string::npos)
      << log[0];
  EXPECT_TRUE(nextRun.OwnCopyDue());
  EXPECT_TRUE(nextRun.WriteOwnCopy(journal, {}, {}, At(11, 10)));
  EXPECT_EQ(test::ReadBytes(clone.OwnCopyPath()), clones) << "never overwritten";
  EXPECT_EQ(Names(nextRun), std::vector<std::string>{"Desk"});
  ASSERT_EQ(nextRun.Machines().size(), 1u);
  EXPECT_EQ(nextRun.Machines()[0]->records.size(), 3u) << "the clone's hours";
  // The clone counts the first as a machine of its own, and keeps writing.
  EXPECT_TRUE(clone.Look());
  EXPECT_EQ(clone.Machines().size(), 1u);
  EXPECT_TRUE(clone.WriteOwnCopy(cloneJournal, {}, {}, At(11, 20)));
  EXPECT_TRUE(cloneLog.empty()) << cloneLog[0];
  nextRun.Look();
  EXPECT_EQ(nextRun.Machines()[0]->records.size(), 3u);
  EXPECT_EQ(log.size(), 1u) << "told once";
  EXPECT_EQ(CopiesInFolder().size(), 2u);
}

// Copies of an earlier release are named by the machine's GUID: this
// machine's goes when its hours are all in the journal; one with other hours
// (a computer made from the same image) counts as a machine of its own.
TEST_F(MachinesTest, ThisMachinesCopyOfAnEarlierReleaseGoesAndAClonesCounts) {
  const std::string journal = scratch.Path(DataFileBaseName);
  test::WriteRecords(journal, LaptopMorning);
  WriteCopy("Desk", Desk, {LaptopMorning[0]}, At(10, 5), {}, "DESK", false);
  TMachineFolder folder = Folder(Desk, "DESK-RENAMED", journal);
  EXPECT_FALSE(folder.Look());
  EXPECT_TRUE(folder.Machines().empty());
  EXPECT_FALSE(platform::FileFound(CopyPath("Desk", Desk)));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], CopyPath("Desk", Desk) +
                        " is this machine's copy of an earlier release, its hours all in this "
                        "machine's journal: it is removed, Horalog Desk {" +
                        folder.Identity() + "}.dat counts.");
  WriteCopy("Desk", Desk, {MakeRecord(ActionStart, At(14, 0))}, At(14, 5), {}, "DESK", false);
  EXPECT_TRUE(folder.Look());
  EXPECT_EQ(Names(folder), std::vector<std::string>{"Desk"});
  EXPECT_TRUE(platform::FileFound(CopyPath("Desk", Desk)));
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[1].find("has this machine's identity {" + Desk +
                        "} but holds hours that this machine's journal does not (its writer: "
                        "DESK): a computer made from the same image? It is left as it is and "
                        "counted as a machine of its own."),
            std::string::npos)
      << log[1];
  WriteCopy("Desk", Desk, {MakeRecord(ActionStart, At(15, 0))}, At(15, 5), {}, "DESK", false);
  EXPECT_TRUE(folder.Look());
  EXPECT_EQ(log.size(), 2u) << "told once";
}

// The copy in parts: the file at the copy's name names a part per month of
// live records, the offsets, the order and the mark; the running spell's last
// activity is in a file of its own, the only one written while only it
// changes.
TEST_F(MachinesTest, TheCopyNamesItsPartsTheRunningSpellTheOffsetsAndTheMark) {
  const std::string journal = scratch.Path("hl.dat");
  std::vector<TActRec> records = LaptopMorning;
  records.insert(records.begin(),
                 {MakeRecord(ActionStart, At(8, 0) - 40), MakeRecord(ActionStop, At(9, 0) - 40),
                  MakeRecord(ActionStart, At(9, 0) - 39)});
  records[2].Status = StatusDeleted;
  test::WriteRecords(journal, records);
  TMachineFolder folder({Folder(), "Laptop", Laptop, "LAPTOP"},
                        [this](const std::string& line) { log.push_back(line); }, journal,
                        FixedZone());
  ASSERT_TRUE(
      folder.WriteOwnCopy(journal, {MakeRecord(ActionStart, At(11, 0))}, At(11, 40), At(11, 41)));
  const test::Bytes first = test::ReadBytes(folder.OwnCopyPath());
  // Only the running spell changed: its file alone is written.
  ASSERT_TRUE(
      folder.WriteOwnCopy(journal, {MakeRecord(ActionStart, At(11, 0))}, At(11, 45), At(11, 46)));
  EXPECT_EQ(test::ReadBytes(folder.OwnCopyPath()), first);
  // The file at the copy's name: a part per month (January's and March's),
  // the offset the clock had then, the writer's order and the mark.
  const std::vector<TActRec> index = test::ReadJournal(folder.OwnCopyPath());
  ASSERT_EQ(index.size(), 4u);
  EXPECT_EQ(int32_t{index[0].Status}, StatusCopyPart);  // by value: not aligned
  EXPECT_EQ(ReadOffsetNote(index[1]), (TOffsetNote{Monday - 42, 60})) << TDateTime{index[1].Time};
  const std::optional<TCopyOrder> order = ReadCopyOrder(index[2]);
  ASSERT_TRUE(order);
  EXPECT_EQ(order->sequence, 1u);
  const std::optional<TCopyMark> mark = ReadCopyMark(index[3]);
  ASSERT_TRUE(mark);
  EXPECT_EQ(mark->identity, folder.Identity());
  EXPECT_EQ(mark->name, "Laptop");
  EXPECT_EQ(mark->writer, "LAPTOP");
  EXPECT_DOUBLE_EQ(mark->madeAt, At(11, 41));
  EXPECT_EQ(ReadMarkAtEnd(folder.OwnCopyPath())->order, order);
  // As a reader reads it: the live records in the journal's order, the
  // records that wait, and the running spell from its own file.
  const std::string fileName = CopyFileName("Laptop", folder.Identity());
  const TCopyOutcome outcome = ReadMachineCopy(folder.OwnCopyPath(), fileName, folder.Identity());
  ASSERT_TRUE(outcome.reading) << outcome.problem;
  ASSERT_EQ(outcome.reading->parts.size(), 2u);
  std::vector<TDateTime> times;
  for (const TMachineRecord& record : outcome.reading->records) times.push_back(record.time);
  EXPECT_EQ(times,
            (std::vector<TDateTime>{At(8, 0) - 40, At(9, 0) - 40, At(8, 0), At(10, 0), At(11, 0)}));
  ASSERT_TRUE(outcome.reading->runningUntil);
  EXPECT_DOUBLE_EQ(*outcome.reading->runningUntil, At(11, 45));
  const std::vector<std::string> parts =
      platform::FolderFileNames(Folder() + PartsFolderName(fileName) + "/");
  EXPECT_EQ(parts.size(), 3u) << "two parts and the running file";
  // A reader of a journal (an earlier release) takes no hours of it.
  TWorkTotals totals;
  LoadWorkTotals(folder.OwnCopyPath(), totals);
  EXPECT_EQ(totals.Worked(DayNumber(Monday)), 0);
}

// The union: time on two machines at once counts once, a running spell of
// another machine counts up to its last activity in its copy, and a day's
// first In and last Out are any machine's.
TEST(MachineHoursTest, TheDayCountsTheUnionOfAllMachinesSpells) {
  EXPECT_EQ(UnionSeconds({{{At(8, 0), At(10, 0)}},
                          {{At(9, 0), At(11, 0)}},
                          {{At(12, 0), At(12, 30)}},
                          {{At(10, 0), At(10, 30)}}}),
            3 * 3600 + 1800);
  const int64_t day = DayNumber(Monday);
  TWorkTotals own(0, true);
  for (const TActRec& record :
       {MakeRecord(ActionStart, At(9, 0)), MakeRecord(ActionStop, At(12, 0)),
        MakeRecord(ActionStart, At(13, 0))})
    own.Take(record);
  TMachineHours hours(own);
  EXPECT_EQ(hours.Worked(day), 3 * 3600) << "alone, as its own";
  TMachineReading laptop;
  laptop.records = {{At(8, 0), ActionStart},
                    {At(10, 0), ActionStop},
                    {At(11, 30), ActionStart},
                    {At(12, 30), ActionStop},
                    {At(16, 0), ActionStart}};
  laptop.runningUntil = At(17, 0);
  TMachineReading tablet;
  tablet.records = {{At(7, 0), ActionStart}, {At(7, 30), ActionStop}};
  hours.SetMachines({&laptop, &tablet});
  // 7:00-7:30, 8:00-12:30, 16:00-17:00; this machine's running spell to 14:00.
  EXPECT_EQ(hours.Worked(day), 6 * 3600);
  EXPECT_EQ(hours.Worked(day, TRunningSpell{At(14, 0)}), 7 * 3600);
  const TDayFigures figures = hours.Day(day);
  ASSERT_TRUE(figures.firstIn && figures.lastOut);
  EXPECT_DOUBLE_EQ(*figures.firstIn, At(7, 0));
  EXPECT_DOUBLE_EQ(*figures.lastOut, At(12, 30));
  EXPECT_EQ(hours.FirstDay(), day);
  THoursSettings settings;
  for (int weekday = 1; weekday <= 5; ++weekday) settings.weekdayTargets[weekday] = 5 * 3600;
  EXPECT_EQ(hours.WorkedOverTarget(day, day, settings), 3600);
  EXPECT_EQ(HoursAt(hours, settings, At(18, 0), 1).today, 6 * 3600);
  // This machine's hours read afresh after an edit of the same number of
  // records: the sum kept for the balance goes with them.
  TWorkTotals edited(0, true);
  for (const TActRec& record :
       {MakeRecord(ActionStart, At(9, 0)), MakeRecord(ActionStop, At(15, 0)),
        MakeRecord(ActionStart, At(16, 0))})
    edited.Take(record);
  own = edited;
  EXPECT_EQ(hours.WorkedOverTarget(day, day, settings), 3 * 3600 + 1800);
  own.Take(MakeRecord(ActionStop, At(18, 0)));
  EXPECT_EQ(hours.WorkedOverTarget(day, day, settings), 4 * 3600 + 1800);
}

// A spell across the day's split counts its part in each day on each
// machine, and the parts join the other machines' spells of those days.
TEST(MachineHoursTest, SpellsAcrossTheSplitJoinTheUnionOfEachDay) {
  const TDateTime dayStart = 2.0 / 24;  // days split at 2:00
  const int64_t day = DayNumber(Monday);
  TWorkTotals own(dayStart, true);
  // Monday 23:00 to Tuesday 3:00 on this machine.
  own.Take(MakeRecord(ActionStart, At(23, 0)));
  own.Take(MakeRecord(ActionStop, Monday + 1 + 3.0 / 24));
  TMachineHours hours(own);
  TMachineReading laptop;
  // Tuesday 1:00 to 2:30 on the laptop (across the split too), and a spell
  // from Tuesday 2:45 that ran to 4:00 when its copy was made.
  laptop.records = {{Monday + 1 + 1.0 / 24, ActionStart},
                    {Monday + 1 + 2.5 / 24, ActionStop},
                    {Monday + 1 + 2.75 / 24, ActionStart}};
  laptop.runningUntil = Monday + 1 + 4.0 / 24;
  hours.SetMachines({&laptop});
  // Monday: 23:00 to 2:00 on both; Tuesday: 2:00 to 3:00 here, 2:00 to 2:30
  // and 2:45 to 4:00 on the laptop: 2:00 to 4:00.
  EXPECT_EQ(hours.Worked(day), 3 * 3600);
  EXPECT_EQ(hours.Worked(day + 1), 2 * 3600);
  EXPECT_DOUBLE_EQ(hours.Day(day + 1).firstIn.value_or(0), Monday + 1 + dayStart);
}

// Two recorders, two machines, one folder: each copy follows its journal, and
// each tip counts the union once the folder has been looked at again.
TEST_F(MachinesTest, TwoRecordersSeeEachOthersHoursThroughTheFolder) {
  test::ScratchDir deskDir, laptopDir;
  test::FakeSource deskClock, laptopClock;
  test::FakeView deskView, laptopView;
  TLocale locale;
  deskClock.wall = laptopClock.wall = At(9, 0);
  TRecorder desk(deskClock, deskView, deskDir.Path(), locale);
  TRecorder laptop(laptopClock, laptopView, laptopDir.Path(), locale);
  desk.SetMachinesSettings({Folder(), "Desk", Desk, "DESK"});
  laptop.SetMachinesSettings({Folder(), "Laptop", Laptop, "LAPTOP"});
  desk.Start();
  laptop.Start();
  // A copy of no records yet: the other machines know this one from the start.
  EXPECT_EQ(CopyRecords(desk.Machines()->OwnCopyPath()).size(), 1u);
  auto work = [](TRecorder& recorder, test::FakeSource& clock, int seconds, bool moving) {
    for (int i = 0; i < seconds; ++i) {
      clock.Advance(1000);
      if (moving) ++clock.x;
      recorder.Tick();
    }
  };
  work(desk, deskClock, 3600, true);  // 9:00 to 10:00 at the desk
  work(laptop, laptopClock, 1800, false);
  work(laptop, laptopClock, 3600, true);  // 9:30 to 10:30 on the laptop
  // The laptop's copy says how far its running spell has run.
  const std::vector<TActRec> copy = CopyRecords(laptop.Machines()->OwnCopyPath());
  ASSERT_GE(copy.size(), 3u);
  EXPECT_EQ(int32_t{copy[copy.size() - 2].Status}, StatusRunningUntil);
  EXPECT_GE(TDateTime{copy[copy.size() - 2].Time}, At(10, 24));
  work(desk, deskClock, 1800 + 601, false);  // the desk's Stop, its copy, the laptop's copy read
  EXPECT_EQ(deskView.tip, "Horalog\nToday 1:25\nThis week 1:25");
  work(laptop, laptopClock, 601 + 60, false);  // the laptop's Stop and the desk's copy read
  EXPECT_EQ(laptopView.tip, "Horalog\nToday 1:30\nThis week 1:30");
  work(desk, deskClock, 60, false);
  EXPECT_EQ(deskView.tip, "Horalog\nToday 1:30\nThis week 1:30");
  const std::string laptopCopy = laptop.Machines()->OwnCopyPath();
  ASSERT_TRUE(laptop.Exit());
  EXPECT_EQ(CopyRecords(laptopCopy).size(), 4u)
      << "Start, Stop, exit's Stop, mark";
  // Nothing of the other machine is in either journal.
  EXPECT_EQ(test::ReadJournal(deskDir.Path(DataFileBaseName)).size(), 2u);
  EXPECT_TRUE(deskView.boxes.empty());
  // The end of the session: the spell's Stop, then the copy with it.
  work(desk, deskClock, 30, true);
  desk.EndSession();
  const std::vector<TActRec> last = CopyRecords(desk.Machines()->OwnCopyPath());
  ASSERT_EQ(last.size(), 5u) << "two spells and the mark";
  EXPECT_EQ(last[3].Action, ActionStop);
  EXPECT_EQ(int32_t{last[3].Status}, StatusLive);
  // A third machine starting now keeps only the others' days (their
  // records go once counted): its days split at another time count them
  // anew from their copies.
  {
    test::ScratchDir thirdDir;
    test::FakeSource thirdClock;
    test::FakeView thirdView;
    thirdClock.wall = deskClock.wall;
    // The copies are read whole on a thread of their own, which the test
    // lets run when it has seen the recorder go on without them.
    struct TLaterWork : TBackgroundWork {
      std::function<void()> work;
      std::thread thread;
      void Run(std::function<void()> next) override { work = std::move(next); }
      void Let() { thread = std::thread(std::exchange(work, nullptr)); }
      void Wait() override {
        if (work) Let();
        if (thread.joinable()) thread.join();
      }
    } background;
    TRecorder third(thirdClock, thirdView, thirdDir.Path(), locale);
    third.SetBackground(&background);
    third.SetMachinesSettings({Folder(), "Third", "", "THIRD"});
    third.Start();
    work(third, thirdClock, 2, false);
    EXPECT_TRUE(third.ReadingMachines());
    EXPECT_EQ(thirdView.tip, "Horalog\nToday 0:00\nThis week 0:00") << "its own hours meanwhile";
    background.Let();
    third.BackgroundDone();
    EXPECT_FALSE(third.ReadingMachines());
    EXPECT_EQ(thirdView.tip, "Horalog\nToday 1:30\nThis week 1:30");
    // The report reads the records again, as a folder read afresh has them.
    const std::vector<const TMachineReading*> counted = third.Machines()->Machines();
    ASSERT_EQ(counted.size(), 2u);
    for (const TMachineReading* reading : counted) EXPECT_TRUE(reading->forgotten);
    const std::vector<TMachineReading> whole = third.Machines()->WholeReadings();
    TMachineFolder afresh({Folder(), "Third", "", "THIRD"}, [](const std::string&) {},
                          thirdDir.Path(DataFileBaseName), TZoneClock::System(), true);
    afresh.Look();
    ASSERT_EQ(whole.size(), afresh.Machines().size());
    for (size_t i = 0; i < whole.size(); ++i) {
      const std::vector<TMachineRecord>& read = afresh.Machines()[i]->records;
      ASSERT_EQ(whole[i].records.size(), read.size()) << whole[i].mark.name;
      EXPECT_FALSE(read.empty());
      for (size_t r = 0; r < read.size(); ++r) {
        EXPECT_EQ(whole[i].records[r].time, read[r].time);
        EXPECT_EQ(whole[i].records[r].action, read[r].action);
      }
    }
    THoursSettings later;
    later.dayStart = 2.0 / 24;
    third.SetHoursSettings(later);
    EXPECT_TRUE(third.ReadingMachines());
    background.Let();
    third.BackgroundDone();
    EXPECT_EQ(thirdView.tip, "Horalog\nToday 1:30\nThis week 1:30");
    // The exit does not wait for a reading to its end: it stops it, and
    // writes this machine's copy.
    third.SetMachinesSettings({Folder(), "Fourth", "", "FOURTH"});
    EXPECT_TRUE(third.ReadingMachines());
    ASSERT_TRUE(third.Exit());
    EXPECT_FALSE(third.ReadingMachines());
    EXPECT_TRUE(third.Machines()->Machines().empty()) << "no copy read once stopped";
    EXPECT_FALSE(CopyRecords(third.Machines()->OwnCopyPath()).empty());
  }
}

}  // namespace
}  // namespace horalog

namespace horalog {
namespace {

// The page of several machines: each day's rows of every machine in time
// order, named in a fourth column, the day's total the union's, and a line
// per machine below the last day; the CSV's rows name their machine too.
TEST_F(MachinesTest, ThePageShowsEveryMachinesRowsAndTheUnionsTotal) {
  test::ScratchDir data;
  test::WriteRecords(data.Path(DataFileBaseName),
                     {MakeRecord(ActionStart, At(9, 0)), MakeRecord(ActionStop, At(12, 0)),
                      MakeRecord(ActionStart, Monday + 1 + 9.0 / 24)});
  WriteCopy("Laptop & Co", Laptop,
            {MakeRecord(ActionStart, At(8, 0)), MakeRecord(ActionStop, At(10, 0)),
             MakeRecord(ActionStop, At(13, 0))},
            At(17, 35));
  TMachineFolder folder = Folder(Desk);
  folder.Look();
  TWorkTotals totals;
  TMachineHours hours(totals);
  const ReportOutcome outcome = BuildMachinesReportFile(
      data.Path(), Monday, Monday + 1, TLocale{}, 0, "Desk", folder.Machines(), totals, hours);
  const std::string page = test::ReadText(outcome.path);
  EXPECT_NE(
      page.find(
          "<tr><th>In</th><th>Out</th><th>Time difference</th><th>Machine</th></tr>\r\n"
          "<tr><td>08:00:00 am</td><td>10:00:00 am</td><td>02:00:00</td><td>Laptop &amp; "
          "Co</td></tr>\r\n"
          "<tr><td>09:00:00 am</td><td>12:00:00 pm</td><td>03:00:00</td><td>Desk</td></tr>\r\n"
          "<tr><td></td><td>01:00:00 pm</td><td></td><td>Laptop &amp; Co</td></tr>\r\n"
          "</table>\r\n<p><b>Total time: 04:00:00</b></p>\r\n"),
      std::string::npos)
      << page;
  EXPECT_NE(
      page.find("<tr><td>09:00:00 am</td><td></td><td></td><td>Desk</td></tr>\r\n</table>\r\n"
                "<p>Desk (this machine): records to 3/3/2026 9:00:00 AM</p>\r\n"
                "<p>Laptop &amp; Co: records to 3/2/2026 1:00:00 PM, copy of 5:35:00 PM</p>\r\n"
                "</font>"),
      std::string::npos)
      << page;
  EXPECT_EQ(ReportCsvLines(outcome.days, TCsvSeparators{}, true),
            (std::vector<std::string>{"Date,In,Out,Duration,Hours,Machine",
                                      "2026-03-02,08:00:00,10:00:00,2:00:00,2.00,Laptop & Co",
                                      "2026-03-02,09:00:00,12:00:00,3:00:00,3.00,Desk",
                                      "2026-03-02,,13:00:00,,,Laptop & Co",
                                      "2026-03-02,Total,,4:00:00,4.00,",
                                      "2026-03-03,09:00:00,,,,Desk", "Total,,,4:00:00,4.00,"}));
  EXPECT_EQ(ReportCsvLines(outcome.days, TCsvSeparators{'&', "."}, true)[1],
            "2026-03-02&08:00:00&10:00:00&2:00:00&2.00&\"Laptop & Co\"");
  const std::vector<std::string> summary =
      DaySummaryLines(outcome.days, DayNumber(Monday), DayNumber(Monday), hours, THoursSettings{},
                      TCsvSeparators{});
  EXPECT_EQ(summary[1], "2026-03-02,08:00:00,13:00:00,4:00:00,4.00");

  EXPECT_EQ(MachineListLines(folder.Machines(), Desk, At(18, 0)),
            std::vector<std::string>{"Laptop & Co {" + Laptop +
                                     "}: 3 records, 2026-03-02 08:00 to 2026-03-02 13:00, copy "
                                     "of 2026-03-02 17:35, 0:25 old"});
}

}  // namespace
}  // namespace horalog

namespace horalog {
namespace {

// One machine: a recorder on its own clocks, its journal in a folder of its own.
struct TSimulatedMachine {
  explicit TSimulatedMachine(TDateTime at) { clock.wall = at; }
  void Work(int seconds, bool moving) {
    for (int i = 0; i < seconds; ++i) {
      clock.Advance(1000);
      if (moving) ++clock.x;
      recorder.Tick();
    }
  }
  // Minutes of work from now, then quiet until its Stop and its copy are written.
  void Spell(int minutes) {
    Work(minutes * 60, true);
    Work(12 * 60, false);
  }
  // Quiet past its next look at the folder.
  void Look() { Work(61, false); }
  void Copy(const std::string& fileName, TSimulatedMachine& to) {
    test::WriteBytes(to.dir.Path(fileName), test::ReadBytes(dir.Path(fileName)));
  }
  bool Told(const std::string& part) const { return Contains(view.log, part); }

  test::ScratchDir dir;
  test::FakeSource clock;
  test::FakeView view;
  TLocale locale;
  TRecorder recorder{clock, view, dir.Path(), locale};
};

std::string Tip(const std::string& hours) {
  return "Horalog\nToday " + hours + "\nThis week " + hours;
}

// Renaming the computer (with Name= set, and without: the name goes with
// it) or changing Name= keeps the machine's hours counted by the others, and
// its copy under the former name goes.
TEST_F(MachinesTest, RenamingTheComputerOrItsNameKeepsItsHoursCounted) {
  TSimulatedMachine desk(At(9, 0)), laptop(At(9, 0));
  desk.recorder.SetMachinesSettings({Folder(), "Desk", Desk, "DESK"});
  laptop.recorder.SetMachinesSettings({Folder(), "Laptop", Laptop, "LAPTOP"});
  desk.recorder.Start();
  laptop.recorder.Start();
  desk.Spell(60);  // 9:00 to 10:00
  desk.recorder.SetMachinesSettings({Folder(), "Desk", Desk, "DESK-NEW"});
  desk.Spell(30);
  laptop.Look();
  EXPECT_EQ(laptop.view.tip, Tip("1:30"));
  desk.recorder.SetMachinesSettings({Folder(), "DESK-NEW", Desk, "DESK-NEW"});
  desk.Spell(30);
  desk.recorder.SetMachinesSettings({Folder(), "Office", Desk, "DESK-NEW"});
  desk.Spell(30);
  laptop.Look();
  EXPECT_EQ(laptop.view.tip, Tip("2:30"));
  EXPECT_EQ(desk.view.tip, Tip("2:30"));
  const std::vector<std::string> copies = CopiesInFolder();
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(copies[0].rfind("Horalog Laptop {", 0), 0u) << copies[0];
  EXPECT_EQ(copies[1].rfind("Horalog Office {", 0), 0u) << copies[1];
  // The parts' folders of the former names went with them.
  std::vector<std::string> folders;
  for (const auto& entry : std::filesystem::directory_iterator(Folder()))
    if (entry.is_directory()) folders.push_back(entry.path().filename().string());
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(folders, (std::vector<std::string>{PartsFolderName(copies[0]),
                                                PartsFolderName(copies[1])}));
  EXPECT_TRUE(desk.Told("is this machine's copy under its former name: it is removed"));
  EXPECT_FALSE(desk.Told("same image"));
  EXPECT_FALSE(laptop.Told("Two copies"));
}

// Two machines that write different journals are two machines, whatever
// they share: the machine GUID, the computer's name, Name= or a copied
// program folder. Neither deletes nor overwrites the other's copy for good,
// each counts the other, and so does a third.
TEST_F(MachinesTest, ClonesAreTwoMachinesWhateverTheyShare) {
  struct TCase {
    std::string computer, name;
    bool copiedFolder;
  };
  for (const TCase& clonesCase : {TCase{"DESK-2", "DESK-2", false}, TCase{"DESK", "Desk 2", true},
                                  TCase{"DESK", "Desk", true}, TCase{"DESK", "Desk", false}}) {
    SCOPED_TRACE(clonesCase.computer + " " + clonesCase.name);
    test::ScratchDir own;
    TSimulatedMachine desk(At(9, 0)), clone(At(11, 0)), laptop(At(13, 30));
    desk.recorder.SetMachinesSettings({own.Path(), "Desk", Desk, "DESK"});
    desk.recorder.Start();
    desk.Spell(60);  // 9:00 to 10:00
    if (clonesCase.copiedFolder) {
      desk.Copy(DataFileBaseName, clone);
      desk.Copy(MachineStateFileName, clone);
    }
    clone.recorder.SetMachinesSettings(
        {own.Path(), clonesCase.name, Desk, clonesCase.computer});
    clone.recorder.Start();
    clone.Spell(30);  // 11:00 to 11:30
    desk.Work(108 * 60, false);
    desk.Spell(60);  // 12:00 to 13:00
    clone.Look();
    desk.Look();
    laptop.recorder.SetMachinesSettings({own.Path(), "Laptop", Laptop, "LAPTOP"});
    laptop.recorder.Start();
    laptop.Look();
    EXPECT_EQ(desk.view.tip, Tip("2:30"));
    EXPECT_EQ(clone.view.tip, Tip("2:30"));
    EXPECT_EQ(laptop.view.tip, Tip("2:30"));
    EXPECT_EQ(platform::FolderFileNames(own.Path()).size(), 3u);
    clone.Spell(10);
    desk.Look();
    EXPECT_EQ(desk.view.tip, Tip("2:40"));
  }
}

// The order of copies is their writer's: a copy written later is taken at
// the next look, whatever either clock says (summer time's end, a clock set
// a year ahead and corrected), and a machine counts as its own tip counts it.
TEST_F(MachinesTest, ACopyWrittenLaterIsTakenWhateverTheClocksSay) {
  TSimulatedMachine desk(At(8, 0)), laptop(At(9, 0));
  desk.recorder.SetMachinesSettings({Folder(), "Desk", Desk, "DESK"});
  laptop.recorder.SetMachinesSettings({Folder(), "Laptop", Laptop, "LAPTOP"});
  desk.recorder.Start();
  laptop.recorder.Start();
  laptop.Spell(60);  // 9:00 to 10:00
  desk.Look();
  EXPECT_EQ(desk.view.tip, Tip("1:00"));
  laptop.clock.wall -= 1.0 / 24;  // the clock goes back an hour
  laptop.Spell(30);
  desk.Look();
  EXPECT_EQ(laptop.view.tip, Tip("1:30"));
  EXPECT_EQ(desk.view.tip, laptop.view.tip);
  laptop.clock.wall += 365;  // set a year ahead, then corrected
  laptop.Spell(5);
  laptop.clock.wall -= 365;
  laptop.Spell(20);
  desk.Look();
  EXPECT_EQ(desk.view.tip, laptop.view.tip);
  EXPECT_FALSE(desk.Told("older"));
  EXPECT_FALSE(desk.Told("earlier copy"));
}

// An earlier version of this machine's own copy, brought back by the sync
// service or a restore, is replaced at the next write with one line; the
// others pass over it meanwhile.
TEST_F(MachinesTest, AnEarlierCopyOfThisMachinesOwnIsReplacedAtItsNextWrite) {
  TSimulatedMachine desk(At(9, 0)), laptop(At(9, 0));
  desk.recorder.SetMachinesSettings({Folder(), "Desk", Desk, "DESK"});
  laptop.recorder.SetMachinesSettings({Folder(), "Laptop", Laptop, "LAPTOP"});
  desk.recorder.Start();
  laptop.recorder.Start();
  desk.Spell(60);
  const std::string copy = desk.recorder.Machines()->OwnCopyPath();
  const test::Bytes earlier = test::ReadBytes(copy);
  desk.Spell(30);
  laptop.Look();
  EXPECT_EQ(laptop.view.tip, Tip("1:30"));
  test::WriteBytes(copy, earlier);
  laptop.Look();
  EXPECT_EQ(laptop.view.tip, Tip("1:30"));
  EXPECT_TRUE(laptop.Told(" is an earlier copy than the one read before"));
  desk.Look();
  EXPECT_NE(test::ReadBytes(copy), earlier);
  auto copyLines = [&desk] {
    std::vector<std::string> lines;
    for (const std::string& line : desk.view.log)
      if (line.find("copy") != std::string::npos) lines.push_back(line);
    return lines;
  };
  ASSERT_EQ(copyLines().size(), 1u);
  EXPECT_NE(copyLines()[0].find(" is an earlier copy of this machine's own (number "),
            std::string::npos)
      << copyLines()[0];
  desk.Spell(10);
  laptop.Look();
  EXPECT_EQ(laptop.view.tip, Tip("1:40"));
  EXPECT_EQ(copyLines().size(), 1u);
}

// So is an earlier running file of this machine's copy brought back: until
// it is written again, every reader takes the copy as still arriving.
TEST_F(MachinesTest, AnEarlierRunningFileOfThisMachinesOwnIsWrittenAgain) {
  TSimulatedMachine desk(At(9, 0)), laptop(At(9, 0));
  desk.recorder.SetMachinesSettings({Folder(), "Desk", Desk, "DESK"});
  laptop.recorder.SetMachinesSettings({Folder(), "Laptop", Laptop, "LAPTOP"});
  desk.recorder.Start();
  laptop.recorder.Start();
  desk.Spell(60);
  laptop.Look();
  EXPECT_EQ(laptop.view.tip, Tip("1:00"));
  const std::string copy = desk.recorder.Machines()->OwnCopyPath();
  const std::string running = Folder() + PartsFolderName(std::filesystem::path(copy)
                                                             .filename()
                                                             .string()) +
                              "/" + RunningFileName;
  const test::Bytes earlier = test::ReadBytes(running);
  desk.Spell(30);
  test::WriteBytes(running, earlier);
  laptop.Look();
  EXPECT_EQ(laptop.view.tip, Tip("1:00")) << "the copy is still arriving";
  desk.Look();
  EXPECT_NE(test::ReadBytes(running), earlier);
  laptop.Look();
  EXPECT_EQ(laptop.view.tip, Tip("1:30"));
}

// A folder that cannot be made after the machines were read says that they
// count as read before, as they do.
TEST_F(MachinesTest, AFolderThatCannotBeMadeKeepsTheMachinesReadBefore) {
  WriteCopy("Laptop", Laptop, LaptopMorning, At(10, 5));
  TMachineFolder folder = Folder(Desk);
  EXPECT_TRUE(folder.Look());
  platform::FailFileOperation(1);  // the making
  EXPECT_FALSE(folder.Look());
  EXPECT_EQ(Names(folder), std::vector<std::string>{"Laptop"});
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("Recording goes on; the other machines count as read before."),
            std::string::npos)
      << log[0];
}

// Each machine counts in the union as its own tip counts it: its own spells
// are not merged with each other (the hour repeated when summer time ends),
// and a pair whose Stop lies before its Start takes its length off.
TEST(MachineHoursTest, EachMachineCountsAsItsOwnTipCountsIt) {
  const int64_t day = DayNumber(Monday);
  auto totalsOf = [](const std::vector<TActRec>& records) {
    TWorkTotals totals(0, true);
    for (const TActRec& record : records) totals.Take(record);
    return totals;
  };
  // 2:10 to 3:00, then 2:00 to 2:50 on the repeated hour.
  const TWorkTotals repeated =
      totalsOf({MakeRecord(ActionStart, At(2, 10)), MakeRecord(ActionStop, At(3, 0)),
                MakeRecord(ActionStart, At(2, 0)), MakeRecord(ActionStop, At(2, 50))});
  // 9:00 to 12:00, and a pair from 13:00 back to 12:00.
  const TWorkTotals backward =
      totalsOf({MakeRecord(ActionStart, At(9, 0)), MakeRecord(ActionStop, At(12, 0)),
                MakeRecord(ActionStart, At(13, 0)), MakeRecord(ActionStop, At(12, 0))});
  EXPECT_EQ(repeated.Worked(day), 100 * 60);
  EXPECT_EQ(backward.Worked(day), 2 * 3600);
  TMachineReading other, elsewhere;
  other.records = {{At(5, 0), ActionStart}, {At(5, 10), ActionStop}};
  elsewhere.records = {{Monday + 1 + 9.0 / 24, ActionStart}, {Monday + 1 + 10.0 / 24, ActionStop}};
  for (const TWorkTotals* own : {&repeated, &backward}) {
    TMachineHours hours(*own);
    hours.SetMachines({&elsewhere});
    EXPECT_EQ(hours.Worked(day), own->Worked(day)) << "no other machine that day";
    hours.SetMachines({&other, &elsewhere});
    EXPECT_EQ(hours.Worked(day), own->Worked(day) + 600);
  }
  // The other machine's spell within the backward pair counts.
  other.records = {{At(12, 30), ActionStart}, {At(13, 30), ActionStop}};
  TMachineHours hours(backward);
  hours.SetMachines({&other});
  EXPECT_EQ(hours.Worked(day), 3 * 3600 + 1800);  // 9:00-12:00, 12:30-13:30 less 12:00-12:30
}

// With [Machines] and no other machine every figure is the one without it;
// the page's and the CSV's day total is the union of the day's pairs as the
// page pairs them (a spell across the split left out); the day summary
// keeps the tip's rule.
TEST_F(MachinesTest, ThePagesTotalIsTheUnionOfItsPairsAsThePagePairsThem) {
  test::ScratchDir data;
  test::WriteRecords(data.Path(DataFileBaseName),
                     {MakeRecord(ActionStart, At(9, 0)), MakeRecord(ActionStop, At(10, 0)),
                      MakeRecord(ActionStart, At(22, 0)),
                      MakeRecord(ActionStop, Monday + 1 + 2.0 / 24)});
  const ReportOutcome alone =
      BuildReportFile(data.Path(), Monday, Monday + 1, TLocale{}, 0, nullptr);
  const std::vector<std::string> aloneCsv = ReportCsvLines(alone.days, TCsvSeparators{}, false);
  TWorkTotals totals;
  TMachineHours hours(totals);
  const ReportOutcome machines = BuildMachinesReportFile(data.Path(), Monday, Monday + 1, TLocale{},
                                                         0, "Desk", {}, totals, hours);
  std::vector<std::string> csv = ReportCsvLines(machines.days, TCsvSeparators{}, true);
  for (std::string& line : csv) line = line.substr(0, line.rfind(','));
  EXPECT_EQ(csv, aloneCsv);
  EXPECT_EQ(aloneCsv[3], "2026-03-02,Total,,1:00:00,1.00");
  // With another machine's pairs that day: the union of all pairs.
  WriteCopy("Laptop", Laptop,
            {MakeRecord(ActionStart, At(9, 30)), MakeRecord(ActionStop, At(10, 30)),
             MakeRecord(ActionStart, At(23, 0)), MakeRecord(ActionStop, At(23, 15))},
            At(23, 30));
  TMachineFolder folder = Folder(Desk);
  folder.Look();
  const ReportOutcome both = BuildMachinesReportFile(
      data.Path(), Monday, Monday + 1, TLocale{}, 0, "Desk", folder.Machines(), totals, hours);
  EXPECT_TRUE(Contains(ReportCsvLines(both.days, TCsvSeparators{}, true),
                       "2026-03-02,Total,,1:45:00,1.75,"));
  const std::vector<std::string> summary = DaySummaryLines(
      both.days, DayNumber(Monday), DayNumber(Monday), hours, THoursSettings{}, TCsvSeparators{});
  EXPECT_EQ(summary[1], "2026-03-02,09:00:00,00:00:00,3:30:00,3.50");
}

// A machine whose clock is in another zone counts at the true moments: its
// 9:00 to 17:00 in New York is 15:00 to 23:00 on a desk in Berlin, and its
// hour repeated when summer time ends counts as its own tip counts it. The
// line below the last day names its offset.
TEST_F(MachinesTest, AMachineInAnotherZoneCountsAtTheTrueMoments) {
  const std::string journal = scratch.Path(DataFileBaseName);
  test::WriteRecords(journal,
                     {MakeRecord(ActionStart, At(9, 0)), MakeRecord(ActionStop, At(17, 0))});
  TMachineFolder newYork({Folder(), "Laptop", Laptop, "LAPTOP"}, [](const std::string&) {},
                         journal, FixedZone(-300));
  ASSERT_TRUE(newYork.WriteOwnCopy(journal, {}, {}, At(17, 5)));
  TMachineFolder berlin = Folder(Desk);  // UTC+1
  berlin.Look();
  ASSERT_EQ(berlin.Machines().size(), 1u);
  const TMachineReading& laptop = *berlin.Machines()[0];
  ASSERT_EQ(laptop.records.size(), 2u);
  EXPECT_DOUBLE_EQ(laptop.records[0].time, At(15, 0));
  EXPECT_DOUBLE_EQ(laptop.records[1].time, At(23, 0));
  EXPECT_EQ(laptop.clockOffset, -300);
  const std::vector<std::string> lines =
      MachineLines("Desk", std::nullopt, berlin.Machines(), TLocale{});
  EXPECT_EQ(lines[1], "Laptop: records to 3/2/2026 11:00:00 PM, copy of 11:05:00 PM, its "
                      "clock at UTC-5 (its records shown at this machine's time)");

  // Summer time ends at 1:00 UTC: 3:00 becomes 2:00 again. The writer notes
  // the change as it happens.
  const TDateTime change = At(1, 0);
  TDateTime utcNow = At(0, 30);
  const TZoneClock summer{[change](TDateTime utc) { return utc < change ? 120 : 60; },
                          [&utcNow] { return utcNow; }};
  const std::string other = scratch.Path("other") + "/";
  platform::MakeFolders(other);
  test::WriteRecords(other + DataFileBaseName,
                     {MakeRecord(ActionStart, At(2, 10)), MakeRecord(ActionStop, At(3, 0)),
                      MakeRecord(ActionStart, At(2, 0)), MakeRecord(ActionStop, At(2, 50))});
  TMachineFolder tablet({Folder(), "Tablet", "11111111-2222-4333-8444-555555555555", "TABLET"},
                        [](const std::string&) {}, other + DataFileBaseName, summer);
  tablet.NoteClock();
  utcNow = At(1, 55);
  ASSERT_TRUE(tablet.WriteOwnCopy(other + DataFileBaseName, {}, {}, At(2, 55)));
  for (const int32_t zone : {0, 60}) {
    TMachineFolder reader({Folder(), "Desk", Desk, "DESK"}, [](const std::string&) {}, {},
                          FixedZone(zone));
    reader.Look();
    const TMachineReading* read = Named(reader, "Tablet");
    ASSERT_TRUE(read);
    TWorkTotals own(0, true);
    TMachineHours hours(own);
    hours.SetMachines({read});
    EXPECT_EQ(hours.Worked(DayNumber(Monday)), 100 * 60) << zone;
    EXPECT_DOUBLE_EQ(read->records[2].time, At(1, 0) + zone / 1440.0) << zone;
  }
  // A spell only on the repeated hour's second pass, to after it: 1:40, as
  // its own tip counts it (at the first pass it would hold the change).
  const std::string night = scratch.Path("night") + "/";
  platform::MakeFolders(night);
  test::WriteRecords(night + DataFileBaseName,
                     {MakeRecord(ActionStart, At(2, 47)), MakeRecord(ActionStop, At(4, 27))});
  utcNow = At(0, 30);
  TMachineFolder owl({Folder(), "Owl", "33333333-2222-4333-8444-555555555555", "OWL"},
                     [](const std::string&) {}, night + DataFileBaseName, summer);
  owl.NoteClock();
  utcNow = At(3, 30);
  ASSERT_TRUE(owl.WriteOwnCopy(night + DataFileBaseName, {}, {}, At(4, 30)));
  {
    TMachineFolder desk = Folder(Desk);
    desk.Look();
    const TMachineReading* read = Named(desk, "Owl");
    ASSERT_TRUE(read);
    ASSERT_EQ(read->records.size(), 2u);
    EXPECT_NEAR(read->records[0].time, At(2, 47), 1e-9);
    EXPECT_NEAR(read->records[1].time, At(4, 27), 1e-9);
  }

  // A laptop flown west: its zone is UTC-5 from 13:00 UTC on, which it
  // notes at its next look, 50 s later. The first Start on the new clock
  // (8:00) was before the note, and is 14:00 on the desk.
  int32_t offset = 60;
  utcNow = At(12, 0);
  const TZoneClock flown{[&offset](TDateTime) { return offset; }, [&utcNow] { return utcNow; }};
  const std::string trip = scratch.Path("trip") + "/";
  platform::MakeFolders(trip);
  test::WriteRecords(trip + DataFileBaseName,
                     {MakeRecord(ActionStart, At(13, 30)), MakeRecord(ActionStop, At(13, 50)),
                      MakeRecord(ActionStart, At(8, 0)), MakeRecord(ActionStop, At(8, 30))});
  TMachineFolder flying({Folder(), "Flown", "22222222-2222-4333-8444-555555555555", "FLOWN"},
                        [](const std::string&) {}, trip + DataFileBaseName, flown);
  flying.NoteClock();
  offset = -300;
  utcNow = At(13, 0) + 50.0 / 86400;
  ASSERT_TRUE(flying.WriteOwnCopy(trip + DataFileBaseName, {}, {}, At(8, 31)));
  TMachineFolder desk = Folder(Desk);
  desk.Look();
  const TMachineReading* read = Named(desk, "Flown");
  ASSERT_TRUE(read);
  ASSERT_EQ(read->records.size(), 4u);
  EXPECT_NEAR(read->records[2].time, At(14, 0), 1e-9);
  EXPECT_NEAR(read->records[3].time, At(14, 30), 1e-9);
}

// A working machine sends kilobytes an hour into the folder, whatever the
// size of its journal (here years of it), and the others still count its
// running spell to within five minutes.
TEST_F(MachinesTest, AnHourOfWorkSendsKilobytesWhateverTheJournalsSize) {
  TSimulatedMachine desk(At(9, 0));
  std::vector<TActRec> years;
  for (TDateTime day = ComposeDate(2006, 1, 2); years.size() < 100000; day += 1)
    for (int spell = 0; spell < 7; ++spell) {
      years.push_back(MakeRecord(ActionStart, day + (8 + spell) / 24.0));
      years.push_back(MakeRecord(ActionStop, day + (8.75 + spell) / 24.0));
    }
  test::WriteRecords(desk.dir.Path(DataFileBaseName), years);
  desk.recorder.SetMachinesSettings({Folder(), "Desk", Desk, "DESK"});
  desk.recorder.Start();
  desk.Look();
  TMachineFolder laptop(
      {Folder(), "Laptop", Laptop, "LAPTOP"}, [](const std::string&) {}, {}, TZoneClock::System());
  std::map<std::string, platform::TFileStamp> before = Snapshot();
  int64_t sent = 0;
  for (int second = 0; second < 3600; second += 10) {
    const bool moving = second < 48 * 60;
    desk.Work(10, moving);
    const std::map<std::string, platform::TFileStamp> now = Snapshot();
    Written(before, now, &sent);
    before = now;
    if (!moving || second < 6 * 60 || second % 60 != 0) continue;
    laptop.Look();
    ASSERT_EQ(laptop.Machines().size(), 1u);
    const std::optional<TDateTime> until = laptop.Machines()[0]->runningUntil;
    ASSERT_TRUE(until) << second;
    EXPECT_GE(*until, desk.clock.wall - (5 * 60 + 10) / 86400.0) << second;
  }
  EXPECT_LE(sent, 64 * 1024);
  EXPECT_GT(sent, 0);
  // A part per year before the latest, a part per month of it.
  const std::string fileName = CopyFileName("Desk", desk.recorder.Machines()->Identity());
  const std::vector<std::string> parts =
      platform::FolderFileNames(Folder() + PartsFolderName(fileName) + "/");
  EXPECT_EQ(parts.size(), 20u + 2u + 1u)
      << "20 years, March as written last and before, the running file";
  // The hour's spell, counted whole.
  laptop.Look();
  ASSERT_EQ(laptop.Machines().size(), 1u);
  EXPECT_EQ(laptop.Machines()[0]->records.size(), years.size() + 2);
  EXPECT_FALSE(laptop.Machines()[0]->runningUntil);
}

// An edit of an old month rewrites that month's part alone, a compaction no
// part; a reader that meets a set not yet whole (a part still on its way, the
// running file of another copy) keeps the last good reading until it is.
TEST_F(MachinesTest, AnEditRewritesItsMonthAloneAndAHalfDeliveredSetKeepsTheLastReading) {
  const std::string journal = scratch.Path("hl.dat");
  std::vector<TActRec> records;
  for (int month = 1; month <= 6; ++month) {
    records.push_back(MakeRecord(ActionStart, ComposeDate(2025, month, 10) + 9 / 24.0));
    records.push_back(MakeRecord(ActionStop, ComposeDate(2025, month, 10) + 17 / 24.0));
  }
  records.push_back(MakeRecord(ActionStart, ComposeDate(2025, 3, 11) + 0.4));
  records.back().Status = StatusDeleted;
  test::WriteRecords(journal, records);
  TMachineFolder desk = Folder(Desk, "DESK", journal);
  TMachineFolder laptop = Folder(Laptop, "LAPTOP");
  ASSERT_TRUE(desk.WriteOwnCopy(journal, {}, {}, At(12, 0)));
  laptop.Look();
  ASSERT_EQ(laptop.Machines().size(), 1u);
  EXPECT_EQ(laptop.Machines()[0]->records.size(), 12u);
  const std::string index = CopyFileName("Desk", desk.Identity());
  const std::string parts = PartsFolderName(index) + "/";

  // The compaction: the deleted record goes, no part changes.
  records.pop_back();
  test::WriteRecords(journal, records);
  std::map<std::string, platform::TFileStamp> before = Snapshot();
  ASSERT_TRUE(desk.WriteOwnCopy(journal, {}, {}, At(12, 1)));
  EXPECT_EQ(Written(before, Snapshot()),
            (std::vector<std::string>{parts + RunningFileName, index}));
  const test::Bytes running = test::ReadBytes(Folder() + parts + RunningFileName);

  // March's Stop an hour earlier: March's part alone is new.
  records[5] = MakeRecord(ActionStop, ComposeDate(2025, 3, 10) + 16 / 24.0);
  test::WriteRecords(journal, records);
  before = Snapshot();
  ASSERT_TRUE(desk.WriteOwnCopy(journal, {}, {}, At(12, 2)));
  const std::vector<std::string> written = Written(before, Snapshot());
  ASSERT_EQ(written.size(), 3u);
  EXPECT_EQ(written[0].rfind(parts + "2025-03 ", 0), 0u) << written[0];
  EXPECT_EQ(written[1], parts + RunningFileName);
  EXPECT_EQ(written[2], index);

  // The copy has come, its new part not yet.
  const std::string march = Folder() + written[0];
  const test::Bytes marchBytes = test::ReadBytes(march);
  ASSERT_TRUE(platform::RemoveFile(march));
  auto marchStop = [&laptop] {
    return laptop.Machines().empty() ? 0 : laptop.Machines()[0]->records[5].time;
  };
  laptop.Look();
  ASSERT_EQ(laptop.Machines().size(), 1u);
  EXPECT_DOUBLE_EQ(marchStop(), ComposeDate(2025, 3, 10) + 17 / 24.0);
  EXPECT_TRUE(Contains(log, " is still arriving (its part ")) << ::testing::PrintToString(log);
  // The part has come, the running file is still the one before.
  test::WriteBytes(march, marchBytes);
  const test::Bytes newRunning = test::ReadBytes(Folder() + parts + RunningFileName);
  test::WriteBytes(Folder() + parts + RunningFileName, running);
  laptop.Look();
  EXPECT_DOUBLE_EQ(marchStop(), ComposeDate(2025, 3, 10) + 17 / 24.0);
  // All of it has come.
  test::WriteBytes(Folder() + parts + RunningFileName, newRunning);
  laptop.Look();
  ASSERT_EQ(laptop.Machines().size(), 1u);
  EXPECT_DOUBLE_EQ(marchStop(), ComposeDate(2025, 3, 10) + 16 / 24.0);

  // The hours kept between readings (records changed, records added) are
  // those counted afresh.
  const TWorkTotals own(0, true);
  TMachineHours kept(own);
  kept.SetMachines(laptop.Machines());
  for (const int day : {11, 12}) {
    records.push_back(MakeRecord(ActionStart, ComposeDate(2025, 6, day) + 9 / 24.0));
    records.push_back(MakeRecord(ActionStop, ComposeDate(2025, 6, day) + 12 / 24.0));
    test::WriteRecords(journal, records);
    ASSERT_TRUE(desk.WriteOwnCopy(journal, {}, {}, At(12, 3)));
    laptop.Look();
    kept.SetMachines(laptop.Machines());
    TMachineHours fresh(own);
    fresh.SetMachines(laptop.Machines());
    for (int month = 1; month <= 6; ++month)
      for (int d = 10; d <= 12; ++d) {
        const int64_t number = DayNumber(ComposeDate(2025, month, d));
        EXPECT_EQ(kept.Day(number).seconds, fresh.Day(number).seconds) << month << " " << d;
      }
    EXPECT_EQ(kept.Day(DayNumber(ComposeDate(2025, 6, day))).seconds, 3 * 3600);
  }
  EXPECT_EQ(kept.Day(DayNumber(ComposeDate(2025, 3, 10))).seconds, 7 * 3600);
}

}  // namespace
}  // namespace horalog
