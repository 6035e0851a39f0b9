#include "dialer/engine/dialing_rules.h"

#include "common/text_forms.h"

namespace doruzudo {

bool insideDateWindow(const ChannelSettings& settings, const QDateTime& now) {
  if (!settings.DataDisca) return true;
  if (!settings.DataIni.isValid() || !settings.DataFim.isValid()) return false;
  const QDateTime start(settings.DataIni, QTime(0, 0));
  const QDateTime end(settings.DataFim, QTime(0, 0));
  return start < now && now < end;
}

int blockedPeriod(const ChannelSettings& settings, const QTime& timeOfDay) {
  const QTime time = wholeSeconds(timeOfDay);
  for (int k = 0; k < 3; ++k) {
    const QTime& from = settings.PerIni.at(k);
    const QTime& to = settings.PerFin.at(k);
    if (!from.isValid() || !to.isValid()) continue;
    if (from <= time && time <= to) return k + 1;
  }
  return 0;
}

bool inTransferBlockWindow(const GeneralSettings& settings, const QTime& timeOfDay) {
  const QTime time = wholeSeconds(timeOfDay);
  for (const TimeWindow& window : settings.HoraWindows) {
    if (!window.start.isValid() || !window.end.isValid()) continue;
    if (window.start <= time && time <= window.end) return true;
  }
  return false;
}

QTime wholeSeconds(const QTime& time) {
  return QTime(time.hour(), time.minute(), time.second());
}

std::optional<int> attemptLimit(const ChannelSettings& settings) {
  return parseInt(settings.Tentativa);
}

}  // namespace doruzudo
