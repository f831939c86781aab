// Hostile data files: random sizes and bytes must read, load, sort and save
// without crashing, and every step must keep exactly the records it should.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "TestSupport.h"
#include "data/ActRecList.h"

namespace horalog {
namespace {

using namespace horalog::test;

// Files of random length made of records that are partly plausible and partly
// noise: statuses 0, -1 or anything, any action byte, times that are ordinary,
// repeated, special (NaN, infinities, denormals) or raw random bits.
Bytes RandomFile(std::mt19937& gen) {
  std::uniform_int_distribution<int> pick(0, 99);
  const int records = pick(gen) < 10 ? 0 : std::uniform_int_distribution<int>(0, 600)(gen);
  const int fragment = pick(gen) < 50 ? 0 : std::uniform_int_distribution<int>(1, 140)(gen);
  Bytes bytes(static_cast<size_t>(records) * RecordSize + fragment);
  for (auto& b : bytes) b = static_cast<unsigned char>(gen());
  if (pick(gen) < 20) return bytes;  // pure noise
  const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::denorm_min(), -0.0, 1e300, 37683.5};
  for (int i = 0; i < records; ++i) {
    TActRec r;
    std::memcpy(&r, &bytes[i * RecordSize], RecordSize);
    const int s = pick(gen);
    r.Status = s < 50 ? 0 : s < 75 ? -1 : r.Status;
    const int t = pick(gen);
    if (t < 50) r.Time = 37000.0 + std::uniform_real_distribution<double>(0, 30)(gen);
    else if (t < 65) r.Time = 37001.25;
    else if (t < 85) r.Time = specials[t % std::size(specials)];
    std::memcpy(&bytes[i * RecordSize], &r, RecordSize);
  }
  return bytes;
}

void ExpectSorted(const TActRecList& list) {
  for (int i = 1; i < list.Count(); ++i)
    ASSERT_LE(CompareByTime(list.Items(i - 1), list.Items(i)), 0) << "at " << i;
}

// The records as a sorted multiset of their bytes.
std::vector<std::string> Multiset(const std::vector<Bytes>& records) {
  std::vector<std::string> sorted;
  for (const Bytes& r : records) sorted.emplace_back(r.begin(), r.end());
  std::sort(sorted.begin(), sorted.end());
  return sorted;
}

TEST(FuzzDataFile, RandomFilesLoadSortAndSaveExactly) {
  ScratchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  std::mt19937 gen(20030303);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const Bytes file = RandomFile(gen);
    WriteBytes(path, file);
    const size_t whole = file.size() / RecordSize;

    std::vector<Bytes> all, live;
    for (size_t i = 0; i < whole; ++i) {
      Bytes r(file.begin() + i * RecordSize, file.begin() + (i + 1) * RecordSize);
      int32_t status;
      std::memcpy(&status, r.data(), 4);
      if (status != StatusDeleted) live.push_back(r);
      all.push_back(std::move(r));
    }

    {
      TActRecReader reader(path);
      EXPECT_EQ(reader.Count(), static_cast<int64_t>(whole));
      TActRec r;
      size_t n = 0;
      while (reader.Next(r)) {
        ASSERT_LT(n, whole);
        ASSERT_EQ(RecordBytes(r), all[n]);
        ++n;
      }
      EXPECT_EQ(n, whole);
    }

    TActRecList list;
    list.LoadFromFile(path);
    ASSERT_EQ(list.Count(), static_cast<int>(live.size()));
    ExpectSorted(list);
    std::vector<Bytes> loaded;
    for (int i = 0; i < list.Count(); ++i) loaded.push_back(RecordBytes(list.Items(i)));
    ASSERT_EQ(Multiset(loaded), Multiset(live));

    // Delete some entries, then save: the file holds the others in list order.
    Bytes expected;
    for (int i = 0; i < list.Count(); ++i) {
      if (gen() % 5 == 0) list.MarkDeleted(i);
      if (list.Items(i).Status != StatusDeleted) {
        const Bytes r = RecordBytes(list.Items(i));
        expected.insert(expected.end(), r.begin(), r.end());
      }
    }
    list.SaveToFile(path);
    ASSERT_EQ(ReadBytes(path), expected);

    TActRecList reloaded;
    reloaded.LoadFromFile(path);
    ASSERT_EQ(static_cast<size_t>(reloaded.Count()) * RecordSize, expected.size());
    ExpectSorted(reloaded);
  }
}

}  // namespace
}  // namespace horalog
