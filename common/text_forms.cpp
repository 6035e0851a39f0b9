#include "common/text_forms.h"

#include <QRegularExpression>

namespace doruzudo {

QString formatDate(const QDate& date) { return date.toString(QStringLiteral("dd/MM/yyyy")); }

QString formatTime(const QTime& time) { return time.toString(QStringLiteral("HH:mm:ss")); }

QString formatDateTime(const QDate& date, const QTime& time) {
  return formatDate(date) + QStringLiteral(" - ") + formatTime(time);
}

std::optional<QDate> parseDate(const QString& text) {
  static const QRegularExpression re(QStringLiteral(R"(^\s*(\d{1,2})/(\d{1,2})/(\d{2}|\d{4})\s*$)"));
  const auto m = re.match(text);
  if (!m.hasMatch()) return std::nullopt;
  int year = m.captured(3).toInt();
  if (m.captured(3).size() == 2) year += year < 50 ? 2000 : 1900;
  const QDate date(year, m.captured(2).toInt(), m.captured(1).toInt());
  if (!date.isValid()) return std::nullopt;
  return date;
}

std::optional<QTime> parseTime(const QString& text) {
  static const QRegularExpression re(
      QStringLiteral(R"(^\s*(\d{1,2})\s*:\s*(\d{1,2})\s*(?::\s*(\d{1,2})\s*)?$)"));
  const auto m = re.match(text);
  if (!m.hasMatch()) return std::nullopt;
  const int h = m.captured(1).toInt();
  const int mi = m.captured(2).toInt();
  const int s = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
  if (h > 23 || mi > 59 || s > 59) return std::nullopt;
  return QTime(h, mi, s);
}

std::optional<bool> parseBool(const QString& text) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  bool isNumber = false;
  const double number = t.toDouble(&isNumber);
  if (isNumber) return number != 0.0;
  if (t.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0) return true;
  if (t.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0) return false;
  return std::nullopt;
}

std::optional<int> parseInt(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  if (!ok) return std::nullopt;
  return value;
}

}  // namespace doruzudo
