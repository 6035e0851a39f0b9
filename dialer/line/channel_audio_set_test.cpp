// The eight simulated lines as the start-up opens them.
#include "dialer/line/channel_audio_set.h"

#include <gtest/gtest.h>

#include "common/event_log.h"
#include "common/manual_scheduler.h"

namespace doruzudo {
namespace {

TEST(ChannelAudioSet, SimulatedLinesAreAllFoundAndCarrySound) {
  ManualScheduler clock;
  EventLog log(clock);
  auto set = ChannelAudioSet::simulatedLines(clock);
  std::optional<bool> found;
  set->open(log, {}, [&](bool any) { found = any; });
  clock.advance(8 * (500 + 300) - 1);
  EXPECT_FALSE(found.has_value());
  clock.advance(1);
  EXPECT_EQ(found, true);
  const std::array<ChannelAudio*, kChannelCount> engine = set->engineAudio();
  for (int n = 1; n <= kChannelCount; ++n) {
    SCOPED_TRACE(n);
    EXPECT_TRUE(set->lookup()->channelFound(n));
    EXPECT_TRUE(engine[size_t(n - 1)]->streaming());
    ASSERT_NE(set->simulated(n), nullptr);
    EXPECT_EQ(set->simulated(n)->deviceName(), channelDeviceName(n));
  }
  const std::vector<int16_t> speech(1600, 3000);
  ASSERT_TRUE(engine[4]->playSamples(Player::Reply, speech, 8000).ok());
  clock.advance(300);
  const std::vector<int16_t> heard = set->simulated(5)->farEnd().takePlayed();
  EXPECT_EQ(std::count(heard.begin(), heard.end(), 3000), 1600);
  const std::vector<int16_t> other = set->simulated(4)->farEnd().takePlayed();
  EXPECT_EQ(std::count(other.begin(), other.end(), 0), long(other.size()));
}

}  // namespace
}  // namespace doruzudo
