// A week of a person's work in a minute: the recorder, on a fake clock and
// the file seam, through spells, lunch, sleep and waking, the clock stepped
// both ways, a journal held or failing at random file steps, edits of the
// database view, compactions, declined exits, exits and starts again, and
// the end of the session. After each day: every record is in the journal
// once, none is lost, each Start and Stop lies within 2 s of when the person
// began and stopped, and the tip's Today, This week and balance are what the
// report of each day alone shows. Some days run with every [Presence] key:
// calls (real, stale, past CallLimit), lone keystrokes and nudges across two
// ticks, the wheel under the pointer's slack, and clicks on the away time's
// balloon, at once, after an edit or the next morning. Every hour, beside the
// tip: no spell counts for nothing; at every click: no day counts less.
//
//   HORALOG_SOAK_DAYS=365 HORALOG_SOAK_SEED=7 horalog_unit_tests --gtest_filter=Soak.*
//   (make soak DAYS=365)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "RecorderSupport.h"
#include "TestSupport.h"
#include "data/ActRecList.h"
#include "data/Compaction.h"
#include "data/Errors.h"
#include "machines/MachineCopy.h"
#include "machines/MachineFolder.h"
#include "report/ReportBuilder.h"

namespace horalog {
namespace {

constexpr TDateTime Timeout = 10 * OneMinute;
const TDateTime FirstDay = ComposeDate(2026, 3, 2);  // a Monday
constexpr int64_t TargetSeconds = 8 * 3600;

int EnvNumber(const char* name, int otherwise) {
  const char* text = std::getenv(name);
  return text && *text ? std::atoi(text) : otherwise;
}

// What the journal must hold: the person's spells as the recorder's rules
// stamp them, from the truth of the script (when there was input, when the
// clock jumped, when the program ended, when a call went on), not from the
// recorder.
class Truth {
 public:
  std::vector<TActRec> records;
  // [Presence] as the recorder has it today: ConfirmStart's seconds (0 for
  // none) and CallLimit's.
  int confirmSeconds = 0;
  int64_t callLimitSeconds = TPresenceSettings::DefaultCallLimitSeconds;

  // A tick, with input or none (and the system's last-input moment then),
  // with a call or none. A quiet longer than the timeout (in the clock's
  // whole milliseconds) ends the spell where the quiet began; a touch after
  // the quiet waits for input at least 1.5 s and 1000 ms of moments later
  // within ConfirmStart; a call alone holds the spell for CallLimit at most,
  // and then counts no further until input comes or it ends.
  void Tick(TDateTime now, bool input, bool call, uint32_t moment) {
    if (!call || input) spent_ = false;
    if (spent_) call = false;
    if (!active_ && confirmSeconds > 0) {
      if (touch_ && Ms(now - touch_->at) > confirmSeconds * 1000) touch_.reset();
      if (input && !call) {
        if (!touch_) touch_ = Touch{now, moment};
        if (Ms(now - touch_->at) < 1500 || moment - touch_->moment < 1000) input = false;
      }
    } else {
      touch_.reset();
    }
    if (call && !input && active_) {
      const TDateTime since = std::max(lastInput_, spellStart_);
      if (Ms(now - since) > callLimitSeconds * 1000) {
        spent_ = true;
        End(since + OneSecond);
        return;
      }
    }
    if (input || call) {
      if (!active_) {
        spellStart_ = touch_ ? touch_->at : now;
        touch_.reset();
        records.push_back(MakeRecord(ActionStart, spellStart_));
        active_ = true;
      }
      lastActivity_ = now;
      if (input) lastInput_ = now;
    } else if (active_ && Ms(now - lastActivity_) > Ms(Timeout)) {
      End(lastActivity_);
    }
  }
  // Sleep, a step of the clock, the end of the session: at the last activity.
  void Break() {
    touch_.reset();
    if (active_) End(lastActivity_);
  }
  // The Start of the running spell moved by hand.
  void MoveStart(TDateTime from, TDateTime to) {
    for (TActRec& record : records)
      if (record.Action == ActionStart && std::fabs(record.Time - from) * 86400 <= 2.001)
        record.Time = to;
  }
  // An exit writes its Stop now, whatever the state; the program ends.
  void Exit(TDateTime now) {
    records.push_back(MakeRecord(ActionStop, now));
    active_ = false;
    touch_.reset();
    spent_ = false;
  }
  // A declined exit whose Stop may have reached the file: it stays, and a
  // running spell goes on from a Start a millisecond later.
  void DeclinedExitKept(TDateTime now) {
    records.push_back(MakeRecord(ActionStop, now));
    if (!active_) return;
    spellStart_ = now + 1.0 / MSecsPerDay;
    records.push_back(MakeRecord(ActionStart, spellStart_));
    lastActivity_ = std::max(lastActivity_, spellStart_);
  }
  // An away time counted as work: its Stop and the Start after it go, and
  // the running spell, when it is the one after it, runs from the Start
  // before.
  void Join(TDateTime stop, TDateTime start) {
    auto find = [this](uint8_t action, TDateTime time) {
      for (size_t i = 0; i < records.size(); ++i)
        if (records[i].Action == action && std::fabs(records[i].Time - time) * 86400 <= 2.001)
          return i;
      return records.size();
    };
    const size_t at = find(ActionStop, stop), next = find(ActionStart, start);
    ASSERT_LT(at, records.size()) << "the truth has no such Stop";
    ASSERT_LT(next, records.size()) << "the truth has no such Start";
    std::optional<TDateTime> before;
    for (const TActRec& record : records) {
      const TDateTime time = record.Time;  // by value: the packed record's stamp is unaligned
      if (record.Action == ActionStart && time < stop && (!before || time > *before)) before = time;
    }
    records.erase(records.begin() + static_cast<std::ptrdiff_t>(std::max(at, next)));
    records.erase(records.begin() + static_cast<std::ptrdiff_t>(std::min(at, next)));
    if (active_ && before && std::fabs(spellStart_ - start) * 86400 <= 2.001) spellStart_ = *before;
  }
  bool Active() const { return active_; }
  bool TouchWaits() const { return touch_.has_value(); }

 private:
  static int64_t Ms(TDateTime span) { return std::llround(span * MSecsPerDay); }
  void End(TDateTime at) {
    records.push_back(MakeRecord(ActionStop, at));
    active_ = false;
  }
  struct Touch {
    TDateTime at = 0;
    uint32_t moment = 0;
  };
  bool active_ = false;
  TDateTime lastActivity_ = 0, lastInput_ = 0, spellStart_ = 0;
  std::optional<Touch> touch_;
  bool spent_ = false;  // the call went past CallLimit
};

// The seconds of the totals the report of day alone shows under its heading.
int64_t WorkedByTheReport(const std::string& data, TDateTime day, TDateTime dayStart) {
  const TLocale english;
  const std::string heading =
      "<h3><font color=\"red\">" + FormatDateTime("dddd, mmmm dd yyyy", day, english) + "</font></h3>";
  bool under = false;
  int64_t total = 0;
  for (const std::string& line : BuildReportLines(data, day, day, english, dayStart)) {
    if (line.rfind("<h3>", 0) == 0) under = line == heading;
    int h = 0, m = 0, s = 0;
    if (under && std::sscanf(line.c_str(), "<p><b>Total time: %d:%d:%d", &h, &m, &s) == 3)
      total += h * 3600 + m * 60 + s;
  }
  return total;
}

std::string Listing(const std::vector<TActRec>& records) {
  std::string text;
  for (const TActRec& r : records)
    text += (r.Action == ActionStart ? "Start " : "Stop  ") +
            FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", r.Time, TLocale()) + "\n";
  return text;
}

class Soak : public ::testing::Test {
 protected:
  Soak() : random_(static_cast<uint32_t>(EnvNumber("HORALOG_SOAK_SEED", 20261208))) {
    for (int day = 1; day <= 5; ++day) settings_.weekdayTargets[static_cast<size_t>(day)] = TargetSeconds;
    settings_.balanceFrom = DayNumber(FirstDay);
    settings_.opening = 90 * 60;
    settings_.dayStart = 2.0 / 24;  // a working day from 2:00 to 2:00
    // A new contract from the second week's Thursday: 6:00 Monday to
    // Thursday, 4:00 on Friday; the first days keep their 8:00.
    TWeekTargets shorter;
    for (int day = 1; day <= 4; ++day) shorter[static_cast<size_t>(day)] = 6 * 3600;
    shorter[5] = 4 * 3600;
    settings_.datedTargets.emplace_back(DayNumber(FirstDay) + 10, shorter);
    // Vacation, a half day of it and sick days, worked on or not: each is
    // credited its target.
    const int64_t first = DayNumber(FirstDay);
    settings_.vacation = {{first + 3, first + 3, false}, {first + 8, first + 9, false},
                          {first + 15, first + 15, true}};
    settings_.sick = {{first + 4, first + 4, false}, {first + 9, first + 9, true}};
    source_.x = 400;  // the pointer is somewhere on the screen
  }
  void TearDown() override { platform::FailFileOperation(0); }

  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  // The program starts: a new recorder reads the journal; the pointer is
  // away from (0, 0), so its first tick starts a spell.
  void StartProgram() {
    recorder_ = std::make_unique<TRecorder>(source_, view_, dir_.Path(), locale_);
    recorder_->SetIdleSpan(Timeout);
    recorder_->SetHoursSettings(Settings());
    recorder_->SetPresenceSettings(presence_);
    recorder_->Start();
    firstTick_ = true;
  }
  void StopProgram() { recorder_.reset(); }

  // On some days breaks are deducted: the settings while they are.
  THoursSettings Settings() const {
    THoursSettings settings = settings_;
    if (breaksToday_) settings.breaks = {{6 * 3600, 30 * 60}, {9 * 3600, 45 * 60}};
    return settings;
  }
  void DeductBreaks(bool deduct) {
    breaksToday_ = deduct;
    if (recorder_) recorder_->SetHoursSettings(Settings());
  }

  // One second of the script, with or without input. Some ticks come late,
  // in a spell or in the quiet (a busy machine, a slow append, a short sleep):
  // a Stop still lies no more than a tick after the last input.
  void Second(bool input) {
    uint64_t late = Chance(0.0005) ? static_cast<uint64_t>(Between(2, 30)) * 1000 : 0;
    lateTicks_ += late > 0;
    late = std::max(late, std::exchange(nextLate_, 0));
    source_.Advance(1000 + late);
    if (held_ > 0) {
      --held_;
      platform::FailFileOperation(1, platform::FileFault::SharingViolation);
    }
    if (!recorder_) return;
    if (input) {
      // With the pointer's slack the input is the wheel now and then (the
      // pointer rests), or the pointer leaving the slack's box.
      if (presence_.pointerSlack > 0 && Chance(0.3)) {
        ++wheelTicks_;
      } else {
        source_.x += presence_.pointerSlack > 0 ? 5 : 1;
      }
      Moved(static_cast<uint32_t>(Between(1, 900)));
    }
    // The start-up is a touch of the pointer away from (0, 0), and none
    // with ConfirmStart.
    const bool seen =
        presence_.confirmStartSeconds > 0 ? input && !firstTick_ : input || firstTick_;
    firstTick_ = false;
    truth_.Tick(source_.wall, seen, presence_.calls && source_.call, moment_);
    recorder_->Tick();
    LookAtOffers();
  }
  // The system's last-input moment moves by ms past the tick's start.
  void Moved(uint32_t ms) {
    moment_ = static_cast<uint32_t>(source_.steady) + ms;
    source_.lastInput = moment_;
  }
  // A lone touch after the quiet, across two ticks, then the quiet again:
  // one keystroke (the key-up in the next tick) or one nudge shorter than a
  // second. Neither starts a spell.
  void LoneTouch() {
    const bool key = Chance(0.5);
    for (int half = 0; half < 2; ++half) {
      source_.Advance(half == 0 || !Chance(0.3) ? 1000 : 2500);  // the second tick late
      if (key) {
        source_.keyPressed = half == 0;
      } else {
        source_.x += 5;
      }
      if (half == 0) {
        Moved(20);
      } else {
        moment_ += 150;
        source_.lastInput = moment_;
      }
      truth_.Tick(source_.wall, true, presence_.calls && source_.call, moment_);
      recorder_->Tick();
    }
    ++loneTouches_;
  }
  void Seconds(int n, bool input) {
    for (int i = 0; i < n; ++i) Second(input && !Chance(0.2));
  }

  // ---- Away time kept ------------------------------------------------------

  // A new balloon's away time is clicked at once, or later (after an edit,
  // or the next morning, across the day's split), or never.
  void LookAtOffers() {
    if (view_.offers.size() <= offersSeen_) return;
    offersSeen_ = view_.offers.size();
    const double choice = std::uniform_real_distribution<double>(0, 1)(random_);
    if (choice < 0.5) {
      Click(view_.offers.back());
    } else if (choice < 0.8) {
      pendingClick_ = view_.offers.back();
    }
  }
  void ClickPending() {
    if (pendingClick_ && recorder_) Click(*std::exchange(pendingClick_, std::nullopt));
  }
  // The click: no day from the away time's on counts less after it.
  void Click(const TAwayOffer& offer) {
    const int64_t from = WorkDayOf(offer.stop, settings_.dayStart) - 1;
    const int64_t through = WorkDayOf(source_.wall, settings_.dayStart);
    auto hours = [&] {
      std::map<int64_t, int64_t> days;
      std::optional<TRunningSpell> running;
      if (const std::optional<TSpell> spell = recorder_->Detector().Running())
        running = TRunningSpell{spell->lastActivity};
      for (int64_t day = from; day <= through; ++day)
        days[day] = recorder_->Hours().Worked(day, running);
      return days;
    };
    const bool known = recorder_->HoursCurrent();
    const std::map<int64_t, int64_t> before = hours();
    const size_t lines = view_.log.size();
    recorder_->KeepAwayTime(offer);
    ++clicks_;
    ASSERT_GT(view_.log.size(), lines) << "a click without its line";
    const std::string& said = view_.log.back();
    if (said.find(" counted as work: its Stop and Start are deleted") != std::string::npos) {
      truth_.Join(offer.stop, offer.start);
      ++clicksKept_;
      // The days of the away time read anew at the day's check.
      for (int64_t day = from; day <= through; ++day) worked_.erase(day);
    }
    if (!known || !recorder_->HoursCurrent()) return;
    const std::map<int64_t, int64_t> after = hours();
    for (const auto& [day, seconds] : before)
      ASSERT_GE(after.at(day), seconds) << "a click lowered the hours of day " << day << ": "
                                        << view_.log.back();
  }

  // No spell counts for nothing: the days of each pair of a Start and the
  // Stop after it count at least its length. (Spells across more than one
  // split are left to the hours' own tests.)
  void CheckSpellsCount() {
    if (!recorder_ || !recorder_->Journal().Empty() || !recorder_->HoursCurrent()) return;
    const std::vector<TActRec> records = RecordsOnDisk();
    TWorkTotals fresh(settings_.dayStart);
    for (const TActRec& record : records) fresh.Take(record);
    for (size_t i = 0; i + 1 < records.size(); ++i) {
      const TActRec &start = records[i], &stop = records[i + 1];
      if (start.Action != ActionStart || stop.Action != ActionStop || start.Time < FirstDay ||
          stop.Time <= start.Time)
        continue;
      const int64_t first = WorkDayOf(start.Time, settings_.dayStart);
      const int64_t last = WorkDayOf(stop.Time, settings_.dayStart);
      if (last - first > 1) continue;
      int64_t counted = 0;
      for (int64_t day = first; day <= last; ++day) counted += fresh.Worked(day);
      const TDateTime from = start.Time, to = stop.Time;  // unaligned fields
      ASSERT_GE(counted + 2 * (last - first + 1), std::llround((to - from) * 86400))
          << "a spell counts for nothing:\n" << Listing({start, stop});
    }
    ++spellChecks_;
  }

  // ---- What happens in a day besides the work ----------------------------

  void StepClock(TDateTime step) {
    source_.wall += step;
    if (recorder_) truth_.Break();
  }
  void Sleep(int minutes) {
    source_.Advance(static_cast<uint64_t>(minutes) * 60000);
    if (recorder_) truth_.Break();
  }
  // A record of an old day put in by hand, or one of them deleted, or the
  // running spell's Start moved earlier, in the database view: the waiting
  // records first, the hours afresh after.
  void EditInTheView() {
    // The view sorts the whole file: days out of time order read anew.
    worked_.clear();
    const std::optional<TSpell> spell = recorder_->Detector().Running();
    std::optional<TDateTime> movedTo;
    try {
      recorder_->FileCommand(TFileCommand::Rewrites, [&] {
        TActRecList list;
        list.LoadFromFile(Data());
        if (spell && Chance(0.5)) {
          for (int i = list.Count() - 1; i >= 0; --i) {
            TActRec& start = list.Items(i);
            if (start.Action != ActionStart || start.Time != spell->start) continue;
            // Earlier, but after the record before it.
            TDateTime earlier = Between(1, 20) * OneMinute;
            if (i > 0) earlier = std::min(earlier, (start.Time - list.Items(i - 1).Time) / 2);
            movedTo = start.Time - earlier;
            start.Time = *movedTo;
            list.SaveToFile(Data());
            return;
          }
        }
        int old = -1;
        for (int i = 0; i < list.Count(); ++i)
          if (list.Items(i).Time < FirstDay - 20) old = i;
        if (old >= 0 && Chance(0.4)) {
          list.MarkDeleted(old);
        } else {
          list.Add(MakeRecord(static_cast<uint8_t>(Between(0, 1)),
                              FirstDay - 30 + Between(0, 9) + 0.5));
        }
        list.SortByTime();
        list.SaveToFile(Data());
      });
    } catch (const Error&) {
      ++failedCommands_;  // as the window's command would be: told, and the file is the old one or the new
    }
    if (!movedTo) return;
    // What the file holds now is what the person did: the Start moved, if
    // the rewrite went through.
    for (const TActRec& record : RecordsOnDisk())
      if (record.Action == ActionStart && record.Time == *movedTo) {
        truth_.MoveStart(spell->start, *movedTo);
        ++startsMoved_;
        break;
      }
  }

  // The journal's records as the disk holds them, read past the file seam
  // (and so past any failure armed in it).
  std::vector<TActRec> RecordsOnDisk() const {
    std::vector<TActRec> records;
    std::FILE* file = std::fopen(Data().c_str(), "rb");
    if (!file) return records;
    TActRec record;
    while (std::fread(&record, 1, sizeof record, file) == sizeof record) records.push_back(record);
    std::fclose(file);
    return records;
  }

  // Between the readings of the whole journal the tip is kept up to date from
  // the records the recorder takes: it says what a fresh reading of the
  // journal says once the running spell's Stop is written at its last
  // activity.
  void CheckKeptTip() {
    if (!recorder_ || !recorder_->Journal().Empty() || !recorder_->HoursCurrent()) return;
    TWorkTotals fresh(settings_.dayStart, true);
    for (const TActRec& record : RecordsOnDisk()) fresh.Take(record);
    if (const std::optional<TSpell> spell = recorder_->Detector().Running())
      fresh.Take(MakeRecord(ActionStop, spell->lastActivity));
    const std::string expected = WorkHoursTip(
        "Horalog", HoursAt(fresh, Settings(), source_.wall, locale_.firstDayOfWeek));
    breakChecks_ += breaksToday_;
    ASSERT_EQ(recorder_->TipText(), expected) << "the tip as kept, at " << source_.wall;
    ++tipChecks_;
  }
  void Compact() {
    try {
      recorder_->FileCommand(TFileCommand::Rewrites, [this] { CompactDataFile(dir_.Path()); });
    } catch (const Error&) {
      ++failedCommands_;
    }
  }
  // Exit while the journal cannot be written, answered No: the Stop fails at
  // the open (and goes) or at the flush (and may be in the file). While
  // records wait, or the file is held, the open fails. Now and then a second
  // exit comes while the question waits (a close from another program).
  void DeclinedExit() {
    const bool waiting = !recorder_->Journal().Empty() || held_ > 0;
    // The hours read now, so that the exit's write is the first file work.
    platform::FailFileOperation(0);
    recorder_->ReadHours();
    const bool atFlush = !waiting && Chance(0.5);
    const bool secondExit = Chance(0.3);
    view_.answer = [this, secondExit] {
      if (secondExit) {
        EXPECT_FALSE(recorder_->Exit()) << "a second exit inside the first";
        ++secondExits_;
      }
      return false;
    };
    // open, size, seek, write, then the flush
    platform::FailFileOperation(atFlush ? 5 : 1, waiting ? platform::FileFault::SharingViolation
                                                         : platform::FileFault::DeviceError);
    const TDateTime now = source_.wall;
    EXPECT_FALSE(recorder_->Exit());
    platform::FailFileOperation(0);
    if (atFlush) truth_.DeclinedExitKept(now);
    ++declinedExits_;
    declinedWaiting_ += waiting;
  }
  // An exit with a journal that can be written: nothing waits after it.
  void ExitAndLaterStart(int minutesAway) {
    held_ = 0;
    platform::FailFileOperation(0);
    const size_t asked = view_.questions.size();
    truth_.Exit(source_.wall);
    EXPECT_TRUE(recorder_->Exit());
    EXPECT_EQ(view_.questions.size(), asked);
    StopProgram();
    Seconds(minutesAway * 60, true);
    StartProgram();
    ++restarts_;
  }
  // The session ends, the file perhaps held for its first two attempts.
  void EndSession() {
    held_ = 0;
    platform::FailFileOperation(0);
    int held = Chance(0.5) ? 1 : 0;
    source_.onPause = [&held] {
      if (held-- > 0) platform::FailFileOperation(1, platform::FileFault::SharingViolation);
    };
    if (held > 0) platform::FailFileOperation(1, platform::FileFault::SharingViolation);
    truth_.Break();
    recorder_->EndSession();
    source_.onPause = nullptr;
    platform::FailFileOperation(0);
    StopProgram();
    ++sessionEnds_;
  }

  // ---- A day --------------------------------------------------------------

  void Day(int index) {
    const TDateTime morning = FirstDay + index + 7.0 / 24;
    // The night: the machine slept, and the time service set the clock right.
    const TDateTime night = morning - source_.wall;
    source_.steady += static_cast<uint64_t>(std::llround(night * MSecsPerDay));
    source_.wall = morning;
    if (recorder_) truth_.Break();
    // Some days with every [Presence] key.
    presence_ = {};
    if (Chance(0.4)) {
      presence_.calls = true;
      presence_.confirmStartSeconds = Between(3, 10);
      presence_.pointerSlack = 3;
      presence_.askAfterSeconds = 15 * 60;
      presence_.callLimitSeconds = Between(1, 3) * 30 * 60;
      ++presenceDays_;
    }
    truth_.confirmSeconds = presence_.confirmStartSeconds;
    truth_.callLimitSeconds = presence_.callLimitSeconds;
    if (recorder_) recorder_->SetPresenceSettings(presence_);
    if (!recorder_) StartProgram();
    DeductBreaks(Chance(0.4));
    ClickPending();  // yesterday's away time, across the split

    const int before = Between(0, 90) * 60;  // before the person comes
    Seconds(before / 2, false);
    if (presence_.confirmStartSeconds > 0 && before >= 120 && !truth_.Active() &&
        !truth_.TouchWaits())
      LoneTouch();
    Seconds(before - before / 2, false);
    // Events at random moments of the working day, by minute.
    std::multimap<int, char> events;
    auto at = [&](char what) { events.emplace(Between(10, 540), what); };
    if (Chance(0.3)) at('b');  // the clock back an hour
    if (Chance(0.2)) at('f');  // the clock on an hour
    if (Chance(0.25)) at('h');  // the file held for minutes
    if (Chance(0.6)) at('x');  // one file operation fails
    if (Chance(0.5)) at('v');
    if (Chance(0.2)) at('c');
    if (Chance(0.4)) at('d');
    if (Chance(0.2)) at('r');
    if (Chance(0.1)) at('s');  // the session ends at midday; the program starts again
    if (presence_.calls && Chance(0.5)) at('C');

    const int lunch = Between(180, 300), lunchLength = Between(30, 70);
    const bool lunchAsleep = Chance(0.5);
    int minute = 0;
    for (auto event = events.begin(); minute < 600; ++minute) {
      // A second between two events: no two exits are stamped alike.
      for (; event != events.end() && event->first <= minute; ++event) {
        Second(false);
        Happen(event->second);
      }
      if (minute == lunch) {
        if (lunchAsleep) {
          Sleep(lunchLength);
        } else {
          Seconds(lunchLength * 60, false);
        }
        minute += lunchLength;
        continue;
      }
      // Work, with a pause now and then: short ones, or a break past the timeout.
      if (Chance(0.03)) {
        Seconds(Chance(0.7) ? Between(1, 7) * 60 : Between(12, 25) * 60, false);
        continue;
      }
      Seconds(60, true);
      if (minute % 60 == 0) {
        CheckKeptTip();
        CheckSpellsCount();
      }
    }
    Seconds(20 * 60, false);  // gone home
    // A call left open by a program that lost its power: it starts a spell
    // and holds it for CallLimit, no longer.
    if (recorder_ && presence_.calls && Chance(0.5)) {
      source_.call = "chrome.exe";
      Seconds(static_cast<int>(presence_.callLimitSeconds) + Between(5, 40) * 60, false);
      source_.call.reset();
      ++staleCalls_;
    }
    // Now and then a night shift: back at 1:30, working past the split at 2:00.
    if (recorder_ && Chance(0.15)) {
      Sleep(static_cast<int>(std::lround((FirstDay + index + 1 + 1.5 / 24 - source_.wall) * 1440)));
      Seconds(Between(40, 80) * 60, true);
      Seconds(20 * 60, false);
      ++nightShifts_;
    }
    if (recorder_ && Chance(0.4)) EndSession();
    // The day's check counts without breaks.
    DeductBreaks(false);
    Check(index);
  }

  void Happen(char what) {
    switch (what) {
      case 'b':
        // An hour back, or seconds back within a tick held up by a slow append.
        if (Chance(0.5)) {
          StepClock(-1.0 / 24);
        } else {
          StepClock(-Between(3, 25) * OneSecond);
          nextLate_ = 30000;
        }
        break;
      case 'f':
        // An hour on, or minutes or seconds on, shorter than the timeout.
        StepClock(Chance(0.5) ? 1.0 / 24 : Between(3, 300) * OneSecond);
        ++forwardSteps_;
        break;
      case 'h': held_ = Between(60, 600); break;
      case 'x':
        platform::FailFileOperation(Between(1, 8), Chance(0.5) ? platform::FileFault::SharingViolation
                                                               : platform::FileFault::DeviceError);
        break;
      default: break;
    }
    if (!recorder_) return;
    switch (what) {
      case 'v':
        EditInTheView();
        ClickPending();
        break;
      case 'C':
        // A call at the desk, without input, perhaps longer than CallLimit.
        source_.call = "Teams.exe";
        Seconds(Between(10, 80) * 60, false);
        source_.call.reset();
        ++calls_;
        break;
      case 'c': Compact(); break;
      case 'd': DeclinedExit(); break;
      case 'h':
        // Now and then the exit comes while the file is held and records wait.
        if (Chance(0.4)) {
          Seconds(Between(5, 60), true);
          DeclinedExit();
        }
        break;
      case 'r': ExitAndLaterStart(Between(1, 20)); break;
      case 's':
        EndSession();
        Seconds(Between(1, 10) * 60, true);
        StartProgram();
        ++restarts_;
        break;
      default: break;
    }
  }

  // ---- After each day -------------------------------------------------------

  void Check(int index) {
    SCOPED_TRACE("day " + std::to_string(index + 1));
    held_ = 0;
    platform::FailFileOperation(0);
    if (recorder_) {
      recorder_->FileCommand(TFileCommand::Reads, [] {});
      ASSERT_TRUE(recorder_->Journal().Empty()) << "records still wait";
    }

    // Every record once, none lost, each within 2 s of the truth.
    std::vector<TActRec> mine, theirs = truth_.records;
    for (const TActRec& record : test::ReadJournal(Data()))
      if (record.Time >= FirstDay - 1) mine.push_back(record);
    auto bytesLess = [](const TActRec& a, const TActRec& b) {
      return std::memcmp(&a, &b, sizeof(TActRec)) < 0;
    };
    std::sort(mine.begin(), mine.end(), bytesLess);
    for (size_t i = 1; i < mine.size(); ++i)
      twice_ += std::memcmp(&mine[i - 1], &mine[i], sizeof(TActRec)) == 0;
    auto byActionAndTime = [](const TActRec& a, const TActRec& b) {
      return a.Action != b.Action ? a.Action < b.Action : a.Time < b.Time;
    };
    std::sort(mine.begin(), mine.end(), byActionAndTime);
    std::sort(theirs.begin(), theirs.end(), byActionAndTime);
    if (mine.size() < theirs.size()) lost_ = theirs.size() - mine.size();
    ASSERT_EQ(twice_, 0u) << "a record written twice";
    ASSERT_EQ(mine.size(), theirs.size()) << "records in the journal and in the truth:\n"
                                          << Listing(mine) << "and\n" << Listing(theirs);
    for (size_t i = 0; i < mine.size(); ++i) {
      ASSERT_EQ(mine[i].Action, theirs[i].Action);
      const double off = std::fabs(mine[i].Time - theirs[i].Time) * 86400;
      worst_ = std::max(worst_, off);
      ASSERT_LE(off, 2.001) << "a record " << off << " s away from the truth";
    }
    records_ = mine.size();

    // The tip: the report of each day alone, today's, the week's and the
    // balance's days.
    if (!recorder_) StartProgram();
    recorder_->ReadHours();
    const int64_t today = WorkDayOf(source_.wall, settings_.dayStart);
    for (int64_t day = DayNumber(FirstDay); day <= today; ++day)
      if (day >= today - 1 || !worked_.count(day))
        worked_[day] = WorkedByTheReport(Data(), static_cast<TDateTime>(day), settings_.dayStart);
    const int64_t weekStart =
        DayNumber(WeekStart(static_cast<TDateTime>(today), locale_.firstDayOfWeek));
    // A spell across the split counts its part in each day, beside the page.
    const test::SplitParts parts = test::PartsAcrossSplits(RecordsOnDisk(), settings_.dayStart);
    int64_t week = 0, balance = settings_.opening;
    for (auto [day, seconds] : worked_) {
      seconds += parts.Of(day);
      if (day >= weekStart && day < weekStart + 7) week += seconds;
      const int64_t over = seconds + settings_.Credit(day) - settings_.Target(day);
      if (day < today) balance += over;
      if (day == today) balance += std::max<int64_t>(0, over);
    }
    const std::string expected = "Horalog\nToday " + HoursText(worked_[today] + parts.Of(today)) + "\nThis week " +
                                 HoursText(week) + "\nBalance " + SignedHoursText(balance);
    ASSERT_EQ(recorder_->TipText(), expected);
  }

  std::string Data() const { return dir_.Path(DataFileBaseName); }
  int CallLimitsHit() const {
    return static_cast<int>(
        std::count_if(view_.log.begin(), view_.log.end(), [](const std::string& line) {
          return line.find("counts no further until input comes") != std::string::npos;
        }));
  }

  test::ScratchDir dir_;
  test::FakeSource source_;
  test::FakeView view_;
  TLocale locale_;
  THoursSettings settings_;
  std::unique_ptr<TRecorder> recorder_;
  Truth truth_;
  std::mt19937 random_;
  // The seconds of each day by its own report; only today's and yesterday's
  // change, unless the view sorts the file.
  std::map<int64_t, int64_t> worked_;
  TPresenceSettings presence_;
  uint32_t moment_ = 0;                      // the system's last-input moment
  size_t offersSeen_ = 0;
  std::optional<TAwayOffer> pendingClick_;
  bool firstTick_ = false;
  int held_ = 0;
  uint64_t nextLate_ = 0;  // the next tick comes this late
  size_t records_ = 0, lost_ = 0, twice_ = 0;
  int failedCommands_ = 0, declinedExits_ = 0, restarts_ = 0, sessionEnds_ = 0;
  int declinedWaiting_ = 0, secondExits_ = 0, startsMoved_ = 0, forwardSteps_ = 0, lateTicks_ = 0,
      tipChecks_ = 0, nightShifts_ = 0, breakChecks_ = 0;
  bool breaksToday_ = false;
  int presenceDays_ = 0, loneTouches_ = 0, wheelTicks_ = 0, calls_ = 0, staleCalls_ = 0,
      clicks_ = 0, clicksKept_ = 0, spellChecks_ = 0;
  double worst_ = 0;
};

TEST_F(Soak, AWeekOfWork) {
  const int days = EnvNumber("HORALOG_SOAK_DAYS", 7);
  source_.wall = FirstDay;
  for (int day = 0; day < days && !HasFatalFailure(); ++day) Day(day);
  std::printf("soak: %d days, %zu records, %zu lost, %zu twice, worst stamp %.1f s "
              "(%d declined exits, %d of them while records waited, %d second exits inside, "
              "%d starts again, %d session ends, %d commands failed, %d running Starts moved, "
              "%d forward steps, %d late ticks, %d night shifts across the split, "
              "%d tips checked as kept, %d of them net of breaks)\n"
              "soak with presence: %d days, %d lone touches, %d wheel ticks, %d calls, "
              "%d stale calls, %d calls past their limit, %d clicks, %d of them kept, "
              "%d hourly checks of spells\n",
              days, records_, lost_, twice_, worst_, declinedExits_, declinedWaiting_,
              secondExits_, restarts_, sessionEnds_, failedCommands_, startsMoved_,
              forwardSteps_, lateTicks_, nightShifts_, tipChecks_, breakChecks_, presenceDays_,
              loneTouches_, wheelTicks_, calls_, staleCalls_, CallLimitsHit(), clicks_,
              clicksKept_, spellChecks_);
  EXPECT_EQ(twice_, 0u);
}

// ---- Several machines through a sync service ---------------------------------
//
//   HORALOG_SOAK_MACHINES=3 HORALOG_SOAK_DAYS=365 horalog_unit_tests
//     --gtest_filter=Soak.SeveralMachines*   (make soak MACHINES=3 DAYS=365)
//
// Recorders on fake clocks, each with its folder of [Machines] of its own,
// which a fake sync service keeps alike: it carries each changed copy to the
// other folders after a lag of minutes to hours, sometimes in pieces, leaves
// conflicted copies, and now and then brings back an earlier version. On the
// way a machine's Name= changes, one machine's folder is copied to a new
// computer (a clone with the same GUID, name and journal), a clock is set
// back an hour, one machine's zone goes through summer time's end (with work
// on both passes of the repeated hour) and its start, and one machine takes
// trips to a zone six hours west. Every hour at which the service has carried
// all and nobody works, and at the end of each day once it has, each
// machine's hours of its day are an independent count of all journals at the
// true moments, in its own local time: each machine as its own tip counts
// it, their union by the second (see the zones at the end of the file).

// What the service knows of a file in a folder.
struct TSyncedFile {
  platform::TFileStamp stamp;
  test::Bytes bytes;
};

class FakeSyncService {
 public:
  explicit FakeSyncService(std::mt19937& random) : random_(random) {}
  void Add(const std::string& folder) {
    folders_.push_back(folder);
    Scan(folders_.size() - 1, 0, false);
  }
  // Carries what is due at second now: what changed in a folder goes to the
  // others, each after a lag of its own, in order.
  void Run(uint64_t now) {
    for (size_t i = 0; i < folders_.size(); ++i) Scan(i, now, true);
    for (auto it = pending_.begin(); it != pending_.end();) {
      if (it->due > now) {
        ++it;
        continue;
      }
      Deliver(*it);
      lastDelivered_ = now;
      it = pending_.erase(it);
    }
  }
  // Everything on its way arrives.
  void Flush(uint64_t now) {
    Run(now);
    while (!pending_.empty()) Run(pending_.front().due + Latest());
  }
  // An earlier version of a machine's copy comes back into its own folder
  // (a restore in the service), and so to every folder.
  void BringBack(size_t folder) {
    std::vector<std::string> names;
    for (const auto& [key, versions] : history_)
      if (key.first == folder && versions.size() > 2) names.push_back(key.second);
    if (names.empty()) return;
    const std::string& name = names[random_() % names.size()];
    const std::vector<test::Bytes>& versions = history_[{folder, name}];
    // Into its folder, made again when it went.
    const std::string path = folders_[folder] + name;
    platform::MakeFolders(std::filesystem::path(path).parent_path().string() + "/");
    test::WriteBytes(path, versions[versions.size() - 2]);
    ++broughtBack;
  }
  int carried = 0, pieces = 0, conflicts = 0, broughtBack = 0;
  // Whether all has been carried, none of it in the last two minutes.
  bool Idle(uint64_t now) {
    Run(now);
    return pending_.empty() && now >= lastDelivered_ + 120;
  }

 private:
  struct TDelivery {
    size_t to;
    std::string name;
    std::optional<test::Bytes> bytes;  // nothing: deleted
    uint64_t due;
  };
  uint64_t Latest() const {
    uint64_t latest = 0;
    for (const TDelivery& delivery : pending_) latest = std::max(latest, delivery.due);
    return latest;
  }
  // The files the service carries: machines' copies, and every file in a
  // folder within (what a copy keeps beside it), by their paths in folder.
  static std::vector<std::string> Carried(const std::string& folder) {
    std::vector<std::string> names;
    for (const std::string& name : platform::FolderFileNames(folder))
      if (MachineOfFileName(name)) names.push_back(name);
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (!entry.is_directory()) continue;
      const std::string sub = entry.path().filename().string();
      for (const std::string& name : platform::FolderFileNames(folder + sub + "/"))
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".tmp") != 0)
          names.push_back(sub + "/" + name);
    }
    return names;
  }
  // The changes of folder i since the last scan, sent on unless they came
  // from the service.
  void Scan(size_t i, uint64_t now, bool send) {
    std::map<std::string, TSyncedFile>& known = files_[i];
    std::vector<std::string> present;
    for (const std::string& name : Carried(folders_[i])) {
      const std::optional<platform::TFileStamp> stamp = platform::FileStamp(folders_[i] + name);
      if (!stamp) continue;
      present.push_back(name);
      const auto found = known.find(name);
      // A file written again within the clock's grain keeps its stamp: as a
      // service that is told of each write, the small files are compared.
      if (found != known.end() && found->second.stamp == *stamp && stamp->size > 4096) continue;
      test::Bytes bytes = test::ReadBytes(folders_[i] + name);
      const bool same = found != known.end() && found->second.bytes == bytes;
      known[name] = {*stamp, bytes};
      if (same) continue;
      history_[{i, name}].push_back(bytes);
      if (send) Send(i, name, bytes, now);
    }
    for (auto it = known.begin(); it != known.end();) {
      if (std::find(present.begin(), present.end(), it->first) != present.end()) {
        ++it;
        continue;
      }
      if (send) Send(i, it->first, std::nullopt, now);
      it = known.erase(it);
    }
  }
  void Send(size_t from, const std::string& name, const std::optional<test::Bytes>& bytes,
            uint64_t now) {
    for (size_t to = 0; to < folders_.size(); ++to) {
      if (to == from) continue;
      // Mostly minutes; now and then hours. In order, file by file.
      uint64_t lag = 60 + random_() % 600;
      if (random_() % 20 == 0) lag = 3600 + random_() % (3 * 3600);
      uint64_t due = now + lag;
      for (const TDelivery& delivery : pending_)
        if (delivery.to == to && delivery.name == name) due = std::max(due, delivery.due + 1);
      if (bytes && bytes->size() > RecordSize && random_() % 10 == 0) {
        // In pieces: the first part a minute before the rest.
        const size_t part = 1 + random_() % (bytes->size() - 1);
        pending_.push_back({to, name, test::Bytes(bytes->begin(), bytes->begin() + part), due});
        due += 60;
        ++pieces;
      }
      pending_.push_back({to, name, bytes, due});
    }
  }
  void Deliver(const TDelivery& delivery) {
    const std::string path = folders_[delivery.to] + delivery.name;
    if (!delivery.bytes) {
      platform::RemoveFile(path);
    } else {
      platform::MakeFolders(std::filesystem::path(path).parent_path().string() + "/");
      if (random_() % 25 == 0 && platform::FileFound(path)) {
        // The version it replaces, kept beside as a conflicted copy.
        const std::string stem = delivery.name.substr(0, delivery.name.size() - 4);
        test::WriteBytes(folders_[delivery.to] + stem + " (conflicted copy " +
                             std::to_string(++conflicts) + ").dat",
                         test::ReadBytes(path));
      }
      test::WriteBytes(path, *delivery.bytes);
      ++carried;
    }
    // What the service wrote is no change of that folder's machine.
    std::map<std::string, TSyncedFile>& known = files_[delivery.to];
    if (const std::optional<platform::TFileStamp> stamp = platform::FileStamp(path)) {
      known[delivery.name] = {*stamp, *delivery.bytes};
    } else {
      known.erase(delivery.name);
    }
  }

  std::mt19937& random_;
  std::vector<std::string> folders_;
  std::map<size_t, std::map<std::string, TSyncedFile>> files_;
  std::map<std::pair<size_t, std::string>, std::vector<test::Bytes>> history_;
  std::vector<TDelivery> pending_;
  uint64_t lastDelivered_ = 0;
};

// The machines' clocks in their zones, and the count at the true moments:
// at the end of the file.
struct TFakeZone;
std::shared_ptr<TFakeZone> DeskZone(TDateTime utc);
TZoneClock ZoneClockOf(const std::shared_ptr<TFakeZone>& zone);
void ZoneTick(TFakeZone& zone, test::FakeSource& clock, uint32_t ms, bool moving);
void WatchJournal(TFakeZone& zone, const std::string& dataPath);

// The files of a folder and of the folders in it copied to another, as a
// copied program folder holds them (through the seam's file calls, which
// the Windows build's library copy of folders does not match under Wine).
void CopyFolderTree(const std::string& from, const std::string& to) {
  platform::MakeFolders(to);
  for (const std::string& name : platform::FolderFileNames(from))
    test::WriteBytes(to + name, test::ReadBytes(from + name));
  for (const auto& entry : std::filesystem::directory_iterator(from)) {
    if (!entry.is_directory()) continue;
    const std::string sub = entry.path().filename().string() + "/";
    CopyFolderTree(from + sub, to + sub);
  }
}

// One machine of the soak: its journal, its folder, its recorder.
struct TSoakMachine {
  TSoakMachine(const std::string& itsName, const std::string& itsIdentity,
               std::shared_ptr<TFakeZone> itsZone)
      : name(itsName), identity(itsIdentity), zone(std::move(itsZone)) {
    ZoneTick(*zone, clock, 0, false);
    platform::MakeFolders(folder.Path());
  }
  void Begin() {
    recorder = std::make_unique<TRecorder>(clock, view, dir.Path(), locale);
    recorder->SetMachinesZone(ZoneClockOf(zone));
    recorder->SetMachinesSettings({folder.Path(), name, identity, "PC-" + identity.substr(0, 4)});
    recorder->Start();
  }
  void Tick(uint32_t ms, bool moving) {
    ZoneTick(*zone, clock, ms, moving);
    if (moving) clock.x += 3;
    recorder->Tick();
    WatchJournal(*zone, dir.Path(DataFileBaseName));
  }

  std::string name, identity;
  test::ScratchDir dir, folder{"folder"};
  test::FakeSource clock;
  test::FakeView view;
  TLocale locale;
  std::unique_ptr<TRecorder> recorder;
  std::shared_ptr<TFakeZone> zone;
};

// The independent count of a day of viewer's local time: each journal's
// spells as its own tip counts them, at their true moments by its machine's
// zones, in viewer's local time; then by the second how many of one
// machine's spells hold it.
int64_t CountOfAll(const std::vector<std::unique_ptr<TSoakMachine>>& machines, size_t viewer,
                   int64_t day);
// The zones' spells of the day, in seconds of the desk's day, and their
// events; each machine's tip against the count when all is carried and
// nobody worked for a while (the number checked).
void AddZoneSpells(const TFakeZone& zone, int day, std::vector<std::pair<int, int>>& spells);
void StepZoneClock(TFakeZone& zone, test::FakeSource& clock, TDateTime step);
int CheckTipsAtTheHour(const std::vector<std::unique_ptr<TSoakMachine>>& machines,
                       FakeSyncService& service, uint64_t second);
std::string ZoneFigures(const std::vector<std::unique_ptr<TSoakMachine>>& machines);
std::shared_ptr<TFakeZone> SummerZone(TDateTime utc, int days);
std::shared_ptr<TFakeZone> TripZone(TDateTime utc, int days);
TDateTime ZoneUtc(const TFakeZone& zone);

TEST_F(Soak, SeveralMachinesThroughASyncService) {
  const int count = std::max(2, EnvNumber("HORALOG_SOAK_MACHINES", 3));
  const int days = EnvNumber("HORALOG_SOAK_DAYS", 3);
  std::mt19937 random(static_cast<uint32_t>(EnvNumber("HORALOG_SOAK_SEED", 20261208)));
  FakeSyncService service(random);
  std::vector<std::unique_ptr<TSoakMachine>> machines;
  // The desk's zone is UTC+1; one machine's has summer time, one travels.
  const TDateTime utc = FirstDay - 1.0 / 24;
  const int summer = 1, trip = count >= 3 ? 2 : 0;
  for (int i = 0; i < count; ++i) {
    char identity[40];
    std::snprintf(identity, sizeof identity, "%08x-0000-4000-8000-%012x", 0x1000 + i, i);
    machines.push_back(std::make_unique<TSoakMachine>(
        "M" + std::to_string(i), identity,
        i == summer ? SummerZone(utc, days) : i == trip ? TripZone(utc, days) : DeskZone(utc)));
    service.Add(machines.back()->folder.Path());
    machines.back()->Begin();
  }
  uint64_t second = 0;
  int checks = 0, hourly = 0, renames = 0, clones = 0, clockSteps = 0;
  int64_t worked = 0;
  for (int day = 0; day < days && !HasFatalFailure(); ++day) {
    // Each machine's spells of the day, in seconds from midnight.
    std::vector<std::vector<std::pair<int, int>>> spells(machines.size());
    for (auto& plan : spells) {
      int at = 7 * 3600 + static_cast<int>(random() % 7200);
      for (int n = 1 + static_cast<int>(random() % 3); n > 0 && at < 20 * 3600; --n) {
        const int length = 1200 + static_cast<int>(random() % 10800);
        plan.push_back({at, at + length});
        at += length + 900 + static_cast<int>(random() % 7200);
      }
    }
    for (size_t m = 0; m < machines.size(); ++m) AddZoneSpells(*machines[m]->zone, day, spells[m]);
    if (day == 1) {
      // A new Name= on one machine.
      TSoakMachine& renamed = *machines[1];
      renamed.name += " renamed";
      renamed.recorder->SetMachinesSettings({renamed.folder.Path(), renamed.name, renamed.identity,
                                             "PC-" + renamed.identity.substr(0, 4)});
      ++renames;
      // The first machine's program folder copied to a new computer made
      // from its image: same GUID, same computer name, same Name=.
      auto clone = std::make_unique<TSoakMachine>(machines[0]->name, machines[0]->identity,
                                                  DeskZone(ZoneUtc(*machines[0]->zone)));
      for (const char* file : {DataFileBaseName, MachineStateFileName})
        test::WriteBytes(clone->dir.Path(file), test::ReadBytes(machines[0]->dir.Path(file)));
      CopyFolderTree(machines[0]->folder.Path(), clone->folder.Path());
      service.Add(clone->folder.Path());
      clone->Begin();
      machines.push_back(std::move(clone));
      spells.push_back({{13 * 3600, 15 * 3600}});
      ++clones;
    }
    const int stepped = day == 2 ? static_cast<int>(machines.size()) - 1 : -1;
    for (int t = 0; t < 86400 && !HasFatalFailure(); t += 5, second += 5) {
      for (size_t m = 0; m < machines.size(); ++m) {
        bool moving = false;
        for (const auto& [from, to] : spells[m]) moving = moving || (t >= from && t < to);
        machines[m]->Tick(5000, moving);
        // One machine's clock set back an hour at 16:00, its zone as it was.
        if (static_cast<int>(m) == stepped && t == 16 * 3600) {
          StepZoneClock(*machines[m]->zone, machines[m]->clock, -1.0 / 24);
          ++clockSteps;
        }
      }
      if (t % 60 == 0) service.Run(second);
      if (t % 3600 == 0) hourly += CheckTipsAtTheHour(machines, service, second);
      if (t % 3600 == 0 && random() % 8 == 0)
        service.BringBack(static_cast<size_t>(random() % machines.size()));
    }
    // The night: the service carries all, each machine looks again.
    service.Flush(second);
    for (int i = 0; i < 3; ++i) {
      for (auto& machine : machines)
        for (int t = 0; t < 65; t += 5) machine->Tick(5000, false);
      second += 65;
      service.Flush(second);
    }
    const int64_t dayNumber = DayNumber(FirstDay) + day;
    for (size_t m = 0; m < machines.size(); ++m) {
      const int64_t expected = CountOfAll(machines, m, dayNumber);
      EXPECT_GT(expected, 0);
      if (m == 0) worked += expected;
      const int64_t counted = machines[m]->recorder->Hours().Worked(dayNumber);
      EXPECT_NEAR(static_cast<double>(counted), static_cast<double>(expected), 2.0)
          << machines[m]->name << " on day " << day;
      ++checks;
    }
  }
  for (auto& machine : machines)
    for (const std::string& line : machine->view.log)
      EXPECT_EQ(line.find("cannot"), std::string::npos) << line;
  std::printf("soak of machines: %d machines, %d days, %s worked, %d hours checked, %d copies "
              "carried (%d in pieces, %d conflicted copies, %d brought back), %d renames, "
              "%d clones, %d clocks set back, %s, %d tips checked on the hour\n",
              static_cast<int>(machines.size()), days, HoursText(worked).c_str(), checks,
              service.carried, service.pieces, service.conflicts, service.broughtBack, renames,
              clones, clockSteps, ZoneFigures(machines).c_str(), hourly);
}

// ---- Zones in the soak of machines ------------------------------------------
//
// Each machine's clock is its UTC and the offset of its zone. The desk's zone
// is UTC+1 all along. One zone has summer time (UTC+2), which ends on the
// third day at 1:00 UTC (3:00 goes back to 2:00) and starts again (2:00 goes
// on to 3:00) two weeks later, every four weeks. On a trip the machine's zone
// is UTC-5 from 3:00 UTC on the second day (4:00 goes back to 22:00) to 3:00
// UTC on the third (22:00 goes on to 4:00), and again every sixty days for
// five days. Each change comes with work across it on that machine alone:
// the others are counted in its local time, where a span across its change
// would be stretched or turned back. The rules the folder is given are those of the zone the
// machine is in: summer time's for the one, a fixed offset on the trip.

struct TFakeZone {
  TDateTime utc = 0;                  // the machine's clock, in UTC
  std::vector<TOffsetNote> history;   // its offsets from each moment on
  bool travels = false;               // its rules are those of where it is now
  TDateTime lastMoved = 0;            // the moment of its last input
  // Near a change back: the stamps of the records the journal took, by the
  // millisecond, each with the moment it was written at; the records seen.
  std::map<int64_t, TDateTime> written;
  int64_t seen = -1;  // -1: away from any change back
  int ends = 0, starts = 0, trips = 0, homes = 0;

  int32_t At(TDateTime at) const {
    int32_t minutes = history.front().minutes;
    for (const TOffsetNote& note : history)
      if (note.utc <= at) minutes = note.minutes;
    return minutes;
  }
  TDateTime Wall() const { return utc + At(utc) / 1440.0; }
};

TDateTime ZoneUtc(const TFakeZone& zone) { return zone.utc; }

std::shared_ptr<TFakeZone> DeskZone(TDateTime utc) {
  auto zone = std::make_shared<TFakeZone>();
  zone->utc = utc;
  zone->history = {{0, 60}};
  return zone;
}

std::shared_ptr<TFakeZone> SummerZone(TDateTime utc, int days) {
  auto zone = std::make_shared<TFakeZone>();
  zone->utc = utc;
  zone->history = {{0, 120}};
  for (int day = 2; day <= days + 1; day += 14)
    zone->history.push_back({FirstDay + day + 1.0 / 24, (day - 2) % 28 == 0 ? 60 : 120});
  return zone;
}

std::shared_ptr<TFakeZone> TripZone(TDateTime utc, int days) {
  auto zone = std::make_shared<TFakeZone>();
  zone->utc = utc;
  zone->travels = true;
  zone->history = {{0, 60}};
  for (int day = 1; day <= days + 1; day += 60) {
    zone->history.push_back({FirstDay + day + 3.0 / 24, -300});
    zone->history.push_back({FirstDay + day + (day == 1 ? 1 : 5) + 3.0 / 24, 60});
  }
  return zone;
}

TZoneClock ZoneClockOf(const std::shared_ptr<TFakeZone>& zone) {
  TFakeZone* z = zone.get();
  return {[z](TDateTime at) { return z->At(z->travels ? z->utc : at); }, [z] { return z->utc; }};
}

void ZoneTick(TFakeZone& zone, test::FakeSource& clock, uint32_t ms, bool moving) {
  const int32_t before = zone.At(zone.utc);
  clock.Advance(ms);
  zone.utc += static_cast<double>(ms) / MSecsPerDay;
  int32_t after = zone.At(zone.utc);
  // The stamps of the second pass half a tick off those of the first: no
  // stamp is shown twice.
  if (after < before) zone.utc += 2.5 / 86400;
  after = zone.At(zone.utc);
  clock.wall = zone.Wall();
  if (after != before) {
    int& events = zone.travels ? (after < before ? zone.trips : zone.homes)
                               : (after < before ? zone.ends : zone.starts);
    ++events;
  }
  if (moving) zone.lastMoved = zone.utc;
}

void WatchJournal(TFakeZone& zone, const std::string& dataPath) {
  bool near = false;
  for (size_t i = 1; i < zone.history.size(); ++i)
    near = near || (zone.history[i].minutes < zone.history[i - 1].minutes &&
                    std::fabs(zone.utc - zone.history[i].utc) < 8.0 / 24);
  if (!near) {
    zone.seen = -1;
    return;
  }
  const std::optional<platform::TFileStamp> stamp = platform::FileStamp(dataPath);
  const int64_t count = stamp ? stamp->size / static_cast<int64_t>(RecordSize) : 0;
  if (zone.seen < 0 || count <= zone.seen) {
    zone.seen = count;
    return;
  }
  std::FILE* file = std::fopen(dataPath.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::fseek(file, static_cast<long>(zone.seen * static_cast<int64_t>(RecordSize)), SEEK_SET);
  TActRec record;
  while (std::fread(&record, 1, sizeof record, file) == sizeof record) {
    const TDateTime time = record.Time;
    zone.written[std::llround(time * MSecsPerDay)] = zone.utc;
  }
  std::fclose(file);
  zone.seen = count;
}

void StepZoneClock(TFakeZone& zone, test::FakeSource& clock, TDateTime step) {
  zone.utc += step;
  clock.wall = zone.Wall();
}

void AddZoneSpells(const TFakeZone& zone, int, std::vector<std::pair<int, int>>& spells) {
  for (size_t i = 1; i < zone.history.size(); ++i) {
    // In seconds of the day's run from now (the nights' looks make it
    // longer than a day): fifty minutes before the change to fifty after.
    const int64_t second = std::llround((zone.history[i].utc - zone.utc) * 86400);
    if (second >= 3000 && second < 86400 - 3000)
      spells.push_back({static_cast<int>(second) - 3000, static_cast<int>(second) + 3000});
  }
}

// The moment of UTC of a stamp of zone's clock.
TDateTime TrueMoment(const TFakeZone& zone, TDateTime stamp) {
  std::vector<TDateTime> fits;
  constexpr TDateTime Ms = 1.0 / MSecsPerDay;
  for (size_t i = 0; i < zone.history.size(); ++i) {
    const TDateTime utc = stamp - zone.history[i].minutes / 1440.0;
    if ((i == 0 || utc >= zone.history[i].utc - Ms) &&
        (i + 1 == zone.history.size() || utc <= zone.history[i + 1].utc + Ms))
      fits.push_back(utc);
  }
  if (fits.size() == 1) return fits.front();
  // The latest that was past when the record was written.
  const auto written = zone.written.find(std::llround(stamp * MSecsPerDay));
  if (written != zone.written.end()) {
    std::optional<TDateTime> latest;
    for (const TDateTime utc : fits)
      if (utc <= written->second + 1.0 / 86400 && (!latest || utc > *latest)) latest = utc;
    if (latest) return *latest;
  }
  ADD_FAILURE() << "a stamp " << stamp << " that fits " << fits.size() << " offsets";
  return fits.empty() ? stamp - zone.At(stamp) / 1440.0 : fits.front();
}

int64_t CountOfAll(const std::vector<std::unique_ptr<TSoakMachine>>& machines, size_t viewer,
                   int64_t day) {
  const TFakeZone& ours = *machines[viewer]->zone;
  // Each machine's changes in whole seconds of the day: +1 where a spell
  // begins, -1 where it ends (the other way round for a backward one).
  std::vector<std::map<int64_t, int>> steps(machines.size());
  for (size_t m = 0; m < machines.size(); ++m) {
    const TFakeZone& theirs = *machines[m]->zone;
    TWorkTotals totals(0, true);
    LoadWorkTotals(machines[m]->dir.Path(DataFileBaseName), totals);
    auto second = [&](TDateTime stamp) {
      const TDateTime utc = TrueMoment(theirs, stamp);
      const TDateTime local = utc + ours.At(utc) / 1440.0;
      return std::clamp<int64_t>(
          std::llround((local - static_cast<TDateTime>(day)) * 86400.0), 0, 86400);
    };
    for (int64_t their = day - 1; their <= day + 1; ++their)
      for (const TSpan& span : totals.Spells(their)) {
        const int64_t from = second(span.from), to = second(span.to);
        if (from == to) continue;
        const int sign = to > from ? 1 : -1;
        steps[m][std::min(from, to)] += sign;
        steps[m][std::max(from, to)] -= sign;
      }
  }
  std::map<int64_t, bool> moments{{0, true}, {86400, true}};
  for (const auto& machine : steps)
    for (const auto& [at, step] : machine) moments[at] = true;
  std::vector<int> held(machines.size(), 0);
  std::vector<std::map<int64_t, int>::const_iterator> next;
  for (const auto& machine : steps) next.push_back(machine.begin());
  int64_t total = 0;
  for (auto it = moments.begin(); std::next(it) != moments.end(); ++it) {
    int most = 0, least = 0;
    for (size_t m = 0; m < machines.size(); ++m) {
      for (; next[m] != steps[m].end() && next[m]->first <= it->first; ++next[m])
        held[m] += next[m]->second;
      most = std::max(most, held[m]);
      least = std::min(least, held[m]);
    }
    total += (most > 0 ? most : least) * (std::next(it)->first - it->first);
  }
  return std::max<int64_t>(total, 0);
}

int CheckTipsAtTheHour(const std::vector<std::unique_ptr<TSoakMachine>>& machines,
                       FakeSyncService& service, uint64_t second) {
  for (const auto& machine : machines)
    if (machine->zone->utc - machine->zone->lastMoved < 25 * OneMinute) return 0;
  if (!service.Idle(second)) return 0;
  int checked = 0;
  for (size_t m = 0; m < machines.size(); ++m) {
    const int64_t today = DayNumber(machines[m]->clock.wall);
    for (const int64_t day : {today - 1, today}) {
      const int64_t expected = CountOfAll(machines, m, day);
      const int64_t counted = machines[m]->recorder->Hours().Worked(day);
      EXPECT_NEAR(static_cast<double>(counted), static_cast<double>(expected), 2.0)
          << machines[m]->name << " on day " << day - DayNumber(FirstDay) << " at "
          << FormatDateTime("yyyy-mm-dd hh:nn", machines[m]->clock.wall, TLocale());
    }
    ++checked;
  }
  return checked;
}

std::string ZoneFigures(const std::vector<std::unique_ptr<TSoakMachine>>& machines) {
  int ends = 0, starts = 0, trips = 0, homes = 0;
  for (const auto& machine : machines) {
    ends += machine->zone->ends;
    starts += machine->zone->starts;
    trips += machine->zone->trips;
    homes += machine->zone->homes;
  }
  return std::to_string(ends) + " summer times' ends, " + std::to_string(starts) +
         " starts, " + std::to_string(trips) + " trips west, " + std::to_string(homes) +
         " home again";
}

}  // namespace
}  // namespace horalog
