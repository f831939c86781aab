// Finding the database view's selected rows in a journal of 100,000 records:
// the unchanged file (one comparison of the whole) and a file in which every
// record has moved (the search by content).
#include <benchmark/benchmark.h>

#include <numeric>
#include <vector>

#include "data/ActRec.h"
#include "data/RecordMatch.h"

namespace {

using namespace horalog;

std::vector<TActRec> Journal(int n) {
  std::vector<TActRec> records;
  for (int i = 0; i < n; ++i) records.push_back(MakeRecord(i & 1, 37000.0 + i * 0.01));
  return records;
}

void BM_MatchUnchanged(benchmark::State& state) {
  const std::vector<TActRec> rows = Journal(static_cast<int>(state.range(0)));
  const std::vector<int> picked(100, 500);
  for (auto _ : state) benchmark::DoNotOptimize(MatchRecords(rows, picked, rows));
}
BENCHMARK(BM_MatchUnchanged)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_MatchMoved(benchmark::State& state) {
  const std::vector<TActRec> rows = Journal(static_cast<int>(state.range(0)));
  std::vector<TActRec> journal = rows;
  journal.insert(journal.begin(), MakeRecord(ActionStart, 1.0));
  std::vector<int> picked(static_cast<size_t>(state.range(1)));
  std::iota(picked.begin(), picked.end(), 0);
  for (auto _ : state) benchmark::DoNotOptimize(MatchRecords(rows, picked, journal));
}
BENCHMARK(BM_MatchMoved)->Args({100000, 1})->Args({100000, 100000})->Unit(benchmark::kMillisecond);

}  // namespace
