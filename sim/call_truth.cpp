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
  if (partySilent) o.insert(QStringLiteral("partySilent"), true);
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

Result<CallTruth> CallTruth::fromJson(const QJsonObject& o) {
  CallTruth c;
  const auto ms = [&](const char* name) -> std::optional<int64_t> {
    const QJsonValue v = o.value(QLatin1String(name));
    if (!v.isDouble()) return std::nullopt;
    return static_cast<int64_t>(v.toDouble());
  };
  if (!o.value(QStringLiteral("channel")).isDouble() || !o.value(QStringLiteral("dialed")).isString()) {
    return Result<CallTruth>::Error(QStringLiteral("a call needs \"channel\" and \"dialed\""));
  }
  c.channel = o.value(QStringLiteral("channel")).toInt();
  c.offHookAt = o.value(QStringLiteral("offHookAt")).toString();
  c.dialed = o.value(QStringLiteral("dialed")).toString();
  c.behaviour = o.value(QStringLiteral("behaviour")).toString();
  c.scenarioLine = o.value(QStringLiteral("scenarioLine")).toInt();
  c.completedAtMs = ms("completedAtMs");
  c.ringsPlayed = o.value(QStringLiteral("ringsPlayed")).toInt();
  c.answeredAtMs = ms("answeredAtMs");
  c.partySilent = o.value(QStringLiteral("partySilent")).toBool();
  c.messageEndedAtMs = ms("messageEndedAtMs");
  for (const QJsonValue& k : o.value(QStringLiteral("keys")).toArray()) {
    const QString key = k.toObject().value(QStringLiteral("key")).toString();
    if (key.size() != 1) return Result<CallTruth>::Error(QStringLiteral("a key is one character"));
    c.keys.push_back({key.at(0), static_cast<int64_t>(k.toObject().value(QStringLiteral("atMs")).toDouble())});
  }
  c.flashAtMs = ms("flashAtMs");
  if (o.contains(QStringLiteral("transferredTo"))) {
    c.transferredTo = o.value(QStringLiteral("transferredTo")).toString();
  }
  c.hungUpAtMs = ms("hungUpAtMs");
  c.onHookAtMs = ms("onHookAtMs");
  return c;
}

Result<std::vector<CallTruth>> readTruthFile(const QString& path) {
  using R = Result<std::vector<CallTruth>>;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return R::Error(QStringLiteral("%1: %2").arg(path, file.errorString()));
  std::vector<CallTruth> calls;
  int lineNumber = 0;
  while (!file.atEnd()) {
    const QByteArray line = file.readLine().trimmed();
    ++lineNumber;
    if (line.isEmpty()) continue;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    Result<CallTruth> call = doc.isObject()
                                 ? CallTruth::fromJson(doc.object())
                                 : Result<CallTruth>::Error(error.error != QJsonParseError::NoError
                                                                ? error.errorString()
                                                                : QStringLiteral("not an object"));
    if (!call) return R::Error(QStringLiteral("%1:%2: %3").arg(path).arg(lineNumber).arg(call.message()));
    calls.push_back(std::move(*call));
  }
  return calls;
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
