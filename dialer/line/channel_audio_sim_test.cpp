// The channel's sound path in virtual time, through the simulated line.
#include "dialer/line/channel_audio_sim.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/manual_scheduler.h"
#include "dialer/line/audio_file.h"
#include "dialer/line/signal_synth.h"
#include "dialer/line/tone_decoder.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

constexpr int kFrame = LineFarEnd::kFrame;

struct Heard : ChannelAudio::Listener {
  struct Done {
    Player player;
    int64_t atMs;
    int64_t handed;  // samples handed to the line by then
  };
  ManualScheduler* clock = nullptr;
  ChannelAudioSim* audio = nullptr;
  std::vector<Done> done;
  std::vector<std::pair<int, int64_t>> keys;
  std::vector<std::tuple<double, int, int64_t>> bursts;  // frequency, ms, start
  std::vector<int64_t> silenceStarts;

  void playDone(Player p) override {
    done.push_back({p, clock->elapsedMs(), audio->farEnd().frames() * kFrame});
  }
  void dtmf(int key, int64_t position) override { keys.push_back({key, position}); }
  void frequencyDetected(double f, double, int ms, int64_t start) override {
    bursts.push_back({f, ms, start});
  }
  void silenceStart(int64_t position) override { silenceStarts.push_back(position); }
};

class SimChannel : public ::testing::Test {
 protected:
  SimChannel() {
    heard.clock = &clock;
    heard.audio = &audio;
    audio.setListener(&heard);
    EXPECT_TRUE(audio.openDevices("MD01", "MD01").ok());
    EXPECT_TRUE(audio.startStream().ok());
  }

  QString wav(const QString& name, const std::vector<int16_t>& samples, int rate = 8000) {
    const QString path = dir.file(name);
    EXPECT_TRUE(writeWav(path, samples, rate).ok());
    return path;
  }
  static std::vector<int16_t> constant(int16_t value, int ms, int rate = 8000) {
    return std::vector<int16_t>(static_cast<size_t>(ms * rate / 1000), value);
  }
  // Keys a decoder hears in `samples`.
  static std::string decode(const std::vector<int16_t>& samples) {
    std::string keys;
    ToneDecoder decoder;
    ToneDecoder::Callbacks cb;
    cb.dtmf = [&](int key, int64_t) { keys += static_cast<char>(key); };
    decoder.setCallbacks(cb);
    decoder.process(samples);
    return keys;
  }

  testing::TempDir dir;
  ManualScheduler clock;
  ChannelAudioSim audio{clock, "MD01"};
  Heard heard;
};

// A 44.1 kHz DTMF file on the digit player reaches the line at 8000 Hz and
// decodes there to its keys; play-done follows the last key.
TEST_F(SimChannel, DtmfFilePlayedReachesTheFarEndAndDecodes) {
  synth::Signal keys(44100);
  keys.silence(50).dtmfString("159#", 80, 80, -8).silence(50);
  ASSERT_TRUE(audio.play(Player::Digit, wav("keys.wav", keys.pcm(), 44100)).ok());
  EXPECT_TRUE(audio.playing(Player::Digit));
  clock.advance(2000);
  ASSERT_EQ(heard.done.size(), 1u);
  EXPECT_EQ(heard.done[0].player, Player::Digit);
  EXPECT_FALSE(audio.playing(Player::Digit));
  EXPECT_EQ(decode(audio.farEnd().takePlayed()), "159#");
}

// Play-done comes in the tick that hands the playback's last sample to the
// line: not before, and no more than one frame later.
TEST_F(SimChannel, PlayDoneWhenTheLastSampleWasHandedToTheLine) {
  for (int ms : {0, 7, 1000, 1010}) {
    SCOPED_TRACE(ms);
    clock.advance(13);  // start off the tick
    audio.farEnd().takePlayed();
    heard.done.clear();
    const int64_t handedBefore = audio.farEnd().frames() * kFrame;
    const Status started = ms == 0  // an empty file does not open: empty speech does
                               ? audio.playSamples(Player::Message, {}, 8000)
                               : audio.play(Player::Message, wav("m.wav", constant(1234, ms)));
    ASSERT_TRUE(started.ok());
    EXPECT_TRUE(heard.done.empty()) << "never inside play()";
    clock.advance(ms + 200);
    ASSERT_EQ(heard.done.size(), 1u);
    const std::vector<int16_t> played = audio.farEnd().takePlayed();
    const auto first = std::find(played.begin(), played.end(), 1234);
    const auto last = std::find(played.rbegin(), played.rend(), 1234);
    const int64_t end = handedBefore + (played.rend() - last);  // just after the last sample
    if (ms > 0) {
      EXPECT_EQ(last.base() - first, ms * 8) << "the whole playback, unbroken";
      EXPECT_GE(heard.done[0].handed, end);
      EXPECT_LT(heard.done[0].handed - end, kFrame);
    } else {
      EXPECT_EQ(first, played.end());
      EXPECT_GT(heard.done[0].atMs, 13);
    }
  }
}

TEST_F(SimChannel, StopEndsThePlaybackAndReportsPlayDoneOnceAtTheNextTick) {
  ASSERT_TRUE(audio.play(Player::Message, wav("long.wav", constant(1000, 3000))).ok());
  clock.advance(205);
  audio.stop(Player::Message);
  EXPECT_FALSE(audio.playing(Player::Message));
  EXPECT_TRUE(heard.done.empty());
  clock.advance(20);
  ASSERT_EQ(heard.done.size(), 1u);
  clock.advance(40);  // what was queued before the stop has left by now
  audio.farEnd().takePlayed();
  clock.advance(3000);
  const std::vector<int16_t> after = audio.farEnd().takePlayed();
  EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](int16_t s) { return s == 0; }));
  EXPECT_EQ(heard.done.size(), 1u) << "no second play-done for the stopped playback";
  audio.stop(Player::Message);  // not playing: nothing to report
  clock.advance(100);
  EXPECT_EQ(heard.done.size(), 1u);
}

// The four players share the line: their samples add up, saturated at the
// 16-bit limits, and each reports its own end.
TEST_F(SimChannel, PlayersAreMixedIntoTheOneLine) {
  ASSERT_TRUE(audio.play(Player::Message, wav("a.wav", constant(1000, 400))).ok());
  ASSERT_TRUE(audio.play(Player::Digit, wav("b.wav", constant(2000, 200))).ok());
  ASSERT_TRUE(audio.play(Player::Extension, wav("c.wav", constant(30000, 100))).ok());
  ASSERT_TRUE(audio.play(Player::Reply, wav("d.wav", constant(-32000, 300))).ok());
  clock.advance(600);
  std::vector<int16_t> played = audio.farEnd().takePlayed();
  const auto start = std::find_if(played.begin(), played.end(), [](int16_t s) { return s != 0; });
  ASSERT_NE(start, played.end());
  const std::vector<int16_t> line(start, start + 400 * 8);
  EXPECT_EQ(line[0], 1000 + 2000 + 30000 - 32000);
  EXPECT_EQ(line[100 * 8], 1000 + 2000 - 32000);
  EXPECT_EQ(line[200 * 8], -31000);
  EXPECT_EQ(line[300 * 8], 1000);
  ASSERT_EQ(heard.done.size(), 4u);
  EXPECT_EQ(heard.done[0].player, Player::Extension);
  EXPECT_EQ(heard.done[1].player, Player::Digit);
  EXPECT_EQ(heard.done[2].player, Player::Reply);
  EXPECT_EQ(heard.done[3].player, Player::Message);

  ASSERT_TRUE(audio.play(Player::Message, wav("e.wav", constant(30000, 100))).ok());
  ASSERT_TRUE(audio.play(Player::Digit, wav("f.wav", constant(30000, 100))).ok());
  clock.advance(200);
  played = audio.farEnd().takePlayed();
  EXPECT_EQ(*std::max_element(played.begin(), played.end()), 32767);
}

// Tones the far end delivers reach the decoder; positions count 8000 Hz
// samples from the start of the input stream.
TEST_F(SimChannel, FarEndTonesGiveDecoderEventsAtTheirPositions) {
  synth::Signal line;
  line.silence(500).dtmf({'7'}, 100).silence(400);  // key at 4000
  const std::array<synth::Tone, 1> ring{{{425, -15}}};
  line.tones(ring, 1000).silence(1500);  // burst at 8000, 1000 ms
  audio.farEnd().deliver(line.pcm());
  clock.advance(4000);
  ASSERT_EQ(heard.keys.size(), 1u);
  EXPECT_EQ(heard.keys[0].first, '7');
  EXPECT_NEAR(static_cast<double>(heard.keys[0].second), 4000, 40);
  const auto burst = std::find_if(heard.bursts.begin(), heard.bursts.end(), [](const auto& b) {
    return std::abs(std::get<0>(b) - 425) < 20;
  });
  ASSERT_NE(burst, heard.bursts.end());
  EXPECT_NEAR(std::get<0>(*burst), 425, 5);
  EXPECT_NEAR(std::get<1>(*burst), 1000, 40);
  EXPECT_NEAR(static_cast<double>(std::get<2>(*burst)), 8000, 80);
  EXPECT_EQ(audio.streamPosition(), 4000 * 8) << "every frame heard once";
}

TEST_F(SimChannel, FarEndInjectsASoundFile) {
  synth::Signal keys(22050);
  keys.silence(100).dtmfString("42", 80, 80).silence(100);
  ASSERT_TRUE(audio.farEnd().deliverFile(wav("in.wav", keys.pcm(), 22050)).ok());
  EXPECT_FALSE(audio.farEnd().deliverFile(dir.file("missing.wav")).ok());
  clock.advance(1000);
  ASSERT_EQ(heard.keys.size(), 2u);
  EXPECT_EQ(heard.keys[0].first, '4');
  EXPECT_EQ(heard.keys[1].first, '2');
}

TEST_F(SimChannel, RefusalsLeaveThePlayerIdle) {
  EXPECT_FALSE(audio.play(Player::Message, dir.file("missing.wav")).ok());
  EXPECT_FALSE(audio.playing(Player::Message));
  ChannelAudioSim closed(clock, "MD02");
  EXPECT_FALSE(closed.play(Player::Message, wav("x.wav", constant(1, 10))).ok());
  EXPECT_FALSE(closed.startStream().ok());
  EXPECT_FALSE(closed.openDevices("MD03", "MD03").ok());
  closed.failStart(true);
  EXPECT_TRUE(closed.openDevices("MD02", "MD02").ok());
  EXPECT_FALSE(closed.startStream().ok());
  EXPECT_FALSE(closed.streaming());
  EXPECT_FALSE(closed.startRecording(dir.file("r.wav"), RecordFormat()).ok());
}

// A full disk refuses new recordings; a running one loses what the line
// says while it lasts and keeps the rest, and its file stays readable.
TEST_F(SimChannel, AFullDiskLosesOnlyWhatCameWhileItWasFull) {
  const QString path = dir.file("call.wav");
  audio.setDiskFull(true);
  EXPECT_FALSE(audio.startRecording(path, RecordFormat()).ok());
  EXPECT_FALSE(audio.recording());
  EXPECT_FALSE(QFile::exists(path));

  audio.setDiskFull(false);
  ASSERT_TRUE(audio.startRecording(path, RecordFormat()).ok());
  audio.farEnd().deliver(constant(1000, 1000));
  clock.advance(1000);
  audio.setDiskFull(true);
  audio.farEnd().deliver(constant(2000, 1000));
  clock.advance(1000);
  audio.setDiskFull(false);
  audio.farEnd().deliver(constant(3000, 1000));
  clock.advance(1000);
  ASSERT_TRUE(audio.stopRecording().ok());

  auto recorded = readMonoAudio(path);
  ASSERT_TRUE(recorded.ok()) << recorded.message().toStdString();
  const std::vector<int16_t>& pcm = recorded->samples;
  EXPECT_NEAR(static_cast<double>(pcm.size()), 2 * 8000, 2 * kFrame);
  EXPECT_EQ(std::count(pcm.begin(), pcm.end(), int16_t{2000}), 0);
  EXPECT_GT(std::count(pcm.begin(), pcm.end(), int16_t{1000}), 7000);
  EXPECT_GT(std::count(pcm.begin(), pcm.end(), int16_t{3000}), 7000);
}

}  // namespace
}  // namespace doruzudo
