// Years of running in little: ten thousand ticks of the main window's
// recorder, with its real log pane, tray icon and data file, give back every handle and
// window they took. The input and the clock are scripted: a tick a second,
// twenty seconds of pointer movement and then seventy quiet ones, over and
// over, with a one-minute timeout, so that every ninety ticks bring a Start
// and a Stop.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "ProcessCounters.h"
#include "ScriptedDay.h"
#include "UiTestSupport.h"
#include "app/HoralogMain.h"
#include "data/ActRec.h"
#include "data/ActRecList.h"

namespace horalog {
namespace {

constexpr int Ticks = 10000;
constexpr int Period = 90, Moving = 20;

TEST(LongRun, TenThousandTicksGiveBackTheirHandlesAndWindows) {
  const test::ScratchDir scratch;
  const std::string dir = scratch.Path();
  const std::string data = dir + DataFileBaseName;
  DeleteFileA(data.c_str());
  {
    test::CaptureErrors errors;
    ScriptedDay day(Period, Moving);
    TForm1 form(dir + "Horalog.exe", &day);
    KillTimer(form.Handle(), TForm1::Timer1Id);  // only the scripted ticks
    form.Recorder().SetIdleSpan(OneMinute);
    const auto tick = [&form] { form.Timer1Timer(); };
    // The first spell outside the count: the first append and log line fill caches.
    day.Run(tick, Period);
    const e2e::ProcessCounters before = e2e::CountersOfThisProcess();

    const DWORD start = GetTickCount();
    day.Run(tick, Ticks - Period);
    const DWORD spent = GetTickCount() - start;
    const e2e::ProcessCounters after = e2e::CountersOfThisProcess();
    std::printf("[ figures  ] %d ticks in %lu ms; kernel handles %ld -> %ld, windows %ld -> %ld, "
                "working set %.1f -> %.1f MB\n",
                Ticks - Period, spent, before.kernelHandles, after.kernelHandles, before.windows,
                after.windows, e2e::Megabytes(before.workingSet), e2e::Megabytes(after.workingSet));

    EXPECT_TRUE(errors.texts.empty()) << errors.texts.front();
    ASSERT_GE(before.kernelHandles, 0);
    EXPECT_LE(after.kernelHandles, before.kernelHandles + 2);
    EXPECT_EQ(after.windows, before.windows);
    if (before.gdiObjects != 0) {
      EXPECT_LE(after.gdiObjects, before.gdiObjects + 2);
    }
    if (before.userObjects != 0) {
      EXPECT_LE(after.userObjects, before.userObjects + 2);
    }

    // Every spell reached the file and the pane: a Start and a Stop each.
    const int spells = (Ticks + Period - 1) / Period;
    TActRecList records;
    records.LoadFromFile(data);
    EXPECT_EQ(records.Count(), 2 * spells - 1) << "the last spell is still open";
    const LRESULT lines = SendMessageA(form.Memo1.Handle(), EM_GETLINECOUNT, 0, 0);
    EXPECT_EQ(lines, 2 * spells - 1 + 1) << "lines and the empty last one";
  }
  test::DrainQuit();
}

}  // namespace
}  // namespace horalog
