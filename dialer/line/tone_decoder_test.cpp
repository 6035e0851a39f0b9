#include "dialer/line/tone_decoder.h"

#include <gtest/gtest.h>

#include "dialer/line/signal_synth.h"

namespace doruzudo {
namespace {

using synth::Signal;

// Every event with its arguments and the position at which it came.
std::vector<std::string> run(ToneDecoder& d, const std::vector<int16_t>& pcm, size_t frame) {
  std::vector<std::string> out;
  ToneDecoder::Callbacks cb;
  cb.dtmf = [&](int key, int64_t pos) {
    out.push_back("dtmf " + std::to_string(key) + " " + std::to_string(pos) + " @" +
                  std::to_string(d.position()));
  };
  cb.frequency = [&](double f, double f2, int ms, int64_t start) {
    out.push_back("freq " + std::to_string(f) + " " + std::to_string(f2) + " " +
                  std::to_string(ms) + " " + std::to_string(start) + " @" +
                  std::to_string(d.position()));
  };
  cb.silence_start = [&](int64_t start) {
    out.push_back("silence " + std::to_string(start) + " @" + std::to_string(d.position()));
  };
  cb.silence_end = [&](int64_t end, int ms) {
    out.push_back("sound " + std::to_string(end) + " " + std::to_string(ms) + " @" +
                  std::to_string(d.position()));
  };
  d.setCallbacks(cb);
  for (size_t i = 0; i < pcm.size(); i += frame) {
    d.process(std::span<const int16_t>(pcm).subspan(i, std::min(frame, pcm.size() - i)));
  }
  return out;
}

Signal callAudio() {
  Signal s;
  s.silence(600).dtmfString("0800#", 70, 70).silence(900);
  s.cadence(std::vector<synth::Tone>{{425, -18, 0}}, std::vector<double>{1000, 4000}, 6000);
  s.silence(1000).babble(2500, -22, 8).dtmfString("1", 60, 0).silence(800);
  s.addNoise(synth::Noise::White, -50, 2);
  return s;
}

TEST(ToneDecoder, SameEventsInTheSameOrderWhateverTheFrameSize) {
  const auto pcm = callAudio().pcm();
  ToneDecoder d;
  const auto reference = run(d, pcm, 160);
  ASSERT_GT(reference.size(), 10u);
  for (size_t frame : {1, 4000}) {
    ToneDecoder other;
    EXPECT_EQ(run(other, pcm, frame), reference) << "frames of " << frame;
  }
}

TEST(ToneDecoder, ReportsKeysBurstsAndSilence) {
  const auto pcm = callAudio().pcm();
  std::string keys;
  int rings = 0, voices = 0, silences = 0, sounds = 0;
  ToneDecoder d;
  ToneDecoder::Callbacks cb;
  cb.dtmf = [&](int key, int64_t) { keys += static_cast<char>(key); };
  cb.frequency = [&](double f, double, int ms, int64_t) {
    if (f >= 400 && f <= 450 && ms >= 900 && ms <= 1100) ++rings;
    if (f >= 100 && f <= 2500 && ms >= 50 && ms <= 899) ++voices;
  };
  cb.silence_start = [&](int64_t) { ++silences; };
  cb.silence_end = [&](int64_t, int) { ++sounds; };
  d.setCallbacks(cb);
  d.process(pcm);
  EXPECT_EQ(keys, "0800#1");
  EXPECT_EQ(rings, 2);
  EXPECT_GE(voices, 6 + 3);  // the keys are bursts too
  EXPECT_GE(silences, 3);
  EXPECT_GE(sounds, 3);
}

TEST(ToneDecoder, MonitorOptionsSwitchDetectorsOff) {
  const auto pcm = callAudio().pcm();
  ToneDecoderOptions options;
  options.monitor_dtmf = false;
  options.monitor_silence = false;
  options.monitor_caller_id = true;  // accepted, nothing to do
  ToneDecoder d(options);
  for (const auto& e : run(d, pcm, 160)) EXPECT_EQ(e.rfind("freq", 0), 0u) << e;
}

TEST(ToneDecoder, ResetStartsOverAtPositionZero) {
  const auto pcm = callAudio().pcm();
  ToneDecoder d;
  const auto first = run(d, pcm, 160);
  d.reset();
  EXPECT_EQ(d.position(), 0);
  EXPECT_EQ(run(d, pcm, 160), first);
}

}  // namespace
}  // namespace doruzudo

namespace doruzudo {
namespace {

// A recording that starts within a ring: the ring is a burst from the first
// sample and the silence starts where it ends.
TEST(ToneDecoder, StreamOpeningWithinABurst) {
  for (double noise : {-200.0, -50.0}) {
    Signal s;
    s.tone(425, -15, 700).silence(4000).tone(425, -15, 1000).silence(600);
    if (noise > -100) s.addNoise(synth::Noise::White, noise, 3);
    struct Burst {
      double f;
      int ms;
      int64_t start;
    };
    std::vector<Burst> bursts;
    std::vector<int64_t> silences;
    ToneDecoder d;
    ToneDecoder::Callbacks cb;
    cb.frequency = [&](double f, double, int ms, int64_t start) {
      bursts.push_back({f, ms, start});
    };
    cb.silence_start = [&](int64_t start) { silences.push_back(start); };
    d.setCallbacks(cb);
    d.process(s.pcm());
    ASSERT_EQ(bursts.size(), 2u) << noise;
    EXPECT_NEAR(bursts[0].f, 425, 1);
    EXPECT_NEAR(bursts[0].ms, 700, 3);
    EXPECT_NEAR(bursts[0].start, 0, 24);
    EXPECT_NEAR(bursts[1].ms, 1000, 3);
    EXPECT_NEAR(bursts[1].start, 37600, 24);
    EXPECT_EQ(silences, (std::vector<int64_t>{5600, 45600})) << noise;
  }
}

}  // namespace
}  // namespace doruzudo
