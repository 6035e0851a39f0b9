#include "dialer/line/channel_audio_set.h"

namespace doruzudo {

std::unique_ptr<ChannelAudioSet> ChannelAudioSet::onSoundCards(Scheduler& scheduler) {
  std::unique_ptr<ChannelAudioSet> set(new ChannelAudioSet(scheduler));
  set->portAudio_ = std::make_unique<PortAudioSystem>();
  set->devices_ = set->portAudio_.get();
  for (auto& channel : set->channels_) {
    channel = std::make_unique<ChannelAudioPortAudio>(scheduler, *set->portAudio_);
  }
  return set;
}

std::unique_ptr<ChannelAudioSet> ChannelAudioSet::simulatedLines(Scheduler& scheduler) {
  std::unique_ptr<ChannelAudioSet> set(new ChannelAudioSet(scheduler));
  QStringList names;
  for (int n = 1; n <= kChannelCount; ++n) {
    names << channelDeviceName(n);
    set->channels_[static_cast<size_t>(n - 1)] =
        std::make_unique<ChannelAudioSim>(scheduler, channelDeviceName(n));
  }
  set->simDevices_ = std::make_unique<SimSoundDevices>(names);
  set->devices_ = set->simDevices_.get();
  return set;
}

ChannelAudioSet::~ChannelAudioSet() {
  lookup_.reset();
  for (auto& channel : channels_) channel.reset();  // streams close before PortAudio ends
}

std::array<ChannelAudio*, kChannelCount> ChannelAudioSet::engineAudio() {
  std::array<ChannelAudio*, kChannelCount> out{};
  for (size_t i = 0; i < out.size(); ++i) out[i] = channels_[i].get();
  return out;
}

ChannelAudioSim* ChannelAudioSet::simulated(int n) {
  return dynamic_cast<ChannelAudioSim*>(&channel(n));
}

void ChannelAudioSet::open(EventLog& log, ChannelAudioLookup::Labels labels,
                           std::function<void(bool)> done, int osKind) {
  std::array<ChannelAudioCore*, kChannelCount> channels{};
  for (size_t i = 0; i < channels.size(); ++i) channels[i] = channels_[i].get();
  lookup_ = std::make_unique<ChannelAudioLookup>(scheduler_, log, *devices_, channels,
                                                 std::move(labels), osKind);
  lookup_->AcessaCanal(std::move(done));
}

}  // namespace doruzudo
