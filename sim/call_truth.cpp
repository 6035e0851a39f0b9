#include "sim/call_truth.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace doruzudo::sim {
namespace {

void put(QJsonObject& o, const char* name, const std::optional<int64_t>& ms) {
  if (ms) o.insert(QLatin1String(name), static_cast<qint64>(*ms));
}

}  // namespace

QJsonObject CallTruth::toJson() const {
  QJsonObject o;
  o.insert(QStringLiteral("channel"), channel);
  if (!offHookAt.isEmpty()) o.insert(QStringLiteral("offHookAt"), offHookAt);
  o.insert(QStringLiteral("dialed"), dialed);
  if (!behaviour.isEmpty()) {
    o.insert(QStringLiteral("behaviour"), behaviour);
    o.insert(QStringLiteral("scenarioLine"), scenarioLine);
  }
  put(o, "completedAtMs", completedAtMs);
  if (!behaviour.isEmpty()) o.insert(QStringLiteral("ringsPlayed"), ringsPlayed);
  put(o, "answeredAtMs", answeredAtMs);
  put(o, "messageEndedAtMs", messageEndedAtMs);
  if (!keys.empty()) {
    QJsonArray list;
    for (const KeyPress& k : keys) {
      list.append(QJsonObject{{QStringLiteral("key"), QString(k.key)},
                              {QStringLiteral("atMs"), static_cast<qint64>(k.atMs)}});
    }
    o.insert(QStringLiteral("keys"), list);
  }
  put(o, "flashAtMs", flashAtMs);
  if (transferredTo) o.insert(QStringLiteral("transferredTo"), *transferredTo);
  put(o, "hungUpAtMs", hungUpAtMs);
  put(o, "onHookAtMs", onHookAtMs);
  return o;
}

Status TruthLog::open(const QString& path) {
  if (file_.isOpen()) file_.close();
  file_.setFileName(path);
  if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
    return Status::Error(QStringLiteral("%1: %2").arg(path, file_.errorString()));
  }
  return Status::Ok();
}

Status TruthLog::write(const CallTruth& call) {
  if (!file_.isOpen()) return Status::Error(QStringLiteral("the truth file is not open"));
  const QByteArray line = QJsonDocument(call.toJson()).toJson(QJsonDocument::Compact) + '\n';
  if (file_.write(line) != line.size() || !file_.flush()) {
    return Status::Error(QStringLiteral("%1: %2").arg(file_.fileName(), file_.errorString()));
  }
  return Status::Ok();
}

}  // namespace doruzudo::sim
