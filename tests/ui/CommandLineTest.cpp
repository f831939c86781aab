// The command line: its arguments as the system gives the whole line, and
// what it does with a journal that may or may not be there.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../unit/TestSupport.h"
#include "app/CommandLine.h"
#include "platform/Platform.h"
#include "platform/win32/WideText.h"

namespace horalog {
namespace {

using Arguments = std::vector<std::string>;

// The program's own name never becomes an argument: a Run value or a
// shortcut may give its path with spaces and without quotes, and a start
// without a command must stay a start.
TEST(CommandLineArguments, FollowTheProgramsNameInQuotesOrNotAndNeverStartWithIt) {
  const std::wstring module = L"C:\\My Tools\\Horalog.exe";
  EXPECT_EQ(ProgramArguments(L"C:\\My Tools\\Horalog.exe", module), Arguments{});
  EXPECT_EQ(ProgramArguments(L"c:\\my tools\\HORALOG.EXE /csv 2003-03-03 2003-03-04 a.csv", module),
            (Arguments{"/csv", "2003-03-03", "2003-03-04", "a.csv"}));
  EXPECT_EQ(ProgramArguments(L"  \"C:\\My Tools\\Horalog.exe\"  /days  a  \"b c\\d.csv\"", module),
            (Arguments{"/days", "a", "b c\\d.csv"}));
  EXPECT_EQ(ProgramArguments(L"Horalog /? ", module), Arguments{"/?"});
  // A name that is not the module's path ends at its first space: what
  // follows of it is no command, and the program starts as always.
  const Arguments pieces = ProgramArguments(L"C:\\My Tools\\Horalog.exe", L"C:\\MYTOOL~1\\Horalog.exe");
  EXPECT_EQ(pieces, Arguments{"Tools\\Horalog.exe"});
  EXPECT_EQ(RunCommand(pieces, "C:\\My Tools\\Horalog.exe"), std::nullopt);
  EXPECT_EQ(RunCommand({}, "C:\\My Tools\\Horalog.exe"), std::nullopt);
}

// A journal that the system cannot tell is there or not is no empty journal:
// the command writes no file and ends with 2, saying why; only a journal
// that is not there gives the file of an empty one.
TEST(CommandLineJournal, ThatMayOrMayNotBeThereIsNotReadAsAnEmptyOne) {
  test::ScratchDir dir;
  const std::string exe = dir.Path("Horalog.exe"), file = dir.Path("days.csv");
  const Arguments days{"/days", "2003-03-03", "2003-03-04", file};

  // What the command says goes to the standard error, here a file.
  const std::string said = dir.Path("said.txt");
  const HANDLE sayTo = CreateFileW(platform::WidePath(said).c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(sayTo, INVALID_HANDLE_VALUE);
  const HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
  SetStdHandle(STD_ERROR_HANDLE, sayTo);
  platform::FailFileOperation(1, platform::FileFault::SharingViolation);
  const std::optional<int> code = RunCommand(days, exe);
  const bool failed = platform::FileOperationFailed();
  platform::FailFileOperation(0);
  SetStdHandle(STD_ERROR_HANDLE, standardError);
  CloseHandle(sayTo);

  EXPECT_TRUE(failed);
  EXPECT_EQ(code, CommandBadJournal);
  EXPECT_EQ(test::ReadText(said), "Horalog: cannot read the journal " + dir.Path("hl.dat") +
                                      ": I/O error 32 (the file is in use by another program)\r\n");
  EXPECT_FALSE(std::filesystem::exists(test::PathFromUtf8(file)));

  EXPECT_EQ(RunCommand(days, exe), CommandDone);
  EXPECT_EQ(test::ReadText(file).substr(0, 5), "Date,");
}

}  // namespace
}  // namespace horalog
