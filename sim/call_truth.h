// What really happened on one call at the far end, for comparing with what
// the dialer made of it: one JSON object per call, one call a line, in the
// file a TruthLog writes.
//
// Times are milliseconds since the dialer took the line off-hook (line time);
// offHookAt is the scheduler's wall-clock time of that moment, when known.
// Absent fields did not happen. Example (in a readable order; the file has
// the names sorted):
//   {"channel":3,"offHookAt":"2026-03-25T09:00:05.500","dialed":"01133334444",
//    "behaviour":"answer","scenarioLine":4,"completedAtMs":4900,"ringsPlayed":2,
//    "answeredAtMs":11400,"messageEndedAtMs":19020,
//    (a party answering without a word adds "partySilent":true)
//    "keys":[{"key":"1","atMs":20020}],"hungUpAtMs":22020,"onHookAtMs":22700}
// Thread-safety: CallTruth is a plain value; a TruthLog is used from one thread.
#pragma once

#include <QFile>
#include <QJsonObject>
#include <QString>
#include <optional>
#include <vector>

#include "common/status.h"

namespace doruzudo::sim {

struct KeyPress {
  QChar key;
  int64_t atMs = 0;
};

struct CallTruth {
  int channel = 0;
  QString offHookAt;  // ISO 8601 with milliseconds; empty when unknown
  // The number as completed, prefix and operator code included (the keys
  // heard so far when the dialer hung up before the number was complete).
  QString dialed;
  // The behaviour played once the number was complete (a mix resolved); empty
  // when the number never completed. scenarioLine is 0 when no line matched.
  QString behaviour;
  int scenarioLine = 0;
  std::optional<int64_t> completedAtMs;
  int ringsPlayed = 0;
  std::optional<int64_t> answeredAtMs;
  bool partySilent = false;  // the party answered without a word
  // When the party took the dialer's first message as over (its audio silent
  // for 500 ms): the keys and the hang-up count from here.
  std::optional<int64_t> messageEndedAtMs;
  std::vector<KeyPress> keys;
  std::optional<int64_t> flashAtMs;  // the first hook-flash
  std::optional<QString> transferredTo;
  std::optional<int64_t> hungUpAtMs;  // the called party hung up
  std::optional<int64_t> onHookAtMs;  // the dialer hung up

  QJsonObject toJson() const;
  // The call of one line of a truth file; an error names what is wrong.
  static Result<CallTruth> fromJson(const QJsonObject& object);
};

// Every call of a truth file, in the order written; an error names the file
// and the line.
Result<std::vector<CallTruth>> readTruthFile(const QString& path);

// Appends calls to a file, one JSON object a line, each written out at once.
class TruthLog {
 public:
  TruthLog() = default;
  // Creates or truncates `path`.
  Status open(const QString& path);
  bool isOpen() const { return file_.isOpen(); }
  Status write(const CallTruth& call);

 private:
  QFile file_;
};

}  // namespace doruzudo::sim
