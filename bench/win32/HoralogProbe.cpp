// horalog_probe [GoogleTest flags] [--records=N] [--machines=M] [--parts] <path of Horalog.exe>
//               [<native benchmark JSON>]
//
// Figures of Horalog.exe running under this system (here: Wine; on a machine
// whose 32-bit side QEMU emulates, CPU times are inflated many times over),
// each beside its baseline from the same `make bench`: the native benchmarks'
// figures read from their JSON output, or a figure of this run that does no
// work. The large journal has N records (100,000 unless told); the figures of
// several machines have M others of that size (ten unless told), their
// copies each in one file as earlier releases wrote them, or with --parts in
// parts as the recorder writes them. Prints figures and asserts nothing
// about them; a failure here means the program could not be driven.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AwayTimeScript.h"
#include "E2eDriver.h"
#include "ScriptedDay.h"
#include "UiTestSupport.h"
#include "data/DataDir.h"
#include "data/ActRec.h"
#include "dialogs/ActionEditDlg.h"
#include "dialogs/DBViewDialog.h"
#include "machines/MachineCopy.h"
#include "machines/MachineFolder.h"
#include "platform/Platform.h"
#include "report/WorkTotals.h"
#include "ui/Application.h"

namespace horalog::e2e {
namespace {

std::string& BaselineJson() {
  static std::string text;
  return text;
}

// The size of the large journal.
int& JournalRecords() {
  static int records = 100000;
  return records;
}
// How many other machines' copies the folder of the machines' figures holds.
int& OtherMachines() {
  static int count = 10;
  return count;
}
// Whether the other machines write their copies in parts, as the recorder
// does, or each in one file, as earlier releases did.
bool& CopiesInParts() {
  static bool parts = false;
  return parts;
}
std::string RecordsText() {
  std::string digits = std::to_string(JournalRecords()), text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

// A native benchmark's real time, with its unit, from the JSON output.
std::string Native(const char* name) {
  const std::string& json = BaselineJson();
  const size_t at = json.find("\"name\": \"" + std::string(name) + "\"");
  if (at == std::string::npos) return "(no native figure)";
  const size_t time = json.find("\"real_time\": ", at);
  const size_t unit = json.find("\"time_unit\": \"", at);
  if (time == std::string::npos || unit == std::string::npos) return "(no native figure)";
  const double value = std::strtod(json.c_str() + time + 13, nullptr);
  const size_t unitStart = unit + 14;
  char text[64];
  std::snprintf(text, sizeof text, "%.3g %s", value,
                json.substr(unitStart, json.find('"', unitStart) - unitStart).c_str());
  return text;
}

// A counter of a native benchmark, from the JSON output; nothing without one.
std::optional<double> NativeCounter(const char* name, const char* counter) {
  const std::string& json = BaselineJson();
  const size_t at = json.find("\"name\": \"" + std::string(name) + "\"");
  if (at == std::string::npos) return std::nullopt;
  const size_t next = json.find("\"name\": \"", at + 1);
  const std::string key = "\"" + std::string(counter) + "\": ";
  const size_t value = json.find(key, at);
  if (value == std::string::npos || value > next) return std::nullopt;
  return std::strtod(json.c_str() + value + key.size(), nullptr);
}

// Bytes as B, KB or MB (of 1,024).
std::string Bytes(std::optional<double> bytes) {
  if (!bytes) return "(no native figure)";
  char text[32];
  if (*bytes < 1024)
    std::snprintf(text, sizeof text, "%.0f B", *bytes);
  else if (*bytes < 1024 * 1024)
    std::snprintf(text, sizeof text, "%.1f KB", *bytes / 1024);
  else
    std::snprintf(text, sizeof text, "%.1f MB", *bytes / (1024 * 1024));
  return text;
}

void Figure(const std::string& what, const std::string& value, const std::string& baseline) {
  std::printf("  %-52s %-22s beside: %s\n", what.c_str(), value.c_str(), baseline.c_str());
  std::fflush(stdout);
}

std::string Ms(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f ms", ms);
  return text;
}

std::string Memory(const ProcessCounters& c) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f / %.1f MB", Megabytes(c.workingSet), Megabytes(c.privateBytes));
  return text;
}

class Probe : public WindowRounds {
 protected:
  ProcessCounters Now() const { return CountersOf(processes_.front()->Handle(), processes_.front()->Pid()); }
  // Milliseconds from the action to a visible window of the class and caption.
  // The program is let settle first, so that the window closed last is gone.
  double TimeTo(const std::function<void()>& action, const char* className, const char* caption,
                HWND* found) {
    Sleep(1000);
    const ULONGLONG start = GetTickCount64();
    action();
    *found = nullptr;
    WaitUntil([&] { return (*found = FindVisible(First().Pid(), className, caption)) != nullptr; },
              120000);
    EXPECT_NE(*found, nullptr) << "no window " << caption;
    return static_cast<double>(GetTickCount64() - start);
  }
};

// A target, so that the tip shows a balance counted from the journal's first
// record.
constexpr const char* HoursWithATarget = "[Hours]\r\nTarget=8:00\r\n";

// Every key of [Presence]; the consent store's keys of a Windows that keeps
// the record of calls are planted (empty: no call goes on), so that the
// ticks watch them.
constexpr const char* EveryPresenceKey =
    "[Presence]\r\nCalls=1\r\nConfirmStart=5\r\nPointerSlack=3\r\nAskAfter=0:15\r\n";

// The quiet tick's figure without [Presence], for the one with it.
std::string& QuietTickFigure() {
  static std::string figure = "(not measured)";
  return figure;
}

TEST_F(Probe, CpuTimePerTick) {
  WriteIni(HoursWithATarget);
  StartReady();
  Sleep(3000);  // past the first ticks and the start's own work
  std::printf("CPU time of Horalog.exe per tick (its own user and kernel times over 60 ticks):\n");
  ProcessCounters before = Now();
  Sleep(60000);
  ProcessCounters after = Now();
  char text[32];
  std::snprintf(text, sizeof text, "%.0f us", (after.cpu100ns - before.cpu100ns) / 10.0 / 60);
  QuietTickFigure() = text;
  Figure("quiet tick, the tip with a balance", text, "native tick " + Native("BM_QuietTick") +
         ", the tip's figures " + Native("BM_TipFiguresAtATick"));
  std::snprintf(text, sizeof text, "%llu",
                static_cast<unsigned long long>(after.readOperations - before.readOperations));
  Figure("file reads over those 60 ticks", text, "0 where the system counts none");

  before = Now();
  for (int i = 0; i < 240; ++i) {
    SetCursorPos(100 + i % 2 * 200, 100 + i % 3 * 50);
    Sleep(250);
  }
  after = Now();
  std::snprintf(text, sizeof text, "%.0f us", (after.cpu100ns - before.cpu100ns) / 10.0 / 60);
  Figure("tick with the pointer moving", text, "native tick " + Native("BM_MovedTick"));
}

// The quiet ticks of CpuTimePerTick with every key of [Presence] set.
TEST_F(Probe, CpuTimePerTickWithPresence) {
  PlantedConsentStore store;
  store.Plant(L"microphone\\NonPackaged");
  store.Plant(L"webcam");
  WriteIni(std::string(HoursWithATarget) + EveryPresenceKey);
  StartReady();
  Sleep(3000);
  const ProcessCounters before = Now();
  Sleep(60000);
  const ProcessCounters after = Now();
  char text[32];
  std::snprintf(text, sizeof text, "%.0f us", (after.cpu100ns - before.cpu100ns) / 10.0 / 60);
  Figure("quiet tick, every key of [Presence] set", text,
         "without [Presence] " + QuietTickFigure() + "; native " +
             Native("BM_QuietTickWithPresence"));
}

TEST_F(Probe, MemoryAfterStartAndAfterEachWindow) {
  StartReady();
  Sleep(2000);
  std::printf("Working set / private bytes of Horalog.exe:\n");
  const ProcessCounters start = Settled();
  Figure("after start", Memory(start), "");
  ShowMain();
  for (const Round& round : Rounds()) {
    round.run();
    Figure(std::string("after ") + round.name, Memory(Settled()), "after start " + Memory(start));
  }
}

TEST_F(Probe, AnHourOfTicksInThisProcess) {
  // The detector with its clock scripted: an hour of ticks in a moment. The
  // program's own figures above are its whole; this is what an hour adds.
  const std::string data = dir_->Path(DataFileBaseName);
  const ProcessCounters before = CountersOfThisProcess();
  const ULONGLONG start = GetTickCount64();
  TActivityDetector detector;
  ScriptedDay day(HourPeriod, HourMoving);
  JournalSink sink(data);
  day.Run(detector, sink, platform::UserLocale(), HourTicks);
  const double spent = static_cast<double>(GetTickCount64() - start);
  const ProcessCounters after = CountersOfThisProcess();
  std::printf("An hour of detector ticks (3,600, scripted clock, real appends) in this process:\n");
  Figure("time", Ms(spent), "native " + Native("BM_HourOfTicks"));
  char text[64];
  std::snprintf(text, sizeof text, "%+.0f KB / %+.0f KB",
                (static_cast<double>(after.workingSet) - before.workingSet) / 1024,
                (static_cast<double>(after.privateBytes) - before.privateBytes) / 1024);
  Figure("growth of working set / private bytes", text,
         std::to_string(sink.pane.size()) + " bytes of log lines");
}

// The large journal: five spells a day, the last day today; each spell
// shifted by the hours given.
void WriteLargeJournal(const std::string& path, double shiftHours = 0) {
  const int Records = JournalRecords();
  constexpr int PerDay = 10;
  const double today = static_cast<double>(static_cast<int64_t>(NowAsDateTime()));
  std::string bytes;
  bytes.reserve(static_cast<size_t>(Records) * RecordSize);
  for (int i = 0; i < Records; ++i) {
    const double day = today - (Records - 1 - i) / PerDay;
    bytes += RecordBytes(0, static_cast<uint8_t>(i % 2), day + (8 + i % PerDay + shiftHours) / 24.0);
  }
  WriteAll(path, bytes);
}

TEST_F(Probe, CommandTimesOnALargeJournal) {
  WriteLargeJournal(DataFile());
  WriteIni(HoursWithATarget);
  // The start's share for the tray icon's hours and balance: the whole
  // journal, read once, here in this process.
  auto load = std::chrono::steady_clock::now();
  TWorkTotals totals;
  LoadWorkTotals(DataFile(), totals);
  const double loadMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - load).count();
  const ULONGLONG start = GetTickCount64();
  StartReady();
  std::printf("On a journal of %s records:\n", RecordsText().c_str());
  Figure("start, to the published main window", Ms(static_cast<double>(GetTickCount64() - start)),
         "a target set: the balance from the first record");
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", loadMs);
  Figure("the hours of every day from the journal", text,
         "in this process; native, 100,000 records " + Native("BM_LoadWorkTotals"));
  ShowMain();
  HWND box = nullptr;
  const double noWork =
      TimeTo([&] { ChooseMenuItem("&File", "&Exit"); }, "#32770", "Confirm", &box);
  Close(box, IDNO);
  const std::string baseline = "Exit to its box " + Ms(noWork);
  Figure("View to its window",
         Ms(TimeTo([&] { ChooseMenuItem("&Tools", "&View"); }, "TDBViewDlg", "View Horalog Database", &box)),
         baseline);
  Figure("working set / private bytes after View", Memory(Settled()), "");
  Close(box, 0);
  Figure("Report to its dates",
         Ms(TimeTo([&] { ChooseMenuItem("&Tools", "&Report"); }, "TStartEndDatesDlg",
                   "Select Start and End Dates", &box)),
         baseline);
  Figure("dates' OK (today) to the report window",
         Ms(TimeTo([&] { ClickButton(box, IDOK); }, "TReportDlg", "Report", &box)),
         "native one-day report " + Native("BM_ReportOneDay"));
  Close(box, 0);
  Figure("Compact to its Confirm",
         Ms(TimeTo([&] { ChooseMenuItem("&Tools", "&Compact"); }, "#32770", "Confirm", &box)),
         baseline);
  Figure("Compact's Yes to \"Operation successful\"",
         Ms(TimeTo([&] { ClickButton(box, IDYES); }, "#32770", "Information", &box)),
         "native compaction " + Native("BM_Compact/100000"));
  Close(box, IDOK);
}

// N other machines (ten unless told) of the large journal's size through one
// folder, beside one machine alone in the same run: the start to the
// published window; from there to the tip's first hours (the union), and
// the longest the window took to answer meanwhile; the memory the others
// add; the file reads and CPU time of a minute of ticks, which hold one look
// at the folder; a changed copy to the tip, and the CPU time that took.
TEST_F(Probe, MachinesOnLargeJournals) {
  const int count = OtherMachines();
  const std::string shared = dir_->Path("shared");
  CreateDirectoryW(Wide(shared).c_str(), nullptr);
  WriteLargeJournal(DataFile());
  const double today = static_cast<double>(static_cast<int64_t>(NowAsDateTime()));
  auto identity = [](int n) {
    char text[40];
    std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012x", 0xa1 + n);
    return std::string(text);
  };
  const std::string journal = dir_->Path("other.dat");
  // Machine n's spells, n + 1 half hours after this machine's.
  auto writeJournal = [&](int n) { WriteLargeJournal(journal, 0.5 * (n + 1)); };
  // With --parts, each machine writes its copy in parts as the recorder does.
  std::vector<std::unique_ptr<TMachineFolder>> writers;
  for (int n = 0; CopiesInParts() && n < count; ++n)
    writers.push_back(std::make_unique<TMachineFolder>(
        TMachinesSettings{shared + "\\", "Machine " + std::to_string(n + 1), identity(n), "PROBE"},
        [](const std::string&) {}));
  auto writeCopy = [&](int n, double madeAt) {
    if (CopiesInParts()) {
      EXPECT_TRUE(writers[static_cast<size_t>(n)]->WriteOwnCopy(journal, {}, {}, madeAt));
      return;
    }
    const std::string name = "Machine " + std::to_string(n + 1);
    WriteMachineCopy(shared + "\\" + CopyFileName(name, identity(n)), journal, {}, {},
                     {identity(n), name, "PROBE", madeAt, std::nullopt});
  };
  const ULONGLONG writing = GetTickCount64();
  for (int n = 0; n < count; ++n) {
    writeJournal(n);
    writeCopy(n, today);
  }
  const double written = static_cast<double>(GetTickCount64() - writing);
  auto hoursInTip = [] { return TrayTip().find('\n') != std::string::npos; };
  struct Run {
    double window = 0, tip = 0;
    double longestAnswer = 0;  // the longest the main window left WM_NULL unanswered
    long messages = 0;         // WM_NULL sent meanwhile
    bool tipShown = false;
    ProcessCounters settled;
  };
  // Until the tip shows hours other than unlike's: the machines' union, not
  // this machine's own hours, which it shows while the others are read.
  auto startToTip = [&](Run& run, const std::string& unlike) {
    const ULONGLONG start = GetTickCount64();
    StartReady();
    run.window = static_cast<double>(GetTickCount64() - start);
    const HWND window = PublishedWindow();
    const ULONGLONG published = GetTickCount64();
    // WM_NULL sent to the window one after the other from a thread of its
    // own, so that a message always waits for an answer, until the tip shows
    // the hours; a message not answered (hung, or not within the time)
    // counts until one is.
    std::atomic<bool> shown{false};
    std::thread answers([&] {
      ULONGLONG unanswered = 0;  // since when a message waits for an answer
      while (!shown) {
        const ULONGLONG sent = GetTickCount64();
        DWORD_PTR result = 0;
        ++run.messages;
        if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 30000, &result)) {
          const ULONGLONG since = unanswered != 0 ? unanswered : sent;
          run.longestAnswer =
              std::max(run.longestAnswer, static_cast<double>(GetTickCount64() - since));
          unanswered = 0;
        } else if (unanswered == 0) {
          unanswered = sent;
        }
      }
      if (unanswered != 0)
        run.longestAnswer =
            std::max(run.longestAnswer, static_cast<double>(GetTickCount64() - unanswered));
    });
    run.tipShown = WaitUntil([&] { return hoursInTip() && TrayTip() != unlike; }, 180000);
    run.tip = static_cast<double>(GetTickCount64() - published);
    shown = true;
    answers.join();
    Sleep(2000);
    run.settled = Settled();
  };
  std::printf("%d other machines of %s records each, through one folder (their copies, %s, "
              "written in %.0f s):\n",
              count, RecordsText().c_str(), CopiesInParts() ? "in parts" : "each in one file",
              written / 1000);
  Run alone, machines;
  WriteIni(HoursWithATarget);
  startToTip(alone, {});
  const std::string aloneTip = TrayTip();
  First().Terminate();
  processes_.clear();
  first_ = nullptr;
  WaitUntil([] { return PublishedWindow() == nullptr && TrayTip().empty(); }, 10000);
  WriteIni(std::string(HoursWithATarget) + "[Machines]\r\nFolder=" + shared + "\r\nName=Probe\r\n");
  startToTip(machines, aloneTip);
  const std::string oneMachine = "one machine ";
  Figure("start, to the published main window", Ms(machines.window),
         oneMachine + Ms(alone.window));
  Figure("the window's longest answer, until the tip's hours", Ms(machines.longestAnswer),
         oneMachine + Ms(alone.longestAnswer) + "; " + std::to_string(machines.messages) +
             " / " + std::to_string(alone.messages) + " messages sent");
  Figure("published window to the tip's hours (the union)",
         machines.tipShown ? Ms(machines.tip) : "(no hours within " + Ms(machines.tip) + ")",
         oneMachine + Ms(alone.tip) + "; native, 2 of 100,000 " + Native("BM_MachinesFirstTip") +
             ", 10 of 1,000,000 " + Native("BM_FirstLookAtTenMachines/iterations:2") +
             " (one " + Native("BM_FirstLookAtOneMachine/iterations:2") + ")");
  char text[96];
  std::snprintf(text, sizeof text, "%+.1f / %+.1f MB",
                Megabytes(machines.settled.workingSet) - Megabytes(alone.settled.workingSet),
                Megabytes(machines.settled.privateBytes) - Megabytes(alone.settled.privateBytes));
  const std::optional<double> tenResident =
      NativeCounter("BM_FirstLookAtTenMachines/iterations:2", "resident_mb");
  const std::optional<double> oneResident =
      NativeCounter("BM_FirstLookAtOneMachine/iterations:2", "resident_mb");
  std::string nativeResident = "(no native figure)";
  if (tenResident && oneResident) {
    char figure[96];
    std::snprintf(figure, sizeof figure, "%+.1f MB resident (one %.1f MB)",
                  *tenResident - *oneResident, *oneResident);
    nativeResident = figure;
  }
  Figure("working set / private bytes above one machine's", text,
         oneMachine + Memory(alone.settled) + "; native, 10 of 1,000,000 " + nativeResident);
  const std::string before = TrayTip();
  Sleep(1500);
  ProcessCounters counters = Now();
  Sleep(61000);
  const ProcessCounters after = Now();
  std::snprintf(text, sizeof text, "%llu",
                static_cast<unsigned long long>(after.readOperations - counters.readOperations));
  Figure("file reads over 60 ticks and one look", text,
         "a look where nothing changed, native " + Native("BM_LookAtUnchangedFolder"));
  const double quietTick = (after.cpu100ns - counters.cpu100ns) / 10.0 / 60;  // us
  std::snprintf(text, sizeof text, "%.0f us", quietTick);
  Figure("CPU time per quiet tick", text, "native tip " + Native("BM_MachinesTipAtATick"));
  // Another spell of the second machine's, today.
  const int changed = std::min(1, count - 1);
  writeJournal(changed);
  std::string bytes = ReadAll(journal);
  bytes += RecordBytes(0, 0, today + 21.0 / 24) + RecordBytes(0, 1, today + 23.0 / 24);
  WriteAll(journal, bytes);
  counters = Now();
  const ULONGLONG writtenAt = GetTickCount64();
  writeCopy(changed, NowAsDateTime());
  const bool taken = WaitUntil([&] { return TrayTip() != before; }, 120000);
  const double toTip = static_cast<double>(GetTickCount64() - writtenAt);
  const ProcessCounters tipped = Now();
  Figure("a changed copy to the tip", taken ? Ms(toTip) : "(not within " + Ms(toTip) + ")",
         "the folder looked at once a minute");
  // The CPU time of the wait less the quiet ticks it held (a tick a second).
  const double spentMs = (tipped.cpu100ns - counters.cpu100ns) / 10000.0;
  std::snprintf(text, sizeof text, "%.0f ms", spentMs - quietTick / 1000 * (toTip / 1000));
  Figure("CPU time of the look that took it", text,
         "over the wait " + Ms(spentMs) + "; native, 1 of 10 of 1,000,000 " +
             Native("BM_TickWhenOneOfTenCopiesChanged/iterations:5"));
  std::printf("Bytes an hour of work sends into the folder (native):\n");
  for (const char* records : {"100000", "1000000"}) {
    const std::string name = std::string("BM_BytesSentPerHourOfWork/") + records + "/iterations:1";
    Figure(std::string("a journal of ") + records + " records",
           Bytes(NativeCounter(name.c_str(), "bytes_per_hour")),
           "its copy in one file " + Bytes(NativeCounter(name.c_str(), "one_file_bytes_per_hour")));
  }
}

TActionEditDialog* OpenEditor() {
  HWND window = FindWindowA(TActionEditDialog::ClassName, "Action Editor");
  if (!window || !IsWindowVisible(window)) return nullptr;
  return dynamic_cast<TActionEditDialog*>(
      reinterpret_cast<ui::TWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA)));
}

// The database view built in this process over the large journal: its
// commands timed from the answer of their dialog to the list drawn afresh.
// Dialogs are answered from timers, which their modal loops dispatch.
TEST(ProbeInThisProcess, DatabaseViewCommands) {
  const int count = JournalRecords();
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  SetDataDir(std::string(temp) + "horalog-probe-view-" + std::to_string(GetCurrentProcessId()) + "\\");
  CreateDirectoryA(DataDir().c_str(), nullptr);
  const std::string data = DataDir() + DataFileBaseName;
  WriteLargeJournal(data);

  using Clock = std::chrono::steady_clock;
  auto ms = [](Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
  };
  auto start = Clock::now();
  auto view = std::make_unique<TDBViewDlg>();
  if (ui::Application().MainForm() == view.get()) ui::Application().SetMainForm(nullptr);
  view->Show();
  UpdateWindow(view->DBListView.Handle());
  const double create = ms(start);
  start = Clock::now();
  view->RefreshActionExecute();
  UpdateWindow(view->DBListView.Handle());
  const double fill = ms(start);
  ASSERT_EQ(view->DBListView.RowCount(), count);

  Clock::time_point answered;
  auto answerEditor = [&answered](bool ok = true) {
    test::After(1, [&answered, ok] {
      if (TActionEditDialog* editor = OpenEditor()) {
        editor->ActionComboBox.SetItemIndex(1);
        answered = Clock::now();
        (ok ? editor->OKBtn : editor->CancelBtn).Click();
      }
    });
  };
  auto run = [&](void (TDBViewDlg::*command)()) {
    (view.get()->*command)();
    UpdateWindow(view->DBListView.Handle());
    return ms(answered);
  };
  // What closing the editor costs by itself.
  answerEditor(false);
  const double cancel = run(&TDBViewDlg::InsertActionExecute);
  answerEditor();
  const double insert = run(&TDBViewDlg::InsertActionExecute);
  view->DBListView.SetSelected(count / 2, true);
  answerEditor();
  const double edit = run(&TDBViewDlg::EditActionExecute);
  for (int row = 1000; row < 1100 && row < count; ++row) view->DBListView.SetSelected(row, true);
  test::After(1, [&answered] {
    if (HWND box = test::FindDialog("Warning")) {
      answered = Clock::now();
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
    }
  });
  const double del = run(&TDBViewDlg::DeleteActionExecute);

  std::printf("The database view in this process, on a journal of %s records:\n", RecordsText().c_str());
  Figure("window made and filled", Ms(create), "");
  Figure("Refresh", Ms(fill), "");
  Figure("Insert, from the editor's OK to the list drawn", Ms(insert), "a cancelled Insert " + Ms(cancel));
  Figure("Edit, from the editor's OK to the list drawn", Ms(edit), "a cancelled Insert " + Ms(cancel));
  Figure("Delete of 100 rows, from Yes to the list drawn", Ms(del), "a cancelled Insert " + Ms(cancel));
  view.reset();
  DeleteFileA(data.c_str());
  RemoveDirectoryA(DataDir().c_str());
}

// The click on the balloon that keeps an away time, in this process, on a
// journal of a million records whatever the journal of the other figures:
// from the click to the log pane's answer.
TEST(ProbeInThisProcess, AwayTimeKeptOnAMillionRecords) {
  constexpr int Records = 1000000;
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string dir =
      std::string(temp) + "horalog-probe-keep-" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  const TDateTime day = WholePart(platform::Now());
  WriteJournalBefore(dir + DataFileBaseName, Records, day);
  ScriptedDesk desk;
  TRecorder recorder(desk, desk, dir, platform::UserLocale());
  BringToAwayTime(recorder, desk, day);
  EXPECT_FALSE(desk.balloon.empty()) << "no away time offered";
  const auto start = std::chrono::steady_clock::now();
  recorder.KeepAwayTime(desk.offer);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  EXPECT_NE(desk.lastLine.find("counted as work: its Stop"), std::string::npos) << desk.lastLine;
  std::printf("The balloon's click in this process, on a journal of 1,000,000 records:\n");
  Figure("away time kept, from the click to the log line", Ms(ms),
         "native " + Native("BM_KeepAwayTime/1000000/iterations:2"));
  DeleteFileA((dir + DataFileBaseName).c_str());
  RemoveDirectoryA(dir.c_str());
}

}  // namespace
}  // namespace horalog::e2e

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  horalog::ui::Application().Initialize();
  for (; argc >= 2; --argc, ++argv) {
    if (std::strncmp(argv[1], "--records=", 10) == 0)
      horalog::e2e::JournalRecords() = std::atoi(argv[1] + 10);
    else if (std::strncmp(argv[1], "--machines=", 11) == 0)
      horalog::e2e::OtherMachines() = std::atoi(argv[1] + 11);
    else if (std::strcmp(argv[1], "--parts") == 0)
      horalog::e2e::CopiesInParts() = true;
    else
      break;
  }
  if (argc < 2 || horalog::e2e::JournalRecords() < 1 || horalog::e2e::OtherMachines() < 1) {
    std::fprintf(stderr,
                 "usage: horalog_probe [gtest flags] [--records=N] [--machines=M] [--parts] "
                 "<Horalog.exe> [<native benchmark JSON>]\n");
    return 2;
  }
  horalog::e2e::ProgramPath() = horalog::e2e::WindowsPathFromArgument(argv[1]);
  if (argc >= 3) {
    std::ifstream in(horalog::e2e::WindowsPathFromArgument(argv[2]), std::ios::binary);
    horalog::e2e::BaselineJson().assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return RUN_ALL_TESTS();
}
