// One machine's copy of its journal in the folder that several machines
// share through the user's sync service: its file name, its records and the
// mark that ends it.
//
// The copy is the journal's own 141-byte records, so that any later release
// can read it as a journal, followed by records that readers of a journal
// pass over (they take only Status 0):
// - while a spell runs, a Stop at its last activity with StatusRunningUntil,
//   so that the other machines count the spell up to then;
// - what its writer knows of its offset from UTC (StatusCopyOffset): from
//   which moment (UTC) each offset held, so that a reader counts its records
//   at the true moments;
// - the order of the copy (StatusCopyOrder): the run of the program that
//   wrote it and the number of the copy in that installation's sequence,
//   which only grows, so that readers order copies by their writer and never
//   by a clock;
// - last, the mark (StatusCopyMark): the moment the copy was made, the
//   machine's identity and readable name, and the computer that wrote it.
// A file without the mark at its end is not whole: still arriving, or cut.
// Copies of earlier releases end with the mark alone: they have no order and
// no offsets, and are read as their writer's local time.
//
// A copy in parts keeps the file at its name small, so that the sync
// service carries kilobytes, not the journal: in place of the live records
// it names its parts (StatusCopyPart), one per month of records of the
// journal's latest year and one per earlier year (so that the list stays
// short for a journal of any age), each in a file of its own in the folder
// "<copy's name without .dat> parts" beside it, named by its period and the
// hash of what it holds, so that a part is written only when its period's
// records change, and a part of one content is never another's. The running
// spell's last activity is in a small file of its own there ("running"),
// which names the number of the copy it goes with: it is all that is written
// every five minutes of a running spell. A reader that meets a part that is
// missing or not whole, or a running file of another number, takes the copy
// as still arriving.
//
// The file's name is fixed in shape, "Horalog <Name> {<identity>}.dat", and
// read from both ends: what a sync service makes of a name (a conflict copy,
// a temporary file, a name with the computer's added) breaks the shape, and
// such a file is never taken for a machine.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/ActRec.h"
#include "platform/DateTime.h"
#include "platform/Platform.h"

namespace horalog {

constexpr int32_t StatusRunningUntil = 2;
constexpr int32_t StatusCopyMark = 3;
constexpr int32_t StatusCopyOrder = 4;
constexpr int32_t StatusCopyOffset = 5;
constexpr int32_t StatusCopyPart = 6;

// A machine as a copy's name gives it.
struct TMachineName {
  std::string name;      // readable, as the file name holds it
  std::string identity;  // a GUID's 36 characters, lower case
};

// Whether text is an identity: a GUID's 36 characters in lower case.
bool IsMachineIdentity(const std::string& text);
// The name as a file name can hold it: characters that a Windows file name
// cannot (\ / : * ? " < > | and control characters) become "_", blanks and
// dots at either end go, and it is cut to 64 bytes (whole characters).
std::string FileNameSafe(const std::string& name);
// "Horalog <Name> {<identity>}.dat"; the name made file-name safe.
std::string CopyFileName(const std::string& name, const std::string& identity);
// The machine of a file name of exactly that shape; nothing for any other.
std::optional<TMachineName> MachineOfFileName(const std::string& fileName);

// The writer's order of a copy: the run of the program that wrote it (a
// random number each run draws) and its number in the sequence of copies of
// its installation.
struct TCopyOrder {
  uint64_t run = 0;
  uint64_t sequence = 0;
  bool operator==(const TCopyOrder&) const = default;
};

// What a copy's mark says.
struct TCopyMark {
  std::string identity;
  std::string name;      // the readable name (up to 64 bytes)
  std::string writer;    // the name of the computer that wrote the copy (up to 24 bytes)
  TDateTime madeAt = 0;  // when the copy was made, on that computer's clock
  std::optional<TCopyOrder> order;  // nothing in copies of earlier releases
};
TActRec MakeCopyMark(const TCopyMark& mark);
TActRec MakeCopyOrder(const TCopyOrder& order);
std::optional<TCopyOrder> ReadCopyOrder(const TActRec& record);

// From the moment utc on (until the next note), the writer's local time was
// UTC plus minutes.
struct TOffsetNote {
  TDateTime utc = 0;
  int32_t minutes = 0;
  bool operator==(const TOffsetNote&) const = default;
};
TActRec MakeOffsetNote(const TOffsetNote& note);
std::optional<TOffsetNote> ReadOffsetNote(const TActRec& record);
// The writer's name as a mark keeps it (cut to its 24 bytes).
std::string MarkWriter(const std::string& computer);
// The mark a record holds; nothing when it is no mark.
std::optional<TCopyMark> ReadCopyMark(const TActRec& record);

// One live record of a copy.
struct TMachineRecord {
  TDateTime time;
  uint8_t action;
};

// One part of a copy in parts: the live records of a period of its writer's
// local time, in the journal's order: a month (year * 13 + month - 1) or a
// whole year (year * 13 + 12).
struct TCopyPart {
  int32_t period = 0;
  uint32_t count = 0;
  uint64_t hash = 0;  // of the part file's bytes
  bool operator==(const TCopyPart&) const = default;
};
// The folder of the parts of the copy fileName, in the copy's folder.
std::string PartsFolderName(const std::string& fileName);
// "2026-03 0123456789abcdef.part", "2025 0123456789abcdef.part".
std::string PartFileName(const TCopyPart& part);
inline constexpr const char* RunningFileName = "running";

// What the running file says: the copy it goes with (its writer's number)
// and the last activity of the spell that runs, if one does.
struct TRunningNote {
  std::string identity;
  uint64_t sequence = 0;
  std::optional<TDateTime> until;
};
std::string RunningFileBytes(const TRunningNote& note);
// Nothing for bytes that are not a whole running note.
std::optional<TRunningNote> ReadRunningFileBytes(const std::string& bytes);

// A copy read whole and found good.
struct TMachineReading {
  std::string fileName;  // in the folder
  platform::TFileStamp stamp;
  // Of a copy in parts: its parts, each part's records as read (in its
  // writer's time, kept so that the next reading reads only the parts that
  // changed) and what its running file said (in its writer's time).
  std::vector<TCopyPart> parts;
  std::vector<std::shared_ptr<const std::vector<TMachineRecord>>> partRecords;
  std::optional<TDateTime> writerUntil;
  // New with each reading of the records, and of the running spell alone.
  uint64_t version = 0, runningVersion = 0;
  // When its records begin with those of the reading before (of version
  // extends; its records in this machine's time): how many those were, so
  // that a count of them takes only the records after.
  uint64_t extends = 0;
  size_t extendsCount = 0;
  TCopyMark mark;
  std::vector<TMachineRecord> records;    // the live records, in file order
  std::optional<TDateTime> runningUntil;  // a spell that ran when the copy was made
  std::vector<TOffsetNote> offsets;       // in time order; none in copies of earlier releases
  // Its clock's offset from UTC when the copy was made, where it differs
  // from this machine's (its records are then read in this machine's time).
  std::optional<int32_t> clockOffset;
  // The first and last moments of its live records (and of the running
  // spell): nothing without any.
  std::optional<TDateTime> first, last;
  // Its records (and its parts' records) were let go once counted: a
  // change of the copy, its running spell's too, reads it whole again.
  bool forgotten = false;
};

// What reading a copy came to: the reading, or why there is none.
struct TCopyOutcome {
  std::optional<TMachineReading> reading;
  std::string problem;  // "is empty", "is still arriving (...)", ...
  bool gone = false;    // the file went between the listing and the reading
  // The failure may pass without a change to the file (another program held
  // it, the share did not answer): worth reading again at the next look.
  bool again = false;
};

// Reads the copy at path (fileName in the folder), which its name says is
// of machine identity; of a copy in parts, the parts that before (a reading
// of the copy before) holds already are not read again. Never raises: what
// is wrong is the outcome's problem.
TCopyOutcome ReadMachineCopy(const std::string& path, const std::string& fileName,
                             const std::string& identity, const TMachineReading* before = nullptr);
// The running note of the copy in parts at path; nothing when there is none
// whole (or it cannot be read).
std::optional<TRunningNote> ReadRunningNote(const std::string& path);
// The mark at the end of the file at path, with the order before it;
// nothing when the file has none (or cannot be read).
std::optional<TCopyMark> ReadMarkAtEnd(const std::string& path);

// Whether every live record of the copy is in the journal at dataPath or
// among the records that wait for it: the copy holds no hours that the
// journal does not (an empty copy none at all). A journal that cannot be
// read holds none.
// With equal, whether the journal holds no other hours either.
bool HoursAllIn(const TMachineReading& copy, const std::string& dataPath,
                const std::deque<TActRec>& waiting, bool* equal = nullptr);

// Writes the copy of the journal at dataPath (missing: an empty journal) to
// target: its records, then the records that wait to be written to it, then
// the running spell's last activity, then the offsets, the order (when the
// mark has one) and the mark. Written beside target
// and moved over, so that the folder never holds half a copy. A failure
// raises, and the earlier copy stays.
void WriteMachineCopy(const std::string& target, const std::string& dataPath,
                      const std::deque<TActRec>& waiting, std::optional<TDateTime> runningUntil,
                      const TCopyMark& mark, const std::vector<TOffsetNote>& offsets = {});

// The parts of the journal at dataPath (missing: an empty journal) and the
// records that wait for it, in time order, with the bytes of each part's
// file; first: the journal's first live moment.
struct TPartBytes {
  TCopyPart part;
  std::string bytes;
};
std::vector<TPartBytes> JournalParts(const std::string& dataPath,
                                     const std::deque<TActRec>& waiting,
                                     std::optional<TDateTime>* first = nullptr);
// Writes the copy in parts' file at target: its parts named, then the
// offsets, the order and the mark; beside target and moved over. The parts
// and the running file are written apart (each beside and moved over).
void WriteCopyIndex(const std::string& target, const std::vector<TCopyPart>& parts,
                    const TCopyMark& mark, const std::vector<TOffsetNote>& offsets);
// Writes bytes to target, beside it and moved over. A failure raises.
void WriteWholeFile(const std::string& target, const std::string& bytes);

}  // namespace horalog
