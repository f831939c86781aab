// The support of the tests of the core: scratch folders, error texts, files
// as bytes and the one builder of record bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "../ScratchDir.h"
#include "data/ActRec.h"
#include "data/Errors.h"

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

}  // namespace horalog::test
