// The record list: load, save, sort, delete, and saving that never loses the old file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include "TestSupport.h"
#include "data/ActRecList.h"
#include "data/Errors.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

namespace horalog {
namespace {

using namespace horalog::test;

const TDateTime Nine = 37683.375;
const TDateTime Ten = 37683.0 + 10.0 / 24.0;
const double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

std::vector<TActRec> Entries(const TActRecList& list) {
  std::vector<TActRec> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Items(i));
  return out;
}

TEST(ActRecList, LoadSaveKeepsEveryByteAndEveryStatusButDeleted) {
  ScratchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  const std::vector<TActRec> kept = {PatternedRecord(0, 0, Nine, 1), PatternedRecord(7, 200, Ten, 2),
                                     PatternedRecord(-2, 1, Ten + 1, 3)};
  WriteRecords(path, {kept[0], PatternedRecord(-1, 0, Nine + 0.1, 9), kept[1], kept[2]});

  TActRecList list;
  list.LoadFromFile(path);
  EXPECT_EQ(RecordsBytes(Entries(list)), RecordsBytes(kept));
  list.SaveToFile(path);
  EXPECT_EQ(ReadBytes(path), RecordsBytes(kept));
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(ActRecList, LoadSortsAndMarkDeletedDropsExactlyThatEntryOnSave) {
  ScratchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  const TActRec at10 = MakeRecord(0, Ten), at9 = MakeRecord(1, Nine), at11 = MakeRecord(1, Ten + 0.04);
  WriteRecords(path, {at10, at9});
  TActRecList list;
  list.LoadFromFile(path);
  EXPECT_EQ(RecordsBytes(Entries(list)), RecordsBytes({at9, at10}));
  list.SaveToFile(path);
  EXPECT_EQ(ReadBytes(path), RecordsBytes({at9, at10}));

  WriteRecords(path, {at11, at10, at9});
  TActRecList again;
  again.LoadFromFile(path);
  again.MarkDeleted(0);
  EXPECT_EQ(again.Count(), 3);  // positions do not shift
  EXPECT_EQ(again.Items(0).Status, StatusDeleted);
  again.SaveToFile(path);
  EXPECT_EQ(ReadBytes(path), RecordsBytes({at10, at11}));
}

TEST(ActRecList, EmptyFileAndEmptyList) {
  ScratchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  WriteBytes(path, {});
  TActRecList list;
  list.LoadFromFile(path);
  EXPECT_EQ(list.Count(), 0);

  WriteRecords(path, {MakeRecord(0, Nine)});
  TActRecList().SaveToFile(path);
  EXPECT_TRUE(ReadBytes(path).empty());
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(ActRecList, MissingFileAndBadIndexRaiseTheirTexts) {
  ScratchDir dir;
  TActRecList list;
  EXPECT_EQ(ErrorText<EInOutError>([&] { list.LoadFromFile(dir.Path(DataFileBaseName)); }),
            "File not found");
  list.Add(MakeRecord(0, Nine));
  list.Add(MakeRecord(1, Ten));
  EXPECT_EQ(ErrorText<EListError>([&] { list.Items(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorText<EListError>([&] { list.Items(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorText<EListError>([&] { list.MarkDeleted(7); }), "List index out of bounds (7)");
  const TActRecList& constList = list;
  EXPECT_EQ(ErrorText<EListError>([&] { constList.Items(2); }), "List index out of bounds (2)");
  EXPECT_EQ(list.Count(), 2);
}

// Saving writes beside the data file and replaces it in one step; every way it
// can fail leaves the old file whole and no temporary behind.
class ActRecListFailedSave : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 300; ++i) list.Add(PatternedRecord(0, i & 1, Nine + i, i));
    WriteRecords(path, {MakeRecord(0, Nine), MakeRecord(1, Ten)});
    before = ReadBytes(path);
  }
  ScratchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  TActRecList list;
  Bytes before;
};

TEST_F(ActRecListFailedSave, WhenTheTemporaryCannotBeCreated) {
  std::filesystem::create_directory(path + ".tmp");
  EXPECT_EQ(ErrorText<EInOutError>([&] { list.SaveToFile(path); }), "File access denied");
  EXPECT_EQ(ReadBytes(path), before);
}

TEST_F(ActRecListFailedSave, WhenTheTargetCannotBeReplaced) {
  const std::string folder = dir.Path("folder");
  std::filesystem::create_directory(folder);
  EXPECT_THROW(list.SaveToFile(folder), EInOutError);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_FALSE(std::filesystem::exists(folder + ".tmp"));
}

#ifndef _WIN32
// A file-size limit makes the system refuse the write part-way, as a full disk would.
TEST_F(ActRecListFailedSave, WhenTheDiskFillsPartWay) {
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 141 * 100;
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string text = ErrorText<EInOutError>([&] { list.SaveToFile(path); });
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(text, "Disk full");
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}
#endif

TEST(ActRecListCompare, IsATotalOrderWithNaNLast) {
  auto cmp = [](double a, double b) { return CompareByTime(MakeRecord(0, a), MakeRecord(0, b)); };
  EXPECT_EQ(cmp(1, 2), -1);
  EXPECT_EQ(cmp(2, 1), 1);
  EXPECT_EQ(cmp(2, 2), 0);
  EXPECT_EQ(cmp(-0.0, 0.0), 0);
  EXPECT_EQ(cmp(-Inf, -1e308), -1);
  EXPECT_EQ(cmp(NaN, Inf), 1);
  EXPECT_EQ(cmp(Inf, NaN), -1);
  EXPECT_EQ(cmp(NaN, -NaN), 0);
}

// Sorting: ascending, NaN last, and the same records as before.
void ExpectSortedPermutation(std::vector<double> times) {
  TActRecList list;
  std::vector<TActRec> input;
  for (size_t i = 0; i < times.size(); ++i) {
    input.push_back(MakeRecord(0, times[i]));
    std::memcpy(input.back().Reserved, &i, sizeof i);  // identity of the entry
    list.Add(input.back());
  }
  list.SortByTime();
  ASSERT_EQ(list.Count(), static_cast<int>(times.size()));
  for (int i = 1; i < list.Count(); ++i)
    ASSERT_LE(CompareByTime(list.Items(i - 1), list.Items(i)), 0) << "at " << i;
  std::vector<size_t> seen(times.size(), 0);
  for (int i = 0; i < list.Count(); ++i) {
    size_t id;
    std::memcpy(&id, list.Items(i).Reserved, sizeof id);
    ASSERT_LT(id, times.size());
    ++seen[id];
    ASSERT_TRUE(std::memcmp(&input[id], &list.Items(i), RecordSize) == 0);
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), static_cast<long>(times.size()));
}

TEST(ActRecListSort, OrdersEveryShapeOfInput) {
  const int n = 3000;
  std::vector<double> sorted, reverse, organ, equal(n, Nine), hostile, fewKeys;
  for (int i = 0; i < n; ++i) {
    sorted.push_back(i);
    reverse.push_back(n - i);
    organ.push_back(i < n / 2 ? i : n - i);
    const double specials[] = {NaN, Inf, -Inf, 1e308, -1e308, 5e-324, -0.0, 0.0, Nine};
    hostile.push_back(i % 3 == 0 ? specials[(i / 3) % 9] : std::sin(i) * 1e6);
    fewKeys.push_back(i % 4 == 0 ? NaN : i % 3);
  }
  std::vector<double> allNaN(n, NaN);
  const std::vector<double>* shapes[] = {&sorted, &reverse, &organ, &equal,
                                         &hostile, &fewKeys, &allNaN};
  for (size_t s = 0; s < std::size(shapes); ++s) {
    SCOPED_TRACE(s);
    ExpectSortedPermutation(*shapes[s]);
  }
  ExpectSortedPermutation({});
  ExpectSortedPermutation({NaN});
  ExpectSortedPermutation({NaN, 1.0});
  ExpectSortedPermutation({1.0, NaN, -Inf});
}

}  // namespace
}  // namespace horalog
