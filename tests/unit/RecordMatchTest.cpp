// Finding the records of the database view's rows in a reloaded journal, and
// the split of a moment into the action editor's two fields.
#include <gtest/gtest.h>

#include <cmath>

#include "TestSupport.h"
#include "data/Errors.h"
#include "data/RecordMatch.h"

namespace horalog {
namespace {

using namespace horalog::test;
using Rows = std::vector<TActRec>;
using Indices = std::vector<int>;

Indices Match(const Rows& rows, const Indices& picked, const Rows& journal) {
  return MatchRecords(rows, picked, journal);
}

const TActRec A = PatternedRecord(0, 0, 37683.375, 1);
const TActRec B = PatternedRecord(0, 1, 37683.5, 2);
const TActRec C = PatternedRecord(5, 2, 37683.6, 3);  // odd Status and Action
const TActRec D = PatternedRecord(0, 0, 37684.25, 4);
const TActRec Future = PatternedRecord(0, 0, 47000.0, 5);

TEST(RecordMatch, UnchangedJournalGivesThePositionsThemselves) {
  const Rows rows = {A, B, A, C};
  EXPECT_EQ(Match(rows, {2, 0, 3}, rows), (Indices{2, 0, 3}));
  EXPECT_EQ(Match({}, {}, {}), Indices{});
}

TEST(RecordMatch, MovedRecordsAreFoundByContent) {
  const Rows rows = {A, B, C, D};
  // A compaction dropped C; a record was put before everything else; D was appended twice.
  const Rows journal = {Future, A, B, D, D};
  EXPECT_EQ(Match(rows, {0, 1, 3}, journal), (Indices{1, 2, 3}));
  EXPECT_EQ(Match(rows, {0, 2, 1}, journal), (Indices{1, RecordNotFound, 2}));
}

TEST(RecordMatch, EqualRecordsAreMatchedByRank) {
  const Rows rows = {A, B, A, A};
  const Rows journal = {D, A, A, B, A, C};
  // The k-th A row stands for the k-th A entry.
  EXPECT_EQ(Match(rows, {3, 0, 2}, journal), (Indices{4, 1, 2}));
  // One A has gone: the third A row has nothing left to stand for.
  const Rows fewer = {A, B, A};
  EXPECT_EQ(Match(rows, {0, 2}, fewer), (Indices{0, 2}));
  EXPECT_EQ(Match(rows, {3, 2}, fewer), (Indices{RecordNotFound, 2}));
}

TEST(RecordMatch, EveryByteCounts) {
  TActRec reserved = A;
  reserved.Reserved[127] ^= 1;
  TActRec status = A;
  status.Status = 3;
  TActRec action = A;
  action.Action = 7;
  for (const TActRec& other : {reserved, status, action})
    EXPECT_EQ(Match({A, B}, {0}, {other, B}), Indices{RecordNotFound});
}

TEST(RecordMatch, PositionOutsideTheRowsIsAListError) {
  EXPECT_EQ(ErrorText<EListError>([] { Match({A}, {1}, {A}); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorText<EListError>([] { Match({A}, {-1}, {A, B}); }),
            "List index out of bounds (-1)");
}

TEST(RecordMatch, LargeJournalWithEveryRowPicked) {
  Rows rows;
  for (int i = 0; i < 20000; ++i) rows.push_back(MakeRecord(i % 2, 37000.0 + (i / 4) * 0.01));
  Rows journal = rows;
  journal.insert(journal.begin(), Future);  // everything moves by one
  Indices all(rows.size());
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) all[i] = i;
  const Indices found = Match(rows, all, journal);
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) ASSERT_EQ(found[i], i + 1);
}

// One record in a journal sorted by time: by its whole content, among the
// entries of its time only.
TEST(RecordMatch, OneRecordIsFoundAmongTheEntriesOfItsTime) {
  TActRec sameTime = B;
  sameTime.Reserved[127] ^= 1;
  TActRec stop = MakeRecord(ActionStop, B.Time);
  const Rows journal = {A, sameTime, B, stop, D, Future};
  EXPECT_EQ(FindRecord(journal, B), 2);
  EXPECT_EQ(FindRecord(journal, stop), 3);
  EXPECT_EQ(FindRecord(journal, Future), 5);
  EXPECT_EQ(FindRecord(journal, C), RecordNotFound);
  TActRec other = B;
  other.Action = ActionStart;
  EXPECT_EQ(FindRecord(journal, other), RecordNotFound);
  EXPECT_EQ(FindRecord({}, A), RecordNotFound);
}

TEST(MomentFields, SplitGivesDayAndTimeOfDayAndJoinsBackExactly) {
  // 2003-03-03 14:30:00.
  const TDateTime moment = ComposeDate(2003, 3, 3) + ComposeTime(14, 30, 0, 0);
  const TMomentFields fields = SplitMoment(moment);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", fields.date), "2003-03-03 00:00:00");
  EXPECT_EQ(WholePart(fields.time), 0.0);
  EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", fields.time), "14:30:00.000");
  EXPECT_EQ(JoinMoment(fields.date, fields.time), moment);
  // Another day in the date field keeps the time of day, another time keeps the day.
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", JoinMoment(ComposeDate(2003, 3, 5), fields.time)),
            "2003-03-05 14:30:00");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", JoinMoment(fields.date, ComposeTime(9, 5, 7, 0))),
            "2003-03-03 09:05:07");
  for (TDateTime m : {0.0, 0.999, 37683.0, 37683.604166, -1.25, -700000.5, 2958465.99999})
    EXPECT_EQ(JoinMoment(SplitMoment(m).date, SplitMoment(m).time), m) << m;
}

}  // namespace
}  // namespace horalog
