// The folder of [Machines], which the user's sync service shares between
// their machines: this machine writes its own copy there, and reads the
// others'. Every machine writes only its own file and reads the others', so
// no sync service ever has two writers of one file, and nothing of another
// machine enters this machine's journal.
//
// What a sync service leaves in the folder never stops the others and is
// never taken for a machine: a name of another shape (conflict copies,
// temporary files) is passed over, and a copy that is still arriving, empty,
// unreadable or earlier in its writer's order than the one read before keeps
// that machine's last good reading. Each is told once per change in the log,
// naming the file.
//
// Who wrote a copy is told by what it holds, never by a name the system
// gives: the copy is named by this installation's identity, a random GUID
// kept beside the journal (in a file of its state), and carries the run and
// the number in the installation's sequence that wrote it. A copy under this
// installation's identity is this installation's when it bears a run and a
// number this installation used, or holds no hours the journal does not
// (then nothing is lost when it goes): an earlier copy brought back is
// replaced at the next write, one under a former name goes. Any other is
// another writer's with the same identity (a copied program folder, a
// computer made from the same image): it is left as it is and counted as a
// machine of its own, and this installation takes a new identity.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "data/ActRec.h"
#include "machines/MachineCopy.h"
#include "machines/MachineZones.h"
#include "platform/DateTime.h"
#include "platform/Platform.h"

namespace horalog {

// This machine in the folder of [Machines].
struct TMachinesSettings {
  std::string folder;    // with its trailing separator; empty without [Machines]
  std::string name;      // the readable name in reports
  std::string identity;  // platform::MachineIdentity(): the name of copies of earlier releases
  std::string computer;  // platform::ComputerName(): who writes the copy
  bool Active() const { return !folder.empty(); }
  bool operator==(const TMachinesSettings&) const = default;
};

// The file beside the journal that keeps this installation's identity, its
// sequence of copies and the offsets of its clock.
inline constexpr const char* MachineStateFileName = "Horalog machine.id";

// The clock's zone: its rules, and the wall clock in UTC.
struct TZoneClock {
  TZoneRules rules;
  std::function<TDateTime()> utcNow;
  // The system's.
  static TZoneClock System();
};

// What an installation keeps of itself beside its journal.
struct TMachineState {
  std::string identity;
  uint64_t sequence = 0;  // the number of the last copy written
  struct TRun {
    uint64_t run = 0, first = 0, last = 0;  // the numbers it wrote
  };
  std::vector<TRun> runs;            // the latest last
  std::vector<TOffsetNote> offsets;  // each change of the clock's offset, as it was noted
  bool Wrote(const TCopyOrder& order) const;
};
// The state in the file's text, and back; nothing for a text that is not one.
std::string MachineStateText(const TMachineState& state);
std::optional<TMachineState> ReadMachineStateText(const std::string& text);
// A new random identity: a GUID's 36 characters, lower case.
std::string NewMachineIdentity();

class TMachineFolder {
 public:
  using TLog = std::function<void(const std::string&)>;
  // dataPath: this machine's journal, beside which its state is kept; empty,
  // the state lives as long as this. readOnly: the folder and the state are
  // read, never written (a command that only reports): nothing is removed,
  // and this machine's copies, whatever their state, are not counted.
  TMachineFolder(TMachinesSettings settings, TLog log, std::string dataPath = {},
                 TZoneClock zone = TZoneClock::System(), bool readOnly = false);

  const TMachinesSettings& Settings() const { return settings_; }
  // This installation's identity, the one its copy's name carries.
  const std::string& Identity() const { return state_.identity; }
  std::string OwnCopyPath() const;

  // Looks at the folder (made first when it is missing): the copies whose
  // size or last write changed since the last look are read and vetted.
  // True when the machines counted changed. Never raises; a folder that
  // cannot be made or read is told once per change.
  // counted, when given, is told each copy read afresh, as soon as it is
  // read: true when its hours are kept elsewhere and its records can go
  // (see ForgetRecords), so that a folder of years is never held whole.
  bool Look(const std::function<bool(const TMachineReading&)>& counted = {});
  // The other machines counted: for each identity the latest good reading
  // among its copies in the folder (by its writer's order), its records in
  // this machine's local time.
  std::vector<const TMachineReading*> Machines() const;
  // Lets go of the records of the readings which says, once they are
  // counted (their hours kept elsewhere): a copy of years in a 32-bit
  // program. A forgotten copy that changes is read whole again.
  void ForgetRecords(const std::function<bool(const TMachineReading&)>& which);
  // The machines counted (as Machines) with their records: those forgotten
  // read again (one that cannot be read now keeps no records).
  std::vector<TMachineReading> WholeReadings() const;
  // The next look reads every copy whole again (its days to be counted
  // anew), or only the copies named.
  void ReadAgain(const std::vector<std::string>& fileNames = {});
  // Asks a look running on another thread to stop at the next copy: it
  // returns false, the copies not yet read left as they were. Stop(false)
  // lets the next look run (a look that stopped does too).
  void Stop(bool stopping = true) { stop_ = stopping; }
  // Whether the folder could be read at the last look.
  bool Readable() const { return readable_; }

  // Notes the clock's offset when it changed since the last note.
  void NoteClock();

  // Whether this machine's copy is to be written at once: the copy at its
  // name is an earlier one of its own, brought back, or it took a new identity.
  // A part or the running file of its copy went from the folder (a clone's
  // or the sync service's doing): they are written again.
  bool OwnCopyDue() const { return staleOwn_.has_value() || newIdentity_ || partsMissing_; }
  // Whether this machine's copy is missing or older than the file at
  // dataPath (a missing journal is older than any copy).
  bool OwnCopyOlderThan(const std::string& dataPath) const;
  // Writes this machine's copy in parts from the journal at dataPath and the
  // records that wait, made at now: the next number of the sequence, and of
  // the parts only those that changed; when only the running spell changed,
  // its running file alone. A copy under this identity that another writer made is not
  // overwritten: this installation takes a new identity first. False, told
  // once, when it could not be written. Never raises.
  bool WriteOwnCopy(const std::string& dataPath, const std::deque<TActRec>& waiting,
                    std::optional<TDateTime> runningUntil, TDateTime now);

 private:
  // One file of the folder as last looked at.
  struct TFileState {
    platform::TFileStamp stamp;
    std::optional<TMachineReading> good;  // its last good reading, when it is a machine's
  };
  // Whose a copy under this installation's identity is.
  // Arriving: it cannot be read as a whole copy (yet).
  enum class TWhose { Latest, Ours, Other, Arriving };

  // Makes the folder when it is missing; false, told once per change, when
  // it cannot be made.
  bool MakeFolder();
  // The log line for key, unless it was the last one told for key.
  void Tell(const std::string& key, const std::string& text);
  void Settle(const std::string& key);
  std::string Where(const std::string& fileName) const;
  void SaveState();
  // Whose the copy at path is (its mark read into mark).
  TWhose Whose(const std::string& path, const platform::TFileStamp& stamp,
               const std::deque<TActRec>& waiting, std::optional<TCopyMark>& mark);
  // The line told when this machine's copy fileName, not the one it wrote
  // last, is replaced.
  std::string StaleText(const std::string& fileName, const std::optional<TCopyMark>& mark) const;
  // The copy fileName under this identity, which another writer made: this
  // installation takes a new identity, told in one line.
  void TakeNewIdentity(const std::string& fileName, const std::optional<TCopyMark>& mark);
  // A copy under this installation's identity (or a former one) found in
  // the folder: false when it is to be read as another machine's.
  bool LookAtOwnIdentity(const std::string& fileName, const platform::TFileStamp& stamp);
  // A copy of an earlier release under this machine's identity: true when it
  // went (its hours are all in the journal).
  bool LookAtEarlierRelease(const std::string& fileName);
  // This machine's offsets from fromUtc on: its zone's rules up to the
  // first note, then the notes.
  std::vector<TOffsetNote> OwnOffsets(TDateTime fromUtc) const;
  // The reading's records in this machine's local time.
  void ToOwnTime(TMachineReading& reading) const;
  // Tells the identities with more than one good copy.
  void TellTwins();
  // The folder of the parts of the copy fileName.
  std::string PartsFolder(const std::string& fileName) const;
  // Removes the files of the parts of the copy fileName but those of the
  // lists kept (and then the running file).
  void RemoveParts(const std::string& fileName,
                   const std::vector<const std::vector<TCopyPart>*>& kept = {});
  // The reading's records let go.
  static void ForgetRecords(TMachineReading& reading);
  // The running file of the good reading of the copy fileName, read again
  // when it changed: true when it changed (and, with apply, changed the
  // reading).
  bool LookAtRunning(const std::string& fileName, TMachineReading& reading, bool apply = true);

  TMachinesSettings settings_;
  TLog log_;
  std::string dataPath_, statePath_;
  TZoneClock zone_;
  bool readOnly_ = false;
  TMachineState state_;
  uint64_t run_ = 0;
  // The zone's rules as notes from a day on, up to the first note kept.
  struct TRulesNotes {
    TDateTime from = 0, to = 0;
    std::vector<TOffsetNote> notes;
  };
  mutable std::optional<TRulesNotes> rulesNotes_;
  // The identities this installation had before, with their runs.
  std::vector<TMachineState> former_;
  // Copies of other writers under an identity of this installation's, by
  // file name: machines of their own.
  std::set<std::string> others_;
  std::map<std::string, TFileState> files_;  // by file name
  std::map<std::string, std::string> told_;  // the last line told, by what it is about
  bool readable_ = false;
  // The copy this program wrote last: its stamp.
  std::optional<platform::TFileStamp> written_;
  // A copy of this installation's that is not the latest: the line told
  // when it is replaced.
  std::optional<std::string> staleOwn_;
  bool newIdentity_ = false;  // no copy written under it yet
  // What the last write of this machine's copy in parts wrote: the copy is
  // written again only when the journal, the records that wait or the
  // offsets changed, the running file alone when only the running spell did.
  struct TPartsWritten {
    std::string path;
    std::optional<platform::TFileStamp> journal;
    std::deque<TActRec> waiting;
    std::optional<TDateTime> first;
    std::vector<TCopyPart> parts, before;
    std::vector<TOffsetNote> offsets;
    uint64_t sequence = 0;
    std::optional<TDateTime> until;
  };
  std::optional<TPartsWritten> partsWritten_;
  bool partsMissing_ = false;
  std::atomic<bool> stop_{false};
};

}  // namespace horalog
