// Scratch folders, error texts and byte-level helpers for the tests of the core.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "data/ActRec.h"

namespace horalog::testing {

// A folder of its own for one test under the system's temporary folder,
// removed with everything in it at the end.
class ScratchDir {
 public:
  ScratchDir() {
    static std::atomic<unsigned> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "horalog-";
    if (info) name += std::string(info->test_suite_name()) + "-" + info->name() + "-";
    for (char& c : name)
      if (c == '/') c = '_';
    name += std::to_string(std::random_device{}()) + "-" + std::to_string(counter++);
    dir_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::create_directories(dir_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    // Read-only files cannot be removed on Windows.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_, ignored))
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  const std::filesystem::path& Dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

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

using Bytes = std::vector<unsigned char>;

inline Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
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

}  // namespace horalog::testing
