#include "dialer/line/burst_detector.h"

#include <gtest/gtest.h>

#include <cmath>

#include "dialer/line/signal_synth.h"

namespace doruzudo {
namespace {

using synth::Signal;
using synth::Tone;

struct Burst {
  double frequency, second;
  int duration_ms;
  int64_t start, at;
};

std::vector<Burst> bursts(const Signal& signal, size_t frame = 160) {
  std::vector<Burst> out;
  BurstDetector d;
  d.setCallback([&](double f, double f2, int ms, int64_t start) {
    out.push_back({f, f2, ms, start, d.position()});
  });
  const auto pcm = signal.pcm();
  for (size_t i = 0; i < pcm.size(); i += frame) {
    d.process(std::span<const int16_t>(pcm).subspan(i, std::min(frame, pcm.size() - i)));
  }
  return out;
}

struct CadenceCase {
  const char* name;
  std::vector<Tone> tones;
  std::vector<double> on_off;
  double dbm0;
  double snr_db;
};

class BurstCadences : public ::testing::TestWithParam<CadenceCase> {};

// Every burst once, at its end, with its own duration and start, and nothing
// from the noise between the bursts.
TEST_P(BurstCadences, OneReportPerBurstWithItsDuration) {
  const CadenceCase& c = GetParam();
  Signal s;
  s.silence(300 + c.dbm0);  // varies the bursts' place in the blocks
  std::vector<std::pair<int64_t, int64_t>> truth;
  for (int rep = 0; rep < 3; ++rep) {
    for (size_t i = 0; i < c.on_off.size(); ++i) {
      if (i % 2 == 0) {
        std::vector<Tone> tones = c.tones;
        for (auto& t : tones) t.dbm0 = c.dbm0;
        truth.push_back({s.size(), 0});
        s.tones(tones, c.on_off[i]);
        truth.back().second = s.size();
      } else {
        s.silence(c.on_off[i]);
      }
    }
  }
  const double total = c.dbm0 + 10 * std::log10(double(c.tones.size()));
  s.addNoise(synth::Noise::White, total - c.snr_db, 7);
  const auto got = bursts(s);
  ASSERT_EQ(got.size(), truth.size()) << c.name;
  for (size_t i = 0; i < got.size(); ++i) {
    const double true_ms = (truth[i].second - truth[i].first) / 8.0;
    EXPECT_NEAR(got[i].duration_ms, true_ms, 10) << c.name << " burst " << i;
    EXPECT_NEAR(got[i].start, truth[i].first, 80) << c.name << " burst " << i;
    EXPECT_LE(got[i].at - truth[i].second, 50 * 8) << c.name << " reported late";
    EXPECT_GT(got[i].at, truth[i].second) << c.name << " reported before its end";
    EXPECT_NEAR(got[i].frequency, c.tones[0].hz, c.tones.size() == 1 ? 0.02 * c.tones[0].hz : 60);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Countries, BurstCadences,
    ::testing::Values(CadenceCase{"BrazilRing", {{425, 0, 0}}, {1000, 4000}, -10, 20},
                      CadenceCase{"BrazilRingQuiet", {{425, 0, 0}}, {1000, 4000}, -35, 20},
                      CadenceCase{"BrazilBusy", {{425, 0, 0}}, {250, 250}, -20, 20},
                      CadenceCase{"BrazilShortRing", {{425, 0, 0}}, {650, 1000}, -25, 25},
                      CadenceCase{
                          "UkRing", {{400, 0, 0}, {450, 0, 0}}, {400, 200, 400, 2000}, -20, 30},
                      CadenceCase{"UsBusy", {{480, 0, 0}, {620, 0, 0}}, {500, 500}, -15, 20}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BurstDetector, MeasuresSingleTonesAcrossTheBand) {
  for (double hz : {100.0, 160.0, 425.0, 950.0, 1800.0, 2500.0}) {
    Signal s;
    s.silence(200).tone(hz, -20, 120).silence(300).addNoise(synth::Noise::White, -40, 3);
    const auto got = bursts(s);
    ASSERT_EQ(got.size(), 1u) << hz;
    EXPECT_NEAR(got[0].frequency, hz, 0.02 * hz);
    EXPECT_EQ(got[0].second, 0.0) << hz;
  }
}

TEST(BurstDetector, ReportsBothTonesOfADualTone) {
  Signal s;
  s.silence(200).tones(std::vector<Tone>{{350, -20, 0}, {620, -22, 0}}, 400).silence(300);
  const auto got = bursts(s);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_NEAR(got[0].frequency, 350, 3);
  EXPECT_NEAR(got[0].second, 620, 3);
}

// Speech comes out as bursts the engine takes for a voice, never for a ring.
TEST(BurstDetector, SpeechGivesShortVoiceBursts) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    Signal s;
    s.silence(500).babble(20000, -20, seed).addNoise(synth::Noise::White, -55, seed);
    const auto got = bursts(s);
    ASSERT_FALSE(got.empty());
    for (const auto& b : got) {
      EXPECT_GE(b.duration_ms, 50) << seed;
      EXPECT_LE(b.duration_ms, 899) << seed;
      EXPECT_GE(b.frequency, 100) << seed;
      EXPECT_LE(b.frequency, 2500) << seed;
    }
  }
}

TEST(BurstDetector, LongSpeechWithoutPausesIsSplit) {
  // Syllables 60 ms apart: no gap long enough to end a burst.
  Signal s;
  s.silence(300);
  for (int i = 0; i < 30; ++i) {
    s.tones(std::vector<Tone>{{180.0 + 7 * i, -18, 0}, {2 * (180.0 + 7 * i), -22, 0}}, 90);
    s.tone(700, -40, 20);
  }
  s.silence(300);
  const auto got = bursts(s);
  ASSERT_GE(got.size(), 2u);
  for (const auto& b : got) EXPECT_LE(b.duration_ms, 899);
}

TEST(BurstDetector, BackgroundGivesNoBursts) {
  struct Case {
    const char* name;
    Signal signal;
  };
  Signal silence;
  silence.silence(8000);
  Signal white;
  white.silence(8000).addNoise(synth::Noise::White, -30, 1);
  Signal pink;
  pink.silence(8000).addNoise(synth::Noise::Pink, -25, 2);
  Signal hum;
  hum.silence(8000).addTone({50, -25, 0}).addTone({150, -32, 0}).addTone({250, -38, 0});
  Signal late_noise;  // noise that starts after a silence and stays
  late_noise.silence(9000).addNoise(synth::Noise::White, -30, 3, 8000);
  for (const auto& c : {Case{"silence", silence}, Case{"white", white}, Case{"pink", pink},
                        Case{"hum", hum}, Case{"late noise", late_noise}}) {
    EXPECT_TRUE(bursts(c.signal).empty()) << c.name;
  }
}

TEST(BurstDetector, SameBurstsWhateverTheFrameSize) {
  Signal s;
  s.silence(100).tone(425, -15, 1000).silence(700).babble(1500, -20, 4).silence(300);
  s.addNoise(synth::Noise::White, -50, 5);
  const auto reference = bursts(s, 160);
  ASSERT_GE(reference.size(), 2u);
  for (size_t frame : {1, 4000}) {
    const auto got = bursts(s, frame);
    ASSERT_EQ(got.size(), reference.size()) << frame;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].start, reference[i].start);
      EXPECT_EQ(got[i].duration_ms, reference[i].duration_ms);
      EXPECT_EQ(got[i].frequency, reference[i].frequency);
      EXPECT_EQ(got[i].at, reference[i].at);
    }
  }
}

}  // namespace
}  // namespace doruzudo
