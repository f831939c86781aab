// The command line: /days and /csv write their file beside a running copy,
// which goes on as if nothing had happened; the exit codes tell the caller
// what went wrong.
#include <gmock/gmock.h>

#include "E2eDriver.h"

#include <iostream>
#include <string>
#include <vector>

namespace horalog::e2e {
namespace {

using ::testing::HasSubstr;

struct CommandResult {
  DWORD exitCode = STILL_ACTIVE;
  std::string output;  // what it wrote to its standard output and error
};

// Runs exe with the arguments in workDir, its output into a pipe, and waits
// for its end.
CommandResult RunCommand(const std::string& exe, const std::string& arguments,
                         const std::string& workDir) {
  CommandResult result;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
    ADD_FAILURE() << "CreatePipe: " << GetLastError();
    return result;
  }
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = writeEnd;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::wstring commandLine = L"\"" + Wide(exe) + L"\" " + Wide(arguments);
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(Wide(exe).c_str(), commandLine.data(), nullptr, nullptr,
                                      TRUE, 0, nullptr, Wide(workDir).c_str(), &startup, &process);
  CloseHandle(writeEnd);
  if (!started) {
    ADD_FAILURE() << "CreateProcessW: " << GetLastError();
    CloseHandle(readEnd);
    return result;
  }
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
    result.output.append(buffer, got);
  CloseHandle(readEnd);
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the command did not end: " << arguments;
    TerminateProcess(process.hProcess, 99);
  }
  GetExitCodeProcess(process.hProcess, &result.exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

// The error the system gives for a question about the file at path; 0 when
// it answers.
DWORD AttributesError(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str()) == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
}

// A symbolic link to itself in place of a file: the system cannot tell
// whether a file is there. Wine's CreateSymbolicLinkW makes no link, and its
// file functions cannot delete one that leads nowhere, so the Unix ln and rm
// make and remove it, run by Wine as it runs any program. Nothing is made
// where that cannot be done (not under Wine).
class LinkToItself {
 public:
  explicit LinkToItself(const std::string& path) : path_(path) {
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    const auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unixPath = unixFileName ? unixFileName(Wide(path).c_str()) : nullptr;
    if (unixPath == nullptr) return;
    unixPath_ = L"\"" + Wide(unixPath) + L"\"";
    HeapFree(GetProcessHeap(), 0, unixPath);
    const std::wstring leaf = Wide(path.substr(path.find_last_of('\\') + 1));
    made_ = RunUnix(L"ln -s " + leaf + L" " + unixPath_) &&
            WaitUntil([&] { return AttributesError(path_) == ERROR_CANT_RESOLVE_FILENAME; });
  }
  ~LinkToItself() {
    if (made_ && RunUnix(L"rm " + unixPath_))
      WaitUntil([&] { return AttributesError(path_) == ERROR_FILE_NOT_FOUND; });
  }
  LinkToItself(const LinkToItself&) = delete;
  LinkToItself& operator=(const LinkToItself&) = delete;

  bool Made() const { return made_; }

 private:
  // Starts a program of /bin; the handle of a Unix program tells nothing of
  // its end, the file does.
  static bool RunUnix(std::wstring commandLine) {
    const std::wstring program = L"Z:\\bin\\" + commandLine.substr(0, commandLine.find(L' '));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
      return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
  }

  std::string path_;
  std::wstring unixPath_;  // in quotes
  bool made_ = false;
};

// UTF-8 text as a file of UTF-16 little endian after its byte-order mark.
std::string Utf16LeWithMark(const std::string& utf8) {
  const std::wstring wide = Wide(utf8);
  std::string bytes = "\xFF\xFE";
  for (const wchar_t c : wide) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  return bytes;
}

using CommandLine = ProgramTest;

// While Horalog runs: /days writes the summary of the days asked (days split
// at DayStart, a key that cannot be read named on the console and left out),
// replaces an earlier file, and the running copy neither shows itself nor
// stops. Arguments, journal and file that cannot be read or written each end
// with their own code, and no file is left half-written.
TEST_F(CommandLine, DaysWhileHoralogRunsWritesTheSummaryAndLeavesTheRunningCopyAlone) {
  WriteIni("[Hours]\r\nTarget=8:00\r\nMonday=7:5\r\nDayStart=4:00\r\nOpening=+1:00\r\n");
  const double monday = 37683;  // 3 March 2003
  // Monday 22:00 to Tuesday 02:00 is Monday's; a deleted record counts nowhere.
  WriteAll(DataFile(), RecordBytes(0, 0, monday + 22.0 / 24) +
                           RecordBytes(0, 1, monday + 1 + 2.0 / 24) +
                           RecordBytes(0, 0, monday + 1 + 9.0 / 24) +
                           RecordBytes(-1, 1, monday + 1 + 10.0 / 24) +
                           RecordBytes(0, 1, monday + 1 + 17.5 / 24));
  StartReady();
  HWND main = Main();
  const std::string days = dir_->Path("days.csv");
  WriteAll(days, "an earlier summary, longer than the new one will be" + std::string(500, '.'));

  const CommandResult run = RunCommand(exe_, "/days 2003-03-03 2003-03-05 days.csv", dir_->Path());
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_EQ(ReadAll(days),
            "Date,First In,Last Out,Worked,Hours,Target,Difference,Balance\r\n"
            "2003-03-03,22:00:00,02:00:00,4:00:00,4.00,8:00,-4:00,-3:00\r\n"
            "2003-03-04,09:00:00,17:30:00,8:30:00,8.50,8:00,+0:30,-2:30\r\n"
            "2003-03-05,,,0:00:00,0.00,8:00,-8:00,-10:30\r\n"
            "Total,,,12:30:00,12.50,24:00,-11:30,\r\n");
  EXPECT_EQ(run.output, "Horalog: Cannot read Monday=7:5 in [Hours] of " +
                            dir_->Path("Horalog.ini") + "; it is ignored.\r\n");

  // The running copy was not asked to show itself and goes on.
  EXPECT_TRUE(First().Running());
  EXPECT_EQ(PublishedWindow(), main);
  EXPECT_FALSE(IsWindowVisible(main)) << "the command counted as a second start";

  // /csv: the rows of the page.
  EXPECT_EQ(RunCommand(exe_, "/CSV 2003-03-04 2003-03-04 rows.csv", dir_->Path()).exitCode, 0u);
  EXPECT_EQ(ReadAll(dir_->Path("rows.csv")),
            "Date,In,Out,Duration,Hours\r\n"
            "2003-03-04,09:00:00,17:30:00,8:30:00,8.50\r\n"
            "2003-03-04,Total,,8:30:00,8.50\r\n"
            "Total,,,8:30:00,8.50\r\n");

  // The settings as Notepad saves them. UTF-16 after its mark: [Hours] read
  // as before, and a %NAME% that this machine lacks is one line, with no
  // folder of that name beside the program.
  const std::string hours = "[Hours]\r\nTarget=8:00\r\nMonday=7:5\r\nDayStart=4:00\r\n"
                            "Opening=+1:00\r\n";
  WriteAll(dir_->Path("Horalog.ini"),
           Utf16LeWithMark(hours + "[Machines]\r\nFolder=%HoralogNoSuchName%\\Horalog\r\n"));
  const std::string summary = ReadAll(days);
  const CommandResult utf16 =
      RunCommand(exe_, "/days 2003-03-03 2003-03-05 days.csv", dir_->Path());
  EXPECT_EQ(utf16.exitCode, 0u) << utf16.output;
  EXPECT_EQ(ReadAll(days), summary);
  EXPECT_THAT(utf16.output, HasSubstr("Cannot read Monday=7:5 in [Hours]"));
  EXPECT_THAT(utf16.output, HasSubstr(": %HoralogNoSuchName% is not set on this machine. No "
                                      "folder is made;"));
  EXPECT_EQ(GetFileAttributesW(Wide(dir_->Path("%HoralogNoSuchName%")).c_str()),
            INVALID_FILE_ATTRIBUTES);
  // A folder whose name the ANSI code page cannot hold is that folder, not
  // the one its best-fit letters name: from UTF-16, and from UTF-8 without a mark.
  const std::string polish = "\xC5\x81\xC3\xB3" "d\xC5\xBA",
                    greek = "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1";
  for (const auto& [bytes, folder] :
       {std::pair{Utf16LeWithMark("[Machines]\r\nFolder=" + polish + "\r\n"), polish},
        std::pair{"[Machines]\r\nFolder=" + greek + "\r\n", greek}}) {
    WriteAll(dir_->Path("Horalog.ini"), bytes);
    const CommandResult listed = RunCommand(exe_, "/machines", dir_->Path());
    EXPECT_EQ(listed.exitCode, 0u) << listed.output;
    EXPECT_NE(GetFileAttributesW(Wide(dir_->Path(folder)).c_str()), INVALID_FILE_ATTRIBUTES)
        << folder << ": " << listed.output;
  }
  EXPECT_EQ(GetFileAttributesW(Wide(dir_->Path("L\xC3\xB3" "dz")).c_str()), INVALID_FILE_ATTRIBUTES)
      << "the best-fit letters' folder";
  WriteAll(dir_->Path("Horalog.ini"), hours);

  // Arguments that cannot be read: 1, and no file.
  for (const char* bad : {"/days 2003-03-05 2003-03-03 x.csv", "/weeks 2003-03-03 2003-03-05 x.csv"}) {
    const CommandResult refused = RunCommand(exe_, bad, dir_->Path());
    EXPECT_EQ(refused.exitCode, 1u) << bad;
    EXPECT_THAT(refused.output, ::testing::StartsWith("Horalog: ")) << bad;
  }
  EXPECT_EQ(FileSize(dir_->Path("x.csv")), -1);
  const CommandResult usage = RunCommand(exe_, "/?", dir_->Path());
  EXPECT_EQ(usage.exitCode, 0u);
  EXPECT_THAT(usage.output, HasSubstr("Usage: Horalog.exe /csv FROM TO FILE"));

  // FILE cannot be written: 3, and the earlier file stays whole.
  CreateDirectoryW(Wide(days + ".tmp").c_str(), nullptr);
  const std::string before = ReadAll(days);
  EXPECT_EQ(RunCommand(exe_, "/days 2003-03-03 2003-03-03 days.csv", dir_->Path()).exitCode, 3u);
  EXPECT_EQ(ReadAll(days), before);

  // FILE is one of Horalog's own files, however it is spelt: 3, and the file
  // stays as it was.
  const std::string ini = dir_->Path("Horalog.ini"), report = dir_->Path("report.html");
  WriteAll(report, "an earlier report");
  const std::string journal = ReadAll(DataFile()), settings = ReadAll(ini);
  std::vector<std::string> spellings{"hl.dat", "\\\\?\\" + DataFile(), "REPORT.HTML"};
  wchar_t shortName[MAX_PATH];
  const DWORD length = GetShortPathNameW(Wide(ini).c_str(), shortName, MAX_PATH);
  if (length > 0 && length < MAX_PATH && Utf8(shortName) != ini)
    spellings.push_back(Utf8(shortName));
  else
    std::cout << "[ note ] no short name for " << ini << "\n";
  for (const std::string& spelling : spellings) {
    const CommandResult refused =
        RunCommand(exe_, "/csv 2003-03-03 2003-03-03 \"" + spelling + "\"", dir_->Path());
    EXPECT_EQ(refused.exitCode, 3u) << spelling;
    EXPECT_THAT(refused.output, HasSubstr(": it is one of Horalog's own files.\r\n")) << spelling;
  }
  EXPECT_TRUE(ReadAll(DataFile()) == journal) << "the journal was taken for FILE";
  EXPECT_EQ(ReadAll(ini), settings);
  EXPECT_EQ(ReadAll(report), "an earlier report");

  // The journal cannot be read (another program holds it): 2.
  HANDLE held = CreateFileW(Wide(DataFile()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const CommandResult unread = RunCommand(exe_, "/days 2003-03-03 2003-03-03 y.csv", dir_->Path());
  CloseHandle(held);
  EXPECT_EQ(unread.exitCode, 2u) << unread.output;
  EXPECT_EQ(FileSize(dir_->Path("y.csv")), -1);
  EXPECT_TRUE(First().Running());

  // The system cannot tell whether the journal is there: 2 again, for that is
  // no empty journal. (The running copy is ended first: an append of its own
  // would put the journal back.)
  First().Terminate();
  DeleteFileW(Wide(DataFile()).c_str());
  const LinkToItself link(DataFile());
  if (!link.Made()) {
    std::cout << "[ note ] no link to itself can be made here\n";
    return;
  }
  const CommandResult untold = RunCommand(exe_, "/days 2003-03-03 2003-03-03 z.csv", dir_->Path());
  EXPECT_EQ(untold.exitCode, 2u) << untold.output;
  EXPECT_THAT(untold.output, HasSubstr("Horalog: cannot read the journal " + DataFile() + ": "));
  EXPECT_EQ(FileSize(dir_->Path("z.csv")), -1);
}

// A month of /days with every key of breaks and absences in Bavaria, May
// 2026, against figures worked out by hand. Its 21 weekdays less three
// public holidays (May 1, Ascension on the 14th, Whit Monday on the 25th)
// are 18 of 8:00, 144:00. Ten days of 8:15 with a break of 0:30 lose
// nothing; the 7th, 7:00 without a break, loses what its break falls short
// of the 0:30 that more than 6:00 needs, beyond 6:00: 0:30, so 6:30 net. The
// half day of vacation on the 29th is credited 4:00 and its 4:00 of work
// count on top: 0:00. Worked 10 x 8:15 + 6:30 + 4:00 = 93:00; credit the
// sick day and five days of vacation, 6 x 8:00, and the half day, 52:00; so
// 93:00 + 52:00 - 144:00 = +1:00, the balance at the month's end. The year's
// vacation: 5.5 days taken, 24.5 left of 30.
TEST_F(CommandLine, DaysOverAMonthCountsBreaksHolidaysVacationAndSickness) {
  WriteIni("[Hours]\r\nTarget=8:00\r\nBalanceFrom=2026-05-01\r\nBreaks=6:00 0:30, 9:00 0:45\r\n"
           "Holidays=DE-BY\r\nVacation=2026-05-18..2026-05-22, 2026-05-29/2\r\n"
           "Sick=2026-05-12\r\nVacationDays=30\r\n");
  const double may = 46142;  // the day before 1 May 2026, a Friday
  std::string journal;
  auto spell = [&](int day, double in, double out) {
    journal += RecordBytes(0, 0, may + day + in / 24) + RecordBytes(0, 1, may + day + out / 24);
  };
  for (const int day : {4, 5, 6, 8, 11, 13, 15, 26, 27, 28}) {
    spell(day, 8, 12);
    spell(day, 12.5, 16.75);
  }
  spell(7, 8, 15);
  spell(29, 8, 12);
  WriteAll(DataFile(), journal);

  const CommandResult run =
      RunCommand(exe_, "/days 2026-05-01 2026-05-31 may.csv", dir_->Path());
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_EQ(run.output, "");
  const std::string worked = "08:00:00,16:45:00,8:15:00,8.25,8:00,+0:15,";
  const std::string off = ",,,0:00:00,0.00,0:00,0:00,";
  const std::string none = "0:00:00,0:00:00,";
  EXPECT_EQ(ReadAll(dir_->Path("may.csv")),
            "Date,First In,Last Out,Worked,Hours,Target,Difference,Balance,Breaks,Deducted,"
            "Absence,Credit\r\n"
            "2026-05-01" + off + "0:00," + none + "Holiday: Labour Day,0:00\r\n"
            "2026-05-02" + off + "0:00," + none + ",0:00\r\n"
            "2026-05-03" + off + "0:00," + none + ",0:00\r\n"
            "2026-05-04," + worked + "+0:15,0:30:00,0:00:00,,0:00\r\n"
            "2026-05-05," + worked + "+0:30,0:30:00,0:00:00,,0:00\r\n"
            "2026-05-06," + worked + "+0:45,0:30:00,0:00:00,,0:00\r\n"
            "2026-05-07,08:00:00,15:00:00,6:30:00,6.50,8:00,-1:30,-0:45,0:00:00,0:30:00,,0:00\r\n"
            "2026-05-08," + worked + "-0:30,0:30:00,0:00:00,,0:00\r\n"
            "2026-05-09" + off + "-0:30," + none + ",0:00\r\n"
            "2026-05-10" + off + "-0:30," + none + ",0:00\r\n"
            "2026-05-11," + worked + "-0:15,0:30:00,0:00:00,,0:00\r\n"
            "2026-05-12,,,0:00:00,0.00,8:00,0:00,-0:15," + none + "Sick,8:00\r\n"
            "2026-05-13," + worked + "0:00,0:30:00,0:00:00,,0:00\r\n"
            "2026-05-14" + off + "0:00," + none + "Holiday: Ascension Day,0:00\r\n"
            "2026-05-15," + worked + "+0:15,0:30:00,0:00:00,,0:00\r\n"
            "2026-05-16" + off + "+0:15," + none + ",0:00\r\n"
            "2026-05-17" + off + "+0:15," + none + ",0:00\r\n"
            "2026-05-18,,,0:00:00,0.00,8:00,0:00,+0:15," + none + "Vacation,8:00\r\n"
            "2026-05-19,,,0:00:00,0.00,8:00,0:00,+0:15," + none + "Vacation,8:00\r\n"
            "2026-05-20,,,0:00:00,0.00,8:00,0:00,+0:15," + none + "Vacation,8:00\r\n"
            "2026-05-21,,,0:00:00,0.00,8:00,0:00,+0:15," + none + "Vacation,8:00\r\n"
            "2026-05-22,,,0:00:00,0.00,8:00,0:00,+0:15," + none + "Vacation,8:00\r\n"
            "2026-05-23" + off + "+0:15," + none + ",0:00\r\n"
            "2026-05-24" + off + "+0:15," + none + ",0:00\r\n"
            "2026-05-25" + off + "+0:15," + none + "Holiday: Whit Monday,0:00\r\n"
            "2026-05-26," + worked + "+0:30,0:30:00,0:00:00,,0:00\r\n"
            "2026-05-27," + worked + "+0:45,0:30:00,0:00:00,,0:00\r\n"
            "2026-05-28," + worked + "+1:00,0:30:00,0:00:00,,0:00\r\n"
            "2026-05-29,08:00:00,12:00:00,4:00:00,4.00,8:00,0:00,+1:00," + none +
                "\"Vacation, half day\",4:00\r\n"
            "2026-05-30" + off + "+1:00," + none + ",0:00\r\n"
            "2026-05-31" + off + "+1:00," + none + ",0:00\r\n"
            "Total,,,93:00:00,93.00,144:00,+1:00,,5:00:00,0:30:00,,52:00\r\n"
            "Vacation 2026,taken 5.5,left 24.5\r\n");
}

}  // namespace
}  // namespace horalog::e2e
