// Two machines through one shared folder: Horalog.exe in two Wine prefixes,
// each with its own machine GUID and copy, each tip shows the union of both journals,
// and /days from a third prefix writes it. The other prefixes are copies of
// the test's own with another GUID, made and driven by a shell script that
// Wine starts as a Unix program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "E2eDriver.h"

namespace horalog::e2e {
namespace {

// What the script does: make a prefix as a copy of the test's with another
// machine GUID, start a program in a prefix, run one and keep its output and
// exit code, or end a prefix's programs and remove it. Each call writes its
// exit code to the file named first, last.
constexpr const char* Script = R"(#!/bin/sh
export PATH=/usr/local/bin:/usr/bin:/bin WINEARCH=win32 WINEDEBUG=-all
done=$1; what=$2; shift 2
case "$what" in
  prefix) rm -rf "$2" && cp -a "$1" "$2" &&
          sed -i "s/^\"MachineGuid\"=\".*\"/\"MachineGuid\"=\"$3\"/" "$2/system.reg" ;;
  start) prefix=$1; shift; WINEPREFIX="$prefix" nohup wine "$@" >/dev/null 2>&1 & ;;
  run) prefix=$1; dir=$2; out=$3; shift 3
       cd "$dir" && WINEPREFIX="$prefix" wine "$@" > "$out" 2>/dev/null ;;
  stop) WINEPREFIX="$1" wineserver -k; rm -rf "$1" ;;
esac
echo $? > "$done.tmp" && mv "$done.tmp" "$done"
)";

constexpr const char* LaptopGuid = "6d1f0a52-9c3e-4b7a-8e21-5f4c3b2a1d09";
constexpr const char* ThirdGuid = "2b8e4c71-0d5f-4a36-9c18-7e6f5d4c3b2a";

// This prefix's machine GUID.
std::string OwnMachineGuid() {
  HKEY key = nullptr;
  char guid[64] = {};
  DWORD size = sizeof guid - 1;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Cryptography", 0, KEY_QUERY_VALUE,
                    &key) != ERROR_SUCCESS)
    return {};
  RegQueryValueExA(key, "MachineGuid", nullptr, nullptr, reinterpret_cast<BYTE*>(guid), &size);
  RegCloseKey(key);
  return guid;
}

// The size of the machine's copy in the folder ("Horalog <name> {<its
// identity>}.dat"); 0 when there is none.
int64_t CopySize(const std::string& folder, const std::string& name) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(Wide(folder + "\\Horalog " + name + " {*}.dat").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  FindClose(find);
  return (static_cast<int64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}

// The path of this test program, which reads a tip in another prefix.
std::string TestProgramPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return Utf8(path);
}

class Machines : public ProgramTest {
 protected:
  void TearDown() override {
    for (const std::string& prefix : {laptopPrefix_, thirdPrefix_})
      if (!prefix.empty()) Unix("stop " + prefix, 30000);
    ProgramTest::TearDown();
  }

  // Runs the script with the arguments (Unix text) and waits for its end;
  // its exit code, or -1 when it did not end in time. Wine starts a Unix
  // program but gives no handle of it: its end is the file it writes last.
  int Unix(const std::string& arguments, DWORD timeoutMs = 60000) {
    const std::string script = dir_->Path("machines.sh");
    if (ReadAll(script).empty()) WriteAll(script, Script);
    const std::string done = dir_->Path("done-" + std::to_string(++calls_));
    std::wstring command = Wide("sh " + UnixPath(script) + " " + UnixPath(done) + " " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
      ADD_FAILURE() << "cannot run the script: " << GetLastError();
      return -1;
    }
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    if (!WaitUntil([&] { return !ReadAll(done).empty(); }, timeoutMs)) return -1;
    return std::atoi(ReadAll(done).c_str());
  }

  std::string laptopPrefix_, thirdPrefix_;
  int calls_ = 0;
};

TEST_F(Machines, EachTipShowsTheUnionAndDaysFromAThirdMachineWritesIt) {
  const double today = static_cast<double>(static_cast<int64_t>(NowAsDateTime()));
  const std::string shared = dir_->Path("shared");
  ASSERT_TRUE(CreateDirectoryW(Wide(shared).c_str(), nullptr));
  // Each machine names the folder as the other prefixes reach it.
  auto ini = [&](const char* name) {
    return "[Options]\r\nInterval=0\r\n[Machines]\r\nFolder=Z:" + UnixPath(shared) +
           "\r\nName=" + name + "\r\n";
  };
  // The desk worked 8:00 to 10:00, the laptop 9:00 to 11:00: 3:00 together.
  WriteIni(ini("Desk"));
  WriteAll(DataFile(), RecordBytes(0, 0, today + 8.0 / 24) + RecordBytes(0, 1, today + 10.0 / 24));
  const std::string laptop = dir_->Path("laptop"), third = dir_->Path("third");
  for (const std::string& dir : {laptop, third}) {
    ASSERT_TRUE(CreateDirectoryW(Wide(dir).c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(Wide(exe_).c_str(), Wide(dir + "\\Horalog.exe").c_str(), FALSE));
  }
  WriteAll(laptop + "\\Horalog.ini", ini("Laptop"));
  WriteAll(laptop + "\\hl.dat",
           RecordBytes(0, 0, today + 9.0 / 24) + RecordBytes(0, 1, today + 11.0 / 24));
  WriteAll(third + "\\Horalog.ini", ini("Third"));

  // The other prefixes: copies of this one, each with a GUID of its own.
  std::string prefix = UnixPath("C:\\");
  prefix = prefix.substr(0, prefix.find("/dosdevices/"));
  ASSERT_FALSE(prefix.empty());
  laptopPrefix_ = prefix + "-laptop";
  thirdPrefix_ = prefix + "-third";
  ASSERT_EQ(Unix("prefix " + prefix + " " + laptopPrefix_ + " " + LaptopGuid), 0);
  ASSERT_EQ(Unix("prefix " + prefix + " " + thirdPrefix_ + " " + ThirdGuid), 0);

  // The laptop first: the desk finds its copy at its first look, and the
  // laptop the desk's at its next, within a minute.
  ASSERT_EQ(Unix("start " + laptopPrefix_ + " " + UnixPath(laptop + "\\Horalog.exe")), 0);
  // Each under an identity of its own installation, kept beside its journal.
  EXPECT_TRUE(WaitUntil([&] { return CopySize(shared, "Laptop") > 0; }, 30000));
  EXPECT_GT(FileSize(laptop + "\\Horalog machine.id"), 0);
  StartReady();
  EXPECT_TRUE(WaitUntil([&] { return CopySize(shared, "Desk") > 0; }));
  EXPECT_LT(FileSize(shared + "\\Horalog Desk {" + OwnMachineGuid() + "}.dat"), 0)
      << "named by the installation, not the computer's GUID";

  // Each looks at the folder once a minute: within about one, both count both.
  const std::string both = "Horalog\nToday 3:00\nThis week 3:00";
  EXPECT_TRUE(WaitUntil([&] { return TrayTip() == both; }, 90000)) << TrayTip();
  std::string laptopTip;
  EXPECT_TRUE(WaitUntil(
      [&] {
        Unix("run " + laptopPrefix_ + " " + UnixPath(laptop) + " " +
             UnixPath(laptop + "\\tip.txt") + " " + UnixPath(TestProgramPath()) + " --tour tip");
        // Its standard output is a text stream: line ends come as CR LF.
        laptopTip = ReadAll(laptop + "\\tip.txt");
        laptopTip.erase(std::remove(laptopTip.begin(), laptopTip.end(), '\r'), laptopTip.end());
        return laptopTip == both;
      },
      90000))
      << laptopTip;

  // /days on a third machine with no journal of its own: the union.
  const std::string date = [&] {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
    return std::string(text);
  }();
  ASSERT_EQ(
      Unix("run " + thirdPrefix_ + " " + UnixPath(third) + " " + UnixPath(third + "\\out.txt") +
           " " + UnixPath(third + "\\Horalog.exe") + " /days " + date + " " + date + " days.csv"),
      0)
      << ReadAll(third + "\\out.txt");
  EXPECT_EQ(ReadAll(third + "\\days.csv"), "Date,First In,Last Out,Worked,Hours\r\n" + date +
                                               ",08:00:00,11:00:00,3:00:00,3.00\r\n"
                                               "Total,,,3:00:00,3.00\r\n");
}

}  // namespace
}  // namespace horalog::e2e
