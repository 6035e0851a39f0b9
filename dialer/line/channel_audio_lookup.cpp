#include "dialer/line/channel_audio_lookup.h"

#include <algorithm>

#include "common/event_log.h"

namespace doruzudo {

ChannelAudioLookup::ChannelAudioLookup(Scheduler& scheduler, EventLog& log,
                                       SoundDeviceList& devices,
                                       std::array<ChannelAudioCore*, kChannelCount> channels,
                                       Labels labels, int osKind)
    : scheduler_(scheduler),
      log_(log),
      devices_(devices),
      channels_(channels),
      labels_(std::move(labels)),
      osKind_(osKind) {}

ChannelAudioLookup::~ChannelAudioLookup() {
  if (pending_) scheduler_.cancel(pending_);
}

bool ChannelAudioLookup::anyChannelFound() const {
  return std::any_of(found_.begin(), found_.end(), [](bool f) { return f; });
}

void ChannelAudioLookup::AcessaCanal(std::function<void(bool anyFound)> done) {
  found_.fill(false);
  done_ = std::move(done);
  lookAt(0);
}

void ChannelAudioLookup::next(int index, int delayMs) {
  pending_ = scheduler_.callLater(
      delayMs,
      [this, index] {
        pending_ = 0;
        lookAt(index);
      },
      QStringLiteral("AcessaCanal"));
}

void ChannelAudioLookup::lookAt(int index) {
  if (index >= devices_.inputDeviceCount()) {
    if (done_) std::exchange(done_, nullptr)(anyChannelFound());
    return;
  }
  const Result<QString> name = devices_.inputDeviceName(index);
  const int channel = name ? channelOfInputDevice(*name, osKind_) : 0;
  if (channel != 0 && openChannel(channel, *name, outputDeviceFor(*name, osKind_))) {
    // Canal <n> inicializado: 300 ms, then the device's own 500 ms.
    pending_ = scheduler_.callLater(
        kPerChannelMs,
        [this, index] {
          pending_ = 0;
          next(index + 1, kPerDeviceMs);
        },
        QStringLiteral("InitAudio2"));
    return;
  }
  next(index + 1, kPerDeviceMs);
}

bool ChannelAudioLookup::openChannel(int channel, const QString& inputName,
                                     const QString& outputName) {
  ChannelAudioCore& audio = *channels_.at(static_cast<size_t>(channel - 1));
  if (!audio.openDevices(inputName, outputName)) {
    if (labels_.channelLabel) labels_.channelLabel(channel, QStringLiteral("Erro no Canal"));
    log_.AddMsg(QStringLiteral("Erro ao iniciar monitoração do Canal %1").arg(channel));
  }
  found_.at(static_cast<size_t>(channel - 1)) = true;
  if (labels_.statusLabel) labels_.statusLabel(channel, QStringLiteral("Aguardando"));
  if (!audio.startStream()) {
    log_.AddMsg(QStringLiteral("Erro ao iniciar stream do canal %1").arg(channel));
    log_.AddMsg(QStringLiteral("Erro no stream do canal %1").arg(channel));
    return false;
  }
  log_.AddMsg(QStringLiteral("Canal %1 inicializado com sucesso.").arg(channel));
  return true;
}

}  // namespace doruzudo
