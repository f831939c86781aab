#include "app/CommandLine.h"

#include <windows.h>
#include <shellapi.h>

#include <exception>

#include "app/HoralogMain.h"
#include "app/HoursSettingsFile.h"
#include "app/IniFile.h"
#include "app/MachinesCommand.h"
#include "app/MachinesSettingsFile.h"
#include "data/ActRec.h"
#include "data/AtomicFile.h"
#include "data/Compaction.h"
#include "data/JournalWriter.h"
#include "data/SettingsRules.h"
#include "machines/MachineFolder.h"
#include "ms/text/msText.h"
#include "platform/Platform.h"
#include "platform/win32/WideText.h"
#include "report/ReportBuilder.h"
#include "report/ReportCsv.h"
#include "win32/Handles.h"

namespace horalog {

namespace {

constexpr const char* Usage =
    "Usage: Horalog.exe /csv FROM TO FILE | /days FROM TO FILE | /?\r\n"
    "  /csv   the report's rows of the days FROM to TO (yyyy-mm-dd) as CSV in FILE\r\n"
    "  /days  one row a day of those days (the day summary) in FILE\r\n"
    "Exit code: 0 written, 1 arguments not read, 2 journal not read, 3 FILE not written.\r\n";

// ---- The console ------------------------------------------------------------

// Writes text to a handle: a console takes it wide, a file or pipe in the
// ANSI code page. False when nothing was written.
bool WriteTo(HANDLE handle, const std::wstring& text) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(handle, &mode))
    return WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written,
                         nullptr) != FALSE;
  if (GetFileType(handle) == FILE_TYPE_UNKNOWN) return false;
  const std::string bytes = platform::AnsiFromWide(text.data(), text.size());
  return WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) !=
         FALSE;
}

// The console of the process that started this one, attached at the first
// use; nothing when there is none. It stays open until the process ends.
HANDLE ParentConsole() {
  static const HANDLE console = [] {
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return INVALID_HANDLE_VALUE;
    const HANDLE opened = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    // The prompt has come back already: the lines begin on a line of their own.
    if (opened != INVALID_HANDLE_VALUE) WriteTo(opened, L"\r\n");
    return opened;
  }();
  return console;
}

// The text (UTF-8) to the standard output or error the program was given,
// else to the console of the process that started it, if any.
void Say(const std::string& text, DWORD stream = STD_ERROR_HANDLE) {
  const std::wstring wide = platform::WidePath(text);
  if (!WriteTo(GetStdHandle(stream), wide)) WriteTo(ParentConsole(), wide);
}

// One line with the program's name before it.
void SayReason(const std::string& reason) { Say("Horalog: " + reason + "\r\n"); }

// An error's message as one line of UTF-8 (the messages are ANSI text).
std::string MessageOf(const std::exception& error) {
  const std::wstring wide = platform::WideFromAnsi(JournalFailureReason(error));
  std::string text = platform::Utf8FromWide(wide);
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

// ---- The command ------------------------------------------------------------

struct TCommand {
  bool daySummary = false;
  int64_t firstDay = 0, lastDay = 0;
  std::string file;  // the full path
};

// The arguments as a command, or the reason they are not one.
std::optional<TCommand> ReadCommand(const std::vector<std::string>& arguments,
                                    std::string& reason) {
  const std::string& name = arguments[0];
  TCommand command;
  if (SameTextAZ(name, "/days")) {
    command.daySummary = true;
  } else if (!SameTextAZ(name, "/csv")) {
    reason = "unknown command " + name + "; Horalog.exe /? shows the usage.";
    return std::nullopt;
  }
  if (arguments.size() != 4) {
    reason = name + " takes FROM TO FILE; Horalog.exe /? shows the usage.";
    return std::nullopt;
  }
  for (size_t i : {1u, 2u}) {
    const std::optional<int64_t> day = DayFromText(arguments[i]);
    if (!day) {
      reason = "cannot read the date " + arguments[i] + "; dates are yyyy-mm-dd.";
      return std::nullopt;
    }
    (i == 1 ? command.firstDay : command.lastDay) = *day;
  }
  if (command.firstDay > command.lastDay) {
    reason = "FROM " + arguments[1] + " is after TO " + arguments[2] + ".";
    return std::nullopt;
  }
  const std::wstring file = platform::WidePath(arguments[3]);
  std::wstring full(32768, L'\0');
  const DWORD got =
      file.empty() ? 0
                   : GetFullPathNameW(file.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                      nullptr);
  if (got == 0 || got >= full.size()) {
    reason = "cannot read the file name \"" + arguments[3] + "\".";
    return std::nullopt;
  }
  command.file = platform::Utf8FromWide(full.data(), got);
  return command;
}

// What the command writes, from the journal and the settings beside exePath.
// A failure raises; readingJournal tells whether it was the journal's.
std::string CommandText(const TCommand& command, const std::string& exePath,
                        bool& readingJournal) {
  std::vector<THoursSettingsProblem> problems;
  const std::string iniPath = SettingsFilePath(exePath);
  const THoursSettings settings = ReadHoursSettings(TIniFile(iniPath), problems);
  for (const THoursSettingsProblem& problem : problems)
    SayReason(HoursSettingsProblemText(problem, iniPath));

  // As the report window reads it: no journal is an empty one.
  const std::string dataPath = DirectoryOf(exePath) + DataFileBaseName;
  std::vector<std::string> machinesProblems;
  const TMachinesSettings machines =
      ReadMachinesSettings(TIniFile(iniPath), exePath, machinesProblems);
  for (const std::string& problem : machinesProblems) SayReason(problem);
  if (machines.Active())
    return MachinesCommandText(machines, dataPath, command.daySummary, command.firstDay,
                               command.lastDay, settings, SayReason, readingJournal);
  TWorkTotals totals(settings.dayStart, settings.NeedsSpells());
  readingJournal = true;
  const std::vector<TReportDay> days =
      ReadJournalDays(dataPath, static_cast<TDateTime>(command.firstDay),
                      static_cast<TDateTime>(command.lastDay), settings.dayStart,
                      command.daySummary ? &totals : nullptr);

  readingJournal = false;
  const TCsvSeparators separators = CsvSeparators(platform::UserLocale());
  return JoinLines(command.daySummary ? DaySummaryLines(days, command.firstDay, command.lastDay,
                                                        totals, settings, separators)
                                      : ReportCsvLines(days, separators));
}

// What tells an existing file from every other, however its name is spelt
// (a \\?\ path, a short name, another drive or share onto the same folder, a
// junction, a hard link): its volume's serial number and its index there.
struct TFileIdentity {
  DWORD volume = 0, indexHigh = 0, indexLow = 0;
  bool operator==(const TFileIdentity&) const = default;
};

// The identity of the file at path; nothing when it cannot be opened (there
// is none). Opening it asks for no access, so no other program's sharing
// stands in the way.
std::optional<TFileIdentity> FileIdentity(const std::string& path) {
  const HANDLE opened =
      CreateFileW(platform::WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return std::nullopt;
  const win32::UniqueKernelHandle file(opened);
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file.get(), &information)) return std::nullopt;
  return TFileIdentity{information.dwVolumeSerialNumber, information.nFileIndexHigh,
                       information.nFileIndexLow};
}

// Whether path (a full path) is one of the program's own files beside
// exePath: the same file as one that exists, or the name of one that does
// not exist yet.
bool IsOwnFile(const std::string& path, const std::string& exePath) {
  const std::string dir = DirectoryOf(exePath);
  const std::optional<TFileIdentity> identity = FileIdentity(path);
  for (const std::string& own :
       {dir + DataFileBaseName, dir + BackupFileName, dir + CompactionTempFileName,
        SettingsFilePath(exePath), dir + ReportFileBaseName, dir + MachineStateFileName,
        exePath}) {
    if (SameTextAZ(path, own)) return true;
    if (identity && identity == FileIdentity(own)) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> ProgramArguments(const std::wstring& commandLine,
                                          const std::wstring& modulePath) {
  std::wstring_view rest = commandLine;
  while (!rest.empty() && (rest[0] == L' ' || rest[0] == L'\t')) rest.remove_prefix(1);
  size_t skip = 0;
  if (!rest.empty() && rest[0] == L'"') {
    const size_t quote = rest.find(L'"', 1);
    skip = quote == std::wstring_view::npos ? rest.size() : quote + 1;
  } else if (rest.size() >= modulePath.size() && !modulePath.empty() &&
             CompareStringOrdinal(rest.data(), static_cast<int>(modulePath.size()),
                                  modulePath.data(), static_cast<int>(modulePath.size()),
                                  TRUE) == CSTR_EQUAL &&
             (rest.size() == modulePath.size() || rest[modulePath.size()] == L' ' ||
              rest[modulePath.size()] == L'\t')) {
    skip = modulePath.size();
  } else {
    skip = std::min(rest.find_first_of(L" \t"), rest.size());
  }
  rest.remove_prefix(skip);

  // The system's own splitting, after a stand-in for the program's name
  // (which it splits by other rules).
  const std::wstring line = L"x " + std::wstring(rest);
  int count = 0;
  LPWSTR* parts = CommandLineToArgvW(line.c_str(), &count);
  std::vector<std::string> arguments;
  if (parts == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(platform::Utf8FromWide(parts[i], wcslen(parts[i])));
  LocalFree(parts);
  return arguments;
}

std::optional<int> RunCommand(const std::vector<std::string>& arguments,
                              const std::string& exePath) {
  // Earlier releases took no arguments and started whatever they were given.
  if (arguments.empty() || arguments[0].empty() || arguments[0][0] != '/') return std::nullopt;
  // A drive without its medium fails as any other: the system shows no box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  if (arguments[0] == "/?") {
    Say(Usage, STD_OUTPUT_HANDLE);
    return CommandDone;
  }
  if (SameTextAZ(arguments[0], "/machines"))
    return ListMachines(
        exePath, [](const std::string& line) { Say(line + "\r\n", STD_OUTPUT_HANDLE); }, SayReason);
  std::string reason;
  const std::optional<TCommand> command = ReadCommand(arguments, reason);
  if (!command) {
    SayReason(reason);
    return CommandBadArguments;
  }
  if (IsOwnFile(command->file, exePath)) {
    SayReason("cannot write " + command->file + ": it is one of Horalog's own files.");
    return CommandFileNotWritten;
  }

  std::string text;
  bool readingJournal = false;
  try {
    text = CommandText(*command, exePath, readingJournal);
  } catch (const std::exception& error) {
    // Anything but the journal's reading (memory running out while the
    // settings or the text are made) says what failed.
    SayReason((readingJournal ? "cannot read the journal " + DirectoryOf(exePath) + DataFileBaseName
                              : "cannot make the text of " + command->file) +
              ": " + MessageOf(error));
    return CommandBadJournal;
  }
  try {
    // Written beside FILE and put in its place once complete.
    TReplacingFile file(command->file);
    file.Write(text.data(), text.size());
    file.Commit();
  } catch (const std::exception& error) {
    SayReason("cannot write " + command->file + ": " + MessageOf(error));
    return CommandFileNotWritten;
  }
  return CommandDone;
}

std::optional<int> RunCommandLine() {
  std::string exePath;
  std::vector<std::string> arguments;
  try {
    exePath = ModulePath();
    arguments = ProgramArguments(GetCommandLineW(), platform::WidePath(exePath));
  } catch (const std::exception&) {
    // Without its path the program cannot run a command; it starts as ever.
    return std::nullopt;
  }
  try {
    return RunCommand(arguments, exePath);
  } catch (const std::exception& error) {
    // What fails beyond the steps above (memory) is no box either.
    SayReason(MessageOf(error));
    return CommandFileNotWritten;
  }
}

}  // namespace horalog
