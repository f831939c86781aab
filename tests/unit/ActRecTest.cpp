// The data file: appending and reading records.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "TestSupport.h"
#include "data/ActRec.h"
#include "data/Errors.h"

namespace horalog {
namespace {

using namespace horalog::test;

const TDateTime Nine = 37683.375;  // 3 March 2003, 09:00
const TDateTime Ten = 37683.0 + 10.0 / 24.0;

std::vector<TActRec> ReadAll(const std::string& path) {
  TActRecReader reader(path);
  std::vector<TActRec> records;
  TActRec r;
  while (reader.Next(r)) records.push_back(r);
  EXPECT_EQ(reader.Count(), static_cast<int64_t>(records.size()));
  EXPECT_FALSE(reader.Next(r));  // the end stays the end
  reader.Close();
  return records;
}

template <typename F>
std::string ErrorText(F&& action) {
  return test::ErrorText<EInOutError>(std::forward<F>(action));
}

TEST(ActRecFile, AppendsWriteWholeRecordsAtTheRightOffsets) {
  ScratchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  AppendActionRecord(path, ActionStart, Nine);
  Bytes bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 141u);
  AppendActionRecord(path, ActionStop, Ten);
  bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 282u);

  const TDateTime times[] = {Nine, Ten};
  for (int i = 0; i < 2; ++i) {
    const unsigned char* r = bytes.data() + 141 * i;
    EXPECT_EQ(r[0] | r[1] | r[2] | r[3], 0) << "Status of record " << i;
    EXPECT_EQ(r[4], i) << "Action of record " << i;
    double time;
    std::memcpy(&time, r + 5, 8);
    EXPECT_EQ(time, times[i]);
    for (int b = 13; b < 141; ++b) ASSERT_EQ(r[b], 0) << "byte " << b << " of record " << i;
  }
}

TEST(ActRecFile, FragmentAtTheEndIsNeverReadAndAppendWritesOverIt) {
  ScratchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  std::vector<TActRec> records;
  for (int i = 0; i < 3; ++i) records.push_back(PatternedRecord(0, i & 1, Nine + i, i));
  Bytes bytes = RecordsBytes(records);
  bytes.insert(bytes.end(), 50, 0xAB);
  WriteBytes(path, bytes);

  const auto read = ReadAll(path);
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(RecordsBytes(read), RecordsBytes(records));

  AppendActionRecord(path, ActionStop, Ten + 5);
  records.push_back(MakeRecord(ActionStop, Ten + 5));
  EXPECT_EQ(ReadBytes(path), RecordsBytes(records));
}

TEST(ActRecFile, ReaderHandsOutRecordsInFileOrderAcrossItsBuffers) {
  ScratchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  std::vector<TActRec> records;
  for (int i = 0; i < 1500; ++i) records.push_back(PatternedRecord(i % 3, i & 1, 1000.0 - i, i));
  Bytes bytes = RecordsBytes(records);
  bytes.insert(bytes.end(), 140, 0xFF);
  WriteBytes(path, bytes);
  EXPECT_EQ(RecordsBytes(ReadAll(path)), RecordsBytes(records));

  WriteBytes(path, Bytes(140, 0x11));  // a fragment alone: no records
  EXPECT_TRUE(ReadAll(path).empty());
}

TEST(ActRecFile, FileShortenedWhileReadingEndsInReadBeyondEnd) {
  ScratchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  WriteRecords(path, {MakeRecord(0, Nine), MakeRecord(1, Ten), MakeRecord(0, Ten + 1)});
  TActRecReader reader(path);
  std::error_code error;
  std::filesystem::resize_file(path, 141 + 70, error);
  if (error) GTEST_SKIP() << "the system does not shorten a file held open: " << error.message();
  TActRec r;
  ASSERT_TRUE(reader.Next(r));
  EXPECT_EQ(TDateTime{r.Time}, Nine);  // a copy: the field is not aligned
  EXPECT_EQ(ErrorText([&] { reader.Next(r); }), "Read beyond end of file");
}

TEST(ActRecFile, MissingFileAndUnusablePathsRaiseTheIoTexts) {
  ScratchDir dir;
  EXPECT_EQ(ErrorText([&] { TActRecReader reader(dir.Path(DataFileBaseName)); }), "File not found");

  // A folder where the file should be can be neither read nor appended to.
  const std::string folder = dir.Path("folder");
  std::filesystem::create_directory(folder);
  EXPECT_EQ(ErrorText([&] { TActRecReader reader(folder); }), "File access denied");
  EXPECT_EQ(ErrorText([&] { AppendActionRecord(folder, ActionStart, Nine); }),
            "File access denied");
}

TEST(ActRecFile, AppendToReadOnlyFileIsDeniedAndLeavesItUnchanged) {
  ScratchDir dir;
  const std::string path = dir.Path(DataFileBaseName);
  WriteRecords(path, {MakeRecord(ActionStart, Nine)});
  const Bytes before = ReadBytes(path);
  namespace fs = std::filesystem;
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  if (FILE* probe = std::fopen(path.c_str(), "r+b")) {
    std::fclose(probe);
    GTEST_SKIP() << "this user opens read-only files for writing (root, natively and under Wine): nothing to deny";
  }
  EXPECT_EQ(ErrorText([&] { AppendActionRecord(path, ActionStop, Ten); }), "File access denied");
  EXPECT_EQ(ReadBytes(path), before);
}

}  // namespace
}  // namespace horalog
