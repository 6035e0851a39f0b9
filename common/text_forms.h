// The text forms the product uses whatever the system locale: Brazilian dates
// (dd/mm/yyyy), times (HH:MM:SS), Booleans stored as "-1"/"0".
// Pure functions; thread-safe.
#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>

namespace doruzudo {

QString formatDate(const QDate& date);  // 25/03/2011
QString formatTime(const QTime& time);  // 14:07:09
// Event-log form: "25/03/2011 - 14:07:09".
QString formatDateTime(const QDate& date, const QTime& time);

// d/m/yyyy or dd/mm/yy (two-digit years pivot at 50 as the short date format
// does); surrounding blanks allowed; anything else is no date.
std::optional<QDate> parseDate(const QString& text);
// H:MM or H:MM:SS, hours 0-23, minutes and seconds 0-59; blanks around the
// fields are allowed ("8:00", " 8:00:00"); a blank field is no time.
std::optional<QTime> parseTime(const QString& text);
// Any number (non-zero is true) or "True"/"False" in any letter case.
std::optional<bool> parseBool(const QString& text);
// The stored form of a Boolean: "-1" or "0".
inline QString boolText(bool value) { return value ? QStringLiteral("-1") : QStringLiteral("0"); }
// A whole decimal number with optional sign and surrounding blanks.
std::optional<int> parseInt(const QString& text);

}  // namespace doruzudo
