#include "dialer/line/signal_synth.h"

#include <gtest/gtest.h>

#include <cmath>

#include "dialer/line/goertzel.h"

namespace doruzudo {
namespace {

using synth::Signal;

// Levels are what the names say: the stated dBm0 over the stretch.
TEST(SignalSynth, LevelsAreInDbm0) {
  struct Case {
    const char* name;
    Signal signal;
    double dbm0;
  };
  Signal tone, white, pink, quiet, babble;
  tone.tone(1004, 0, 1000);
  white.silence(1000).addNoise(synth::Noise::White, -20, 1);
  pink.silence(1000).addNoise(synth::Noise::Pink, -30, 2);
  quiet.tone(425, -45, 500);
  babble.babble(5000, -20, 3);
  for (const auto& c : {Case{"tone", tone, 0}, Case{"white", white, -20}, Case{"pink", pink, -30},
                        Case{"quiet", quiet, -45}}) {
    EXPECT_NEAR(synth::levelDbm0(c.signal.data()), c.dbm0, 0.05) << c.name;
  }
  // The 0 dBm0 sine peaks 3.14 dB under full scale.
  const auto pcm = tone.pcm();
  EXPECT_NEAR(*std::max_element(pcm.begin(), pcm.end()), 22826, 2);
  // Babble's level is over its sounding parts, so the whole is quieter.
  EXPECT_LT(synth::levelDbm0(babble.data()), -20);
  EXPECT_GT(synth::levelDbm0(babble.data()), -26);
}

TEST(SignalSynth, DtmfKeyHasItsTwoTonesWithOffsetAndTwist) {
  Signal s;
  s.dtmf({'D', -10, -16, 0.015, -0.01}, 100);
  const auto pcm = s.pcm();
  const double low = 941 * 1.015, high = 1633 * 0.99;
  GoertzelBank bank({low, high, 941, 1633, 697, 1209, 1000, 2000}, 8000);
  bank.feed(pcm.data(), static_cast<int>(pcm.size()));
  GoertzelBank::Values v;
  bank.take(v);
  const double n = pcm.size();
  auto dbm0 = [&](std::complex<float> x) {
    return synth::rmsToDbm0(std::abs(x) * 2 / n / std::sqrt(2.0));
  };
  EXPECT_NEAR(dbm0(v[0]), -10, 0.2);
  EXPECT_NEAR(dbm0(v[1]), -16, 0.2);
  EXPECT_LT(dbm0(v[4]), -40);  // no other key's tones
  EXPECT_LT(dbm0(v[5]), -40);
}

TEST(SignalSynth, CadenceDropoutAndMix) {
  Signal s;
  const synth::Tone busy{425, -10, 0};
  const double on_off[] = {250, 250};
  s.cadence(std::span<const synth::Tone>(&busy, 1), on_off, 1750);
  EXPECT_EQ(s.size(), 14000);
  auto level = [&](double from_ms, double to_ms) {
    return synth::levelDbm0(s.data().subspan(s.samplesFor(from_ms), s.samplesFor(to_ms - from_ms)));
  };
  EXPECT_NEAR(level(0, 250), -10, 0.1);
  EXPECT_LT(level(250, 500), -100);
  EXPECT_NEAR(level(1500, 1750), -10, 0.1);
  s.dropout(s.samplesFor(100), s.samplesFor(10));
  EXPECT_LT(level(100, 110), -100);
  Signal other;
  other.tone(1000, -10, 100);
  s.mix(other.data(), s.size() - 400, -6);  // grows the signal
  EXPECT_EQ(s.size(), 14000 - 400 + 800);
  EXPECT_NEAR(level(1760, 1800), -16, 0.1);
}

TEST(SignalSynth, NoiseIsRepeatableBySeed) {
  EXPECT_EQ(synth::noise(synth::Noise::Pink, -20, 100, 7),
            synth::noise(synth::Noise::Pink, -20, 100, 7));
  EXPECT_NE(synth::noise(synth::Noise::White, -20, 100, 7),
            synth::noise(synth::Noise::White, -20, 100, 8));
}

}  // namespace
}  // namespace doruzudo
