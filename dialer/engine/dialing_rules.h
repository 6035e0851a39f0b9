// The rules a dialing step applies before it takes a number: the date
// window, the blocked periods of the day and the attempt limit; and the
// transfer-block windows of an answered call.
// Pure functions; thread-safe.
#pragma once

#include <QDateTime>
#include <QTime>
#include <optional>

#include "common/channel_settings.h"

namespace doruzudo {

// With DataDisca on, dialing is allowed only strictly between DataIni and
// DataFim, both taken at midnight: DataIni today allows the whole day (but
// its first instant), DataFim today refuses the whole day. An unset date
// refuses. With DataDisca off every moment is inside.
bool insideDateWindow(const ChannelSettings& settings, const QDateTime& now);

// The first blocked period (1..3) with PerIni <= time <= PerFin, or 0 when
// the time lies in none. `timeOfDay` is taken in whole seconds. A period
// from 00:00 to 00:00 blocks the second 00:00:00 only; one whose start is
// later than its end (22:00 to 06:00) blocks nothing. An unset bound blocks
// nothing.
int blockedPeriod(const ChannelSettings& settings, const QTime& timeOfDay);

// Whether the time of day (taken in whole seconds) lies in one of the four
// transfer-block windows, HoraIni <= time <= HoraFim. An unset bound blocks
// nothing.
bool inTransferBlockWindow(const GeneralSettings& settings, const QTime& timeOfDay);

// The time of day in whole seconds.
QTime wholeSeconds(const QTime& time);

// The attempt limit of the Tentativa text, or nullopt when the text holds no
// whole number (the limit is then not applied).
std::optional<int> attemptLimit(const ChannelSettings& settings);

}  // namespace doruzudo
