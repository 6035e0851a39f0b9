// The monitor views' data: level, waveform and spectrum of known signals.
#include "dialer/line/monitor_tap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/manual_scheduler.h"
#include "dialer/line/channel_audio_sim.h"
#include "dialer/line/signal_synth.h"

namespace doruzudo {
namespace {

std::vector<int16_t> sine(double hz, double amplitude, int samples) {
  std::vector<int16_t> out(static_cast<size_t>(samples));
  for (int i = 0; i < samples; ++i) {
    out[size_t(i)] =
        int16_t(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * i / 8000)));
  }
  return out;
}

TEST(MonitorTap, LevelOfSilenceSineAndSquare) {
  MonitorTap tap;
  EXPECT_EQ(tap.level().rmsDb, MonitorTap::kFloorDb) << "nothing fed yet";
  tap.feed(std::vector<int16_t>(400, 0));
  EXPECT_EQ(tap.level().peakDb, MonitorTap::kFloorDb);
  tap.feed(sine(1000, 32767, 800));
  EXPECT_NEAR(tap.level().rmsDb, -3.01, 0.05);
  EXPECT_NEAR(tap.level().peakDb, 0, 0.05);
  tap.feed(std::vector<int16_t>(400, -3277));  // the last 50 ms: a -20 dBFS constant
  EXPECT_NEAR(tap.level(50).rmsDb, -20, 0.05);
  EXPECT_NEAR(tap.level(100).peakDb, 0, 0.05) << "the window reaches back into the sine";
}

TEST(MonitorTap, WaveformColumnsHoldTheExtremesOfTheirStretch) {
  MonitorTap tap;
  std::vector<int16_t> steps;
  for (int16_t v : {1000, -2000, 3000, 0}) steps.insert(steps.end(), 200, v);  // 25 ms each
  tap.feed(steps);
  const std::vector<MonitorTap::WavePoint> wave = tap.waveform(4, 100);
  ASSERT_EQ(wave.size(), 4u);
  const float expected[] = {1000, -2000, 3000, 0};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(wave[i].min, expected[i] / 32768);
    EXPECT_FLOAT_EQ(wave[i].max, expected[i] / 32768);
  }
  EXPECT_EQ(tap.waveform(400, 100).size(), 400u);
  const auto wide = tap.waveform(2, 100);
  EXPECT_FLOAT_EQ(wide[0].min, -2000.0f / 32768);
  EXPECT_FLOAT_EQ(wide[0].max, 1000.0f / 32768);
}

TEST(MonitorTap, SpectrumPeaksInTheBandsOfTheTones) {
  MonitorTap tap;
  std::vector<int16_t> two = sine(425, 16384, 1024);
  const std::vector<int16_t> high = sine(2500, 3277, 1024);
  for (size_t i = 0; i < two.size(); ++i) two[i] = int16_t(two[i] + high[i]);
  tap.feed(two);
  const std::vector<double> bands = tap.spectrum(80);  // 50 Hz per band
  ASSERT_EQ(bands.size(), 80u);
  EXPECT_NEAR(bands[425 / 50], -6.0, 1.6);  // Hann scalloping stays within 1.5 dB
  EXPECT_NEAR(bands[2500 / 50], -20.0, 1.6);
  for (size_t b = 0; b < bands.size(); ++b) {
    if (std::abs(int(b) - 425 / 50) > 2 && std::abs(int(b) - 2500 / 50) > 2) {
      EXPECT_LT(bands[b], -50) << "band " << b;
    }
  }
}

// The tap follows the monitored channel's input as the line delivers it.
TEST(MonitorTap, FollowsTheChannelsInputStream) {
  ManualScheduler clock;
  ChannelAudioSim line(clock, "MD02");
  MonitorTap tap;
  line.setMonitorTap(&tap);
  ASSERT_TRUE(line.openDevices("MD02", "MD02").ok());
  ASSERT_TRUE(line.startStream().ok());
  synth::Signal s;
  s.tone(1000, 0, 200);
  line.farEnd().deliver(s.pcm());
  clock.advance(200);
  EXPECT_EQ(tap.samplesSeen(), 1600);
  EXPECT_NEAR(tap.level().rmsDb, 20 * std::log10(16141.0 / 32768), 0.1);
  line.setMonitorTap(nullptr);
  clock.advance(100);
  EXPECT_EQ(tap.samplesSeen(), 1600);
  EXPECT_EQ(MonitorTap::caption(2), "Monitorando Canal 2");
}

}  // namespace
}  // namespace doruzudo
