// The daily report over real data files in a scratch folder.
#include "report/ReportBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "data/ActRec.h"
#include "data/Errors.h"
#include "machines/MachineHours.h"
#include "platform/DateTime.h"
#include "report/ReportCsv.h"
#include "report/WorkTotals.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace horalog {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const TLocale English;  // the English defaults, whatever the machine's locale
const TDateTime Monday = ComposeDate(2003, 3, 3);
const TDateTime OneMs = 1.0 / MSecsPerDay;

TDateTime At(int dayOffset, int hour, int minute = 0) {
  return Monday + dayOffset + ComposeTime(hour, minute, 0, 0);
}

TActRec Rec(uint8_t action, TDateTime time, int32_t status = StatusLive) {
  TActRec record = MakeRecord(action, time);
  record.Status = status;
  return record;
}
TActRec Start(TDateTime time) { return Rec(ActionStart, time); }
TActRec Stop(TDateTime time) { return Rec(ActionStop, time); }

std::string ReadAll(const fs::path& path) { return test::ReadText(path.string()); }
void WriteAll(const fs::path& path, const std::string& text) { test::WriteText(path.string(), text); }
std::string Bytes(const std::vector<TActRec>& records) {
  const test::Bytes bytes = test::RecordsBytes(records);
  return {bytes.begin(), bytes.end()};
}

// The page around the given body lines.
Lines Page(const Lines& body) {
  Lines lines{"<html>", "<body>", "<font face=\"arial\">"};
  lines.insert(lines.end(), body.begin(), body.end());
  lines.insert(lines.end(), {"</font>", "</body>", "</html>"});
  return lines;
}

Lines Heading(const std::string& day) {
  return {"<h3><font color=\"red\">" + day + "</font></h3>",
          "<table border=\"1\" cellpadding=\"5\" cellspacing=\"5\">",
          "<tr><th>In</th><th>Out</th><th>Time difference</th></tr>"};
}

Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string Pair(const std::string& in, const std::string& out, const std::string& diff) {
  return "<tr><td>" + in + "</td><td>" + out + "</td><td>" + diff + "</td></tr>";
}
std::string InOnly(const std::string& in) { return "<tr><td>" + in + "</td><td></td><td></td></tr>"; }
std::string OutOnly(const std::string& out) {
  return "<tr><td></td><td>" + out + "</td><td></td></tr>";
}
std::string TotalLine(const std::string& total) { return "<p><b>Total time: " + total + "</b></p>"; }

class ReportBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.Dir();
    dataDir_ = dir_.string() + static_cast<char>(fs::path::preferred_separator);
  }

  fs::path DataPath() const { return dir_ / DataFileBaseName; }
  fs::path ReportPath() const { return dir_ / ReportFileBaseName; }

  // Writes the journal, builds the report file and returns its lines, after
  // checking that every line ends in CR LF and nothing follows the last one.
  Lines Report(const std::vector<TActRec>& records, TDateTime startDate, TDateTime endDate,
               const TLocale& locale = English) {
    WriteAll(DataPath(), Bytes(records));
    const ReportOutcome outcome = BuildReportFile(dataDir_, startDate, endDate, locale);
    EXPECT_EQ(outcome.path, dataDir_ + "report.html");
    const std::string text = ReadAll(ReportPath());
    Lines lines;
    size_t from = 0;
    while (from < text.size()) {
      const size_t end = text.find("\r\n", from);
      if (end == std::string::npos) {
        ADD_FAILURE() << "text after the last CR LF: " << text.substr(from);
        break;
      }
      lines.push_back(text.substr(from, end - from));
      EXPECT_EQ(lines.back().find_first_of("\r\n"), std::string::npos) << lines.back();
      from = end + 2;
    }
    return lines;
  }

  test::ScratchDir scratch_;
  fs::path dir_;
  std::string dataDir_;
};

// ---- The shape of the page ------------------------------------------------

TEST_F(ReportBuilderTest, RangeWithoutAcceptedRecordsGivesTheBarePage) {
  const Lines bare = Page({});
  EXPECT_EQ(bare.size(), 6u);
  EXPECT_EQ(Report({}, Monday, Monday), bare);  // an empty data file
  EXPECT_EQ(Report({Start(At(-1, 9)), Stop(At(-1, 17)), Start(At(2, 0, 1))}, Monday, Monday),
            bare);
}

TEST_F(ReportBuilderTest, OnePairWithItsTotal) {
  EXPECT_EQ(Report({Start(At(0, 9)), Stop(At(0, 12, 30))}, Monday, Monday),
            Page(Heading("Monday, March 03 2003") +
                 Lines{Pair("09:00:00 am", "12:30:00 pm", "03:30:00"), "</table>",
                       TotalLine("03:30:00")}));
}

TEST_F(ReportBuilderTest, UnmatchedStartsAndStopsBecomeHalfRows) {
  // Start Start Stop: the first Start stands alone, the second pairs.
  // Stop Stop (a close while idle): the second Stop stands alone; any action
  // code other than 0 reads as a Stop.
  EXPECT_EQ(Report({Start(At(0, 9)), Start(At(0, 10)), Stop(At(0, 11)), Rec(7, At(0, 11, 5)),
                    Start(At(0, 13)), Stop(At(0, 14))},
                   Monday, Monday),
            Page(Heading("Monday, March 03 2003") +
                 Lines{InOnly("09:00:00 am"), Pair("10:00:00 am", "11:00:00 am", "01:00:00"),
                       OutOnly("11:05:00 am"), Pair("01:00:00 pm", "02:00:00 pm", "01:00:00"),
                       "</table>", TotalLine("02:00:00")}));
}

TEST_F(ReportBuilderTest, SpellAcrossMidnightSplitsIntoTwoDays) {
  // Day 1 ends with its open Start and has no total; day 2 begins with a Stop.
  EXPECT_EQ(Report({Start(At(0, 23)), Stop(At(1, 1)), Start(At(1, 2)), Stop(At(1, 3, 15))},
                   Monday, Monday + 1),
            Page(Heading("Monday, March 03 2003") + Lines{InOnly("11:00:00 pm"), "</table>"} +
                 Heading("Tuesday, March 04 2003") +
                 Lines{OutOnly("01:00:00 am"), Pair("02:00:00 am", "03:15:00 am", "01:15:00"),
                       "</table>", TotalLine("01:15:00")}));
}

TEST_F(ReportBuilderTest, OnlyLiveRecordsAreReported) {
  EXPECT_EQ(Report({Rec(ActionStart, At(0, 8), StatusDeleted), Start(At(0, 9)),
                    Rec(ActionStop, At(0, 10), 7), Rec(ActionStart, At(0, 10, 30), 1),
                    Stop(At(0, 11))},
                   Monday, Monday),
            Page(Heading("Monday, March 03 2003") +
                 Lines{Pair("09:00:00 am", "11:00:00 am", "02:00:00"), "</table>",
                       TotalLine("02:00:00")}));
}

TEST_F(ReportBuilderTest, TimesThatAreNoMomentAreSkipped) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Report({Start(At(0, 9)), Stop(nan), Start(-inf), Stop(inf), Start(nan), Stop(At(0, 10))},
                   Monday, Monday),
            Page(Heading("Monday, March 03 2003") +
                 Lines{Pair("09:00:00 am", "10:00:00 am", "01:00:00"), "</table>",
                       TotalLine("01:00:00")}));
  // Even a range without bounds takes no such record.
  EXPECT_EQ(Report({Start(nan), Stop(nan)}, -inf, inf), Page({}));
}

TEST_F(ReportBuilderTest, TimesBeyondTheCalendarStillGiveAWholePage) {
  const TDateTime distant = 5e6;  // past the year 9999
  const std::string invalid = InvalidDateTimeText;
  EXPECT_EQ(Report({Start(distant + 0.25), Stop(distant + 0.25 + 1.0 / 24)}, distant, distant),
            Page(Heading(invalid) +
                 Lines{Pair(invalid, invalid, "01:00:00"), "</table>", TotalLine("01:00:00")}));
}

// ---- The range --------------------------------------------------------------

TEST_F(ReportBuilderTest, OneDayRangeTakesTheDayAndTheMidnightAfterIt) {
  const TDateTime midnightAfter = Monday + 1.0;
  const Lines lines = Report({Stop(Monday - OneMs), Start(Monday), Stop(At(0, 23, 59)),
                              Stop(midnightAfter), Stop(midnightAfter + OneMs)},
                             Monday, Monday);
  EXPECT_EQ(lines, Page(Heading("Monday, March 03 2003") +
                        Lines{Pair("12:00:00 am", "11:59:00 pm", "23:59:00"), "</table>",
                              TotalLine("23:59:00")} +
                        Heading("Tuesday, March 04 2003") +
                        Lines{OutOnly("12:00:00 am"), "</table>"}));
}

// ---- Durations --------------------------------------------------------------

TEST_F(ReportBuilderTest, NegativeDifferencesCountAgainstTheTotal) {
  // An Out before its In: the difference shows without its sign and is
  // subtracted; a total that is not above zero shows no total line.
  EXPECT_EQ(Report({Start(At(0, 12)), Stop(At(0, 10))}, Monday, Monday),
            Page(Heading("Monday, March 03 2003") +
                 Lines{Pair("12:00:00 pm", "10:00:00 am", "02:00:00"), "</table>"}));
  EXPECT_EQ(Report({Start(At(0, 9)), Stop(At(0, 12)), Start(At(0, 15)), Stop(At(0, 14))},
                   Monday, Monday),
            Page(Heading("Monday, March 03 2003") +
                 Lines{Pair("09:00:00 am", "12:00:00 pm", "03:00:00"),
                       Pair("03:00:00 pm", "02:00:00 pm", "01:00:00"), "</table>",
                       TotalLine("02:00:00")}));
  EXPECT_EQ(Report({Start(At(0, 9)), Stop(At(0, 10)), Start(At(0, 15)), Stop(At(0, 14))},
                   Monday, Monday),
            Page(Heading("Monday, March 03 2003") +
                 Lines{Pair("09:00:00 am", "10:00:00 am", "01:00:00"),
                       Pair("03:00:00 pm", "02:00:00 pm", "01:00:00"), "</table>"}));
}

TEST_F(ReportBuilderTest, TotalOfADayOrMoreShowsItsHoursModulo24) {
  // Two long spells on one day, the second out of time order.
  EXPECT_EQ(Report({Start(At(0, 0)), Stop(At(0, 23)), Start(At(0, 1)), Stop(At(0, 3, 30))},
                   Monday, Monday),
            Page(Heading("Monday, March 03 2003") +
                 Lines{Pair("12:00:00 am", "11:00:00 pm", "23:00:00"),
                       Pair("01:00:00 am", "03:30:00 am", "02:30:00"), "</table>",
                       TotalLine("01:30:00")}));
}

// ---- The files --------------------------------------------------------------

TEST_F(ReportBuilderTest, FragmentAtTheEndOfTheDataFileIsNotRead) {
  const std::vector<TActRec> records{Start(At(0, 9)), Stop(At(0, 10))};
  const Lines whole = Report(records, Monday, Monday);
  // The first 50 bytes of a Start that would otherwise open an In-only row.
  const std::string fragment = Bytes({Start(At(0, 11))}).substr(0, 50);
  WriteAll(DataPath(), Bytes(records) + fragment);
  BuildReportFile(dataDir_, Monday, Monday, English);
  std::string expected;
  for (const std::string& line : whole) expected += line + "\r\n";
  EXPECT_EQ(ReadAll(ReportPath()), expected);
}

TEST_F(ReportBuilderTest, NewReportReplacesALongerEarlierOneWhole) {
  WriteAll(ReportPath(), std::string(100000, 'x'));
  EXPECT_EQ(Report({}, Monday, Monday), Page({}));  // nothing of the old file is left
  EXPECT_FALSE(fs::exists(dir_ / "report.html.tmp"));
}

// Without a data file the journal is empty: the report says so, and a report
// an earlier run left is not passed off as the one just asked for.
TEST_F(ReportBuilderTest, NoDataFileWritesTheReportOfAnEmptyJournal) {
  ReportOutcome outcome = BuildReportFile(dataDir_, Monday, Monday, English);
  EXPECT_EQ(outcome.path, dataDir_ + "report.html");
  EXPECT_EQ(ReadAll(ReportPath()), "<html>\r\n<body>\r\n<font face=\"arial\">\r\n"
                                   "</font>\r\n</body>\r\n</html>\r\n");

  const std::string bare = ReadAll(ReportPath());
  WriteAll(ReportPath(), "earlier");
  BuildReportFile(dataDir_, Monday, Monday, English);
  EXPECT_EQ(ReadAll(ReportPath()), bare);
  EXPECT_FALSE(fs::exists(DataPath())) << "the report made a data file";
}

// A data file that is there but cannot be opened: held without sharing on
// Windows; a socket in its place elsewhere.
class UnopenableFile {
 public:
  explicit UnopenableFile(const fs::path& path) {
#ifdef _WIN32
    handle_ = CreateFileA(path.string().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(handle_, INVALID_HANDLE_VALUE);
#else
    socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.string().c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
#endif
  }
  ~UnopenableFile() {
#ifdef _WIN32
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
#else
    if (socket_ >= 0) ::close(socket_);
#endif
  }

 private:
#ifdef _WIN32
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
  int socket_ = -1;
#endif
};

TEST_F(ReportBuilderTest, UnreadableDataRaisesAndKeepsTheEarlierReport) {
  WriteAll(ReportPath(), "earlier");
  {
    UnopenableFile held(DataPath());
    EXPECT_THROW(BuildReportFile(dataDir_, Monday, Monday, English), EInOutError);
  }
  EXPECT_EQ(ReadAll(ReportPath()), "earlier");
  EXPECT_FALSE(fs::exists(dir_ / "report.html.tmp"));

  // A folder by the data file's name is no data file (the report is that of an
  // empty journal); reading it as one fails.
  fs::remove(DataPath());
  fs::create_directory(DataPath());
  BuildReportFile(dataDir_, Monday, Monday, English);
  EXPECT_EQ(ReadAll(ReportPath()).substr(0, 8), "<html>\r\n");
  EXPECT_THROW(BuildReportLines(DataPath().string(), Monday, Monday, English), EInOutError);
  EXPECT_THROW(BuildReportLines((dir_ / "missing.dat").string(), Monday, Monday, English),
               EInOutError);
}

TEST_F(ReportBuilderTest, FailureToWriteRaisesAndKeepsTheEarlierReport) {
  WriteAll(DataPath(), Bytes({Start(At(0, 9)), Stop(At(0, 10))}));
  WriteAll(ReportPath(), "earlier");
  // The file the report is written to before it takes the report's place
  // cannot be created.
  fs::create_directory(dir_ / "report.html.tmp");
  fs::create_directory(dir_ / "report.html.tmp" / "x");
  EXPECT_THROW(BuildReportFile(dataDir_, Monday, Monday, English), Error);
  EXPECT_EQ(ReadAll(ReportPath()), "earlier");

  // The report's own name is taken by a folder.
  fs::remove_all(dir_ / "report.html.tmp");
  fs::remove(ReportPath());
  fs::create_directory(ReportPath());
  fs::create_directory(ReportPath() / "x");
  EXPECT_THROW(BuildReportFile(dataDir_, Monday, Monday, English), Error);
  EXPECT_TRUE(fs::is_directory(ReportPath()));
}

TEST_F(ReportBuilderTest, LocaleNamesAreWrittenAsTheyCome) {
  TLocale german = English;
  german.longDayNames[1] = "Montag";
  german.longMonthNames[2] = "M\xE4rz";  // 8-bit, not converted
  german.timeSeparator = ".";
  EXPECT_EQ(Report({Start(At(0, 9)), Stop(At(0, 17))}, Monday, Monday, german),
            Page(Heading("Montag, M\xE4rz 03 2003") +
                 Lines{Pair("09.00.00 am", "05.00.00 pm", "08.00.00"), "</table>",
                       TotalLine("08.00.00")}));
}

// ---- Cross-check against a plain reading of the rules -------------------------

// The report told differently: take the accepted records, cut them into runs
// of one day number, and pair within each run.
Lines SimpleReport(const std::vector<TActRec>& records, TDateTime startDate, TDateTime endDate) {
  std::vector<TActRec> taken;
  for (const TActRec& r : records)
    if (r.Status == 0 && startDate <= r.Time && r.Time <= endDate + 1.0) taken.push_back(r);

  auto clock = [](TDateTime t) { return FormatDateTime("hh:mm:ss am/pm", t, English); };
  auto span = [](TDateTime t) { return FormatDateTime("hh:mm:ss", t, English); };
  Lines body;
  for (size_t first = 0; first < taken.size();) {
    const auto day = static_cast<int64_t>(std::trunc(taken[first].Time));
    size_t last = first;
    while (last < taken.size() && static_cast<int64_t>(std::trunc(taken[last].Time)) == day)
      ++last;

    body = body + Heading(FormatDateTime("dddd, mmmm dd yyyy", taken[first].Time, English));
    std::optional<TDateTime> open;
    TDateTime total = 0;
    for (size_t i = first; i < last; ++i) {
      const TDateTime t = taken[i].Time;
      if (taken[i].Action == 0) {
        if (open) body.push_back(InOnly(clock(*open)));
        open = t;
      } else if (open) {
        body.push_back(Pair(clock(*open), clock(t), span(t - *open)));
        total += t - *open;
        open.reset();
      } else {
        body.push_back(OutOnly(clock(t)));
      }
    }
    if (open) body.push_back(InOnly(clock(*open)));
    body.push_back("</table>");
    if (total > 0) body.push_back(TotalLine(span(total)));
    first = last;
  }
  return Page(body);
}

TEST_F(ReportBuilderTest, RandomJournalsMatchAPlainReadingOfTheRules) {
  std::mt19937 random(20030303);
  auto below = [&random](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  const double nan = std::numeric_limits<double>::quiet_NaN();

  for (int round = 0; round < 300; ++round) {
    // Times over six days around the range, in whole minutes or at exact
    // midnights, sorted and then disturbed a little.
    std::vector<TDateTime> times(below(80));
    for (TDateTime& t : times)
      t = below(8) == 0 ? Monday - 1 + below(7) : Monday - 1 + below(6 * 1440) / 1440.0;
    std::sort(times.begin(), times.end());
    for (uint32_t swaps = below(4); swaps > 0 && times.size() > 1; --swaps) {
      const size_t i = below(static_cast<uint32_t>(times.size() - 1));
      std::swap(times[i], times[i + 1]);
    }

    std::vector<TActRec> records;
    for (TDateTime t : times) {
      static const int32_t statuses[] = {0, 0, 0, 0, 0, 0, -1, 7};
      static const uint8_t actions[] = {0, 0, 0, 1, 1, 1, 2, 255};
      records.push_back(Rec(actions[below(8)], t, statuses[below(8)]));
    }
    if (below(10) == 0 && !records.empty()) records[below(static_cast<uint32_t>(records.size()))].Time = nan;

    const TDateTime startDate = Monday + below(3);
    const TDateTime endDate = startDate + below(3);
    WriteAll(DataPath(), Bytes(records));
    const Lines expected = SimpleReport(records, startDate, endDate);
    ASSERT_EQ(BuildReportLines(DataPath().string(), startDate, endDate, English), expected)
        << "round " << round;
    if (round % 25 == 0) {
      ASSERT_EQ(Report(records, startDate, endDate), expected) << round;
    }
  }
}

// ---- Today's and this week's hours ------------------------------------------

// The seconds of the totals that the page shows under the heading of day,
// each as the page prints it (hours modulo 24).
int64_t PageDayTotal(const Lines& page, TDateTime day) {
  const std::string heading = Heading(FormatDateTime("dddd, mmmm dd yyyy", day, English))[0];
  bool under = false;
  int64_t total = 0;
  for (const std::string& line : page) {
    if (line.rfind("<h3>", 0) == 0) under = line == heading;
    int h = 0, m = 0, sec = 0;
    if (under && std::sscanf(line.c_str(), "<p><b>Total time: %d:%d:%d", &h, &m, &sec) == 3)
      total += h * 3600 + m * 60 + sec;
  }
  return total;
}


// Each day's hours are what the report of that day alone shows, and its parts
// of spells across its splits, on random journals around the week's first
// day, whose days begin at midnight or at a working day's start: spells
// across the split, negative pairs, dead records anywhere, and journals out
// of time order (a record of another day between a Start and its Stop, later
// records before earlier ones), which the week's page splits into more
// tables. A running spell counts as the Stop stamped at its last activity
// will once it is written at the end of the journal, with whatever Start
// waits for it there: the tip while it runs is the tip with that Stop.
TEST_F(ReportBuilderTest, WorkHoursAreTheTotalsOfTheReportOfEachDayAlone) {
  EXPECT_EQ(WeekStart(Monday + 2.5, 1), Monday);
  EXPECT_EQ(WeekStart(Monday + 2.5, 0), Monday - 1);
  EXPECT_EQ(WeekStart(Monday - 0.7, 1), Monday - 7);  // a Sunday
  EXPECT_EQ(HoursText(6 * 3600 + 42 * 60 + 59), "6:42");
  EXPECT_EQ(HoursText(27 * 3600 + 15 * 60), "27:15");
  EXPECT_EQ(HoursText(-60), "0:00");
  EXPECT_EQ(SignedHoursText(3 * 3600 + 15 * 60 + 59), "+3:15");
  EXPECT_EQ(SignedHoursText(-45 * 60 - 59), "-0:45");
  EXPECT_EQ(SignedHoursText(-59), "0:00");
  EXPECT_EQ(WorkHoursTip("Horalog", {.today = 6 * 3600 + 42 * 60, .week = 27 * 3600 + 15 * 60, .balance = {}}),
            "Horalog\nToday 6:42\nThis week 27:15");

  std::mt19937 random(20261207);
  auto below = [&random](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  const std::string stoppedPath = (dir_ / "stopped.dat").string();
  int outOfOrder = 0, acrossSplits = 0, runningAcross = 0, wholeDays = 0;
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const int firstDay = static_cast<int>(below(7));
    const TDateTime week = WeekStart(Monday + 3, firstDay);
    const TDateTime dayStart = round % 3 == 0 ? below(721) / 1440.0 : 0;
    // The running spell's last activity, in the week; in some journals its
    // working day has no record yet.
    const TDateTime until = week + dayStart + below(7 * 1440) / 1440.0;
    const bool untilDayEmpty = below(3) == 0;
    // Live records over ten days from three before the week, in whole minutes
    // or at the exact start of a day, in time order; in every other journal
    // some move to later places, across days too.
    std::vector<TDateTime> times(round % 40 == 0 ? 3000 : below(120));
    for (TDateTime& t : times)
      t = below(10) == 0 ? week - 3 + below(11) + dayStart : week - 3 + below(10 * 1440) / 1440.0;
    std::sort(times.begin(), times.end());
    const bool ordered = round % 2 == 0;
    for (uint32_t moves = ordered ? 0 : 1 + below(6); moves > 0 && times.size() > 1; --moves) {
      const size_t from = below(static_cast<uint32_t>(times.size()));
      const size_t to = from + below(static_cast<uint32_t>(std::min<size_t>(times.size() - from, 30)));
      std::rotate(times.begin() + static_cast<std::ptrdiff_t>(from),
                  times.begin() + static_cast<std::ptrdiff_t>(from) + 1,
                  times.begin() + static_cast<std::ptrdiff_t>(to) + 1);
    }
    std::vector<TActRec> records;
    static const uint8_t actions[] = {0, 0, 1, 1, 2};
    // In some journals whole days have no record: spells across them.
    const int64_t emptyFrom = round % 4 == 1 ? DayNumber(week) + below(6) : 0;
    const int64_t emptyThrough = emptyFrom + below(3);
    for (TDateTime t : times) {
      const int64_t day = WorkDayOf(t, dayStart);
      if (untilDayEmpty && day == WorkDayOf(until, dayStart)) continue;
      if (day >= emptyFrom && day <= emptyThrough) continue;
      records.push_back(Rec(actions[below(5)], t));
    }
    // A running spell's Start is in the journal: it is never empty.
    if (records.empty()) records.push_back(Start(week - 3 + 0.5));
    for (uint32_t dead = below(6); dead > 0; --dead) {
      const TDateTime t = week - 3 + below(10 * 1440) / 1440.0;
      const auto at = records.begin() + below(static_cast<uint32_t>(records.size() + 1));
      records.insert(at, Rec(0, t, below(2) == 0 ? StatusDeleted : 7));
    }
    std::vector<TActRec> stopped = records;
    stopped.push_back(Stop(until));
    WriteAll(DataPath(), Bytes(records));
    WriteAll(stoppedPath, Bytes(stopped));

    TWorkTotals totals(dayStart), withStop(dayStart);
    LoadWorkTotals(DataPath().string(), totals);
    LoadWorkTotals(stoppedPath, withStop);
    const test::SplitParts parts = test::PartsAcrossSplits(records, dayStart);
    const test::SplitParts stoppedParts = test::PartsAcrossSplits(stopped, dayStart);
    const TRunningSpell running{until};
    int64_t days = 0;
    for (int d = 0; d < 7; ++d) {
      SCOPED_TRACE("day " + std::to_string(d));
      const int64_t day = DayNumber(week + d);
      const Lines alone = BuildReportLines(DataPath().string(), week + d, week + d, English, dayStart);
      const int64_t worked = totals.Worked(day);
      ASSERT_EQ((worked - parts.Of(day)) % 86400, PageDayTotal(alone, week + d) % 86400);
      const Lines stoppedAlone = BuildReportLines(stoppedPath, week + d, week + d, English, dayStart);
      ASSERT_EQ((totals.Worked(day, running) - stoppedParts.Of(day)) % 86400,
                PageDayTotal(stoppedAlone, week + d) % 86400);
      const TWorkHours hours = HoursAt(totals, {}, week + d + dayStart + 0.5, firstDay);
      ASSERT_EQ(hours.today, worked);
      EXPECT_FALSE(hours.balance) << "no target, no balance";
      days += worked;
      acrossSplits += parts.Of(day) > 0;
      wholeDays += parts.Of(day) >= 86400;
      runningAcross += stoppedParts.Of(day) != parts.Of(day);
      // Where the week's page splits the day, the report of the day alone
      // is what counts.
      if (!ordered) {
        const Lines page = BuildReportLines(DataPath().string(), week, week + 6, English, dayStart);
        outOfOrder += PageDayTotal(page, week + d) % 86400 != (worked - parts.Of(day)) % 86400;
      }
    }
    for (int d = 0; d < 7; ++d)
      ASSERT_EQ(HoursAt(totals, {}, week + d + dayStart + 0.5, firstDay).week, days);

    // Within the detector's timeout of the last activity (or days later,
    // where the clock was stepped on), with targets and a balance from a day
    // before or in the week (or from the first record).
    THoursSettings settings;
    for (int weekday = 0; weekday < 7; ++weekday)
      if (below(4) != 0) settings.weekdayTargets[static_cast<size_t>(weekday)] = below(10 * 60) * 60;
    if (below(2) == 0) settings.balanceFrom = DayNumber(week) - 4 + below(12);
    settings.opening = (static_cast<int64_t>(below(200 * 60)) - 100 * 60) * 60;
    const TDateTime now = until + (below(4) == 0 ? below(3 * 1440) : below(11)) / 1440.0;
    // Another machine's hours of this journal count alike whether kept
    // live or frozen to each day's figures and spells.
    TWorkTotals spelled(dayStart, true);
    LoadWorkTotals(DataPath().string(), spelled);
    const std::optional<TRunningSpell> maybeRunning =
        round % 5 != 2 ? std::optional<TRunningSpell>(running) : std::nullopt;
    const TOtherMachine live(spelled, maybeRunning);
    TOtherMachine frozen(spelled, maybeRunning);
    frozen.Freeze();
    ASSERT_TRUE(frozen.Frozen());
    EXPECT_EQ(frozen.FirstDay(), live.FirstDay());
    auto sorted = [](std::vector<TSpan> spans) {
      std::sort(spans.begin(), spans.end(), [](const TSpan& a, const TSpan& b) {
        return a.from != b.from ? a.from < b.from : a.to < b.to;
      });
      return spans;
    };
    const std::vector<int64_t> frozenDays = frozen.Days(), liveDays = live.Days();
    for (int64_t day = DayNumber(week) - 5; day <= DayNumber(week) + 12; ++day) {
      const TDayFigures a = live.Day(day), b = frozen.Day(day);
      ASSERT_EQ(b.seconds, a.seconds) << day;
      ASSERT_EQ(b.firstIn, a.firstIn) << day;
      ASSERT_EQ(b.lastOut, a.lastOut) << day;
      const std::vector<TSpan> x = sorted(live.Spells(day)), y = sorted(frozen.Spells(day));
      ASSERT_EQ(x.size(), y.size()) << day;
      for (size_t i = 0; i < x.size(); ++i) {
        ASSERT_EQ(x[i].from, y[i].from);
        ASSERT_EQ(x[i].to, y[i].to);
      }
      // A day that counts anything is among the days each names.
      if (a.seconds != 0 || !x.empty()) {
        EXPECT_NE(std::find(liveDays.begin(), liveDays.end(), day), liveDays.end()) << day;
        EXPECT_NE(std::find(frozenDays.begin(), frozenDays.end(), day), frozenDays.end()) << day;
      }
    }
    const TWorkHours whileRunning = HoursAt(totals, settings, now, firstDay, running);
    const TWorkHours once = HoursAt(withStop, settings, now, firstDay);
    EXPECT_EQ(whileRunning.today, once.today);
    EXPECT_EQ(whileRunning.week, once.week);
    EXPECT_EQ(whileRunning.balance, once.balance);
  }
  EXPECT_GT(outOfOrder, 20) << "the journals out of order hardly ever split a day";
  EXPECT_GT(acrossSplits, 100) << "hardly any spell across a split";
  EXPECT_GT(runningAcross, 20) << "hardly any running spell begins or ends a spell across a split";
  EXPECT_GT(wholeDays, 10) << "hardly any spell across a whole day";
}

// A spell over days counts its part in each working day it covers: a call
// that holds a spell from Monday 9:00 to Wednesday 10:00 counts Monday's
// 15:00, all of Tuesday and Wednesday's 10:00, while it runs and once its
// Stop is written, in the tip, the balance and the day summary; the page
// shows an In without an Out on Monday and an Out without an In on Wednesday.
TEST_F(ReportBuilderTest, ASpellOverDaysCountsInEveryDayItCovers) {
  const int64_t monday = DayNumber(Monday);
  THoursSettings settings;
  for (int weekday = 1; weekday <= 5; ++weekday) settings.weekdayTargets[weekday] = 8 * 3600;
  settings.balanceFrom = monday;
  for (const TDateTime dayStart : {0.0, 2.0 / 24}) {
    SCOPED_TRACE(dayStart);
    TWorkTotals totals(dayStart, true);
    totals.Take(Start(At(0, 9)));
    // Tuesday noon, the spell still running: Monday to the split, Tuesday's part.
    const TRunningSpell tuesday{At(1, 12)};
    const int64_t split = std::llround(dayStart * 86400);
    EXPECT_EQ(totals.Worked(monday, tuesday), 15 * 3600 + split);
    EXPECT_EQ(HoursAt(totals, settings, At(1, 12), 1, tuesday).today, 12 * 3600 - split);
    // Wednesday 10:00: Monday and Tuesday do not vanish.
    const TRunningSpell wednesday{At(2, 10)};
    const TWorkHours running = HoursAt(totals, settings, At(2, 10), 1, wednesday);
    EXPECT_EQ(running.today, 10 * 3600 - split);
    EXPECT_EQ(running.week, 49 * 3600);
    EXPECT_EQ(running.balance, (49 - 24) * 3600) << "8:00 a day less, today above its target";
    totals.Take(Stop(At(2, 10)));
    const TWorkHours stopped = HoursAt(totals, settings, At(2, 10), 1);
    EXPECT_EQ(stopped.today, running.today);
    EXPECT_EQ(stopped.week, running.week);
    EXPECT_EQ(stopped.balance, running.balance);
    EXPECT_EQ(totals.Worked(monday + 1), 24 * 3600);
    EXPECT_EQ(totals.Spells(monday + 1).size(), 1u);
    EXPECT_EQ(totals.WorkedOverTarget(monday, monday + 2, settings), 25 * 3600);
  }
  // The summary without a target shows the day between, which the page does not.
  WriteAll(DataPath(), Bytes({Start(At(0, 9)), Stop(At(2, 10))}));
  TWorkTotals totals;
  const std::vector<TReportDay> days =
      ReadReportDays(DataPath().string(), Monday, Monday + 2, 0, &totals);
  EXPECT_EQ(days.size(), 2u);
  EXPECT_EQ(DaySummaryLines(days, monday, monday + 2, totals, {}, TCsvSeparators{}),
            (Lines{"Date,First In,Last Out,Worked,Hours",
                   "2003-03-03,09:00:00,00:00:00,15:00:00,15.00",
                   "2003-03-04,00:00:00,00:00:00,24:00:00,24.00",
                   "2003-03-05,00:00:00,10:00:00,10:00:00,10.00", "Total,,,49:00:00,49.00"}));
  EXPECT_EQ(Report({Start(At(0, 9)), Stop(At(2, 10))}, Monday, Monday + 2),
            Page(Heading("Monday, March 03 2003") + Lines{InOnly("09:00:00 am"), "</table>"} +
                 Heading("Wednesday, March 05 2003") + Lines{OutOnly("10:00:00 am"), "</table>"}));
}

// ---- The CSV ------------------------------------------------------------------

TEST_F(ReportBuilderTest, CsvOfACommaDecimalLocaleIsSeparatedBySemicolons) {
  TLocale german = English;
  german.decimalSeparator = ",";
  german.listSeparator = ";";
  const TCsvSeparators separators = CsvSeparators(german);
  EXPECT_EQ(separators.field, ';');
  EXPECT_EQ(separators.decimal, ",");
  // A pair, a negative pair, a day of more than 24 hours, an Out alone and an
  // In left open; the period's sum is that of the day totals shown.
  WriteAll(DataPath(), Bytes({Start(At(0, 9)), Stop(At(0, 12, 30)), Start(At(0, 14)),
                              Stop(At(0, 13, 59)), Stop(At(1, 0, 30)), Start(At(1, 1)),
                              Stop(At(1, 23, 59)), Start(At(1, 2)), Stop(At(1, 4, 1)),
                              Start(At(2, 10)), Stop(At(2, 9)), Start(At(3, 8) + 0.3 * OneMs)}));
  EXPECT_EQ(ReportCsvLines(ReadReportDays(DataPath().string(), Monday, Monday + 3), separators),
            (Lines{"Date;In;Out;Duration;Hours",
                   "2003-03-03;09:00:00;12:30:00;3:30:00;3,50",
                   "2003-03-03;14:00:00;13:59:00;-0:01:00;-0,02",
                   "2003-03-03;Total;;3:29:00;3,48",
                   "2003-03-04;;00:30:00;;",
                   "2003-03-04;01:00:00;23:59:00;22:59:00;22,98",
                   "2003-03-04;02:00:00;04:01:00;2:01:00;2,02",
                   "2003-03-04;Total;;25:00:00;25,00",
                   "2003-03-05;10:00:00;09:00:00;-1:00:00;-1,00",
                   "2003-03-06;08:00:00;;;",
                   "Total;;;28:29:00;28,48"}));

  // The list separator is taken only when it is one plain character other
  // than the decimal separator; an odd decimal separator falls back to ".".
  auto separatorsOf = [&](const std::string& decimal, const std::string& list) {
    TLocale locale = german;
    locale.decimalSeparator = decimal;
    locale.listSeparator = list;
    const TCsvSeparators s = CsvSeparators(locale);
    return std::string(1, s.field) + " " + s.decimal;
  };
  EXPECT_EQ(separatorsOf(",", ","), "; ,");
  EXPECT_EQ(separatorsOf(",", ";;"), "; ,");
  EXPECT_EQ(separatorsOf(",", ""), "; ,");
  EXPECT_EQ(separatorsOf(",", "\xA7"), "; ,");  // not ASCII
  EXPECT_EQ(separatorsOf(",", "\t"), "\t ,");
  EXPECT_EQ(separatorsOf(",", "."), ". ,");
  EXPECT_EQ(separatorsOf(",", ":"), "; ,");  // times hold ":"
  EXPECT_EQ(separatorsOf(",", "a"), "; ,");  // "Total" holds letters
  EXPECT_EQ(separatorsOf("", ";"), "; .");
  EXPECT_EQ(separatorsOf("\xC2\xB7", ";"), "; .");  // a middle dot
  EXPECT_EQ(separatorsOf(",,", ","), ", .");         // the field separator inside
  EXPECT_EQ(separatorsOf(".", "."), ", .");
  EXPECT_EQ(separatorsOf("'", ";"), "; '");
}

// The page and the CSV of the same journals agree: every row, every day total
// and the period's total.

struct PageRow {
  std::string in, out, diff;  // as the page shows them
};
struct PageDay {
  std::string date;  // yyyy-mm-dd from the heading
  std::vector<PageRow> rows;
  std::optional<std::string> total;
};

// The text between prefix and suffix when line is prefix + text + suffix.
std::optional<std::string> Between(const std::string& line, const std::string& prefix,
                                   const std::string& suffix) {
  if (line.size() < prefix.size() + suffix.size() || line.rfind(prefix, 0) != 0 ||
      line.compare(line.size() - suffix.size(), suffix.size(), suffix) != 0)
    return std::nullopt;
  return line.substr(prefix.size(), line.size() - prefix.size() - suffix.size());
}

std::vector<PageDay> ParsePage(const Lines& lines) {
  std::vector<PageDay> days;
  for (const std::string& line : lines) {
    if (auto heading = Between(line, "<h3><font color=\"red\">", "</font></h3>")) {
      // "Monday, March 03 2003"
      char month[16] = {};
      int day = 0, year = 0;
      const size_t comma = heading->find(", ");
      EXPECT_EQ(std::sscanf(heading->c_str() + comma + 2, "%15s %d %d", month, &day, &year), 3);
      const auto& months = English.longMonthNames;
      const int number = static_cast<int>(std::find(months.begin(), months.end(), month) -
                                          months.begin()) + 1;
      char date[32];
      std::snprintf(date, sizeof date, "%04d-%02d-%02d", year, number, day);
      days.push_back({date, {}, {}});
    } else if (auto cells = Between(line, "<tr><td>", "</td></tr>")) {
      const size_t first = cells->find("</td><td>");
      const size_t second = cells->find("</td><td>", first + 9);
      days.back().rows.push_back({cells->substr(0, first), cells->substr(first + 9, second - first - 9),
                                  cells->substr(second + 9)});
    } else if (auto total = Between(line, "<p><b>Total time: ", "</b></p>")) {
      days.back().total = *total;
    }
  }
  return days;
}

// "hh:mm:ss am/pm" as seconds of the day; "hh:mm:ss" as seconds.
int64_t ClockSeconds(const std::string& text) {
  int h = 0, m = 0, s = 0;
  char half[3] = {};
  EXPECT_GE(std::sscanf(text.c_str(), "%d:%d:%d %2s", &h, &m, &s, half), 3) << text;
  if (half[0] != 0) h = h % 12 + (std::string(half) == "pm" ? 12 : 0);
  return h * 3600 + m * 60 + s;
}

// "-h:mm:ss" as seconds, sign kept.
int64_t DurationSeconds(const std::string& text) {
  const bool negative = !text.empty() && text[0] == '-';
  long long h = 0;
  int m = 0, s = 0;
  EXPECT_EQ(std::sscanf(text.c_str() + (negative ? 1 : 0), "%lld:%2d:%2d", &h, &m, &s), 3) << text;
  EXPECT_LT(m, 60);
  EXPECT_LT(s, 60);
  const int64_t seconds = h * 3600 + m * 60 + s;
  return negative ? -seconds : seconds;
}

std::string Hours(int64_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", std::round(seconds / 36.0) / 100);
  return std::string(text) == "-0.00" ? "0.00" : text;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream stream(line + ",");
  for (std::string field; std::getline(stream, field, ',');) fields.push_back(field);
  return fields;
}

// The CSV's Duration and Hours agree with each other and with a span the page
// shows (only its clock, without days or sign).
void ExpectSpan(const std::vector<std::string>& csv, const std::string& page, int64_t& seconds) {
  ASSERT_EQ(csv.size(), 5u);
  seconds = DurationSeconds(csv[3]);
  EXPECT_EQ(csv[4], Hours(seconds));
  EXPECT_EQ(std::llabs(seconds) % 86400, ClockSeconds(page)) << csv[3] << " against " << page;
}

// h:mm as seconds.
int64_t TargetSeconds(const std::string& text) {
  long long h = 0;
  int m = 0;
  EXPECT_EQ(std::sscanf(text.c_str(), "%lld:%2d", &h, &m), 2) << text;
  return h * 3600 + m * 60;
}

// Seconds as signed h:mm: the seconds cut toward zero to minutes.
std::string Signed(int64_t seconds) {
  const int64_t minutes = std::llabs(seconds) / 60;
  if (minutes == 0) return "0:00";
  char text[40];
  std::snprintf(text, sizeof text, "%c%lld:%02d", seconds < 0 ? '-' : '+',
                static_cast<long long>(minutes / 60), static_cast<int>(minutes % 60));
  return text;
}

// The day summary of firstDay..lastDay against the page of that range, the
// CSV's day totals and the parts of spells across splits: a line for every
// day the page shows or a spell across it covers (with a target, for every
// day), each Worked the page's
// total of that day and the day's parts, First In and Last Out its first In
// and last Out, or the split where a spell across it begins or ends the day;
// Difference is Worked less Target, and the Total line sums them.
void ExpectSummaryAgrees(const Lines& summary, const std::vector<PageDay>& page,
                         const std::map<std::string, int64_t>& dayTotals, const test::SplitParts& parts,
                         const THoursSettings& settings, int64_t firstDay, int64_t lastDay) {
  const bool targets = settings.HasTarget();
  ASSERT_FALSE(summary.empty());
  EXPECT_EQ(summary[0], targets ? "Date,First In,Last Out,Worked,Hours,Target,Difference,Balance"
                                : "Date,First In,Last Out,Worked,Hours");
  std::vector<int64_t> days;
  for (int64_t day = firstDay; day <= lastDay; ++day) {
    const std::string date = FormatDateTime("yyyy-mm-dd", static_cast<TDateTime>(day), English);
    const bool shown = std::any_of(page.begin(), page.end(),
                                   [&date](const PageDay& d) { return d.date == date; });
    if (shown || targets || parts.Of(day) > 0) days.push_back(day);
  }
  ASSERT_EQ(summary.size(), days.size() + 2);
  const size_t width = targets ? 8 : 5;
  const int64_t split = std::llround(settings.dayStart * 86400);
  int64_t worked = 0, target = 0;
  for (size_t i = 0; i < days.size(); ++i) {
    const std::string date = FormatDateTime("yyyy-mm-dd", static_cast<TDateTime>(days[i]), English);
    const std::vector<std::string> fields = Fields(summary[i + 1]);
    ASSERT_EQ(fields.size(), width) << summary[i + 1];
    EXPECT_EQ(fields[0], date);
    std::string firstIn, lastOut;
    for (const PageDay& day : page)
      if (day.date == date)
        for (const PageRow& row : day.rows) {
          if (firstIn.empty()) firstIn = row.in;
          if (!row.out.empty()) lastOut = row.out;
        }
    // The split, or the page's clock (none when the page shows none).
    auto expectClock = [&](const std::string& field, bool atSplit, const std::string& clock) {
      if (atSplit) {
        EXPECT_EQ(DurationSeconds(field), split) << summary[i + 1];
        return;
      }
      EXPECT_EQ(field.empty(), clock.empty()) << summary[i + 1];
      if (!clock.empty()) {
        EXPECT_EQ(DurationSeconds(field), ClockSeconds(clock)) << summary[i + 1];
      }
    };
    expectClock(fields[1], parts.beginAtSplit.count(days[i]) > 0, firstIn);
    expectClock(fields[2], parts.endAtSplit.count(days[i]) > 0, lastOut);
    const auto total = dayTotals.find(date);
    const int64_t seconds = DurationSeconds(fields[3]);
    EXPECT_EQ(seconds, (total == dayTotals.end() ? 0 : total->second) + parts.Of(days[i]))
        << summary[i + 1];
    EXPECT_EQ(fields[4], Hours(seconds));
    worked += seconds;
    if (!targets) continue;
    target += TargetSeconds(fields[5]);
    EXPECT_EQ(fields[6], Signed(seconds - TargetSeconds(fields[5]))) << summary[i + 1];
  }
  const std::vector<std::string> fields = Fields(summary.back());
  ASSERT_EQ(fields.size(), width);
  EXPECT_EQ(fields[0] + "|" + fields[1] + "|" + fields[2], "Total||");
  EXPECT_EQ(DurationSeconds(fields[3]), worked);
  EXPECT_EQ(fields[4], Hours(worked));
  if (!targets) return;
  EXPECT_EQ(TargetSeconds(fields[5]), target);
  EXPECT_EQ(fields[6], Signed(worked - target));
  EXPECT_EQ(fields[7], "");
}

TEST_F(ReportBuilderTest, RandomJournalsGiveAPageAndACsvThatAgree) {
  std::mt19937 random(20261207);
  auto below = [&random](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  const TCsvSeparators separators = CsvSeparators(English);

  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Working days that begin at midnight or up to noon (a day's records
    // then run past midnight into the next date).
    const TDateTime dayStart = below(3) == 0 ? 0 : below(721) / 1440.0;
    // Five working days around the range. Times in whole milliseconds, some
    // at the exact start of a day; the day's records in time order or, in
    // some rounds, in any order (negative pairs, totals of more than a day).
    const bool shuffled = below(3) == 0;
    std::vector<TActRec> records;
    std::optional<int64_t> firstLiveDay;
    for (int day = -1; day < 4; ++day) {
      std::vector<TDateTime> times(below(shuffled ? 40 : 12));
      for (TDateTime& t : times)
        t = Monday + day + dayStart + (below(10) == 0 ? 0 : below(86400000) / MSecsPerDay);
      if (!shuffled) std::sort(times.begin(), times.end());
      for (TDateTime t : times) {
        static const int32_t statuses[] = {0, 0, 0, 0, 0, 0, -1, 7};
        records.push_back(Rec(below(2) == 0 ? ActionStart : ActionStop, t, statuses[below(8)]));
        if (records.back().Status == StatusLive && !firstLiveDay)
          firstLiveDay = DayNumber(Monday) + day;
      }
    }
    const TDateTime startDate = Monday + below(2);
    const TDateTime endDate = startDate + below(3);
    WriteAll(DataPath(), Bytes(records));
    TWorkTotals totals;
    const std::vector<TReportDay> read =
        ReadReportDays(DataPath().string(), startDate, endDate, dayStart, &totals);
    const std::vector<PageDay> page = ParsePage(ReportPageLines(read, English));
    ASSERT_EQ(page.size(), read.size());
    const Lines csv = ReportCsvLines(read, separators);
    // Each day's total as the CSV gives it.
    std::map<std::string, int64_t> dayTotals;

    ASSERT_FALSE(csv.empty());
    EXPECT_EQ(csv[0], "Date,In,Out,Duration,Hours");
    size_t at = 1;
    int64_t sum = 0;
    bool anyTotal = false;
    for (const PageDay& day : page) {
      int64_t pairs = 0, pairCount = 0;
      for (const PageRow& row : day.rows) {
        ASSERT_LT(at, csv.size());
        const std::vector<std::string> fields = Fields(csv[at++]);
        ASSERT_EQ(fields.size(), 5u) << csv[at - 1];
        EXPECT_EQ(fields[0], day.date);
        EXPECT_EQ(fields[1].empty(), row.in.empty());
        EXPECT_EQ(fields[2].empty(), row.out.empty());
        if (!row.in.empty()) {
          EXPECT_EQ(DurationSeconds(fields[1]), ClockSeconds(row.in));
        }
        if (!row.out.empty()) {
          EXPECT_EQ(DurationSeconds(fields[2]), ClockSeconds(row.out));
        }
        if (row.diff.empty()) {
          EXPECT_EQ(fields[3] + fields[4], "");
          continue;
        }
        int64_t seconds = 0;
        ExpectSpan(fields, row.diff, seconds);
        // Both ends lie on one day: the clocks differ by the duration, but for
        // the milliseconds the clocks cut (and a day from midnight on).
        const int64_t apart = seconds - (ClockSeconds(row.out) - ClockSeconds(row.in));
        if (dayStart == 0) {
          EXPECT_LE(std::llabs(apart), 1);
        } else {
          EXPECT_TRUE(std::llabs(apart) <= 1 || std::llabs(std::llabs(apart) - 86400) <= 1) << apart;
        }
        pairs += seconds;
        ++pairCount;
      }
      if (day.total) {
        ASSERT_LT(at, csv.size());
        const std::vector<std::string> fields = Fields(csv[at++]);
        ASSERT_EQ(fields.size(), 5u);
        EXPECT_EQ(fields[0], day.date);
        EXPECT_EQ(fields[1] + "|" + fields[2], "Total|");
        int64_t seconds = 0;
        ExpectSpan(fields, *day.total, seconds);
        EXPECT_GE(seconds, 0);
        EXPECT_LE(std::llabs(seconds - pairs), pairCount);  // the sum before the seconds are cut
        sum += seconds;
        dayTotals[day.date] = seconds;
        anyTotal = true;
      }
    }
    if (anyTotal) {
      ASSERT_LT(at, csv.size());
      const std::vector<std::string> fields = Fields(csv[at++]);
      ASSERT_EQ(fields.size(), 5u);
      EXPECT_EQ(fields[0] + "|" + fields[1] + "|" + fields[2], "Total||");
      EXPECT_EQ(DurationSeconds(fields[3]), sum);
      EXPECT_EQ(fields[4], Hours(sum));
    }
    EXPECT_EQ(at, csv.size()) << "lines the page does not show";
    for (const std::string& line : csv)
      for (char c : line) ASSERT_TRUE(c >= 0x20 && c < 0x7F) << line;

    // The day summary: in half the rounds with targets, days off, an opening
    // balance and a first day of the balance.
    THoursSettings settings;
    settings.dayStart = dayStart;
    if (below(2) == 0) {
      for (int weekday = 1; weekday <= 5; ++weekday)
        settings.weekdayTargets[static_cast<size_t>(weekday)] = below(10 * 60) * 60;
      settings.weekdayTargets[below(7)] = below(2) == 0 ? 0 : below(25 * 60) * 60;
      if (below(2) == 0) settings.daysOff.push_back({DayNumber(Monday) + below(3), DayNumber(Monday) + 3});
      settings.opening = (static_cast<int64_t>(below(2000 * 60)) - 1000 * 60) * 60;
      if (below(2) == 0) settings.balanceFrom = DayNumber(Monday) - 3 + below(9);
    }
    const int64_t firstDay = DayNumber(startDate), lastDay = DayNumber(endDate);
    const int64_t today = DayNumber(Monday) - 2 + below(8);
    const test::SplitParts parts = test::PartsAcrossSplits(records, dayStart);
    const Lines summary =
        DaySummaryLines(read, firstDay, lastDay, totals, settings, separators, today);
    ExpectSummaryAgrees(summary, page, dayTotals, parts, settings, firstDay, lastDay);
    if (!settings.HasTarget()) continue;
    // Each day's balance is that of the whole journal, whatever the range:
    // over all days from before the first record it adds up from Opening
    // (from today when there is no record, as the tip counts it).
    const int64_t before = DayNumber(Monday) - 3;
    const Lines whole =
        DaySummaryLines(read, before, lastDay, totals, settings, separators, today);
    const int64_t from = settings.balanceFrom.value_or(firstLiveDay.value_or(today));
    std::optional<int64_t> balance;
    for (int64_t day = before; day <= lastDay; ++day) {
      const std::vector<std::string> fields = Fields(whole[static_cast<size_t>(day - before + 1)]);
      ASSERT_EQ(fields.size(), 8u);
      if (day < from) {
        EXPECT_EQ(fields[7], "") << "a balance before its first day";
        continue;
      }
      balance = balance.value_or(settings.opening) + DurationSeconds(fields[3]) -
                TargetSeconds(fields[5]);
      EXPECT_EQ(fields[7], Signed(*balance)) << fields[0];
      if (day >= firstDay) {
        EXPECT_EQ(whole[static_cast<size_t>(day - before + 1)],
                  summary[static_cast<size_t>(day - firstDay + 1)]);
      }
    }
  }
}

}  // namespace
}  // namespace horalog
