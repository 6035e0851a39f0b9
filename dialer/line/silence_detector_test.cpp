#include "dialer/line/silence_detector.h"

#include <gtest/gtest.h>

#include "dialer/line/signal_synth.h"

namespace doruzudo {
namespace {

using synth::Signal;

struct Event {
  bool start;
  int64_t position;
  int duration_ms;
  int64_t at;
};

std::vector<Event> events(const Signal& signal, size_t frame = 160) {
  std::vector<Event> out;
  SilenceDetector d;
  d.setCallbacks(
      [&](int64_t start) {
        out.push_back({true, start, 0, d.position()});
      },
      [&](int64_t end, int ms) {
        out.push_back({false, end, ms, d.position()});
      });
  const auto pcm = signal.pcm();
  for (size_t i = 0; i < pcm.size(); i += frame) {
    d.process(std::span<const int16_t>(pcm).subspan(i, std::min(frame, pcm.size() - i)));
  }
  return out;
}

// Silence starts and ends where the sound stops and returns, in line noise or
// none, for tones and speech; the end is reported within 30 ms.
TEST(SilenceDetector, StartAndEndAtTheSound) {
  for (double noise : {-200.0, -60.0, -50.0}) {
    for (double level : {-30.0, -10.0}) {
      Signal s;  // the stream starts before the call's sound, as on a channel
      s.silence(300).tone(425, level, 700);
      const int64_t quiet = s.size();
      s.silence(1500 + level);
      const int64_t back = s.size();
      s.babble(600, level, 3).silence(100);
      if (noise > -100) s.addNoise(synth::Noise::White, noise, 4);
      const auto got = events(s);
      ASSERT_EQ(got.size(), 2u) << noise << " " << level;
      EXPECT_TRUE(got[0].start);
      EXPECT_NEAR(got[0].position, quiet, 40);
      EXPECT_FALSE(got[1].start);
      EXPECT_NEAR(got[1].position, back, 40);
      EXPECT_NEAR(got[1].duration_ms, (back - quiet) / 8.0, 10);
      EXPECT_LE(got[1].at - back, 30 * 8) << "silence end reported late";
    }
  }
}

TEST(SilenceDetector, LineIsSilentFromTheStart) {
  Signal s;
  s.silence(1000).tone(1000, -20, 100);
  const auto got = events(s);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_TRUE(got[0].start);
  EXPECT_EQ(got[0].position, 0);
  EXPECT_EQ(got[1].duration_ms, 1000);
}

TEST(SilenceDetector, ShortPausesAndClicksAreNotSilences) {
  Signal s;
  s.silence(100).tone(425, -20, 300).silence(300).tone(425, -20, 300);  // a pause under the least
  s.silence(600);
  const int64_t click = s.size();
  s.silence(600);
  s.dropout(click, 1);
  Signal with_click = s;
  with_click.addTone({1000, -5, 0}, click, click + 30);  // under 5 ms
  const auto got = events(with_click);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(got[0].start);
}

TEST(SilenceDetector, SameEventsWhateverTheFrameSize) {
  Signal s;
  s.silence(900).tone(425, -20, 1000).silence(4000).babble(1000, -25, 2).silence(700);
  s.addNoise(synth::Noise::White, -55, 1);
  const auto reference = events(s);
  ASSERT_EQ(reference.size(), 5u);
  for (size_t frame : {1, 4000}) {
    const auto got = events(s, frame);
    ASSERT_EQ(got.size(), reference.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].position, reference[i].position);
      EXPECT_EQ(got[i].at, reference[i].at);
    }
  }
}

}  // namespace
}  // namespace doruzudo
