#include "sim/classification.h"

#include <algorithm>
#include <map>
#include <numeric>

#include "common/call_database.h"

namespace doruzudo::sim {

std::optional<LineOutcome> lineOutcome(const CallTruth& call) {
  if (call.behaviour == QLatin1String("busy")) return LineOutcome::Busy;
  if (call.behaviour == QLatin1String("ring")) return LineOutcome::NoAnswer;
  if (call.behaviour == QLatin1String("noringback")) return LineOutcome::NoRingback;
  if (call.behaviour != QLatin1String("answer")) return std::nullopt;
  if (call.ringsPlayed == 0) return LineOutcome::NoRingback;
  if (!call.answeredAtMs) return LineOutcome::NoAnswer;
  constexpr int64_t kHungUpOnAnswerMs = 1000;
  if (call.onHookAtMs && *call.onHookAtMs - *call.answeredAtMs < kHungUpOnAnswerMs) {
    return LineOutcome::NoAnswer;
  }
  if (!call.partySilent) return LineOutcome::Answered;
  return call.channel >= 2 && call.channel <= 4 ? LineOutcome::SilentFailure
                                                : LineOutcome::SilentAnswered;
}

QString expectedStatus(LineOutcome outcome) {
  switch (outcome) {
    case LineOutcome::Busy: return calldb::kStatusBusy;
    case LineOutcome::NoAnswer: return calldb::kStatusNoAnswer;
    case LineOutcome::NoRingback: return calldb::kStatusSwitchFailure;
    case LineOutcome::Answered:
    case LineOutcome::SilentAnswered: return calldb::kStatusAnswered;
    case LineOutcome::SilentFailure: return calldb::kStatusCallFailure;
  }
  return {};
}

QString outcomeName(LineOutcome outcome) {
  switch (outcome) {
    case LineOutcome::Busy: return QStringLiteral("busy tone");
    case LineOutcome::NoAnswer: return QStringLiteral("ringing, no answer");
    case LineOutcome::NoRingback: return QStringLiteral("no ringback");
    case LineOutcome::Answered: return QStringLiteral("answered, speaking");
    case LineOutcome::SilentAnswered: return QStringLiteral("answered silent (ch 1, 5-8)");
    case LineOutcome::SilentFailure: return QStringLiteral("answered silent (ch 2-4)");
  }
  return {};
}

int ClassificationReport::allRight() const { return std::accumulate(right.begin(), right.end(), 0); }
int ClassificationReport::all() const { return std::accumulate(total.begin(), total.end(), 0); }

ClassificationReport classify(const std::vector<CallTruth>& calls,
                              const std::vector<StoredResult>& results,
                              const DialPrefix& prefixOf) {
  std::map<QString, const CallTruth*> last;
  for (const CallTruth& call : calls) {
    QString number = call.dialed;
    if (prefixOf) {
      const QString prefix = prefixOf(call.channel);
      if (number.startsWith(prefix)) number.remove(0, prefix.size());
    }
    const CallTruth*& seen = last[number];
    if (!seen || seen->offHookAt <= call.offHookAt) seen = &call;
  }
  ClassificationReport report;
  for (const StoredResult& result : results) {
    const auto it = last.find(result.number);
    const std::optional<LineOutcome> outcome =
        it == last.end() ? std::nullopt : lineOutcome(*it->second);
    if (!outcome) {
      ++report.withoutCall;
      continue;
    }
    const auto o = static_cast<size_t>(*outcome);
    ++report.total[o];
    if (result.status == expectedStatus(*outcome)) {
      ++report.right[o];
    } else {
      report.mismatches.push_back({result.number, it->second->channel, *outcome, result.status});
    }
  }
  return report;
}

std::vector<QString> dialedTwiceInAPass(const std::vector<CallTruth>& calls,
                                        const std::vector<QDateTime>& passStarts) {
  std::map<std::pair<QString, int64_t>, int> dials;
  std::vector<QString> twice;
  for (const CallTruth& call : calls) {
    const QDateTime at = QDateTime::fromString(call.offHookAt, Qt::ISODateWithMs);
    const int64_t pass = std::upper_bound(passStarts.begin(), passStarts.end(), at) - passStarts.begin();
    if (++dials[{call.dialed, pass}] == 2) twice.push_back(call.dialed);
  }
  return twice;
}

}  // namespace doruzudo::sim
