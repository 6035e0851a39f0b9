#include "dialer/line/sound_device.h"

#include <QStringList>

#include "common/channel_settings.h"

namespace doruzudo {

namespace {
constexpr int kModernNaming = 5;
}

QString channelDeviceName(int channel) {
  return QStringLiteral("MD0%1").arg(channel);
}

int channelOfInputDevice(const QString& name, int osKind) {
  QString word = name;
  if (osKind == kModernNaming) {
    word = name.split(QLatin1Char(' ')).last();
    word.remove(QLatin1Char(')')).remove(QLatin1Char('('));
  }
  for (int n = 1; n <= kChannelCount; ++n) {
    if (word == channelDeviceName(n)) return n;
  }
  return 0;
}

QString outputDeviceFor(const QString& inputName, int osKind) {
  if (osKind != kModernNaming) return inputName;
  QString out = inputName;
  return out.replace(QStringLiteral("Microfone"), QStringLiteral("Alto-falantes"));
}

}  // namespace doruzudo
