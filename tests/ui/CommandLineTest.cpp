// The command line's arguments as the system gives the whole line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"

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

}  // namespace
}  // namespace horalog
