// The command line: `Horalog.exe /csv FROM TO FILE` and `Horalog.exe /days
// FROM TO FILE` write the report's rows as CSV, or the day summary, of the
// days FROM to TO (yyyy-mm-dd) to FILE, the same bytes the report window's
// Save writes, and end. They show no window, start no recording and leave
// the instance block and the start-up lock alone, so they run beside a
// running Horalog; they read the journal as the file holds it (with
// [Machines], and the other machines' copies in its folder). `/machines`
// lists those copies (MachinesCommand). `/?` prints the usage. A one-line
// reason goes to the console the command came from, if any; never a box.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace horalog {

// The exit codes of a command.
enum TCommandExit : int {
  CommandDone = 0,           // FILE was written (or the usage printed)
  CommandBadArguments = 1,   // arguments that cannot be read
  CommandBadJournal = 2,     // the journal cannot be read (or the text not made of it)
  CommandFileNotWritten = 3  // FILE cannot be written
};

// The program's arguments (UTF-8), without the program's own name, from the
// whole command line: a name in quotes, the module's path itself (which may
// hold spaces without quotes, as a Run value may give it), or the text up to
// the first space.
std::vector<std::string> ProgramArguments(const std::wstring& commandLine,
                                          const std::wstring& modulePath);

// Runs the command of the arguments, for the program at exePath (its
// folder holds the journal and the settings file); nothing when the
// arguments ask for none (the first does not begin with "/"), and the program
// starts as it always has. Relative file names are taken from the current
// folder.
std::optional<int> RunCommand(const std::vector<std::string>& arguments,
                              const std::string& exePath);

// The same for this process's own command line and executable.
std::optional<int> RunCommandLine();

}  // namespace horalog
