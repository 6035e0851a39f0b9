// The main thread's work on a sound card's stream (rates other than the
// line's, output latency, a device thread that outruns the tick), with a fake
// card driven in virtual time by the test in place of a device thread.
#include "dialer/line/channel_audio_core.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QFile>
#include <algorithm>

#include "common/manual_scheduler.h"
#include "dialer/line/audio_file.h"
#include "dialer/line/signal_synth.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

// A card at 44100 Hz whose "device thread" is a 10 ms scheduler timer taking
// 441 samples of output and giving 441 samples of input per period.
class FakeCard final : public ChannelAudioCore {
 public:
  static constexpr int kRate = 44100;
  static constexpr int kPeriod = 441;

  FakeCard(ManualScheduler& clock, int64_t latency)
      : ChannelAudioCore(clock, kRate, 8192), latency_(latency) {
    period_ = clock.createTimer("card", 10, [this] { period(); });
  }
  Status openDevices(const QString& in, const QString& out) override {
    open_ = true;
    setDeviceNames(in, out);
    return Status::Ok();
  }
  bool devicesOpen() const override { return open_; }

  std::vector<int16_t> input;   // what the line delivers, consumed per period
  std::vector<int16_t> output;  // what the card played
  bool stalled = false;         // the main thread stops ticking
  bool dead = false;            // the stream died: no more periods

 protected:
  Status startDevice() override {
    startTicking();
    period_->start();
    return Status::Ok();
  }
  int64_t outputLatency() const override { return latency_; }
  bool deviceAlive() const override { return !dead; }
  size_t playbackAheadSamples() const override { return kRate / 10; }

 private:
  void period() {
    if (dead) return;
    if (stalled) stopTicking();
    std::vector<int16_t> block(kPeriod, 0);
    const size_t n = std::min(input.size() - taken_, block.size());
    std::copy_n(input.begin() + long(taken_), n, block.begin());
    taken_ += n;
    const size_t pushed = captureRing().push(block);
    if (pushed < block.size()) countCaptureOverrun(block.size() - pushed);
    std::fill(block.begin(), block.end(), 0);
    playbackRing().pop(block);
    output.insert(output.end(), block.begin(), block.end());
  }

  int64_t latency_;
  bool open_ = false;
  size_t taken_ = 0;
  std::unique_ptr<Timer> period_;
};

struct Events : ChannelAudio::Listener {
  ManualScheduler* clock;
  FakeCard* card;
  std::vector<std::pair<int, int64_t>> keys;
  std::vector<size_t> doneAtOutput;  // samples the card had played at play-done
  void dtmf(int key, int64_t position) override { keys.push_back({key, position}); }
  void playDone(Player) override { doneAtOutput.push_back(card->output.size()); }
};

class CardChannel : public ::testing::Test {
 protected:
  explicit CardChannel(int64_t latency = 2205) : card(clock, latency) {
    events.clock = &clock;
    events.card = &card;
    card.setListener(&events);
    card.openDevices("MD01", "MD01");
    EXPECT_TRUE(card.startStream().ok());
  }
  testing::TempDir dir;
  ManualScheduler clock;
  FakeCard card;
  Events events;
};

// Keys captured at 44.1 kHz reach the 8 kHz decoder at their positions.
TEST_F(CardChannel, InputAtTheCardsRateFeedsTheDecoderAt8000Hz) {
  synth::Signal line(FakeCard::kRate);
  line.silence(300).dtmf({'3'}, 80).silence(300).dtmf({'#'}, 80).silence(300);
  card.input = line.pcm();
  clock.advance(1200);
  ASSERT_EQ(events.keys.size(), 2u);
  EXPECT_EQ(events.keys[0].first, '3');
  EXPECT_EQ(events.keys[1].first, '#');
  EXPECT_NEAR(double(events.keys[0].second), 300 * 8, 40);
  EXPECT_NEAR(double(events.keys[1].second), 680 * 8, 40);
}

// Play-done waits until the last sample has been played out, latency included.
TEST_F(CardChannel, PlayDoneWaitsForTheOutputLatency) {
  const std::vector<int16_t> tone(800, 5000);  // 100 ms at 8000 Hz
  ASSERT_TRUE(card.playSamples(Player::Message, tone, 8000).ok());
  clock.advance(600);
  ASSERT_EQ(events.doneAtOutput.size(), 1u);
  const auto last = std::find_if(card.output.rbegin(), card.output.rend(),
                                 [](int16_t s) { return std::abs(s) > 2500; });
  const size_t end = size_t(card.output.rend() - last);
  // Done within a tick and a period after the last sample plus the latency.
  EXPECT_GE(events.doneAtOutput[0], end + 2205);
  EXPECT_LE(events.doneAtOutput[0], end + 2205 + 2 * 882 + 441);
}

// A card unplugged mid-playback takes no more samples: the playback ends
// (play-done at the next tick) instead of waiting for ever.
TEST_F(CardChannel, APlaybackOnADeadStreamEnds) {
  const std::vector<int16_t> message(80000, 5000);  // 10 s
  ASSERT_TRUE(card.playSamples(Player::Message, message, 8000).ok());
  clock.advance(1000);
  EXPECT_TRUE(events.doneAtOutput.empty());
  card.dead = true;
  clock.advance(20);
  EXPECT_EQ(events.doneAtOutput.size(), 1u);
  EXPECT_FALSE(card.playing(Player::Message));
}

TEST_F(CardChannel, RecordsAtTheFormatsRate) {
  synth::Signal line(FakeCard::kRate);
  line.tone(1000, -10, 2000);
  card.input = line.pcm();
  const QString path = dir.file("call.wav");
  ASSERT_TRUE(card.startRecording(path, {RecordFormat::Kind::Wave, 8000, 0}).ok());
  clock.advance(1000);
  ASSERT_TRUE(card.stopRecording().ok());
  const Result<MonoAudio> audio = readMonoAudio(path, 0);
  ASSERT_TRUE(audio.ok());
  EXPECT_EQ(audio->source_rate, 8000);
  EXPECT_NEAR(double(audio->samples.size()), 8000, 8000 * 0.03);
  const std::span<const int16_t> middle(audio->samples.data() + 1000, 4000);
  EXPECT_NEAR(synth::levelDbm0(middle), -10, 0.5);
}

// When the main thread falls behind, the card never waits: what does not fit
// is dropped and counted.
TEST_F(CardChannel, ACardThatOutrunsTheTickDropsAndCounts) {
  card.stalled = true;
  clock.advance(400);
  EXPECT_GT(card.captureOverruns(), 0u);
  EXPECT_EQ(card.captureOverruns(), 40 * 441 - 8192u);
}

}  // namespace
}  // namespace doruzudo
