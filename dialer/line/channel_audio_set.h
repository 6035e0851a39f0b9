// ChannelAudioSet: the eight channels' sound as the start-up builds it, on
// sound cards (PortAudio) or on simulated lines, with the device list the
// start-up lookup reads. It owns the channels; the engine gets plain
// ChannelAudio pointers (engineAudio()) and the virtual exchange the
// simulated lines' far ends (simulated(n)->farEnd()).
//
// Threads: main thread only.
#pragma once

#include <array>
#include <memory>

#include "common/channel_settings.h"
#include "dialer/line/channel_audio_lookup.h"
#include "dialer/line/channel_audio_portaudio.h"
#include "dialer/line/channel_audio_sim.h"

namespace doruzudo {

class ChannelAudioSet {
 public:
  // Sound cards through PortAudio (initialised here, terminated with the set).
  static std::unique_ptr<ChannelAudioSet> onSoundCards(Scheduler& scheduler);
  // Simulated lines; channel n's device is named "MD0<n>" and listed in
  // channel order.
  static std::unique_ptr<ChannelAudioSet> simulatedLines(Scheduler& scheduler);
  ~ChannelAudioSet();

  ChannelAudioCore& channel(int n) { return *channels_.at(static_cast<size_t>(n - 1)); }
  std::array<ChannelAudio*, kChannelCount> engineAudio();
  // Channel n's simulated line, or null on sound cards.
  ChannelAudioSim* simulated(int n);
  SoundDeviceList& devices() { return *devices_; }

  // The start-up lookup (AcessaCanal) over this set; `done(anyFound)` when it ends.
  void open(EventLog& log, ChannelAudioLookup::Labels labels, std::function<void(bool)> done,
            int osKind = 5);
  const ChannelAudioLookup* lookup() const { return lookup_.get(); }

 private:
  explicit ChannelAudioSet(Scheduler& scheduler) : scheduler_(scheduler) {}

  Scheduler& scheduler_;
  std::unique_ptr<PortAudioSystem> portAudio_;  // outlives the channels' streams
  std::unique_ptr<SoundDeviceList> simDevices_;
  SoundDeviceList* devices_ = nullptr;
  std::array<std::unique_ptr<ChannelAudioCore>, kChannelCount> channels_;
  std::unique_ptr<ChannelAudioLookup> lookup_;
};

}  // namespace doruzudo
