#include "data/ActRecList.h"

#include <cmath>
#include <new>
#include <stdexcept>
#include <utility>

#include "data/AtomicFile.h"
#include "data/Errors.h"

namespace horalog {

namespace {

// Sorts items[left..right] by time: Hoare partitioning around the middle
// element, scanning from both ends. The smaller part is sorted by recursion and
// the larger one by the loop, so the depth stays logarithmic on any input.
// CompareByTime is a total order and the pivot's value is in the range, so
// both scans always stop inside it.
void QuickSort(TActRec* items, int left, int right) {
  while (left < right) {
    int i = left;
    int j = right;
    const TActRec pivot = items[left + (right - left) / 2];
    do {
      while (CompareByTime(items[i], pivot) < 0) ++i;
      while (CompareByTime(items[j], pivot) > 0) --j;
      if (i <= j) {
        if (i != j) std::swap(items[i], items[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - left < right - i) {
      if (left < j) QuickSort(items, left, j);
      left = i;
    } else {
      if (i < right) QuickSort(items, i, right);
      right = j;
    }
  }
}

}  // namespace

int CompareByTime(const TActRec& a, const TActRec& b) {
  const double x = a.Time;
  const double y = b.Time;
  // Times that are not numbers (a damaged file) are equal to each other and
  // come after every number, so that the order is total.
  const bool xNan = std::isnan(x);
  const bool yNan = std::isnan(y);
  if (xNan || yNan) return xNan == yNan ? 0 : (xNan ? 1 : -1);
  if (x > y) return 1;
  if (x == y) return 0;
  return -1;
}

void TActRecList::LoadFromFile(const std::string& path) {
  TActRecReader reader(path);
  // Room for the whole file before the first record is read: a journal too
  // large for memory fails here at once, not after half of it has been read.
  try {
    items_.reserve(items_.size() + static_cast<size_t>(reader.Count()));
  } catch (const std::bad_alloc&) {
    throw Error(OutOfMemoryText);
  } catch (const std::length_error&) {
    throw Error(OutOfMemoryText);
  }
  TActRec record;
  while (reader.Next(record)) {
    if (record.Status != StatusDeleted) items_.push_back(record);
  }
  reader.Close();
  SortByTime();
}

void TActRecList::SaveToFile(const std::string& path) const {
  // Written beside the data file and put in its place in one step: a failure
  // part-way leaves the old file as it was.
  TReplacingFile file(path);
  for (const TActRec& record : items_) {
    if (record.Status != StatusDeleted) file.Write(&record, RecordSize);
  }
  file.Commit();
}

void TActRecList::SortByTime() {
  if (items_.size() > 1) QuickSort(items_.data(), 0, Count() - 1);
}

void TActRecList::MarkDeleted(int index) { Items(index).Status = StatusDeleted; }

std::vector<TActRec> TActRecList::TakeLiveEntries() {
  std::vector<TActRec> live = std::move(items_);
  items_.clear();
  std::erase_if(live, [](const TActRec& record) { return record.Status == StatusDeleted; });
  return live;
}

void TActRecList::Add(const TActRec& record) { items_.push_back(record); }

TActRec& TActRecList::Items(int index) {
  if (index < 0 || index >= Count()) throw EListError(index);
  return items_[static_cast<size_t>(index)];
}

const TActRec& TActRecList::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(index);
  return items_[static_cast<size_t>(index)];
}

}  // namespace horalog
