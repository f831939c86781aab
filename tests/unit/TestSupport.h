// The support of the tests of the core: scratch folders, error texts, files
// as bytes and the one builder of record bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "../ScratchDir.h"
#include "data/ActRec.h"
#include "data/Errors.h"
#include "report/DayPairing.h"

namespace horalog::test {

// The message of the E that action raises, or "(no error)".
template <typename E, typename F>
std::string ErrorText(F&& action) {
  try {
    action();
  } catch (const E& e) {
    return e.what();
  }
  return "(no error)";
}
template <typename F>
std::string IoErrorText(F&& action) {
  return ErrorText<EInOutError>(std::forward<F>(action));
}

using Bytes = std::vector<unsigned char>;

// A file whole (empty when missing), as text and as bytes.
inline std::string ReadText(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline Bytes ReadBytes(const std::string& path) {
  const std::string text = ReadText(path);
  return Bytes(text.begin(), text.end());
}

// Writes a file whole, replacing what it held.
inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  EXPECT_TRUE(out.good()) << "cannot write " << path;
}
inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  WriteText(path, std::string(bytes.begin(), bytes.end()));
}

inline Bytes RecordBytes(const TActRec& record) {
  Bytes bytes(RecordSize);
  std::memcpy(bytes.data(), &record, RecordSize);
  return bytes;
}

inline Bytes RecordsBytes(const std::vector<TActRec>& records) {
  Bytes bytes;
  for (const TActRec& r : records) {
    const Bytes one = RecordBytes(r);
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  return bytes;
}

inline void WriteRecords(const std::string& path, const std::vector<TActRec>& records) {
  WriteBytes(path, RecordsBytes(records));
}

// A record whose Reserved bytes carry a pattern drawn from seed.
inline TActRec PatternedRecord(int32_t status, uint8_t action, TDateTime time, uint32_t seed) {
  TActRec r = MakeRecord(action, time);
  r.Status = status;
  std::mt19937 gen(seed);
  for (auto& b : r.Reserved) b = static_cast<uint8_t>(gen());
  return r;
}

// What each day counts of spells across the split between two working days,
// told plainly: the live records grouped by working day in file order; where
// a day's last record is a Start and the next day's with records first a
// Stop, the first day counts from the Start to its split, the days between
// (which have no record) count in full, and the last from its split to the
// Stop, each in the whole seconds of its span. The days that end and begin
// at a split besides.
struct SplitParts {
  std::map<int64_t, int64_t> seconds;
  std::set<int64_t> endAtSplit, beginAtSplit;

  int64_t Of(int64_t day) const {
    const auto found = seconds.find(day);
    return found == seconds.end() ? 0 : found->second;
  }
};

inline SplitParts PartsAcrossSplits(const std::vector<TActRec>& records, TDateTime dayStart) {
  std::map<int64_t, std::vector<const TActRec*>> byDay;
  for (const TActRec& r : records)
    if (r.Status == StatusLive) byDay[WorkDayOf(r.Time, dayStart)].push_back(&r);
  auto seconds = [](TDateTime span) { return std::llround(span * MSecsPerDay) / 1000; };
  SplitParts parts;
  for (const auto& [day, dayRecords] : byDay) {
    const auto next = byDay.upper_bound(day);
    if (dayRecords.back()->Action != ActionStart || next == byDay.end() ||
        next->second.front()->Action == ActionStart)
      continue;
    const TDateTime split = static_cast<TDateTime>(day + 1) + dayStart;
    const TDateTime lastSplit = static_cast<TDateTime>(next->first) + dayStart;
    parts.seconds[day] += seconds(split - dayRecords.back()->Time);
    for (int64_t between = day + 1; between < next->first; ++between) {
      parts.seconds[between] += 86400;
      parts.endAtSplit.insert(between);
      parts.beginAtSplit.insert(between);
    }
    parts.seconds[next->first] += seconds(next->second.front()->Time - lastSplit);
    parts.endAtSplit.insert(day);
    parts.beginAtSplit.insert(next->first);
  }
  return parts;
}

}  // namespace horalog::test
