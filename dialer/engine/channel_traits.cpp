#include "dialer/engine/channel_traits.h"

#include <array>
#include <stdexcept>

#include "common/channel_settings.h"

namespace doruzudo {

namespace {

// One row per channel, in the order of ChannelTraits' fields.
constexpr std::array<ChannelTraits, kChannelCount> kTable = {{
    // ch  tCall  TimeOut  tGetLinha  Formata  prefix  tTcc   key9     key9   period1  repeat
    //                                log      log            stops    extra  "Discagem" "Canal2."
    {1, 5500, 4000, 1500, false, false, true, true, 3000, true, false},
    {2, 6000, 1000, 1000, true, false, false, true, 3000, false, true},
    {3, 5500, 4000, 1000, true, false, false, true, 3000, false, false},
    {4, 5500, 4000, 1000, true, false, false, true, 3000, false, false},
    {5, 5500, 4000, 1000, true, false, true, false, 2000, false, false},
    {6, 5500, 4000, 1000, true, false, true, false, 2000, false, false},
    {7, 5500, 4000, 1000, true, false, true, false, 2000, false, false},
    {8, 5500, 4000, 1000, false, true, true, false, 2000, false, false},
}};

}  // namespace

QString ChannelTraits::blockedPeriodMessage(int period) const {
  return period == 1 && firstPeriodMessageCorrect
             ? QStringLiteral("Discagem Fora do horário permitido.")
             : QStringLiteral("Dicagem Fora do horário permitido.");
}

QString ChannelTraits::delayedRepeatError() const {
  return compactRepeatError ? QStringLiteral("Erro ao reproduzir audio no Canal%1.").arg(channel)
                            : QStringLiteral("Erro ao reproduzir audio no Canal %1.").arg(channel);
}

const ChannelTraits& channelTraits(int channel) {
  if (channel < 1 || channel > kChannelCount) {
    throw std::out_of_range("channel out of range");
  }
  return kTable[channel - 1];
}

}  // namespace doruzudo
