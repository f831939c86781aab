#include "machines/MachineCopy.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string_view>

#include "data/AtomicFile.h"
#include "data/Errors.h"
#include "data/JournalWriter.h"

namespace horalog {

namespace {

constexpr std::string_view NameBegins = "Horalog ";
constexpr std::string_view NameEnds = "}.dat";
constexpr size_t IdentitySize = 36;
constexpr size_t NameBytes = 64;
constexpr size_t WriterBytes = 24;

// Where the mark keeps its texts in the record's Reserved bytes.
constexpr char MarkMagic[4] = {'H', 'L', 'M', 'C'};
constexpr size_t IdentityAt = 4;
constexpr size_t NameAt = IdentityAt + IdentitySize;
constexpr size_t WriterAt = NameAt + NameBytes;
static_assert(WriterAt + WriterBytes <= sizeof(TActRec::Reserved));

// text cut to at most size bytes, a character of several bytes kept whole.
std::string CutUtf8(std::string text, size_t size) {
  if (text.size() <= size) return text;
  size_t cut = size;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text;
}

void PutText(TActRec& record, size_t at, size_t size, const std::string& text) {
  const std::string cut = CutUtf8(text, size);
  std::memcpy(record.Reserved + at, cut.data(), cut.size());
}

std::string GetText(const TActRec& record, size_t at, size_t size) {
  const char* begin = reinterpret_cast<const char*>(record.Reserved + at);
  return std::string(begin, strnlen(begin, size));
}

bool IsStatusOfCopy(int32_t status) {
  return status == StatusRunningUntil || status == StatusCopyMark || status == StatusCopyOrder ||
         status == StatusCopyOffset || status == StatusCopyPart;
}

// Where the order and the offset notes keep their values.
constexpr char OrderMagic[4] = {'H', 'L', 'M', 'O'};
constexpr char OffsetMagic[4] = {'H', 'L', 'M', 'Z'};

template <typename T>
void PutValue(TActRec& record, size_t at, T value) {
  std::memcpy(record.Reserved + at, &value, sizeof value);
}

template <typename T>
T GetValue(const TActRec& record, size_t at) {
  T value;
  std::memcpy(&value, record.Reserved + at, sizeof value);
  return value;
}

}  // namespace

bool IsMachineIdentity(const std::string& text) {
  if (text.size() != IdentitySize) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::string FileNameSafe(const std::string& name) {
  std::string safe;
  for (const char c : name) {
    const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    safe += control || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos ? '_' : c;
  }
  auto trimmed = [](char c) { return c == ' ' || c == '.'; };
  while (!safe.empty() && trimmed(safe.back())) safe.pop_back();
  size_t lead = 0;
  while (lead < safe.size() && trimmed(safe[lead])) ++lead;
  safe = CutUtf8(safe.substr(lead), NameBytes);
  while (!safe.empty() && trimmed(safe.back())) safe.pop_back();
  return safe;
}

std::string CopyFileName(const std::string& name, const std::string& identity) {
  return std::string(NameBegins) + FileNameSafe(name) + " {" + identity + std::string(NameEnds);
}

std::optional<TMachineName> MachineOfFileName(const std::string& fileName) {
  // "Horalog ", a name of at least one character, " {", the identity, "}.dat".
  const size_t tail = 2 + IdentitySize + NameEnds.size();
  if (fileName.size() < NameBegins.size() + 1 + tail) return std::nullopt;
  if (fileName.compare(0, NameBegins.size(), NameBegins) != 0) return std::nullopt;
  if (fileName.compare(fileName.size() - NameEnds.size(), NameEnds.size(), NameEnds) != 0)
    return std::nullopt;
  const size_t open = fileName.size() - tail;
  if (fileName.compare(open, 2, " {") != 0) return std::nullopt;
  TMachineName machine;
  machine.identity = fileName.substr(open + 2, IdentitySize);
  machine.name = fileName.substr(NameBegins.size(), open - NameBegins.size());
  if (!IsMachineIdentity(machine.identity) || machine.name != FileNameSafe(machine.name))
    return std::nullopt;
  return machine;
}

TActRec MakeCopyMark(const TCopyMark& mark) {
  TActRec record = MakeRecord(ActionStart, mark.madeAt);
  record.Status = StatusCopyMark;
  std::memcpy(record.Reserved, MarkMagic, sizeof MarkMagic);
  PutText(record, IdentityAt, IdentitySize, mark.identity);
  PutText(record, NameAt, NameBytes, mark.name);
  PutText(record, WriterAt, WriterBytes, mark.writer);
  return record;
}

std::string MarkWriter(const std::string& computer) { return CutUtf8(computer, WriterBytes); }

std::optional<TCopyMark> ReadCopyMark(const TActRec& record) {
  if (record.Status != StatusCopyMark ||
      std::memcmp(record.Reserved, MarkMagic, sizeof MarkMagic) != 0)
    return std::nullopt;
  TCopyMark mark;
  mark.identity = GetText(record, IdentityAt, IdentitySize);
  mark.name = GetText(record, NameAt, NameBytes);
  mark.writer = GetText(record, WriterAt, WriterBytes);
  mark.madeAt = record.Time;
  if (!IsMachineIdentity(mark.identity)) return std::nullopt;
  return mark;
}

TActRec MakeCopyOrder(const TCopyOrder& order) {
  TActRec record = MakeRecord(ActionStart, 0);
  record.Status = StatusCopyOrder;
  std::memcpy(record.Reserved, OrderMagic, sizeof OrderMagic);
  PutValue(record, 4, order.run);
  PutValue(record, 12, order.sequence);
  return record;
}

std::optional<TCopyOrder> ReadCopyOrder(const TActRec& record) {
  if (record.Status != StatusCopyOrder ||
      std::memcmp(record.Reserved, OrderMagic, sizeof OrderMagic) != 0)
    return std::nullopt;
  return TCopyOrder{GetValue<uint64_t>(record, 4), GetValue<uint64_t>(record, 12)};
}

TActRec MakeOffsetNote(const TOffsetNote& note) {
  TActRec record = MakeRecord(ActionStart, note.utc);
  record.Status = StatusCopyOffset;
  std::memcpy(record.Reserved, OffsetMagic, sizeof OffsetMagic);
  PutValue(record, 4, note.minutes);
  return record;
}

std::optional<TOffsetNote> ReadOffsetNote(const TActRec& record) {
  if (record.Status != StatusCopyOffset ||
      std::memcmp(record.Reserved, OffsetMagic, sizeof OffsetMagic) != 0)
    return std::nullopt;
  const int32_t minutes = GetValue<int32_t>(record, 4);
  // A zone lies within a day of UTC.
  if (minutes <= -24 * 60 || minutes >= 24 * 60) return std::nullopt;
  return TOffsetNote{record.Time, minutes};
}

namespace {

// The mark that ends the open file of size bytes, with the order before it;
// nothing when it ends otherwise.
std::optional<TCopyMark> MarkAtEnd(platform::File& file, int64_t size) {
  if (size < static_cast<int64_t>(RecordSize)) return std::nullopt;
  TActRec last[2];
  const int64_t count = size >= 2 * static_cast<int64_t>(RecordSize) ? 2 : 1;
  file.Seek(size - count * static_cast<int64_t>(RecordSize));
  const size_t want = static_cast<size_t>(count) * RecordSize;
  if (file.Read(last, want) != want) return std::nullopt;
  std::optional<TCopyMark> mark = ReadCopyMark(last[count - 1]);
  if (mark && count == 2) mark->order = ReadCopyOrder(last[0]);
  return mark;
}

}  // namespace

namespace {

// Where the part entries keep their values: a count, then up to seven parts.
constexpr char PartsMagic[4] = {'H', 'L', 'M', 'P'};
constexpr size_t PartEntriesAt = 8, PartEntrySize = 16;
constexpr size_t PartsPerRecord = (sizeof(TActRec::Reserved) - PartEntriesAt) / PartEntrySize;

void ReadPartEntries(const TActRec& record, std::vector<TCopyPart>& parts) {
  if (std::memcmp(record.Reserved, PartsMagic, sizeof PartsMagic) != 0) return;
  const size_t count = std::min<size_t>(record.Reserved[4], PartsPerRecord);
  for (size_t i = 0; i < count; ++i) {
    const size_t at = PartEntriesAt + i * PartEntrySize;
    parts.push_back({GetValue<int32_t>(record, at), GetValue<uint32_t>(record, at + 4),
                     GetValue<uint64_t>(record, at + 8)});
  }
}

// A part's file: "HLPT", its period, its count, then each record's moment
// and action (9 bytes).
constexpr char PartMagic[4] = {'H', 'L', 'P', 'T'};
constexpr size_t PartHeaderSize = 12, PartRecordSize = 9;
constexpr char RunningMagic[4] = {'H', 'L', 'R', 'N'};

uint64_t Hash(const std::string& bytes) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

// The whole file at path; nothing when it is missing. Other failures raise.
std::optional<std::string> ReadWhole(const std::string& path, size_t most) {
  if (!platform::FileFound(path)) return std::nullopt;
  platform::File file = platform::File::Open(path, platform::OpenMode::ReadAlone);
  const int64_t size = file.Size();
  if (size < 0 || static_cast<uint64_t>(size) > most) return std::nullopt;
  std::string bytes(static_cast<size_t>(size), '\0');
  const size_t read = bytes.empty() ? 0 : file.Read(bytes.data(), bytes.size());
  file.Close();
  if (read != bytes.size()) return std::nullopt;
  return bytes;
}

std::string PartsFolderOf(const std::string& path, const std::string& fileName) {
  const size_t at = path.size() - fileName.size();
  const char separator = at > 0 ? path[at - 1] : '/';
  return path.substr(0, at) + PartsFolderName(fileName) + separator;
}

// The records of the part file's bytes; nothing when they are not the part.
std::shared_ptr<const std::vector<TMachineRecord>> PartRecords(const std::string& bytes,
                                                               const TCopyPart& part) {
  if (bytes.size() != PartHeaderSize + PartRecordSize * size_t{part.count} ||
      bytes.compare(0, 4, PartMagic, 4) != 0 || Hash(bytes) != part.hash)
    return nullptr;
  int32_t period;
  std::memcpy(&period, bytes.data() + 4, 4);
  if (period != part.period) return nullptr;
  auto records = std::make_shared<std::vector<TMachineRecord>>(part.count);
  const char* at = bytes.data() + PartHeaderSize;
  for (TMachineRecord& record : *records) {
    std::memcpy(&record.time, at, sizeof record.time);
    record.action = static_cast<uint8_t>(at[8]);
    at += PartRecordSize;
  }
  return records;
}

// Reads the parts and the running note of the copy in parts at path into
// reading: false, with the problem, when the set is not whole.
bool ReadParts(const std::string& path, const std::string& fileName, const TMachineReading* before,
               TMachineReading& reading, std::string& problem) {
  const std::string folder = PartsFolderOf(path, fileName);
  size_t total = 0;
  for (const TCopyPart& part : reading.parts) {
    std::shared_ptr<const std::vector<TMachineRecord>> records;
    if (before)
      for (size_t i = 0; i < before->parts.size() && i < before->partRecords.size(); ++i)
        if (before->parts[i] == part) records = before->partRecords[i];
    if (!records) {
      const std::optional<std::string> bytes = ReadWhole(
          folder + PartFileName(part), PartHeaderSize + PartRecordSize * size_t{part.count});
      if (bytes) records = PartRecords(*bytes, part);
    }
    if (!records) {
      problem = "is still arriving (its part " + PartsFolderName(fileName) + "\\" +
                PartFileName(part) + " is missing or not whole)";
      return false;
    }
    total += records->size();
    reading.partRecords.push_back(std::move(records));
  }
  const std::string running = folder + RunningFileName;
  const std::optional<std::string> bytes = ReadWhole(running, 1024);
  const std::optional<TRunningNote> note = bytes ? ReadRunningFileBytes(*bytes) : std::nullopt;
  if (!note || note->identity != reading.mark.identity || !reading.mark.order ||
      note->sequence != reading.mark.order->sequence) {
    problem = "is still arriving (its running file is not of the same copy)";
    return false;
  }
  reading.runningUntil = reading.writerUntil = note->until;
  reading.records.reserve(reading.records.size() + total);
  for (const auto& records : reading.partRecords)
    reading.records.insert(reading.records.end(), records->begin(), records->end());
  return true;
}

}  // namespace

std::string PartsFolderName(const std::string& fileName) {
  const std::string stem =
      fileName.size() > 4 && fileName.compare(fileName.size() - 4, 4, ".dat") == 0
          ? fileName.substr(0, fileName.size() - 4)
          : fileName;
  return stem + " parts";
}

std::string PartFileName(const TCopyPart& part) {
  char name[48];
  const int year = part.period / 13, month = part.period % 13 + 1;
  const auto hash = static_cast<unsigned long long>(part.hash);
  if (month == 13)
    std::snprintf(name, sizeof name, "%04d %016llx.part", year, hash);
  else
    std::snprintf(name, sizeof name, "%04d-%02d %016llx.part", year, month, hash);
  return name;
}

std::string RunningFileBytes(const TRunningNote& note) {
  std::string bytes(RunningMagic, 4);
  bytes += CutUtf8(note.identity, IdentitySize);
  bytes.resize(4 + IdentitySize, '\0');
  bytes.append(reinterpret_cast<const char*>(&note.sequence), sizeof note.sequence);
  bytes += note.until ? '\1' : '\0';
  const TDateTime until = note.until.value_or(0);
  bytes.append(reinterpret_cast<const char*>(&until), sizeof until);
  return bytes;
}

std::optional<TRunningNote> ReadRunningFileBytes(const std::string& bytes) {
  if (bytes.size() != 4 + IdentitySize + 8 + 1 + 8 || bytes.compare(0, 4, RunningMagic, 4) != 0)
    return std::nullopt;
  TRunningNote note;
  note.identity = bytes.substr(4, IdentitySize);
  std::memcpy(&note.sequence, bytes.data() + 4 + IdentitySize, 8);
  TDateTime until;
  std::memcpy(&until, bytes.data() + 4 + IdentitySize + 9, 8);
  if (bytes[4 + IdentitySize + 8] != 0) note.until = until;
  if (!IsMachineIdentity(note.identity)) return std::nullopt;
  return note;
}

std::optional<TRunningNote> ReadRunningNote(const std::string& path) {
  try {
    const std::optional<std::string> bytes = ReadWhole(path, 1024);
    return bytes ? ReadRunningFileBytes(*bytes) : std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::vector<TPartBytes> JournalParts(const std::string& dataPath,
                                     const std::deque<TActRec>& waiting,
                                     std::optional<TDateTime>* first) {
  std::map<int32_t, std::string> months;  // by period: year * 13 + month - 1
  auto take = [&](const TActRec& record) {
    if (record.Status != StatusLive) return;
    const TDateTime time = record.Time;  // by value: the field is not aligned
    if (first && (!*first || time < **first)) *first = time;
    DateTimeFields fields;
    const int32_t month = DecodeDateTime(time, fields) ? fields.year * 13 + fields.month - 1 : 0;
    std::string& bytes = months[month];
    if (bytes.empty()) bytes.resize(PartHeaderSize);
    char entry[PartRecordSize];
    std::memcpy(entry, &time, sizeof time);
    entry[8] = static_cast<char>(record.Action);
    bytes.append(entry, sizeof entry);
  };
  if (platform::FileStamp(dataPath)) {
    TActRecReader reader(dataPath);  // closed on every way out
    size_t count = 0;
    while (const TActRec* records = reader.NextRecords(count))
      for (size_t i = 0; i < count; ++i) take(records[i]);
    reader.Close();
  }
  for (const TActRec& record : waiting) take(record);
  // The months before the latest year's, a part per year.
  std::map<int32_t, std::string> periods;
  const int32_t latestYear = months.empty() ? 0 : months.rbegin()->first / 13;
  for (auto& [month, bytes] : months) {
    if (month / 13 == latestYear) {
      periods[month] = std::move(bytes);
      continue;
    }
    std::string& year = periods[month / 13 * 13 + 12];
    if (year.empty()) year.resize(PartHeaderSize);
    year.append(bytes, PartHeaderSize);
  }
  std::vector<TPartBytes> parts;
  for (auto& [period, bytes] : periods) {
    TCopyPart part;
    part.period = period;
    part.count = static_cast<uint32_t>((bytes.size() - PartHeaderSize) / PartRecordSize);
    std::memcpy(bytes.data(), PartMagic, 4);
    std::memcpy(bytes.data() + 4, &part.period, 4);
    std::memcpy(bytes.data() + 8, &part.count, 4);
    part.hash = Hash(bytes);
    parts.push_back({part, std::move(bytes)});
  }
  return parts;
}

namespace {

// What ends every copy, whole or in parts: its offsets' notes, its order
// and its mark, last; then the copy takes the place of the one before.
void WriteCopyEnd(TReplacingFile& copy, const TCopyMark& mark,
                  const std::vector<TOffsetNote>& offsets) {
  for (const TOffsetNote& note : offsets) {
    const TActRec record = MakeOffsetNote(note);
    copy.Write(&record, RecordSize);
  }
  if (mark.order) {
    const TActRec order = MakeCopyOrder(*mark.order);
    copy.Write(&order, RecordSize);
  }
  const TActRec end = MakeCopyMark(mark);
  copy.Write(&end, RecordSize);
  copy.Commit();
}

}  // namespace

void WriteCopyIndex(const std::string& target, const std::vector<TCopyPart>& parts,
                    const TCopyMark& mark, const std::vector<TOffsetNote>& offsets) {
  TReplacingFile copy(target);
  for (size_t i = 0; i < parts.size(); i += PartsPerRecord) {
    TActRec record = MakeRecord(ActionStart, 0);
    record.Status = StatusCopyPart;
    std::memcpy(record.Reserved, PartsMagic, sizeof PartsMagic);
    const size_t count = std::min(PartsPerRecord, parts.size() - i);
    record.Reserved[4] = static_cast<uint8_t>(count);
    for (size_t j = 0; j < count; ++j) {
      const size_t at = PartEntriesAt + j * PartEntrySize;
      PutValue(record, at, parts[i + j].period);
      PutValue(record, at + 4, parts[i + j].count);
      PutValue(record, at + 8, parts[i + j].hash);
    }
    copy.Write(&record, RecordSize);
  }
  WriteCopyEnd(copy, mark, offsets);
}

void WriteWholeFile(const std::string& target, const std::string& bytes) {
  TReplacingFile file(target);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

std::optional<TCopyMark> ReadMarkAtEnd(const std::string& path) {
  try {
    platform::File file = platform::File::Open(path, platform::OpenMode::Read);
    std::optional<TCopyMark> mark = MarkAtEnd(file, file.Size());
    file.Close();
    return mark;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

TCopyOutcome ReadMachineCopy(const std::string& path, const std::string& fileName,
                             const std::string& identity, const TMachineReading* before) {
  TCopyOutcome outcome;
  try {
    // A copy that a sync service or a share is still writing is held open
    // for writing: it is not read until it is whole.
    platform::File file = platform::File::Open(path, platform::OpenMode::ReadAlone);
    const int64_t size = file.Size();
    if (size == 0) {
      outcome.problem = "is empty";
      return outcome;
    }
    if (size % static_cast<int64_t>(RecordSize) != 0) {
      outcome.problem = "is still arriving (its size is not whole records)";
      return outcome;
    }
    const std::optional<TCopyMark> mark = MarkAtEnd(file, size);
    if (!mark) {
      outcome.problem = "is still arriving (it does not end with Horalog's mark)";
      return outcome;
    }
    if (mark->identity != identity) {
      outcome.problem =
          "is not the copy its name says: its mark names the machine {" + mark->identity + "}";
      return outcome;
    }
    TMachineReading reading;
    reading.fileName = fileName;
    reading.mark = *mark;
    const int64_t count = size / static_cast<int64_t>(RecordSize);
    reading.records.reserve(static_cast<size_t>(count));
    std::vector<TActRec> block(4096);
    file.Seek(0);
    for (int64_t done = 0; done < count;) {
      const size_t want = static_cast<size_t>(std::min<int64_t>(4096, count - done));
      if (file.Read(block.data(), want * RecordSize) != want * RecordSize) {
        outcome.problem = "is still arriving (it became shorter while it was read)";
        return outcome;
      }
      for (size_t i = 0; i < want; ++i) {
        const TActRec& record = block[i];
        const TDateTime time = record.Time;  // by value: the field is not aligned
        if (record.Status == StatusLive) {
          reading.records.push_back({time, record.Action});
        } else if (record.Status == StatusRunningUntil) {
          reading.runningUntil = time;
        } else if (const std::optional<TOffsetNote> note = ReadOffsetNote(record)) {
          reading.offsets.push_back(*note);
        } else if (record.Status == StatusCopyPart) {
          ReadPartEntries(record, reading.parts);
        }
      }
      done += static_cast<int64_t>(want);
    }
    file.Close();
    if (!reading.parts.empty() && !ReadParts(path, fileName, before, reading, outcome.problem)) {
      outcome.again = true;
      return outcome;
    }
    std::stable_sort(reading.offsets.begin(), reading.offsets.end(),
                     [](const TOffsetNote& a, const TOffsetNote& b) { return a.utc < b.utc; });
    for (const TMachineRecord& record : reading.records) {
      if (!reading.first || record.time < *reading.first) reading.first = record.time;
      if (!reading.last || record.time > *reading.last) reading.last = record.time;
    }
    if (reading.runningUntil && (!reading.last || *reading.runningUntil > *reading.last))
      reading.last = reading.runningUntil;
    outcome.reading = std::move(reading);
  } catch (const EInOutError& error) {
    outcome.again = true;
    if (error.Code() == IoFileNotFound) {
      outcome.gone = true;
    } else if (error.Code() == IoSharingViolation || error.Code() == IoLockViolation) {
      outcome.problem = "is still arriving (another program holds it open)";
    } else {
      outcome.problem = "cannot be read: " + JournalFailureReason(error);
    }
  } catch (const std::exception& error) {
    outcome.again = true;
    outcome.problem = "cannot be read: " + JournalFailureReason(error);
  }
  return outcome;
}

void WriteMachineCopy(const std::string& target, const std::string& dataPath,
                      const std::deque<TActRec>& waiting, std::optional<TDateTime> runningUntil,
                      const TCopyMark& mark, const std::vector<TOffsetNote>& offsets) {
  TReplacingFile copy(target);
  if (platform::FileStamp(dataPath)) {
    TActRecReader reader(dataPath);  // closed on every way out
    size_t count = 0;
    while (const TActRec* records = reader.NextRecords(count)) {
      // Only the journal's own records: never a copy's.
      for (size_t i = 0; i < count; ++i)
        if (!IsStatusOfCopy(records[i].Status)) copy.Write(&records[i], RecordSize);
    }
    reader.Close();
  }
  for (const TActRec& record : waiting) copy.Write(&record, RecordSize);
  if (runningUntil) {
    TActRec until = MakeRecord(ActionStop, *runningUntil);
    until.Status = StatusRunningUntil;
    copy.Write(&until, RecordSize);
  }
  WriteCopyEnd(copy, mark, offsets);
}

bool HoursAllIn(const TMachineReading& copy, const std::string& dataPath,
                const std::deque<TActRec>& waiting, bool* equal) {
  if (equal) *equal = false;
  // The records as (time, action) pairs, compared as sorted lists.
  auto key = [](TDateTime time, uint8_t action) {
    return std::pair<TDateTime, bool>(time, action == ActionStart);
  };
  std::vector<std::pair<TDateTime, bool>> theirs, ours;
  theirs.reserve(copy.records.size());
  for (const TMachineRecord& record : copy.records)
    theirs.push_back(key(record.time, record.action));
  try {
    if (!dataPath.empty() && platform::FileFound(dataPath)) {
      TActRecReader reader(dataPath);
      size_t count = 0;
      while (const TActRec* records = reader.NextRecords(count))
        for (size_t i = 0; i < count; ++i)
          if (records[i].Status == StatusLive)
            ours.push_back(key(records[i].Time, records[i].Action));
      reader.Close();
    }
  } catch (const std::exception&) {
    return false;
  }
  for (const TActRec& record : waiting)
    if (record.Status == StatusLive) ours.push_back(key(record.Time, record.Action));
  std::sort(theirs.begin(), theirs.end());
  std::sort(ours.begin(), ours.end());
  if (!std::includes(ours.begin(), ours.end(), theirs.begin(), theirs.end())) return false;
  if (equal) *equal = ours.size() == theirs.size();
  return true;
}

}  // namespace horalog
