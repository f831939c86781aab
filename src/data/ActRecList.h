// The whole data file in memory, sorted by time.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "data/ActRec.h"

namespace horalog {

// 1 when a's time is greater, 0 when equal, -1 otherwise.
int CompareByTime(const TActRec& a, const TActRec& b);

class TActRecList {
 public:
  // Appends every record of the file but those with Status -1, then sorts.
  // Room for all of them is taken first; a file too large for memory raises
  // "Out of memory". Records read before a failure stay in the list.
  void LoadFromFile(const std::string& path);
  // Writes every entry whose Status is not -1, in list order.
  void SaveToFile(const std::string& path) const;
  void SortByTime();
  void MarkDeleted(int index);
  void Add(const TActRec& record);
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises "List index out of bounds (%d)" outside 0 ... Count() - 1.
  TActRec& Items(int index);
  const TActRec& Items(int index) const;
  // Every entry, in list order.
  std::span<const TActRec> Entries() const { return items_; }
  // Gives up every entry that is not marked deleted, in list order; the list is empty after.
  std::vector<TActRec> TakeLiveEntries();

 private:
  std::vector<TActRec> items_;
};

}  // namespace horalog
