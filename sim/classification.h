// Classification: what happened on a line, from the exchange's record of the
// call, and the result the dialer is to store for it; and the comparison of a
// campaign's stored results with the record.
//
//   busy tone                         "TELEFONE OCUPADO"
//   ringing without an answer         "TELEFONE NÃO ATENDE"; also an answer
//                                     after the dialer gave up ringing: none
//                                     on record, or one it hung up on within
//                                     a second (it decided after its last
//                                     ring and was releasing the line)
//   no ringback                       "FALHA NA COMUTAÇÃO"; also a party that
//                                     answered without ringback first (the
//                                     dialer listens for an answer only once
//                                     the line has rung)
//   an answer                         "CHAMADA ATENDIDA"
//   a silent answer on channels 2-4   "FALHA NA LIGAÇÃO": those channels do
//                                     not take the end of ringback as an answer
//
// This is an oracle of its own, written from what the dialer is to do, not
// from the dialer's code. Pure functions; thread-safe.
#pragma once

#include <QDateTime>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "sim/call_truth.h"

namespace doruzudo::sim {

enum class LineOutcome { Busy, NoAnswer, NoRingback, Answered, SilentAnswered, SilentFailure };
inline constexpr int kLineOutcomes = 6;

// Null when the number never completed (the dialer hung up while dialing).
std::optional<LineOutcome> lineOutcome(const CallTruth& call);
QString expectedStatus(LineOutcome outcome);
// "busy tone", "ringing, no answer", ...
QString outcomeName(LineOutcome outcome);

struct StoredResult {
  QString number;
  QString status;
};

struct ClassificationReport {
  struct Mismatch {
    QString number;
    int channel = 0;
    LineOutcome outcome = LineOutcome::Busy;
    QString stored;
  };
  std::array<int, kLineOutcomes> total{}, right{};
  std::vector<Mismatch> mismatches;
  int withoutCall = 0;  // results whose number has no completed call on record

  int allRight() const;
  int all() const;
};

// What a channel dials before each number (its line prefix, then its
// operator code), to find the number in what the exchange heard.
using DialPrefix = std::function<QString(int channel)>;

// Each stored result against the last call of its number on record (by
// off-hook time). A call's number is what was dialed after the channel's
// prefix (all of it without `prefixOf`).
ClassificationReport classify(const std::vector<CallTruth>& calls,
                              const std::vector<StoredResult>& results,
                              const DialPrefix& prefixOf = {});

// The numbers (as dialed) the record shows dialed more than once in one pass
// over the list; a pass starts at each of `passStarts` (in order; the
// dialer's "new pass" moments), the first at the start of the run.
std::vector<QString> dialedTwiceInAPass(const std::vector<CallTruth>& calls,
                                        const std::vector<QDateTime>& passStarts);

}  // namespace doruzudo::sim
