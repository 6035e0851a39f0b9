#include "common/reg_file.h"

#include <QFile>
#include <QRegularExpression>

namespace doruzudo {
namespace {

const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");

QString escape(const QString& text) {
  QString out;
  out.reserve(text.size() + 8);
  for (const QChar c : text) {
    switch (c.unicode()) {
      case '\\': out += QStringLiteral("\\\\"); break;
      case '"': out += QStringLiteral("\\\""); break;
      case '\r': out += QStringLiteral("\\r"); break;
      case '\n': out += QStringLiteral("\\n"); break;
      default: out += c;
    }
  }
  return out;
}

// Reads a quoted text starting at `pos` (on the opening quote). Returns the
// text and moves `pos` past the closing quote, or nullopt when malformed.
std::optional<QString> readQuoted(const QString& line, int& pos) {
  if (pos >= line.size() || line[pos] != QLatin1Char('"')) return std::nullopt;
  QString out;
  for (int i = pos + 1; i < line.size(); ++i) {
    const QChar c = line[i];
    if (c == QLatin1Char('"')) {
      pos = i + 1;
      return out;
    }
    if (c == QLatin1Char('\\')) {
      if (++i >= line.size()) return std::nullopt;
      switch (line[i].unicode()) {
        case '\\': out += QLatin1Char('\\'); break;
        case '"': out += QLatin1Char('"'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case 'n': out += QLatin1Char('\n'); break;
        default: return std::nullopt;
      }
      continue;
    }
    out += c;
  }
  return std::nullopt;
}

std::optional<StoredValue> parseValueLine(const QString& line, QString& why) {
  int pos = 0;
  const auto name = readQuoted(line, pos);
  if (!name || name->isEmpty()) {
    why = QStringLiteral("expected \"Name\"=value");
    return std::nullopt;
  }
  if (pos >= line.size() || line[pos] != QLatin1Char('=')) {
    why = QStringLiteral("expected '=' after the name");
    return std::nullopt;
  }
  ++pos;
  StoredValue value;
  value.name = *name;
  const QString rest = line.mid(pos);
  if (rest.startsWith(QLatin1Char('"'))) {
    int p = 0;
    const auto text = readQuoted(rest, p);
    if (!text || !rest.mid(p).trimmed().isEmpty()) {
      why = QStringLiteral("malformed quoted text");
      return std::nullopt;
    }
    value.type = ValueType::Text;
    value.text = *text;
    return value;
  }
  static const QRegularExpression dword(QStringLiteral("^dword:([0-9a-fA-F]{1,8})\\s*$"));
  const auto m = dword.match(rest);
  if (!m.hasMatch()) {
    why = QStringLiteral("unsupported value (only \"text\" and dword:XXXXXXXX)");
    return std::nullopt;
  }
  value.type = ValueType::Integer;
  value.integer = static_cast<int32_t>(m.captured(1).toUInt(nullptr, 16));
  return value;
}

}  // namespace

QString regValueLine(const StoredValue& value) {
  const QString name = QLatin1Char('"') + escape(value.name) + QStringLiteral("\"=");
  if (value.type == ValueType::Integer) {
    return name + QStringLiteral("dword:%1").arg(static_cast<uint32_t>(value.integer), 8, 16,
                                                 QLatin1Char('0'));
  }
  return name + QLatin1Char('"') + escape(value.text) + QLatin1Char('"');
}

Result<std::vector<RegEntry>> parseRegText(const QByteArray& bytes, const QString& fileName) {
  QByteArray data = bytes;
  if (data.startsWith("\xEF\xBB\xBF")) data.remove(0, 3);
  const QStringList lines = QString::fromUtf8(data).split(QLatin1Char('\n'));
  std::vector<RegEntry> entries;
  QString key;
  bool headerSeen = false;
  for (int i = 0; i < lines.size(); ++i) {
    QString line = lines[i];
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    const QString trimmed = line.trimmed();
    const int lineNo = i + 1;
    auto error = [&](const QString& why) {
      return Result<std::vector<RegEntry>>::Error(
          QStringLiteral("%1:%2: %3").arg(fileName).arg(lineNo).arg(why));
    };
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';'))) continue;
    if (!headerSeen) {
      if (trimmed != kHeader) return error(QStringLiteral("expected the line \"%1\"").arg(kHeader));
      headerSeen = true;
      continue;
    }
    if (trimmed.startsWith(QLatin1Char('['))) {
      if (!trimmed.endsWith(QLatin1Char(']')) || trimmed.size() < 3 ||
          trimmed.startsWith(QStringLiteral("[-"))) {
        return error(QStringLiteral("malformed key section"));
      }
      key = trimmed.mid(1, trimmed.size() - 2);
      continue;
    }
    if (key.isEmpty()) return error(QStringLiteral("a value before any [key] section"));
    QString why;
    const auto value = parseValueLine(trimmed, why);
    if (!value) return error(why);
    entries.push_back(RegEntry{key, *value, lineNo});
  }
  if (!headerSeen) {
    return Result<std::vector<RegEntry>>::Error(
        QStringLiteral("%1: not a settings file (no \"%2\" line)").arg(fileName, kHeader));
  }
  return entries;
}

Status importRegEntries(SettingsStore& store, const std::vector<RegEntry>& entries) {
  try {
    store.transaction([&] {
      for (const RegEntry& e : entries) {
        if (e.value.type == ValueType::Integer) {
          writeSetting(store, e.key, e.value.name, e.value.integer);
        } else {
          writeSetting(store, e.key, e.value.name, e.value.text);
        }
      }
    });
  } catch (const SettingsError& e) {
    return Status::Error(e.message());
  }
  return Status::Ok();
}

Status importRegFile(SettingsStore& store, const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    return Status::Error(QStringLiteral("%1: %2").arg(fileName, file.errorString()));
  }
  auto entries = parseRegText(file.readAll(), fileName);
  if (!entries) return entries.status();
  return importRegEntries(store, *entries);
}

QByteArray exportRegText(SettingsStore& store, const std::optional<QString>& key) {
  QString out = kHeader + QStringLiteral("\r\n");
  const std::vector<QString> keys = key ? std::vector<QString>{*key} : store.keys();
  for (const QString& k : keys) {
    auto open = store.openKey(k);
    if (!open) continue;
    out += QStringLiteral("\r\n[") + open->path() + QStringLiteral("]\r\n");
    for (const StoredValue& v : open->values()) out += regValueLine(v) + QStringLiteral("\r\n");
  }
  return out.toUtf8();
}

}  // namespace doruzudo
