// The folder of [Machines], which the user's sync service shares between
// their machines: this machine writes its own copy there, and reads the
// others'. Every machine writes only its own file and reads the others', so
// no sync service ever has two writers of one file, and nothing of another
// machine enters this machine's journal.
//
// What a sync service leaves in the folder never stops the others and is
// never taken for a machine: a name of another shape (conflict copies,
// temporary files) is passed over, and a copy that is still arriving, empty,
// unreadable or older than the one read before keeps that machine's last
// good reading. Each is told once per change in the log, naming the file.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "data/ActRec.h"
#include "machines/MachineCopy.h"
#include "platform/DateTime.h"
#include "platform/Platform.h"

namespace horalog {

// This machine in the folder of [Machines].
struct TMachinesSettings {
  std::string folder;    // with its trailing separator; empty without [Machines]
  std::string name;      // the readable name in reports
  std::string identity;  // platform::MachineIdentity()
  std::string computer;  // platform::ComputerName(): who writes the copy
  bool Active() const { return !folder.empty(); }
  bool operator==(const TMachinesSettings&) const = default;
};

class TMachineFolder {
 public:
  using TLog = std::function<void(const std::string&)>;
  TMachineFolder(TMachinesSettings settings, TLog log);

  const TMachinesSettings& Settings() const { return settings_; }
  std::string OwnCopyPath() const;

  // Looks at the folder (made first when it is missing): the copies whose
  // size or last write changed since the last look are read and vetted.
  // True when the machines counted changed. Never raises; a folder that
  // cannot be made or read is told once per change.
  bool Look();
  // The other machines counted: for each identity the newest good reading
  // among its copies in the folder.
  std::vector<const TMachineReading*> Machines() const;
  // Whether the folder could be read at the last look.
  bool Readable() const { return readable_; }

  // Whether this machine's copy is missing or older than the file at
  // dataPath (a missing journal is older than any copy).
  bool OwnCopyOlderThan(const std::string& dataPath) const;
  // Writes this machine's copy from the journal at dataPath and the records
  // that wait (see WriteMachineCopy), made at now. A copy under this
  // machine's identity that this program did not write (a machine cloned
  // from the same image) is not overwritten: that is told once, and false
  // returned, as for a copy that could not be written. Never raises.
  bool WriteOwnCopy(const std::string& dataPath, const std::deque<TActRec>& waiting,
                    std::optional<TDateTime> runningUntil, TDateTime now);

 private:
  // One file of the folder as last looked at.
  struct TFileState {
    platform::TFileStamp stamp;
    std::optional<TMachineReading> good;  // its last good reading
  };

  // Makes the folder when it is missing; false, told once per change, when
  // it cannot be made.
  bool MakeFolder();
  // The log line for key, unless it was the last one told for key.
  void Tell(const std::string& key, const std::string& text);
  void Settle(const std::string& key);
  std::string Where(const std::string& fileName) const;
  // Whether this program wrote the copy at path: the one it wrote last, or
  // (before it wrote one) one whose mark names this computer.
  bool OwnCopyIsOurs(const std::string& path, const platform::TFileStamp& stamp) const;
  // The line that tells of a copy under this machine's identity that this
  // program did not write.
  std::string NotOursText(const std::string& fileName) const;
  // A copy under this machine's identity found in the folder.
  void LookAtOwnIdentity(const std::string& fileName, const platform::TFileStamp& stamp);
  // Tells the identities with more than one good copy.
  void TellTwins();

  TMachinesSettings settings_;
  TLog log_;
  std::map<std::string, TFileState> files_;  // by file name
  std::map<std::string, std::string> told_;  // the last line told, by what it is about
  bool readable_ = false;
  // The copy this program wrote last: its stamp and its mark's moment.
  std::optional<platform::TFileStamp> written_;
  TDateTime writtenAt_ = 0;
};

}  // namespace horalog
