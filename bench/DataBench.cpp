// Speed of the data file: one append, and a whole rewrite of a large journal
// beside a plain read and write of the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "data/ActRec.h"
#include "data/ActRecList.h"
#include "data/Compaction.h"

namespace {

using namespace horalog;

class BenchDir {
 public:
  BenchDir() {
    dir_ = std::filesystem::temp_directory_path() /
           ("horalog-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir_);
  }
  ~BenchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }

 private:
  std::filesystem::path dir_;
};

// A journal of n records, mostly in time order with some disorder.
void WriteJournal(const std::string& path, int n) {
  std::mt19937 gen(1);
  std::vector<TActRec> records;
  for (int i = 0; i < n; ++i) {
    const double jitter = gen() % 10 == 0 ? std::uniform_real_distribution<double>(-5, 5)(gen) : 0;
    records.push_back(MakeRecord(i & 1, 37000.0 + i * 0.01 + jitter));
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(records.data()),
            static_cast<std::streamsize>(records.size() * RecordSize));
}

void BM_AppendOneRecord(benchmark::State& state) {
  BenchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  double time = 37000.0;
  for (auto _ : state) AppendActionRecord(path, ActionStart, time += 0.001);
}
BENCHMARK(BM_AppendOneRecord)->Unit(benchmark::kMicrosecond);

void BM_LoadSortSave(benchmark::State& state) {
  BenchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  const int n = static_cast<int>(state.range(0));
  WriteJournal(path, n);
  for (auto _ : state) {
    TActRecList list;
    list.LoadFromFile(path);
    list.SortByTime();
    list.SaveToFile(path);
  }
  state.SetBytesProcessed(state.iterations() * n * static_cast<int64_t>(RecordSize));
}
BENCHMARK(BM_LoadSortSave)->Arg(100000)->Unit(benchmark::kMillisecond);

// Compaction of a large journal: the backup copy, the live records to the
// temporary file, the swap; the journal is put back before each run.
void BM_Compact(benchmark::State& state) {
  BenchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    WriteJournal(path, n);
    state.ResumeTiming();
    CompactDataFile(dir.Path(""));
  }
  state.SetBytesProcessed(state.iterations() * n * static_cast<int64_t>(RecordSize));
}
BENCHMARK(BM_Compact)->Arg(100000)->Unit(benchmark::kMillisecond);

// The floor: the same bytes read and written back, nothing else.
void BM_PlainReadWrite(benchmark::State& state) {
  BenchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  const int n = static_cast<int>(state.range(0));
  WriteJournal(path, n);
  for (auto _ : state) {
    std::vector<char> bytes;
    {
      std::ifstream in(path, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(state.iterations() * n * static_cast<int64_t>(RecordSize));
}
BENCHMARK(BM_PlainReadWrite)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
