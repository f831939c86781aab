#include "machines/MachineFolder.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <utility>

#include "data/JournalWriter.h"

namespace horalog {

namespace {

// Whether a file name speaks of this program (a sync service's copy or
// temporary file of a machine's copy), so that passing it over is worth a
// line; other files of the folder are none of its business.
bool NamesHoralog(const std::string& fileName) {
  std::string lower = fileName;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("horalog") != std::string::npos;
}

}  // namespace

TMachineFolder::TMachineFolder(TMachinesSettings settings, TLog log)
    : settings_(std::move(settings)), log_(std::move(log)) {}

std::string TMachineFolder::OwnCopyPath() const {
  return settings_.folder + CopyFileName(settings_.name, settings_.identity);
}

std::string TMachineFolder::Where(const std::string& fileName) const {
  return platform::PathForDisplay(settings_.folder + fileName);
}

void TMachineFolder::Tell(const std::string& key, const std::string& text) {
  auto [told, added] = told_.try_emplace(key, text);
  if (!added && told->second == text) return;
  told->second = text;
  log_(text);
}

void TMachineFolder::Settle(const std::string& key) { told_.erase(key); }

bool TMachineFolder::MakeFolder() {
  try {
    platform::MakeFolders(settings_.folder);
    return true;
  } catch (const std::exception& error) {
    Tell("folder", "Cannot make the folder " + platform::PathForDisplay(settings_.folder) +
                       " of [Machines]: " + JournalFailureReason(error) +
                       ". Recording goes on; the other machines are not counted until it can be "
                       "made.");
    return false;
  }
}

bool TMachineFolder::Look() {
  std::vector<std::string> names;
  const std::string folder = platform::PathForDisplay(settings_.folder);
  if (!MakeFolder()) {
    readable_ = false;
    return false;
  }
  try {
    names = platform::FolderFileNames(settings_.folder);
  } catch (const std::exception& error) {
    readable_ = false;
    Tell("folder", "Cannot read the folder " + folder +
                       " of [Machines]: " + JournalFailureReason(error) +
                       ". Recording goes on; the other machines count as read before.");
    return false;
  }
  readable_ = true;
  Settle("folder");

  const std::string ownName = CopyFileName(settings_.name, settings_.identity);
  std::set<std::string> present;
  bool changed = false;
  for (const std::string& name : names) {
    // This machine's copy on its way in.
    if (name == ownName + ".tmp") continue;
    const std::optional<TMachineName> machine = MachineOfFileName(name);
    if (!machine) {
      if (NamesHoralog(name))
        Tell("file:" + name, Where(name) +
                                 " is not a machine's copy (Horalog writes no file of that "
                                 "name): it is left out.");
      present.insert(name);
      continue;
    }
    const std::string path = settings_.folder + name;
    std::optional<platform::TFileStamp> stamp;
    try {
      stamp = platform::FileStamp(path);
    } catch (const std::exception& error) {
      Tell("file:" + name, Where(name) + " cannot be read: " + JournalFailureReason(error) + ".");
      present.insert(name);
      continue;
    }
    if (!stamp) continue;  // gone since the listing
    present.insert(name);
    const auto known = files_.find(name);
    if (known != files_.end() && known->second.stamp == *stamp) continue;
    TFileState& state = files_[name];
    if (machine->identity == settings_.identity) {
      state.stamp = *stamp;
      LookAtOwnIdentity(name, *stamp);
      continue;
    }
    TCopyOutcome outcome = ReadMachineCopy(path, name, machine->identity);
    if (outcome.gone) {
      present.erase(name);
      continue;
    }
    if (outcome.reading && state.good && outcome.reading->mark.madeAt < state.good->mark.madeAt) {
      outcome.problem = "is older than the copy read before (made " +
                        DateTimeText(outcome.reading->mark.madeAt) + ", the one before " +
                        DateTimeText(state.good->mark.madeAt) + ")";
      outcome.reading.reset();
    }
    if (!outcome.reading) {
      // Read again at the next look when the failure may pass by itself
      // (another program held it); otherwise when the file changes.
      if (!outcome.again) state.stamp = *stamp;
      const std::string shown = state.good ? state.good->mark.name : machine->name;
      Tell("file:" + name, Where(name) + " " + outcome.problem + "; " +
                               (state.good ? shown + " counts as read before."
                                           : shown + " is not counted until it can be read."));
      continue;
    }
    outcome.reading->stamp = *stamp;
    state.stamp = *stamp;
    state.good = std::move(outcome.reading);
    Settle("file:" + name);
    changed = true;
  }
  // The files that went: their machines are no longer counted.
  for (auto it = files_.begin(); it != files_.end();) {
    if (present.count(it->first)) {
      ++it;
      continue;
    }
    if (it->second.good) changed = true;
    it = files_.erase(it);
  }
  for (auto it = told_.begin(); it != told_.end();) {
    const bool ofFile = it->first.rfind("file:", 0) == 0 || it->first.rfind("own:", 0) == 0;
    const std::string name = it->first.substr(it->first.find(':') + 1);
    it = ofFile && !present.count(name) ? told_.erase(it) : std::next(it);
  }
  TellTwins();
  return changed;
}

std::vector<const TMachineReading*> TMachineFolder::Machines() const {
  std::map<std::string, const TMachineReading*> newest;
  for (const auto& [name, state] : files_) {
    if (!state.good) continue;
    const TMachineReading*& counted = newest[state.good->mark.identity];
    if (!counted || state.good->mark.madeAt >= counted->mark.madeAt) counted = &*state.good;
  }
  std::vector<const TMachineReading*> machines;
  for (const auto& [identity, reading] : newest) machines.push_back(reading);
  return machines;
}

void TMachineFolder::TellTwins() {
  std::map<std::string, std::vector<const TMachineReading*>> byIdentity;
  for (const auto& [name, state] : files_)
    if (state.good) byIdentity[state.good->mark.identity].push_back(&*state.good);
  for (auto it = told_.begin(); it != told_.end();) {
    const bool twin = it->first.rfind("twin:", 0) == 0;
    it = twin && byIdentity[it->first.substr(5)].size() < 2 ? told_.erase(it) : std::next(it);
  }
  for (const TMachineReading* counted : Machines()) {
    const auto& copies = byIdentity[counted->mark.identity];
    if (copies.size() < 2) continue;
    std::string text = "Two copies of the machine " + counted->mark.name + " {" +
                       counted->mark.identity + "} in " +
                       platform::PathForDisplay(settings_.folder) + ":";
    for (size_t i = 0; i < copies.size(); ++i) text += (i == 0 ? " " : ", ") + copies[i]->fileName;
    Tell("twin:" + counted->mark.identity,
         text + "; the newer, " + counted->fileName + ", counts.");
  }
}

bool TMachineFolder::OwnCopyIsOurs(const std::string& path,
                                   const platform::TFileStamp& stamp) const {
  if (written_ && stamp == *written_) return true;
  const std::optional<TCopyMark> mark = ReadMarkAtEnd(path);
  if (!mark || mark->identity != settings_.identity ||
      mark->writer != MarkWriter(settings_.computer))
    return false;
  // Written by this computer: the one this program wrote last (a sync
  // service may have touched it), or before it wrote one, one of an earlier run.
  return !written_ || mark->madeAt == writtenAt_;
}

std::string TMachineFolder::NotOursText(const std::string& fileName) const {
  const std::optional<TCopyMark> mark = ReadMarkAtEnd(settings_.folder + fileName);
  return Where(fileName) + " has this machine's identity {" + settings_.identity +
         "} but was not written by Horalog here (" +
         (mark ? "its writer: " + mark->writer : std::string("it has no mark of its own")) +
         "): a computer made from the same image? Horalog does not overwrite it, and writes "
         "no copy of its own while it is there.";
}

void TMachineFolder::LookAtOwnIdentity(const std::string& fileName,
                                       const platform::TFileStamp& stamp) {
  const std::string path = settings_.folder + fileName;
  if (fileName == CopyFileName(settings_.name, settings_.identity)) {
    if (OwnCopyIsOurs(path, stamp)) {
      Settle("own:" + fileName);
    } else {
      Tell("own:" + fileName, NotOursText(fileName));
    }
    return;
  }
  // This machine's copy under a name it had before goes.
  const std::optional<TCopyMark> mark = ReadMarkAtEnd(path);
  if (mark && mark->identity == settings_.identity &&
      mark->writer == MarkWriter(settings_.computer) && platform::RemoveFile(path))
    return;
  Tell("own:" + fileName, NotOursText(fileName));
}

bool TMachineFolder::OwnCopyOlderThan(const std::string& dataPath) const {
  try {
    const std::optional<platform::TFileStamp> copy = platform::FileStamp(OwnCopyPath());
    if (!copy) return true;
    const std::optional<platform::TFileStamp> journal = platform::FileStamp(dataPath);
    return journal && copy->lastWrite < journal->lastWrite;
  } catch (const std::exception&) {
    // Whether it can be written is what the writing tells.
    return true;
  }
}

bool TMachineFolder::WriteOwnCopy(const std::string& dataPath, const std::deque<TActRec>& waiting,
                                  std::optional<TDateTime> runningUntil, TDateTime now) {
  const std::string ownName = CopyFileName(settings_.name, settings_.identity);
  const std::string path = settings_.folder + ownName;
  if (!MakeFolder()) return false;
  try {
    if (const std::optional<platform::TFileStamp> stamp = platform::FileStamp(path);
        stamp && !OwnCopyIsOurs(path, *stamp)) {
      Tell("own:" + ownName, NotOursText(ownName));
      return false;
    }
    Settle("own:" + ownName);
    WriteMachineCopy(path, dataPath, waiting, runningUntil,
                     {settings_.identity, settings_.name, MarkWriter(settings_.computer), now});
    written_ = platform::FileStamp(path);
    writtenAt_ = now;
    Settle("write");
    return true;
  } catch (const std::exception& error) {
    Tell("write", "Cannot write " + platform::PathForDisplay(path) + ": " +
                      JournalFailureReason(error) +
                      ". Recording goes on; the other machines see this machine's hours as of "
                      "its last copy until it can be written.");
    return false;
  }
}

}  // namespace horalog
