// ChannelAudioLookup: finding and opening the channels' sound devices at
// start-up (AcessaCanal), once, when the line units have been bound.
//
// The input devices are read in index order. A device whose name serves
// channel n (sound_device.h) opens that channel (InitAudio2):
//   1. the channel's device stream is opened on the input and output names;
//      if that fails the channel label shows "Erro no Canal", the log says
//      "Erro ao iniciar monitoração do Canal <n>", and the steps go on;
//   2. the channel counts as found; its status label shows "Aguardando";
//   3. the input stream starts (it feeds the channel's tone decoder); if it
//      cannot, the log says "Erro ao iniciar stream do canal <n>" and "Erro
//      no stream do canal <n>" and the opening ends there;
//   4. the log says "Canal <n> inicializado com sucesso." and the lookup
//      waits 300 ms.
// After each device index the lookup waits 500 ms. The waits are scheduler
// continuations: the rest of the program runs meanwhile. A channel listed
// under several devices is opened once per match; a channel never matched
// stays closed and silent.
//
// When the last index is done, `done(anyFound)` is called: whether any
// channel's device was found (the start-up hands it to
// putLinesOnHookAtStart).
//
// Threads: main thread only.
#pragma once

#include <QString>
#include <array>
#include <functional>

#include "common/channel_settings.h"
#include "common/scheduler.h"
#include "dialer/line/channel_audio_core.h"
#include "dialer/line/sound_device.h"

namespace doruzudo {

class EventLog;

class ChannelAudioLookup {
 public:
  static constexpr int kPerDeviceMs = 500;
  static constexpr int kPerChannelMs = 300;

  // What the lookup shows on the main panel.
  struct Labels {
    std::function<void(int channel, const QString& text)> channelLabel;  // lbCanalC<n>
    std::function<void(int channel, const QString& text)> statusLabel;   // lbStatusC<n>
  };

  // `channels[n - 1]` is channel n's audio (none may be null). `osKind` is
  // the naming rule of device names (5 on Linux).
  ChannelAudioLookup(Scheduler& scheduler, EventLog& log, SoundDeviceList& devices,
                     std::array<ChannelAudioCore*, kChannelCount> channels, Labels labels,
                     int osKind = 5);
  ~ChannelAudioLookup();

  // AcessaCanal: runs the lookup; `done` gets whether any channel was found.
  void AcessaCanal(std::function<void(bool anyFound)> done);
  bool running() const { return pending_ != 0; }

  bool channelFound(int channel) const { return found_.at(static_cast<size_t>(channel - 1)); }
  bool anyChannelFound() const;

 private:
  void lookAt(int index);
  void next(int index, int delayMs);
  // InitAudio2; returns false when the stream did not start.
  bool openChannel(int channel, const QString& inputName, const QString& outputName);

  Scheduler& scheduler_;
  EventLog& log_;
  SoundDeviceList& devices_;
  std::array<ChannelAudioCore*, kChannelCount> channels_;
  Labels labels_;
  int osKind_;
  std::array<bool, kChannelCount> found_{};
  std::function<void(bool)> done_;
  uint64_t pending_ = 0;  // the scheduled continuation, 0 when none
};

}  // namespace doruzudo
