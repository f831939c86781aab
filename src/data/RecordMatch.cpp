#include "data/RecordMatch.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "data/ActRecList.h"
#include "data/Errors.h"

namespace horalog {

namespace {

int CompareBytes(const TActRec& a, const TActRec& b) { return std::memcmp(&a, &b, RecordSize); }

// The positions of records ordered by content; equal records keep their order.
std::vector<int> ByContent(std::span<const TActRec> records) {
  std::vector<int> order(records.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [records](int a, int b) {
    return CompareBytes(records[static_cast<size_t>(a)], records[static_cast<size_t>(b)]) < 0;
  });
  return order;
}

}  // namespace

std::vector<int> MatchRecords(std::span<const TActRec> rows, std::span<const int> picked,
                              std::span<const TActRec> journal) {
  for (int position : picked) {
    if (position < 0 || static_cast<size_t>(position) >= rows.size()) throw EListError(position);
  }
  if (rows.size() == journal.size() &&
      (rows.empty() || std::memcmp(rows.data(), journal.data(), rows.size() * RecordSize) == 0))
    return std::vector<int>(picked.begin(), picked.end());

  const std::vector<int> rowOrder = ByContent(rows);
  const std::vector<int> journalOrder = ByContent(journal);
  std::vector<int> rankPlace(rows.size());  // where each row stands in rowOrder
  for (size_t i = 0; i < rowOrder.size(); ++i)
    rankPlace[static_cast<size_t>(rowOrder[i])] = static_cast<int>(i);

  std::vector<int> found;
  found.reserve(picked.size());
  for (int position : picked) {
    const TActRec& wanted = rows[static_cast<size_t>(position)];
    auto before = [&wanted](std::span<const TActRec> records) {
      return [records, &wanted](int index) {
        return CompareBytes(records[static_cast<size_t>(index)], wanted) < 0;
      };
    };
    // The rank of the row among the rows of its content.
    const auto place = rowOrder.begin() + rankPlace[static_cast<size_t>(position)];
    const auto first = std::partition_point(rowOrder.begin(), place, before(rows));
    const auto rank = place - first;
    // The entry of that rank among the journal's entries of that content.
    const auto start =
        std::partition_point(journalOrder.begin(), journalOrder.end(), before(journal));
    int index = RecordNotFound;
    if (journalOrder.end() - start > rank) {
      index = *(start + rank);
      if (CompareBytes(journal[static_cast<size_t>(index)], wanted) != 0) index = RecordNotFound;
    }
    found.push_back(index);
  }
  return found;
}

int FindRecord(std::span<const TActRec> journal, const TActRec& wanted) {
  const auto [first, last] =
      std::equal_range(journal.begin(), journal.end(), wanted, [](const TActRec& a, const TActRec& b) {
        return CompareByTime(a, b) < 0;
      });
  for (auto at = first; at != last; ++at)
    if (CompareBytes(*at, wanted) == 0) return static_cast<int>(at - journal.begin());
  return RecordNotFound;
}

TMomentFields SplitMoment(TDateTime moment) { return {WholePart(moment), FractionPart(moment)}; }

TDateTime JoinMoment(TDateTime dateField, TDateTime timeField) { return dateField + timeField; }

}  // namespace horalog
