// The PortAudio backend on a machine without the channels' sound devices
// (as on build machines): every lookup fails in the ordinary way.
#include "dialer/line/channel_audio_portaudio.h"

#include <gtest/gtest.h>

#include "common/event_log.h"
#include "common/manual_scheduler.h"
#include "dialer/line/channel_audio_lookup.h"

namespace doruzudo {
namespace {

TEST(PortAudioBackend, WithoutChannelDevicesNothingOpensAndNothingCrashes) {
  PortAudioSystem system;
  for (int i = 0; i < system.inputDeviceCount(); ++i) {
    if (channelOfInputDevice(*system.inputDeviceName(i), 5) != 0) {
      GTEST_SKIP() << "this machine has a channel's sound device";
    }
  }
  ManualScheduler clock;
  EventLog log(clock);
  std::vector<std::unique_ptr<ChannelAudioPortAudio>> channels;
  std::array<ChannelAudioCore*, kChannelCount> pointers{};
  for (int n = 0; n < kChannelCount; ++n) {
    channels.push_back(std::make_unique<ChannelAudioPortAudio>(clock, system));
    pointers[size_t(n)] = channels.back().get();
  }
  SoundDeviceList& list = system;
  ChannelAudioLookup lookup(clock, log, list, pointers, {});
  std::optional<bool> found;
  lookup.AcessaCanal([&](bool any) { found = any; });
  clock.advance(500 * (system.inputDeviceCount() + 1));
  EXPECT_EQ(found, false);
  EXPECT_TRUE(log.lines().isEmpty());

  ChannelAudioPortAudio& channel = *channels[0];
  EXPECT_FALSE(channel.openDevices("MD01", "MD01").ok());
  EXPECT_FALSE(channel.devicesOpen());
  EXPECT_FALSE(channel.startStream().ok());
  EXPECT_FALSE(channel.play(Player::Message, "/nonexistent.wav").ok());
  const std::vector<int16_t> speech(800, 100);
  EXPECT_FALSE(channel.playSamples(Player::Message, speech, 8000).ok());
  EXPECT_FALSE(channel.playing(Player::Message));
  EXPECT_FALSE(channel.startRecording("/tmp/never.wav", RecordFormat()).ok());
  clock.advance(1000);
}

}  // namespace
}  // namespace doruzudo
