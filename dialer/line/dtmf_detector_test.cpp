#include "dialer/line/dtmf_detector.h"

#include <gtest/gtest.h>

#include <string>

#include "dialer/line/signal_synth.h"

namespace doruzudo {
namespace {

using synth::DtmfKey;
using synth::Signal;

struct Key {
  char key;
  int64_t start;
};

std::vector<Key> detect(const Signal& signal, size_t frame = 160) {
  std::vector<Key> keys;
  DtmfDetector d;
  d.setCallback([&](char key, int64_t start) { keys.push_back({key, start}); });
  const auto pcm = signal.pcm();
  for (size_t i = 0; i < pcm.size(); i += frame) {
    d.process(std::span<const int16_t>(pcm).subspan(i, std::min(frame, pcm.size() - i)));
  }
  return keys;
}

std::string keysOf(const std::vector<Key>& keys) {
  std::string s;
  for (const auto& k : keys) s += k.key;
  return s;
}

// One key between silences, with noise at `snr_db` below the two tones' power.
Signal oneKey(const DtmfKey& key, double on_ms, double snr_db = 40, uint32_t seed = 1) {
  Signal s;
  s.silence(60).dtmf(key, on_ms).silence(80);
  const double total =
      10 * std::log10(std::pow(10, key.low_dbm0 / 10) + std::pow(10, key.high_dbm0 / 10));
  s.addNoise(synth::Noise::White, total - snr_db, seed);
  return s;
}

struct LimitCase {
  const char* name;
  DtmfKey key;
  double on_ms;
  double snr_db;
  bool accepted;
};

class DtmfLimits : public ::testing::TestWithParam<LimitCase> {};

// Each accept and reject limit of the detector's header, on every key.
TEST_P(DtmfLimits, AcceptsOrRejectsEveryKey) {
  const LimitCase& c = GetParam();
  for (char k : std::string("123A456B789C*0#D")) {
    DtmfKey key = c.key;
    key.key = k;
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      const auto got = keysOf(detect(oneKey(key, c.on_ms, c.snr_db, seed)));
      EXPECT_EQ(got, c.accepted ? std::string(1, k) : std::string()) << c.name << " key " << k;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Q24, DtmfLimits,
    ::testing::Values(LimitCase{"nominal", {'5', -10, -10, 0, 0}, 50, 40, true},
                      LimitCase{"low +1.5%", {'5', -10, -10, 0.015, 0}, 50, 30, true},
                      LimitCase{"high -1.5%", {'5', -10, -10, 0, -0.015}, 50, 30, true},
                      LimitCase{"both +1.5%", {'5', -10, -10, 0.015, 0.015}, 50, 30, true},
                      LimitCase{"both -1.5%/+1.5%", {'5', -10, -10, -0.015, 0.015}, 50, 30, true},
                      LimitCase{"low +3.5%", {'5', -10, -10, 0.035, 0}, 50, 30, false},
                      LimitCase{"low -3.5%", {'5', -10, -10, -0.035, 0}, 50, 30, false},
                      LimitCase{"high +3.5%", {'5', -10, -10, 0, 0.035}, 50, 30, false},
                      LimitCase{"high -3.5%", {'5', -10, -10, 0, -0.035}, 50, 30, false},
                      LimitCase{"reverse twist 8 dB", {'5', -10, -18, 0, 0}, 50, 30, true},
                      LimitCase{"normal twist 4 dB", {'5', -14, -10, 0, 0}, 50, 30, true},
                      LimitCase{"reverse twist 14 dB", {'5', -6, -20, 0, 0}, 50, 30, false},
                      LimitCase{"normal twist 10 dB", {'5', -20, -10, 0, 0}, 50, 30, false},
                      LimitCase{"-3 dBm0", {'5', -3, -3, 0, 0}, 50, 40, true},
                      LimitCase{"-36 dBm0", {'5', -36, -36, 0, 0}, 50, 40, true},
                      LimitCase{"-45 dBm0", {'5', -45, -45, 0, 0}, 50, 60, false},
                      LimitCase{"40 ms", {'5', -10, -10, 0, 0}, 40, 30, true},
                      LimitCase{"23 ms", {'5', -10, -10, 0, 0}, 23, 30, false},
                      LimitCase{"20 ms", {'5', -10, -10, 0, 0}, 20, 30, false},
                      LimitCase{"SNR 9 dB", {'5', -10, -10, 0, 0}, 50, 9, true}),
    [](const auto& info) {
      std::string n;
      for (char ch : std::string(info.param.name)) {
        if (std::isalnum(static_cast<unsigned char>(ch))) n += ch;
        if (ch == '+') n += "plus";
        if (ch == '-') n += "minus";
      }
      return n;
    });

TEST(DtmfDetector, ReportsOneKeyPerPressWithItsStart) {
  Signal s;
  s.silence(100);
  std::vector<int64_t> starts;
  for (char k : std::string("1234567890*#ABCD")) {
    starts.push_back(s.size());
    s.dtmf({k, -12, -10, 0, 0}, 45);
    s.silence(45);
  }
  s.addNoise(synth::Noise::White, -30, 5);
  const auto keys = detect(s);
  ASSERT_EQ(keysOf(keys), "1234567890*#ABCD");
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_NEAR(keys[i].start, starts[i], 40) << i;  // within 5 ms
  }
}

TEST(DtmfDetector, SameKeyAfterFortyMsPauseIsTwoPresses) {
  Signal s;
  s.silence(50).dtmfString("555", 40, 40).silence(100);
  EXPECT_EQ(keysOf(detect(s)), "555");
}

TEST(DtmfDetector, DropoutOfTenMsNeverSplitsAKey) {
  for (int into = 10; into <= 80; into += 3) {
    for (int jitter = 0; jitter < 40; jitter += 13) {
      Signal s;
      s.silence(50).silence(jitter / 8.0);
      const int64_t at = s.size();
      s.dtmf({'0', -10, -10, 0, 0}, 100).silence(80);
      s.dropout(at + into * 8, 80);
      s.addNoise(synth::Noise::White, -37, static_cast<uint32_t>(into));
      EXPECT_EQ(keysOf(detect(s)), "0") << "dropout " << into << " ms into the tone";
    }
  }
}

TEST(DtmfDetector, SameKeysWhateverTheFrameSize) {
  Signal s;
  s.silence(30).dtmfString("19#D", 50, 50).addNoise(synth::Noise::White, -30, 3);
  const auto reference = detect(s, 160);
  ASSERT_EQ(keysOf(reference), "19#D");
  for (size_t frame : {1, 7, 4000}) {
    const auto got = detect(s, frame);
    ASSERT_EQ(keysOf(got), "19#D") << frame;
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].start, reference[i].start);
  }
}

TEST(DtmfDetector, NoiseAndSingleTonesGiveNoKeys) {
  Signal s;
  s.silence(100).addNoise(synth::Noise::White, -20, 9);
  s.tone(697, -10, 500).tone(1209, -10, 500).tone(425, -10, 1000);
  Signal pink;
  pink.silence(2000).addNoise(synth::Noise::Pink, -15, 4);
  s.append(pink);
  EXPECT_EQ(keysOf(detect(s)), "");
}

TEST(DtmfDetector, ResetForgetsAKeyInProgress) {
  Signal s;
  s.silence(20).dtmf({'7', -10, -10, 0, 0}, 20);
  const auto pcm = s.pcm();
  std::string got;
  DtmfDetector d;
  d.setCallback([&](char key, int64_t) { got += key; });
  d.process(pcm);
  d.reset();
  EXPECT_EQ(d.position(), 0);
  Signal rest;
  rest.dtmf({'7', -10, -10, 0, 0}, 20).silence(50);
  d.process(rest.pcm());
  EXPECT_EQ(got, "");
}

}  // namespace
}  // namespace doruzudo
