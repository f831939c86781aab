// What the database view needs of the core: finding the records its rows were
// filled from in a journal loaded afresh, and splitting a record's moment into
// the two fields of the action editor.
#pragma once

#include <span>
#include <vector>

#include "data/ActRec.h"
#include "platform/DateTime.h"

namespace horalog {

// Where the records that rows were filled from are in journal, a fresh load
// of the data file. A record is found by its content (all 141 bytes), and
// equal records by rank: the k-th of the rows holding some content stands for
// the k-th of the journal's entries holding it. Returns the journal index of
// each of picked (positions in rows), in the order given, RecordNotFound for
// one that is no longer in the journal. A position outside rows raises
// "List index out of bounds (%d)".
//
// When the journal holds exactly the rows, the answer is picked itself.
inline constexpr int RecordNotFound = -1;
std::vector<int> MatchRecords(std::span<const TActRec> rows, std::span<const int> picked,
                              std::span<const TActRec> journal);

// Where one record is in journal, a load of the data file sorted by time:
// the index of an entry of its time holding its content (all 141 bytes), or
// RecordNotFound. Only the entries of that time are compared.
int FindRecord(std::span<const TActRec> journal, const TActRec& wanted);

// A moment as the action editor's fields are given it: the day at midnight,
// and the time of day on day 0. JoinMoment(SplitMoment(m)) is m exactly.
struct TMomentFields {
  TDateTime date = 0;
  TDateTime time = 0;
};
TMomentFields SplitMoment(TDateTime moment);
// The moment of the date field's day and the time field's time of day.
TDateTime JoinMoment(TDateTime dateField, TDateTime timeField);

}  // namespace horalog
