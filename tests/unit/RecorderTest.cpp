// The recorder's rules without a window: the exit's Stop and its question,
// the end of the session, the records that wait, the hours of the tip.
#include "recorder/Recorder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "RecorderSupport.h"
#include "TestSupport.h"
#include "data/ActRecList.h"
#include "data/Errors.h"
#include "platform/Platform.h"

namespace horalog {
namespace {

const TDateTime Monday = ComposeDate(2026, 3, 2);
// The fake clock adds up its seconds as days: a millisecond is close enough.
constexpr TDateTime Ms = 1.0 / MSecsPerDay;

TDateTime At(uint16_t h, uint16_t m, uint16_t s = 0) { return Monday + ComposeTime(h, m, s, 0); }

bool Contains(const std::vector<std::string>& lines, const std::string& part) {
  for (const std::string& line : lines)
    if (line.find(part) != std::string::npos) return true;
  return false;
}

class RecorderTest : public ::testing::Test {
 protected:
  RecorderTest() { source.wall = At(9, 0); }
  void TearDown() override { platform::FailFileOperation(0); }

  void Begin() {
    recorder.SetIdleSpan(10 * OneMinute);
    recorder.Start();
  }
  // Seconds of work, the pointer moving at every tick; seconds of quiet.
  void Work(int seconds) {
    for (int i = 0; i < seconds; ++i) {
      source.Advance(1000);
      ++source.x;
      recorder.Tick();
    }
  }
  void Quiet(int seconds) {
    for (int i = 0; i < seconds; ++i) {
      source.Advance(1000);
      recorder.Tick();
    }
  }
  std::string Data() const { return dir.Path(DataFileBaseName); }
  std::vector<TActRec> Journal() const { return test::ReadJournal(Data()); }

  test::ScratchDir dir;
  test::FakeSource source;
  test::FakeView view;
  TLocale locale;  // the English defaults
  TRecorder recorder{source, view, dir.Path(), locale};
};

// An exit whose Stop cannot be written asks; No goes on recording. A Stop
// that surely is not in the file goes, and nothing waiting ends the outage; one
// that may be there stays, and the spell goes on from a Start just after it.
TEST_F(RecorderTest, AnExitThatCannotWriteAsksAndNoGoesOnRecording) {
  Begin();
  Work(60);
  ASSERT_EQ(Journal().size(), 1u);
  view.answer = [] { return false; };
  platform::FailFileOperation(1);  // the open
  EXPECT_FALSE(recorder.Exit());
  ASSERT_EQ(view.questions.size(), 1u);
  const std::string& question = view.questions[0];
  EXPECT_EQ(question.rfind("1 record could not be written to " + platform::PathForDisplay(Data()) + " (", 0), 0u)
      << question;
  EXPECT_EQ(question.substr(question.size() - 15), "). Exit anyway?");
  EXPECT_TRUE(recorder.Journal().Empty());
  EXPECT_FALSE(recorder.FinalStopWritten());
  EXPECT_TRUE(view.boxes.empty());
  // The next failure is a new outage, with its box.
  platform::FailFileOperation(1);
  Quiet(601);
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_NE(view.boxes[0].find("Horalog keeps the records and tries again."), std::string::npos);
  Quiet(61);  // the retry writes the Stop
  ASSERT_EQ(Journal().size(), 2u);

  Work(30);
  platform::FailFileOperation(5);  // open, size, seek, write, then the flush
  EXPECT_FALSE(recorder.Exit());
  const auto& waiting = recorder.Journal().Waiting();
  ASSERT_EQ(waiting.size(), 2u);
  EXPECT_EQ(waiting[0].Action, ActionStop);
  EXPECT_EQ(waiting[1].Action, ActionStart);
  const TDateTime stopTime = waiting[0].Time, startTime = waiting[1].Time;  // unaligned fields
  EXPECT_GT(startTime, stopTime) << "a sort could put the Start before its Stop";
  EXPECT_GE(recorder.Detector().LastActivity(), startTime);
  const TActRec stop = waiting[0];
  Quiet(61);
  const std::vector<TActRec> records = Journal();
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(std::memcmp(&records[3], &stop, sizeof stop), 0) << "the Stop written once";
  EXPECT_FALSE(recorder.Detector().Idle());

  // The question left open longer than the timeout: the user was away, the
  // spell ended at the Stop that stays, and no Start follows it (it would
  // pair with a Stop of its own moment).
  Work(30);
  platform::FailFileOperation(5);
  view.answer = [this] {
    source.Advance(11 * 60 * 1000);
    return false;
  };
  EXPECT_FALSE(recorder.Exit());
  EXPECT_TRUE(recorder.Detector().Idle());
  Quiet(61);
  const std::vector<TActRec> after = Journal();
  ASSERT_EQ(after.size(), 6u);
  EXPECT_EQ(after[5].Action, ActionStop);
  Work(2);
  ASSERT_EQ(Journal().size(), 7u);
  EXPECT_EQ(Journal()[6].Action, ActionStart);

  view.answer = [] { return true; };
  platform::FailFileOperation(1);
  EXPECT_TRUE(recorder.Exit());
  EXPECT_TRUE(recorder.FinalStopWritten());
}

// The session ends while the exit's question is open: the exit's Stop is the
// last record, and nothing is recorded after it.
TEST_F(RecorderTest, TheSessionEndingWhileTheExitAsksEndsWithTheExitsStopAlone) {
  Begin();
  Work(60);
  Quiet(30);
  view.answer = [this] {
    recorder.EndSession();
    return false;
  };
  platform::FailFileOperation(1);
  EXPECT_TRUE(recorder.Exit());
  Work(5);
  const std::vector<TActRec> records = Journal();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].Action, ActionStop);
  EXPECT_NEAR(records[1].Time, At(9, 1, 30), Ms);
}

// The end of the session only queues its Stop: the time Windows gives goes
// to one forced write of every waiting record, tried again while another
// program holds the file, before any tip.
TEST_F(RecorderTest, TheEndOfTheSessionWritesEveryWaitingRecordFirst) {
  Begin();
  for (int i = 0; i < 30; ++i) {
    platform::FailFileOperation(1, platform::FileFault::SharingViolation);
    Work(1);
  }
  source.Advance(5000);  // the next retry is due
  ASSERT_EQ(recorder.Journal().Count(), 1u);
  int held = 2;
  source.onPause = [&held] {
    if (held-- > 0) platform::FailFileOperation(1, platform::FileFault::SharingViolation);
  };
  const size_t lines = view.log.size();
  const int tips = view.tips;
  recorder.EndSession();
  EXPECT_EQ(view.tips, tips) << "a tip before the journal";
  ASSERT_EQ(view.log.size(), lines + 1) << view.log.back();
  EXPECT_EQ(view.log.back(), ActivityEndedText + DateTimeText(At(9, 0, 30) + Ms, locale));
  const std::vector<TActRec> records = Journal();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_NEAR(records[0].Time, At(9, 0, 1), Ms);
  EXPECT_NEAR(records[1].Time, At(9, 0, 30), Ms);
  EXPECT_TRUE(recorder.Journal().Empty());
}

// The tip counts each day as that day's own report does, out of time order
// too: a record of another day between a Start and its Stop splits nothing,
// a running spell counts up to its last activity, and a target adds the
// balance.
TEST_F(RecorderTest, TheTipShowsEachDaysOwnReportARunningSpellAndTheBalance) {
  test::WriteRecords(Data(), {MakeRecord(ActionStart, Monday - 7 + 0.4),
                              MakeRecord(ActionStop, Monday - 7 + 0.6),
                              MakeRecord(ActionStart, At(0, 1)), MakeRecord(ActionStop, At(0, 31))});
  source.wall = At(1, 0);
  Begin();
  EXPECT_EQ(view.tip, "Horalog\nToday 0:30\nThis week 0:30");
  Work(46 * 60);  // from 1:00:01 to 1:46:00
  EXPECT_EQ(view.tip, "Horalog\nToday 1:15\nThis week 1:15");
  // A record of tomorrow put in by hand while the spell runs.
  recorder.FileCommand(TFileCommand::Rewrites,
                       [this] { AppendActionRecord(Data(), ActionStop, Monday + 1.5); });
  EXPECT_EQ(view.tip, "Horalog\nToday 1:15\nThis week 1:15");
  Quiet(601);  // the Stop at 1:46:01, after tomorrow's record
  EXPECT_EQ(view.tip, "Horalog\nToday 1:16\nThis week 1:16");

  // Last Monday 4:48 against 5 days of 1:00, today 0:16 above its 1:00.
  THoursSettings settings;
  for (int day = 1; day <= 5; ++day) settings.weekdayTargets[day] = 3600;
  settings.balanceFrom = DayNumber(Monday - 7);
  settings.opening = -5 * 60;
  recorder.SetHoursSettings(settings);
  EXPECT_EQ(view.tip, "Horalog\nToday 1:16\nThis week 1:16\nBalance -0:01");
  // The ticks that follow the clock with the balance touch no file.
  platform::FailFileOperation(1);
  Quiet(120);
  EXPECT_FALSE(platform::FileOperationFailed());
}

// A journal that cannot be read, or not even be told to be there, is no
// empty one: the tip keeps its hours, with the records kept since, and a tick
// reads again a minute later. Records of a failed write that reached the file
// all the same then count once.
TEST_F(RecorderTest, TheTipKeepsItsHoursWhileTheJournalCannotBeRead) {
  Begin();
  Work(30 * 60);  // 9:00:01 to 9:30:00
  Quiet(601);     // the Stop at 9:30:01
  ASSERT_EQ(Journal().size(), 2u);
  EXPECT_EQ(view.tip, "Horalog\nToday 0:30\nThis week 0:30");
  const size_t lines = view.log.size();
  platform::FailFileOperation(1);  // whether the journal is there at all
  recorder.ReadHours();
  EXPECT_EQ(view.tip, "Horalog\nToday 0:30\nThis week 0:30") << "an empty journal";
  ASSERT_EQ(view.log.size(), lines + 1);
  EXPECT_NE(view.log.back().find("The tray icon keeps the hours it has and reads again in a minute."),
            std::string::npos)
      << view.log.back();

  // A pair put in meanwhile by another copy's view: the reading a minute
  // later finds it.
  AppendActionRecord(Data(), ActionStart, At(8, 0));
  AppendActionRecord(Data(), ActionStop, At(8, 10));
  Work(59);  // a new spell from 9:40:02, counted while the hours wait
  EXPECT_EQ(view.tip, "Horalog\nToday 0:30\nThis week 0:30");
  Work(5 * 60 - 59);
  EXPECT_EQ(view.tip, "Horalog\nToday 0:44\nThis week 0:44");
  EXPECT_EQ(view.log.size(), lines + 2) << "the Start, and nothing told again";
  Quiet(600);
  platform::FailFileOperation(5);  // the Stop's flush: it lands, but may not have
  Quiet(1);
  ASSERT_EQ(recorder.Journal().Count(), 1u);
  platform::FailFileOperation(1);  // settling it
  recorder.ReadHours();
  EXPECT_EQ(view.tip, "Horalog\nToday 0:45\nThis week 0:45");
  Quiet(61);  // the retries: the journal's, then the hours'
  EXPECT_TRUE(recorder.Journal().Empty());
  EXPECT_EQ(view.tip, "Horalog\nToday 0:45\nThis week 0:45");
  const std::vector<TActRec> records = Journal();
  ASSERT_EQ(records.size(), 6u) << "the Stop written once";
  EXPECT_NEAR(records[5].Time - records[4].Time, 5 * OneMinute, OneSecond);
}

// One exit at a time: a second one while the question waits (a close from
// another program) is declined and records nothing. Yes after the file came
// back writes what waits before the program ends.
TEST_F(RecorderTest, OneExitAtATimeAndYesWritesWhatTheFileTakesNow) {
  Begin();
  Work(60);
  platform::FailFileOperation(1);
  view.answer = [this] {
    EXPECT_FALSE(recorder.Exit()) << "a second exit inside the first";
    EXPECT_EQ(recorder.State(), TRecorderState::ExitQuestion);
    Work(3);  // ticks record nothing while the question is open
    return false;
  };
  EXPECT_FALSE(recorder.Exit());
  EXPECT_EQ(view.questions.size(), 1u);
  EXPECT_EQ(recorder.State(), TRecorderState::Recording);
  Work(2);
  EXPECT_EQ(Journal().size(), 1u) << "the open failed: the Stop surely is not there";

  // The file is held when the exit writes, and back when the user says Yes.
  platform::FailFileOperation(1, platform::FileFault::SharingViolation);
  view.answer = [] { return true; };
  EXPECT_TRUE(recorder.Exit());
  EXPECT_TRUE(recorder.FinalStopWritten());
  const std::vector<TActRec> records = Journal();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].Action, ActionStop);
  EXPECT_NEAR(records[1].Time, At(9, 1, 5), Ms);
  EXPECT_TRUE(recorder.Journal().Empty());
}

// While a box of a tick is open, its loop runs the next ticks: their errors
// go to the log pane, not into boxes inside the box.
TEST_F(RecorderTest, ErrorsOfTicksWhileATicksBoxIsOpenGoToTheLog) {
  Begin();
  view.onBox = [this] {
    if (view.boxes.size() > 1) return;
    // The outage ends, and a new one begins with the Stop of a tick.
    recorder.FileCommand(TFileCommand::Reads, [] {});
    platform::FailFileOperation(1, platform::FileFault::SharingViolation);
    Quiet(601);
  };
  platform::FailFileOperation(1, platform::FileFault::SharingViolation);
  Work(1);
  EXPECT_EQ(view.boxes.size(), 1u) << "a box inside the box";
  EXPECT_EQ(Journal().size(), 1u);
  EXPECT_EQ(recorder.Journal().Count(), 1u);
  EXPECT_TRUE(Contains(view.log, "1 record written late to"));
  EXPECT_TRUE(Contains(view.log, "Horalog keeps the records and tries again."));
}

// ---- Away time kept ---------------------------------------------------------

class AwayTimeTest : public RecorderTest {
 protected:
  // AskAfter=0:05.
  void Begin() {
    TPresenceSettings presence;
    presence.askAfterSeconds = 5 * 60;
    recorder.SetPresenceSettings(presence);
    RecorderTest::Begin();
  }
  // The data file as records of (action, time), for comparing.
  std::vector<std::pair<int, TDateTime>> Records() const {
    std::vector<std::pair<int, TDateTime>> records;
    for (const TActRec& r : Journal()) {
      const TDateTime time = r.Time;  // an unaligned field, copied
      records.emplace_back(r.Action, time);
    }
    return records;
  }
  // A minute of work from 9:00:01, its Stop at 9:01:01 after the timeout,
  // away until 9:52:01 and back at 9:52:02.
  void WorkAwayAndBack() {
    Work(60);
    Quiet(601);
    Quiet(41 * 60);
    Work(1);
  }
  const std::string Away = "Away 9:01 AM to 9:52 AM (0:51)";
};

// A spell after an away time of at least AskAfter offers it in a balloon; a
// click deletes its Stop and the Start after it through the recorder's door,
// its Start still waiting for a held file included, and the running spell
// counts from the Start before. A second click changes nothing.
TEST_F(AwayTimeTest, AClickCountsTheAwayTimeAsWorkWithItsRecordsWaiting) {
  Begin();
  Work(60);
  Quiet(601);
  EXPECT_TRUE(view.balloons.empty());
  Quiet(41 * 60);
  platform::FailFileOperation(1, platform::FileFault::SharingViolation);
  Work(1);
  ASSERT_EQ(view.balloons, std::vector<std::string>{Away + ". Click here to count it as work."});
  ASSERT_EQ(recorder.Journal().Count(), 1u) << "the Start waits";
  EXPECT_EQ(view.tip, "Horalog\nToday 0:01\nThis week 0:01");

  recorder.KeepAwayTime(view.offers.back());
  EXPECT_EQ(view.log.back(), Away + " counted as work: its Stop and Start are deleted from hl.dat.");
  EXPECT_TRUE(recorder.Journal().Empty());
  ASSERT_EQ(Journal().size(), 1u);
  EXPECT_NEAR(Journal()[0].Time, At(9, 0, 1), Ms);
  EXPECT_EQ(view.tip, "Horalog\nToday 0:52\nThis week 0:52");
  Work(8 * 60);
  EXPECT_EQ(view.tip, "Horalog\nToday 1:00\nThis week 1:00");
  Quiet(601);
  const std::vector<TActRec> records = Journal();
  ASSERT_EQ(records.size(), 2u) << "one pair across";
  EXPECT_EQ(records[1].Action, ActionStop);
  EXPECT_EQ(view.tip, "Horalog\nToday 1:00\nThis week 1:00");

  recorder.KeepAwayTime(view.offers.back());
  EXPECT_EQ(view.log.back(), Away + " not counted as work: it counts already.");
  EXPECT_EQ(Journal().size(), 2u);
  EXPECT_EQ(view.balloons.size(), 1u);
}

// Only the latest away time, only while its Stop and Start are both in the
// file and no record lies between them, and not while they still wait for a
// file that fails: otherwise the click changes nothing and says why. A quiet
// spell shorter than AskAfter offers nothing.
TEST_F(AwayTimeTest, TheClickChangesNothingWhenTheJournalChangedAroundTheAwayTime) {
  Begin();
  WorkAwayAndBack();
  ASSERT_EQ(view.balloons.size(), 1u);
  // A Stop put in between by hand, as the database view's Insert does.
  auto rewrite = [this](const std::function<void(TActRecList&)>& change) {
    recorder.FileCommand(TFileCommand::Rewrites, [&] {
      TActRecList list;
      list.LoadFromFile(Data());
      change(list);
      list.SortByTime();
      list.SaveToFile(Data());
    });
  };
  rewrite([](TActRecList& list) { list.Add(MakeRecord(ActionStop, At(9, 30))); });
  auto before = Records();
  recorder.KeepAwayTime(view.offers[0]);
  EXPECT_EQ(view.log.back(), Away + " not counted as work: a record lies between its Stop and Start.");
  EXPECT_EQ(Records(), before);
  rewrite([](TActRecList& list) {
    list.MarkDeleted(1);  // the away time's Stop
    list.MarkDeleted(2);  // the one put in
  });
  before = Records();
  ASSERT_EQ(before.size(), 2u);
  recorder.KeepAwayTime(view.offers[0]);
  EXPECT_EQ(view.log.back(), Away + " not counted as work: its Stop or Start is no longer in hl.dat.");
  EXPECT_EQ(Records(), before);

  // A short quiet offers nothing; the next long one replaces the balloon,
  // and while its Start cannot be written the click keeps nothing.
  recorder.SetIdleSpan(OneMinute);
  Quiet(62);
  Quiet(60);
  Work(1);  // back at 9:54:05, 2 minutes after the Stop
  EXPECT_EQ(view.balloons.size(), 1u);
  Quiet(62);  // the Stop at 9:54:06
  Quiet(6 * 60);
  platform::FailFileOperation(1);
  Work(1);  // back at 10:01:08
  ASSERT_EQ(view.balloons.size(), 2u);
  const std::string newer = "Away 9:54 AM to 10:01 AM (0:07)";
  EXPECT_EQ(view.balloons[1], newer + ". Click here to count it as work.");
  before = Records();
  platform::FailFileOperation(1);
  recorder.KeepAwayTime(view.offers[1]);
  EXPECT_EQ(view.log.back(), newer + " not counted as work: its Stop and Start are not written to hl.dat yet.");
  EXPECT_EQ(Records(), before);
  recorder.KeepAwayTime(view.offers[1]);
  EXPECT_EQ(view.log.back(), newer + " counted as work: its Stop and Start are deleted from hl.dat.");
  ASSERT_EQ(before.size(), 5u);
  before.pop_back();
  EXPECT_EQ(Records(), before);
}

// No night, no weekend, nothing across the split between two working days
// and nothing longer than 12:00 is offered: a click on it would join days.
TEST_F(AwayTimeTest, OnlyAnAwayTimeWithinOneWorkingDayAndTwelveHoursIsOffered) {
  Begin();
  Work(60);
  source.Advance(static_cast<uint64_t>(std::llround((At(8, 10) + 1 - source.wall) * MSecsPerDay)));
  Work(60);  // Tuesday 8:10, after a night asleep
  Quiet(601);
  source.Advance(static_cast<uint64_t>(std::llround((At(23, 30) + 1 - source.wall) * MSecsPerDay)));
  Work(60);  // 23:30: the day's Stop at 8:11, a timeout after the last input
  Quiet(601);
  Quiet(25 * 60);
  Work(60);  // Wednesday 0:06, 25 minutes after the Stop at 23:41
  EXPECT_TRUE(view.balloons.empty()) << view.balloons.front();
  Quiet(601);
  source.Advance(static_cast<uint64_t>(std::llround((At(12, 30) + 2 - source.wall) * MSecsPerDay)));
  Work(60);  // 12:30, more than 12 hours after the Stop at 0:17 of the same day
  EXPECT_TRUE(view.balloons.empty()) << view.balloons.front();
  Quiet(601);
  Quiet(11 * 3600);
  Work(1);  // 11 hours: offered
  EXPECT_EQ(view.balloons.size(), 1u);
}

// A click acts on the away time its balloon named: an older one as well,
// and none when the click cannot tell which balloon it was. And it never
// leaves a spell that pairs with nothing: without a Start before the Stop,
// nothing is deleted.
TEST_F(AwayTimeTest, TheClickKeepsTheAwayTimeItsBalloonNamedAndNeverCountsLess) {
  Begin();
  WorkAwayAndBack();
  Work(60);
  Quiet(601);
  Quiet(20 * 60);
  Work(1);
  ASSERT_EQ(view.offers.size(), 2u);
  auto before = Records();
  ASSERT_EQ(before.size(), 5u);
  recorder.KeepAwayTime(std::nullopt);
  EXPECT_EQ(view.log.back(), "The notification clicked cannot be told from an older one: no away "
                             "time is counted as work.");
  EXPECT_EQ(Records(), before);
  recorder.KeepAwayTime(TAwayOffer{At(8, 0), At(8, 30)});
  EXPECT_EQ(view.log.back(),
            "Away 8:00 AM to 8:30 AM (0:30) not counted as work: it is offered no longer.");
  EXPECT_EQ(Records(), before);
  recorder.KeepAwayTime(view.offers[0]);
  EXPECT_EQ(view.log.back(), Away + " counted as work: its Stop and Start are deleted from hl.dat.");
  ASSERT_EQ(Records().size(), 3u);
  EXPECT_NEAR(Records()[1].second, view.offers[1].stop, Ms);
  EXPECT_EQ(view.tip, "Horalog\nToday 0:53\nThis week 0:53");

  // The Start before the newer away time deleted by hand: its click would
  // leave the running spell's Start gone and the Stop alone.
  recorder.FileCommand(TFileCommand::Rewrites, [&] {
    TActRecList list;
    list.LoadFromFile(Data());
    list.MarkDeleted(0);
    list.SaveToFile(Data());
  });
  before = Records();
  const std::string tip = view.tip;
  recorder.KeepAwayTime(view.offers[1]);
  EXPECT_EQ(view.log.back(), "Away 9:53 AM to 10:23 AM (0:30) not counted as work: the records "
                             "around it are no Start before and Stop after.");
  EXPECT_EQ(Records(), before);
  EXPECT_EQ(view.tip, tip);
}

// While the exit's question is open the file fails, and from the end of the
// session on the program ends: a click then changes nothing.
TEST_F(AwayTimeTest, AClickWhileTheExitAsksOrAfterTheEndChangesNothing) {
  Begin();
  WorkAwayAndBack();
  ASSERT_EQ(view.balloons.size(), 1u);
  const auto before = Records();
  ASSERT_EQ(before.size(), 3u);
  platform::FailFileOperation(1);
  view.answer = [this] {
    recorder.KeepAwayTime(view.offers.back());
    return false;
  };
  EXPECT_FALSE(recorder.Exit());
  EXPECT_EQ(view.log.back(), Away + " not counted as work: Horalog is exiting.");
  EXPECT_EQ(Records(), before);
  recorder.EndSession();
  const auto ended = Records();
  ASSERT_EQ(ended.size(), 4u);
  recorder.KeepAwayTime(view.offers.back());
  EXPECT_EQ(Records(), ended);
}

// While a spell runs, a quarter of an hour before a limit a notice says so,
// once a day and limit: six hours without a break from 9:00, and ten hours
// net after a break of half an hour, the deduction of the 9:00 step counted.
TEST_F(RecorderTest, ANoticeComesAQuarterOfAnHourBeforeEachLimitOnceADay) {
  THoursSettings settings;
  settings.breaks = {{6 * 3600, 30 * 60}, {9 * 3600, 45 * 60}};
  settings.maxStretch = 6 * 3600;
  settings.maxDay = 10 * 3600;
  recorder.SetHoursSettings(settings);
  Begin();
  Work(5 * 3600 + 44 * 60);  // the Start at 9:00:01
  EXPECT_TRUE(view.notices.empty());
  Work(2 * 60);
  ASSERT_EQ(view.notices, std::vector<std::string>{"5:45 without a break: a break is due by 3:00 PM"});
  Work(14 * 60);
  Quiet(30 * 60);  // the Stop at 15:00:01, a break of 0:30
  // 6:00 before, and from 15:30: net 9:45 at 10:00 worked, 19:30.
  Work(3 * 3600 + 59 * 60);
  EXPECT_EQ(view.notices.size(), 1u);
  Work(2 * 60);
  ASSERT_EQ(view.notices.size(), 2u);
  EXPECT_EQ(view.notices[1], "9:45 worked today: 10:00 is reached at 7:45 PM");
  EXPECT_TRUE(view.balloons.empty()) << "a notice offers nothing to keep";
  Work(60 * 60);
  EXPECT_EQ(view.notices.size(), 2u) << "once a day and limit";
}

}  // namespace
}  // namespace horalog
