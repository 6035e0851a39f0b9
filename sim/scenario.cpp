#include "sim/scenario.h"

#include <QFile>
#include <QRegularExpression>

#include "sim/tone_plan.h"

namespace doruzudo::sim {
namespace {

using Error = Result<Scenario>;

std::optional<double> toNumber(const QString& text) {
  bool ok = false;
  const double v = text.toDouble(&ok);
  return ok ? std::optional<double>(v) : std::nullopt;
}

bool validPattern(const QString& p) {
  static const QRegularExpression re(QStringLiteral(R"(^(\*|[0-9*#]+\*?)$)"));
  return re.match(p).hasMatch();
}

// Applies one key=value to an answer or mix behaviour; returns an error text.
QString applyOption(Behaviour& b, const QString& option) {
  const int eq = option.indexOf(QLatin1Char('='));
  const QString key = eq < 0 ? option : option.left(eq);
  const QString value = eq < 0 ? QString() : option.mid(eq + 1);
  auto number = [&](double min) -> std::optional<double> {
    const auto v = toNumber(value);
    if (!v || *v < min) return std::nullopt;
    return v;
  };
  if (b.kind == Behaviour::Kind::Mix) {
    const auto p = number(0);
    if (!p) return QStringLiteral("'%1' needs a number of 0 or more").arg(key);
    if (key == QLatin1String("busy")) b.pBusy = *p;
    else if (key == QLatin1String("ring")) b.pRing = *p;
    else if (key == QLatin1String("noringback")) b.pNoRingback = *p;
    else if (key == QLatin1String("answer")) b.pAnswer = *p;
    else return QStringLiteral("unknown mix weight '%1'").arg(key);
    return {};
  }
  if (b.kind != Behaviour::Kind::Answer) {
    return QStringLiteral("'%1' takes no options").arg(b.name());
  }
  if (key == QLatin1String("silent") && eq < 0) {
    b.silent = true;
    b.talkSeconds = 0;
  } else if (key == QLatin1String("rings")) {
    const auto v = number(0);
    if (!v || *v != static_cast<int>(*v)) return QStringLiteral("rings needs a whole number");
    b.rings = static_cast<int>(*v);
  } else if (key == QLatin1String("talk")) {
    if (value == QLatin1String("silent")) {
      b.silent = true;
      b.talkSeconds = 0;
    } else if (const auto v = number(0)) {
      b.talkSeconds = *v;
    } else {
      return QStringLiteral("talk needs seconds or 'silent'");
    }
  } else if (key == QLatin1String("keys")) {
    static const QRegularExpression re(QStringLiteral("^[0-9*#A-D]+$"));
    if (!re.match(value).hasMatch()) return QStringLiteral("keys takes digits, *, # and A-D");
    b.keys = value;
  } else if (key == QLatin1String("keydelay")) {
    const auto v = number(0);
    if (!v) return QStringLiteral("keydelay needs milliseconds");
    b.keyDelayMs = static_cast<int>(*v);
  } else if (key == QLatin1String("hangup")) {
    const auto v = number(0);
    if (!v) return QStringLiteral("hangup needs seconds");
    b.hangupSeconds = *v;
  } else if (key == QLatin1String("afterhangup")) {
    if (value != QLatin1String("busy") && value != QLatin1String("silence")) {
      return QStringLiteral("afterhangup is busy or silence");
    }
    b.busyAfterHangup = value == QLatin1String("busy");
  } else {
    return QStringLiteral("unknown option '%1'").arg(key);
  }
  return {};
}

}  // namespace

QString Behaviour::name() const {
  switch (kind) {
    case Kind::Busy: return QStringLiteral("busy");
    case Kind::NoRingback: return QStringLiteral("noringback");
    case Kind::Ring: return QStringLiteral("ring");
    case Kind::Answer: return QStringLiteral("answer");
    case Kind::Mix: return QStringLiteral("mix");
  }
  return {};
}

bool ScenarioLine::matches(const QString& number) const {
  if (pattern == QLatin1String("*")) return true;
  if (pattern.endsWith(QLatin1Char('*'))) return number.startsWith(pattern.chopped(1));
  return pattern == number;
}

const ScenarioLine* Scenario::match(const QString& number) const {
  for (const ScenarioLine& line : lines) {
    if (line.matches(number)) return &line;
  }
  return nullptr;
}

bool Scenario::completes(const QString& number) const {
  for (const ScenarioLine& line : lines) {
    if (line.completes(number)) return true;
  }
  return false;
}

Result<Scenario> parseScenario(const QString& text, const QString& fileName) {
  Scenario s;
  const QStringList rows = text.split(QLatin1Char('\n'));
  for (int i = 0; i < rows.size(); ++i) {
    QString row = rows[i];
    if (const int hash = row.indexOf(QStringLiteral(" #")); hash >= 0) row.truncate(hash);
    if (row.trimmed().startsWith(QLatin1Char('#'))) continue;
    const QStringList words = row.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty()) continue;
    auto error = [&](const QString& why) {
      return Error::Error(QStringLiteral("%1:%2: %3").arg(fileName).arg(i + 1).arg(why));
    };
    const QString& head = words[0];
    if (head == QLatin1String("tones")) {
      if (words.size() != 2 || !tonePlan(words[1])) {
        return error(QStringLiteral("tones takes one of %1").arg(tonePlanCodes().join(", ")));
      }
      s.tonePlan = words[1].toLower();
    } else if (head == QLatin1String("noise") || head == QLatin1String("level")) {
      const auto v = words.size() == 2 ? toNumber(words[1]) : std::nullopt;
      if (!v || *v > 3) return error(head + QStringLiteral(" takes a level in dBm0 (3 or less)"));
      if (head == QLatin1String("noise")) s.noiseDbm0 = *v;
      else s.levelDbm0 = *v;
    } else if (head == QLatin1String("seed")) {
      bool ok = false;
      const qulonglong seed = words.size() == 2 ? words[1].toULongLong(&ok) : 0;
      if (!ok) return error(QStringLiteral("seed takes a whole number"));
      s.seed = seed;
    } else {
      if (!validPattern(head)) return error(QStringLiteral("'%1' is not a number pattern").arg(head));
      if (words.size() < 2) return error(QStringLiteral("a behaviour must follow the pattern"));
      ScenarioLine line{head, {}, i + 1};
      const QString& kind = words[1];
      if (kind == QLatin1String("busy")) line.behaviour.kind = Behaviour::Kind::Busy;
      else if (kind == QLatin1String("noringback")) line.behaviour.kind = Behaviour::Kind::NoRingback;
      else if (kind == QLatin1String("ring")) line.behaviour.kind = Behaviour::Kind::Ring;
      else if (kind == QLatin1String("answer")) line.behaviour.kind = Behaviour::Kind::Answer;
      else if (kind == QLatin1String("mix")) line.behaviour.kind = Behaviour::Kind::Mix;
      else return error(QStringLiteral("unknown behaviour '%1'").arg(kind));
      for (int w = 2; w < words.size(); ++w) {
        if (const QString why = applyOption(line.behaviour, words[w]); !why.isEmpty()) return error(why);
      }
      const Behaviour& b = line.behaviour;
      if (b.kind == Behaviour::Kind::Mix && b.pBusy + b.pRing + b.pNoRingback + b.pAnswer <= 0) {
        return error(QStringLiteral("a mix needs at least one weight above 0"));
      }
      s.lines.push_back(line);
    }
  }
  return s;
}

Result<Scenario> loadScenario(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    return Error::Error(QStringLiteral("%1: %2").arg(fileName, file.errorString()));
  }
  return parseScenario(QString::fromUtf8(file.readAll()), fileName);
}

Behaviour resolveMix(const Behaviour& mix, double u) {
  if (mix.kind != Behaviour::Kind::Mix) return mix;
  const double total = mix.pBusy + mix.pRing + mix.pNoRingback + mix.pAnswer;
  double x = u * total;
  Behaviour b;
  const std::pair<double, Behaviour::Kind> choices[] = {{mix.pBusy, Behaviour::Kind::Busy},
                                                        {mix.pRing, Behaviour::Kind::Ring},
                                                        {mix.pNoRingback, Behaviour::Kind::NoRingback},
                                                        {mix.pAnswer, Behaviour::Kind::Answer}};
  for (const auto& [weight, kind] : choices) {
    if (weight > 0 && x < weight) {
      b.kind = kind;
      return b;
    }
    x -= weight;
  }
  b.kind = Behaviour::Kind::Answer;  // u at the very top of the range
  return b;
}

}  // namespace doruzudo::sim
