#include "machines/MachineFolder.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

#include "data/AtomicFile.h"
#include "data/JournalWriter.h"
#include "data/SettingsRules.h"

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

uint64_t RandomNumber() {
  static std::mt19937_64 numbers = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(),
                       static_cast<unsigned>(
                           std::chrono::steady_clock::now().time_since_epoch().count()),
                       static_cast<unsigned>(
                           std::chrono::system_clock::now().time_since_epoch().count())};
    return std::mt19937_64(seed);
  }();
  uint64_t number = 0;
  while (number == 0) number = numbers();
  return number;
}

// How many runs and offset notes the state keeps: years of them.
constexpr size_t KeptRuns = 2000;
constexpr size_t KeptOffsets = 2000;
constexpr size_t MostStateBytes = 1 << 20;

// The later of two readings of one identity in their writer's order.
bool WrittenLater(const TMachineReading& a, const TMachineReading& b) {
  if (a.mark.order && b.mark.order && a.mark.order->sequence != b.mark.order->sequence)
    return a.mark.order->sequence > b.mark.order->sequence;
  return a.mark.madeAt > b.mark.madeAt;
}

std::string Number(uint64_t number) { return std::to_string(number); }

bool SameRecords(const std::deque<TActRec>& a, const std::deque<TActRec>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::memcmp(&a[i], &b[i], RecordSize) != 0) return false;
  return true;
}

// Whether the records of after begin with all of before's.
bool Extends(const TMachineReading& before, const TMachineReading& after) {
  if (before.records.size() > after.records.size()) return false;
  for (size_t i = 0; i < before.records.size(); ++i)
    if (before.records[i].time != after.records[i].time ||
        before.records[i].action != after.records[i].action)
      return false;
  return true;
}

uint64_t NewReadingVersion() {
  static uint64_t last = 0;
  return ++last;
}

}  // namespace

TZoneClock TZoneClock::System() {
  return {[](TDateTime utc) { return platform::UtcOffsetMinutes(utc); },
          [] { return platform::UtcNow(); }};
}

bool TMachineState::Wrote(const TCopyOrder& order) const {
  for (const TRun& run : runs)
    if (run.run == order.run && order.sequence >= run.first && order.sequence <= run.last)
      return true;
  return false;
}

std::string MachineStateText(const TMachineState& state) {
  std::string text = "Horalog machine\r\nIdentity=" + state.identity +
                     "\r\nSequence=" + Number(state.sequence) + "\r\n";
  char line[96];
  for (const TMachineState::TRun& run : state.runs) {
    std::snprintf(line, sizeof line, "Run=%016llx %llu %llu\r\n",
                  static_cast<unsigned long long>(run.run),
                  static_cast<unsigned long long>(run.first),
                  static_cast<unsigned long long>(run.last));
    text += line;
  }
  for (const TOffsetNote& note : state.offsets) {
    std::snprintf(line, sizeof line, "Offset=%.8f %d\r\n", note.utc,
                  static_cast<int>(note.minutes));
    text += line;
  }
  return text;
}

std::optional<TMachineState> ReadMachineStateText(const std::string& text) {
  TMachineState state;
  bool header = false;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!header) {
      if (line != "Horalog machine") return std::nullopt;
      header = true;
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const char* value = line.c_str() + equals + 1;
    char* rest = nullptr;
    if (key == "Identity") {
      state.identity = value;
    } else if (key == "Sequence") {
      state.sequence = std::strtoull(value, nullptr, 10);
    } else if (key == "Run") {
      TMachineState::TRun run;
      run.run = std::strtoull(value, &rest, 16);
      run.first = std::strtoull(rest, &rest, 10);
      run.last = std::strtoull(rest, &rest, 10);
      if (run.run != 0 && run.first <= run.last) state.runs.push_back(run);
    } else if (key == "Offset") {
      const double utc = std::strtod(value, &rest);
      const long minutes = std::strtol(rest, &rest, 10);
      if (minutes > -24 * 60 && minutes < 24 * 60 && utc > -700000.0 && utc < 3000000.0)
        state.offsets.push_back({utc, static_cast<int32_t>(minutes)});
    }
  }
  if (!header || !IsMachineIdentity(state.identity)) return std::nullopt;
  return state;
}

std::string NewMachineIdentity() {
  const uint64_t high = RandomNumber(), low = RandomNumber();
  uint8_t bytes[16];
  for (int i = 0; i < 8; ++i) {
    bytes[i] = static_cast<uint8_t>(high >> (8 * i));
    bytes[8 + i] = static_cast<uint8_t>(low >> (8 * i));
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4: random
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);
  std::string text;
  static const char Digits[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += Digits[bytes[i] >> 4];
    text += Digits[bytes[i] & 0x0F];
  }
  return text;
}

TMachineFolder::TMachineFolder(TMachinesSettings settings, TLog log, std::string dataPath,
                               TZoneClock zone, bool readOnly)
    : settings_(std::move(settings)),
      log_(std::move(log)),
      dataPath_(std::move(dataPath)),
      zone_(std::move(zone)),
      readOnly_(readOnly),
      run_(RandomNumber()) {
  if (!dataPath_.empty()) statePath_ = DirectoryOf(dataPath_) + MachineStateFileName;
  std::optional<TMachineState> kept;
  if (!statePath_.empty()) {
    try {
      platform::File file = platform::File::Open(statePath_, platform::OpenMode::Read);
      const int64_t size = file.Size();
      if (size > 0 && size <= static_cast<int64_t>(MostStateBytes)) {
        std::string text(static_cast<size_t>(size), '\0');
        if (file.Read(text.data(), text.size()) == text.size()) kept = ReadMachineStateText(text);
      }
      file.Close();
    } catch (const std::exception&) {
      // Missing or unreadable: a new installation.
    }
  }
  if (kept) {
    state_ = std::move(*kept);
  } else {
    state_.identity = NewMachineIdentity();
  }
}

std::string TMachineFolder::OwnCopyPath() const {
  return settings_.folder + CopyFileName(settings_.name, Identity());
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

void TMachineFolder::SaveState() {
  if (statePath_.empty() || readOnly_) return;
  if (state_.runs.size() > KeptRuns)
    state_.runs.erase(state_.runs.begin(), state_.runs.end() - KeptRuns);
  if (state_.offsets.size() > KeptOffsets)
    state_.offsets.erase(state_.offsets.begin(), state_.offsets.end() - KeptOffsets);
  try {
    const std::string text = MachineStateText(state_);
    TReplacingFile file(statePath_);
    file.Write(text.data(), text.size());
    file.Commit();
    Settle("state");
  } catch (const std::exception& error) {
    Tell("state", "Cannot write " + platform::PathForDisplay(statePath_) + ": " +
                      JournalFailureReason(error) +
                      ". Recording goes on; this machine's copy names the machine as before "
                      "until Horalog ends, and as a new machine after its next start.");
  }
}

bool TMachineFolder::MakeFolder() {
  try {
    platform::MakeFolders(settings_.folder);
    return true;
  } catch (const std::exception& error) {
    Tell("folder", "Cannot make the folder " + platform::PathForDisplay(settings_.folder) +
                       " of [Machines]: " + JournalFailureReason(error) + ". Recording goes on; " +
                       (Machines().empty()
                            ? "the other machines are not counted until it can be made."
                            : "the other machines count as read before."));
    return false;
  }
}

void TMachineFolder::NoteClock() {
  if (!zone_.rules || !zone_.utcNow) return;
  TDateTime utc = zone_.utcNow();
  const int32_t offset = zone_.rules(utc);
  if (!state_.offsets.empty() && state_.offsets.back().minutes == offset) return;
  if (!state_.offsets.empty()) {
    // Where the zone's rules still give the offset noted last, they changed
    // it (summer time): the change is theirs, to the minute. Otherwise the
    // zone itself changed, noted now.
    const TOffsetNote& last = state_.offsets.back();
    if (last.utc < utc && zone_.rules(last.utc) == last.minutes) {
      const std::vector<TOffsetNote> notes = ZoneNotes(zone_.rules, last.utc, utc);
      for (const TOffsetNote& note : notes)
        if (note.minutes == offset && note.utc > last.utc) {
          utc = note.utc;
          break;
        }
    }
  }
  state_.offsets.push_back({utc, offset});
  SaveState();
}

std::vector<TOffsetNote> TMachineFolder::OwnOffsets(TDateTime fromUtc) const {
  if (!zone_.rules) return {};
  const TDateTime end = state_.offsets.empty() ? (zone_.utcNow ? zone_.utcNow() : fromUtc)
                                               : state_.offsets.front().utc;
  std::vector<TOffsetNote> notes;
  // From whole days, kept: the rules are asked again only for earlier days.
  if (fromUtc < end) {
    const TDateTime from = std::floor(fromUtc);
    if (!rulesNotes_ || rulesNotes_->to != end || rulesNotes_->from > from)
      rulesNotes_ = TRulesNotes{rulesNotes_ && rulesNotes_->to == end
                                    ? std::min(from, rulesNotes_->from)
                                    : from,
                                end, {}};
    if (rulesNotes_->notes.empty())
      rulesNotes_->notes = ZoneNotes(zone_.rules, rulesNotes_->from, end);
    notes = rulesNotes_->notes;
  }
  for (const TOffsetNote& note : state_.offsets)
    if (notes.empty() || notes.back().minutes != note.minutes) notes.push_back(note);
  return notes;
}

void TMachineFolder::ToOwnTime(TMachineReading& reading) const {
  reading.clockOffset.reset();
  if (reading.offsets.empty() || !zone_.rules) return;
  TDateTime from = reading.offsets.front().utc;
  if (reading.first) from = std::min(from, *reading.first - 1);
  const TOffsets ours(OwnOffsets(from - 1));
  ToOurTime(reading.records, reading.runningUntil, TOffsets(reading.offsets), ours);
  reading.first.reset();
  reading.last.reset();
  for (const TMachineRecord& record : reading.records) {
    if (!reading.first || record.time < *reading.first) reading.first = record.time;
    if (!reading.last || record.time > *reading.last) reading.last = record.time;
  }
  if (reading.runningUntil && (!reading.last || *reading.runningUntil > *reading.last))
    reading.last = reading.runningUntil;
  // The moment of the copy as its last record's would be.
  std::optional<TDateTime> made = reading.mark.madeAt;
  std::vector<TMachineRecord> none;
  ToOurTime(none, made, TOffsets({reading.offsets.back()}), ours);
  reading.mark.madeAt = *made;
  const int32_t theirs = reading.offsets.back().minutes;
  const int32_t own = state_.offsets.empty() ? ours.At(reading.offsets.back().utc)
                                             : state_.offsets.back().minutes;
  if (theirs != own) reading.clockOffset = theirs;
}

TMachineFolder::TWhose TMachineFolder::Whose(const std::string& path,
                                             const platform::TFileStamp& stamp,
                                             const std::deque<TActRec>& waiting,
                                             std::optional<TCopyMark>& mark) {
  if (written_ && stamp == *written_) return TWhose::Latest;
  mark = ReadMarkAtEnd(path);
  if (mark && mark->order) {
    if (mark->identity == Identity() && state_.Wrote(*mark->order))
      return mark->order->sequence == state_.sequence ? TWhose::Latest : TWhose::Ours;
    for (const TMachineState& former : former_)
      if (mark->identity == former.identity && former.Wrote(*mark->order)) return TWhose::Ours;
  }
  // Neither a number this installation used nor one of its former
  // identities: its hours tell. A copy that cannot be read holds none that
  // count anywhere.
  const std::string fileName = path.substr(settings_.folder.size());
  const TCopyOutcome outcome =
      ReadMachineCopy(path, fileName, mark ? mark->identity : Identity());
  if (!outcome.reading) return TWhose::Arriving;
  bool equal = false;
  if (!HoursAllIn(*outcome.reading, dataPath_, waiting, &equal)) return TWhose::Other;
  // Written by a state this installation has forgotten (the file of its
  // state brought back), or by a copy of it whose journal has not gone its
  // own way yet: its numbers go on after it.
  if (mark && mark->order && mark->identity == Identity())
    state_.sequence = std::max(state_.sequence, mark->order->sequence);
  // The same hours as the journal: nothing to replace.
  return equal ? TWhose::Latest : TWhose::Ours;
}

std::string TMachineFolder::StaleText(const std::string& fileName,
                                      const std::optional<TCopyMark>& mark) const {
  const bool wrote = mark && mark->order && mark->identity == Identity() &&
                     state_.Wrote(*mark->order) && mark->order->sequence < state_.sequence;
  if (wrote)
    return Where(fileName) + " is an earlier copy of this machine's own (number " +
           Number(mark->order->sequence) + "; it wrote number " + Number(state_.sequence) +
           " last), brought back by the sync service or a restore: it is replaced.";
  return Where(fileName) +
         " is not the copy this machine wrote last, but holds no hours that its journal does "
         "not: it is replaced.";
}

void TMachineFolder::TakeNewIdentity(const std::string& fileName,
                                     const std::optional<TCopyMark>& mark) {
  const std::string old = Identity();
  former_.push_back(state_);
  state_.identity = NewMachineIdentity();
  state_.sequence = 0;
  state_.runs.clear();
  written_.reset();
  staleOwn_.reset();
  newIdentity_ = true;
  SaveState();
  others_.insert(fileName);
  // This installation's copies under the old identity are looked at again:
  // they go.
  for (auto it = files_.begin(); it != files_.end();) {
    const std::optional<TMachineName> machine = MachineOfFileName(it->first);
    it = machine && machine->identity == old && !others_.count(it->first) ? files_.erase(it)
                                                                          : std::next(it);
  }
  Tell("clone:" + old,
       Where(fileName) + " has this installation's identity {" + old +
           "} but holds hours that this machine's journal does not (" +
           (mark ? "its writer: " + mark->writer : std::string("it has no mark")) +
           "): a copied program folder, or a computer made from the same image? It is left as "
           "it is and counted as a machine of its own; this machine's copy is " +
           CopyFileName(settings_.name, Identity()) + " from now on.");
}

bool TMachineFolder::LookAtOwnIdentity(const std::string& fileName,
                                       const platform::TFileStamp& stamp) {
  const std::string path = settings_.folder + fileName;
  if (readOnly_) return true;
  std::optional<TCopyMark> mark;
  const TWhose whose = Whose(path, stamp, {}, mark);
  const bool current = fileName == CopyFileName(settings_.name, Identity());
  // Looked at again once it is whole.
  if (whose == TWhose::Arriving) return true;
  if (whose == TWhose::Other) {
    if (MachineOfFileName(fileName)->identity == Identity()) {
      TakeNewIdentity(fileName, mark);
    } else {
      others_.insert(fileName);
      Tell("own:" + fileName, Where(fileName) + " has a former identity of this machine's but "
                                                "another writer made it: it is counted as a "
                                                "machine of its own.");
    }
    return false;
  }
  if (whose == TWhose::Latest && current) {
    Settle("own:" + fileName);
    return true;
  }
  if (current) {
    // Not the copy this machine wrote last: the next write replaces it.
    staleOwn_ = StaleText(fileName, mark);
    return true;
  }
  // Under a former name or a former identity: it goes, and its parts.
  if (platform::RemoveFile(path)) {
    RemoveParts(fileName);
    Tell("own:" + fileName, Where(fileName) + " is this machine's copy under its former name: it "
                                              "is removed, " +
                                CopyFileName(settings_.name, Identity()) + " counts.");
  } else {
    Tell("own:" + fileName,
         "Cannot remove " + Where(fileName) + ", this machine's copy under its former name.");
  }
  return true;
}

bool TMachineFolder::LookAtEarlierRelease(const std::string& fileName) {
  const std::string path = settings_.folder + fileName;
  const TCopyOutcome outcome = ReadMachineCopy(path, fileName, settings_.identity);
  if (!outcome.reading || outcome.reading->mark.order) return false;
  const bool ours = HoursAllIn(*outcome.reading, dataPath_, {});
  if (readOnly_) return ours;
  if (ours && platform::RemoveFile(path)) {
    Tell("own:" + fileName, Where(fileName) +
                                " is this machine's copy of an earlier release, its hours all in "
                                "this machine's journal: it is removed, " +
                                CopyFileName(settings_.name, Identity()) + " counts.");
    return true;
  }
  others_.insert(fileName);
  Tell("own:" + fileName, Where(fileName) + " has this machine's identity {" +
                              settings_.identity +
                              "} but holds hours that this machine's journal does not (its "
                              "writer: " +
                              outcome.reading->mark.writer +
                              "): a computer made from the same image? It is left as it is and "
                              "counted as a machine of its own.");
  return false;
}

bool TMachineFolder::Look(const std::function<bool(const TMachineReading&)>& counted) {
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
  NoteClock();
  if (partsWritten_ && !readOnly_ && partsWritten_->path == OwnCopyPath()) {
    try {
      const std::vector<std::string> there =
          platform::FolderFileNames(PartsFolder(CopyFileName(settings_.name, Identity())));
      auto missing = [&there](const std::string& name) {
        return std::find(there.begin(), there.end(), name) == there.end();
      };
      bool gone = missing(RunningFileName);
      for (const TCopyPart& part : partsWritten_->parts) gone = gone || missing(PartFileName(part));
      // A running file other than the one written last (an earlier one
      // brought back) leaves the copy arriving for every reader: as gone.
      if (!gone) {
        const std::optional<TRunningNote> note =
            ReadRunningNote(PartsFolder(CopyFileName(settings_.name, Identity())) +
                            RunningFileName);
        gone = !note || note->identity != Identity() ||
               note->sequence != partsWritten_->sequence || note->until != partsWritten_->until;
      }
      if (gone) partsMissing_ = true;
    } catch (const std::exception&) {
      partsMissing_ = true;
    }
  }

  auto isFormer = [this](const std::string& identity) {
    for (const TMachineState& former : former_)
      if (former.identity == identity) return true;
    return false;
  };
  std::set<std::string> present;
  bool changed = false;
  for (const std::string& name : names) {
    // Stopped: what was read stays, nothing else is looked at.
    if (stop_.exchange(false)) return false;
    // This machine's copy on its way in.
    if (name == CopyFileName(settings_.name, Identity()) + ".tmp") continue;
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
    if (known != files_.end() && known->second.stamp == *stamp) {
      const std::optional<TMachineReading>& good = known->second.good;
      // A copy in parts written again within the file system's grain of
      // time keeps its stamp: its order at its end tells (a few bytes).
      bool same = true;
      if (good && !good->parts.empty()) {
        const std::optional<TCopyMark> mark = ReadMarkAtEnd(path);
        same = !mark || mark->order == good->mark.order;
      }
      // Its running file, which changes alone while its spell runs; a
      // forgotten copy whose spell ran on is read whole, its hours counted
      // again from its records.
      if (same && good && !good->parts.empty() &&
          LookAtRunning(name, *known->second.good, !good->forgotten)) {
        if (good->forgotten) same = false;
        else changed = true;
      }
      if (same) continue;
    }
    if (!others_.count(name)) {
      bool ours = false, gone = false;
      if (machine->identity == Identity() || isFormer(machine->identity)) {
        ours = LookAtOwnIdentity(name, *stamp);
        gone = ours && !platform::FileStamp(path);
      } else if (machine->identity == settings_.identity) {
        ours = gone = LookAtEarlierRelease(name);
      }
      if (ours) {
        if (gone) {
          present.erase(name);
          continue;
        }
        TFileState& state = files_[name];
        if (state.good) changed = true;
        state.good.reset();
        state.stamp = *stamp;
        continue;
      }
    }
    TFileState& state = files_[name];
    const TMachineReading* before = state.good && !state.good->forgotten ? &*state.good : nullptr;
    TCopyOutcome outcome = ReadMachineCopy(path, name, machine->identity, before);
    if (outcome.gone) {
      present.erase(name);
      continue;
    }
    // Earlier in its writer's order than the one read before: whether its
    // parts are all there or not (an earlier copy's parts may have gone).
    std::optional<TCopyMark> mark;
    if (outcome.reading) {
      mark = outcome.reading->mark;
    } else if (state.good) {
      mark = ReadMarkAtEnd(path);
    }
    if (mark && state.good && mark->order && state.good->mark.order &&
        mark->order->sequence < state.good->mark.order->sequence) {
      outcome.problem = "is an earlier copy than the one read before (number " +
                        Number(mark->order->sequence) + " of its writer, the one before number " +
                        Number(state.good->mark.order->sequence) + ")";
      outcome.reading.reset();
      outcome.again = false;
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
    outcome.reading->version = NewReadingVersion();
    outcome.reading->runningVersion = NewReadingVersion();
    ToOwnTime(*outcome.reading);
    if (before && Extends(*before, *outcome.reading)) {
      outcome.reading->extends = state.good->version;
      outcome.reading->extendsCount = state.good->records.size();
    }
    state.stamp = *stamp;
    state.good = std::move(outcome.reading);
    if (counted && counted(*state.good)) ForgetRecords(*state.good);
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
    others_.erase(it->first);
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
  std::map<std::string, const TMachineReading*> latest;
  for (const auto& [name, state] : files_) {
    if (!state.good) continue;
    const TMachineReading*& counted = latest[state.good->mark.identity];
    if (!counted || !WrittenLater(*counted, *state.good)) counted = &*state.good;
  }
  std::vector<const TMachineReading*> machines;
  for (const auto& [identity, reading] : latest) machines.push_back(reading);
  return machines;
}

std::string TMachineFolder::PartsFolder(const std::string& fileName) const {
  const char separator = settings_.folder.empty() ? '/' : settings_.folder.back();
  return settings_.folder + PartsFolderName(fileName) + separator;
}

void TMachineFolder::RemoveParts(const std::string& fileName,
                                 const std::vector<const std::vector<TCopyPart>*>& kept) {
  if (readOnly_) return;
  const std::string folder = PartsFolder(fileName);
  std::set<std::string> keep;
  for (const std::vector<TCopyPart>* parts : kept) {
    keep.insert(RunningFileName);
    for (const TCopyPart& part : *parts) keep.insert(PartFileName(part));
  }
  try {
    for (const std::string& name : platform::FolderFileNames(folder))
      if (!keep.count(name)) platform::RemoveFile(folder + name);
  } catch (const std::exception&) {
    // None there, or left for the next write: parts no copy names are never read.
  }
  // The copy went with all its parts: their folder too, when nothing else
  // is in it.
  if (kept.empty()) platform::RemoveEmptyFolder(folder);
}

void TMachineFolder::ForgetRecords(TMachineReading& reading) {
  std::vector<TMachineRecord>().swap(reading.records);
  std::vector<std::shared_ptr<const std::vector<TMachineRecord>>>().swap(reading.partRecords);
  reading.forgotten = true;
}

void TMachineFolder::ForgetRecords(const std::function<bool(const TMachineReading&)>& which) {
  for (auto& [name, state] : files_)
    if (state.good && !state.good->forgotten && which(*state.good)) ForgetRecords(*state.good);
}

std::vector<TMachineReading> TMachineFolder::WholeReadings() const {
  std::vector<TMachineReading> whole;
  for (const TMachineReading* reading : Machines()) {
    whole.push_back(*reading);
    if (!reading->forgotten) continue;
    TCopyOutcome outcome = ReadMachineCopy(settings_.folder + reading->fileName,
                                           reading->fileName, reading->mark.identity);
    if (!outcome.reading) continue;
    ToOwnTime(*outcome.reading);
    whole.back().records = std::move(outcome.reading->records);
    whole.back().forgotten = false;
  }
  return whole;
}

void TMachineFolder::ReadAgain(const std::vector<std::string>& fileNames) {
  for (auto& [name, state] : files_)
    if (fileNames.empty() || std::find(fileNames.begin(), fileNames.end(), name) != fileNames.end())
      state.stamp = {};
}

bool TMachineFolder::LookAtRunning(const std::string& fileName, TMachineReading& reading,
                                   bool apply) {
  const std::string path = PartsFolder(fileName) + RunningFileName;
  // Read at each look: a file written again within the file system's grain
  // of time keeps its stamp, and it is a few bytes.
  const std::optional<TRunningNote> note = ReadRunningNote(path);
  // Of another copy: the copy that goes with it is on its way.
  if (!note || note->identity != reading.mark.identity || !reading.mark.order ||
      note->sequence != reading.mark.order->sequence || note->until == reading.writerUntil)
    return false;
  if (!apply) return true;
  reading.writerUntil = note->until;
  std::optional<TDateTime> until = note->until;
  if (until && !reading.offsets.empty() && zone_.rules) {
    TDateTime from = reading.offsets.front().utc;
    if (reading.first) from = std::min(from, *reading.first - 1);
    std::vector<TMachineRecord> none;
    ToOurTime(none, until, TOffsets(reading.offsets), TOffsets(OwnOffsets(from - 1)));
  }
  reading.runningUntil = until;
  reading.last.reset();
  for (const TMachineRecord& record : reading.records)
    if (!reading.last || record.time > *reading.last) reading.last = record.time;
  if (until && (!reading.last || *until > *reading.last)) reading.last = until;
  reading.runningVersion = NewReadingVersion();
  return true;
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

bool TMachineFolder::OwnCopyOlderThan(const std::string& dataPath) const {
  if (OwnCopyDue()) return true;
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
  if (!MakeFolder()) return false;
  NoteClock();
  std::string path = OwnCopyPath();
  try {
    std::optional<platform::TFileStamp> own = platform::FileStamp(path);
    if (const std::optional<platform::TFileStamp> stamp = own;
        stamp && !(written_ && *stamp == *written_)) {
      std::optional<TCopyMark> mark;
      const std::string name = CopyFileName(settings_.name, Identity());
      switch (Whose(path, *stamp, waiting, mark)) {
        case TWhose::Other:
          TakeNewIdentity(name, mark);
          files_.erase(name);
          path = OwnCopyPath();
          break;
        case TWhose::Ours:
          if (!staleOwn_ && mark) staleOwn_ = StaleText(name, mark);
          break;
        case TWhose::Arriving:  // no hours that count anywhere: written over
        case TWhose::Latest:
          break;
      }
    }
    const std::optional<platform::TFileStamp> journal = platform::FileStamp(dataPath);
    TPartsWritten* last = partsWritten_ && partsWritten_->path == path ? &*partsWritten_ : nullptr;
    bool due = !last || staleOwn_ || newIdentity_ || partsMissing_ || !written_ ||
               own != written_ || journal != last->journal || !SameRecords(waiting, last->waiting);
    // The offsets from the journal's first record on (a day before it, for
    // the rules of a zone a day ahead).
    if (!due && OwnOffsets(last->first.value_or(now) - 2) != last->offsets) due = true;
    const std::string parts = PartsFolder(CopyFileName(settings_.name, Identity()));
    const std::string running = parts + RunningFileName;
    if (!due) {
      if (runningUntil != last->until) {
        WriteWholeFile(running, RunningFileBytes({Identity(), last->sequence, runningUntil}));
        last->until = runningUntil;
      }
      Settle("write");
      return true;
    }
    TPartsWritten written;
    written.path = path;
    written.journal = journal;
    written.waiting = waiting;
    const std::vector<TPartBytes> split = JournalParts(dataPath, waiting, &written.first);
    written.offsets = OwnOffsets(written.first.value_or(now) - 2);
    const uint64_t sequence = ++state_.sequence;
    if (state_.runs.empty() || state_.runs.back().run != run_)
      state_.runs.push_back({run_, sequence, sequence});
    state_.runs.back().last = sequence;
    SaveState();
    platform::MakeFolders(parts);
    for (const TPartBytes& part : split) {
      written.parts.push_back(part.part);
      // A part's name is its content: one there whole is not written again.
      const std::string partPath = parts + PartFileName(part.part);
      const std::optional<platform::TFileStamp> there = platform::FileStamp(partPath);
      if (!there || there->size != static_cast<int64_t>(part.bytes.size()))
        WriteWholeFile(partPath, part.bytes);
    }
    WriteCopyIndex(path, written.parts,
                   {Identity(), settings_.name, MarkWriter(settings_.computer), now,
                    TCopyOrder{run_, sequence}},
                   written.offsets);
    written_ = platform::FileStamp(path);
    WriteWholeFile(running, RunningFileBytes({Identity(), sequence, runningUntil}));
    written.sequence = sequence;
    written.until = runningUntil;
    // The parts of the copy before stay until the next, for the readers that
    // read it while this one arrives.
    if (last) written.before = last->parts;
    RemoveParts(CopyFileName(settings_.name, Identity()), {&written.parts, &written.before});
    partsWritten_ = std::move(written);
    partsMissing_ = false;
    if (staleOwn_) log_(*std::exchange(staleOwn_, std::nullopt));
    newIdentity_ = false;
    Settle("write");
    return true;
  } catch (const std::exception& error) {
    partsWritten_.reset();  // all of it again at the next write
    Tell("write", "Cannot write " + platform::PathForDisplay(path) + ": " +
                      JournalFailureReason(error) +
                      ". Recording goes on; the other machines see this machine's hours as of "
                      "its last copy until it can be written.");
    return false;
  }
}

}  // namespace horalog
