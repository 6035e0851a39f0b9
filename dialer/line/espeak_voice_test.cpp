// EspeakVoice speaking into a channel's line through VoiceLineAudio, over a
// fake device that reports play-done the way the channel's device does (a
// finished playback at once, a stopped one on its next tick), and the test
// voice's output on this machine's sound (or none).
#include "dialer/line/espeak_voice.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <thread>

#include "common/manual_scheduler.h"
#include "dialer/line/channel_audio_portaudio.h"
#include "dialer/line/espeak_voice_line.h"
#include "dialer/line/speech_synth.h"
#include "dialer/line/test_voice_output.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

class FakeLine final : public ChannelAudio {
 public:
  struct Played {
    Player player;
    std::vector<int16_t> samples;
    int rate = 0;
    QString file;
  };

  Status play(Player player, const QString& file) override {
    played.push_back({player, {}, 0, file});
    playing_[index(player)] = true;
    return Status::Ok();
  }
  Status playSamples(Player player, std::span<const int16_t> samples, int rate) override {
    if (closed) return Status::Error(QStringLiteral("the channel's sound device is not open"));
    played.push_back({player, {samples.begin(), samples.end()}, rate, {}});
    playing_[index(player)] = true;
    return Status::Ok();
  }
  void stop(Player player) override {
    if (!playing_[index(player)]) return;
    playing_[index(player)] = false;
    stopPending_[index(player)] = true;
  }
  bool playing(Player player) const override { return playing_[index(player)]; }
  Status startStream() override { return Status::Ok(); }
  bool streaming() const override { return true; }
  Status startRecording(const QString&, const RecordFormat&) override { return Status::Ok(); }
  Status stopRecording() override { return Status::Ok(); }
  bool recording() const override { return false; }

  // The device's tick: reports the stops since the last one.
  void tick() {
    for (int i = 0; i < kPlayerCount; ++i) {
      if (std::exchange(stopPending_[i], false) && listener())
        listener()->playDone(static_cast<Player>(i));
    }
  }
  // The last sample of `player`'s playback has been heard.
  void finish(Player player) {
    ASSERT_TRUE(playing_[index(player)]);
    playing_[index(player)] = false;
    if (listener()) listener()->playDone(player);
  }
  void key(int k) {
    if (listener()) listener()->dtmf(k, 42);
  }
  int speechPlays() const {
    return static_cast<int>(std::count_if(played.begin(), played.end(),
                                          [](const Played& p) { return p.file.isEmpty(); }));
  }

  std::vector<Played> played;
  bool closed = false;

 private:
  static size_t index(Player p) { return static_cast<size_t>(p); }
  bool playing_[kPlayerCount] = {};
  bool stopPending_[kPlayerCount] = {};
};

// What the engine hears through VoiceLineAudio.
struct EngineSide : ChannelAudio::Listener {
  void playDone(Player player) override { done.push_back(player); }
  void dtmf(int key, int64_t) override { keys += QChar(key); }
  std::vector<Player> done;
  QString keys;
};

// Runs the event loop until `ready` holds, a bounded number of turns.
template <typename Ready>
bool spinUntil(Ready ready) {
  for (int i = 0; i < 2'000'000 && !ready(); ++i) {
    QCoreApplication::processEvents();
    std::this_thread::yield();
  }
  return ready();
}

const QString kText = QStringLiteral("Bom dia. Esta é uma mensagem de teste.");

class EspeakVoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!speechDataInstalled() || !speechVoices().contains(QStringLiteral("pt-br")))
      GTEST_SKIP() << "no pt-br voice";
    line.setListener(&engine);
    voice.setEndStream([this] {
      ++ends;
      endsOnMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    voice.setErrorHandler([this](const QString& e) { errors << e; });
  }

  // Speaks `text` and waits until its samples reach the line.
  const FakeLine::Played& speakAndWait(const QString& text) {
    const int before = device.speechPlays();
    EXPECT_TRUE(voice.speak(text).ok());
    EXPECT_TRUE(spinUntil([&] { return device.speechPlays() > before; }));
    return device.played.back();
  }

  ManualScheduler scheduler;
  FakeLine device;
  VoiceLineAudio line{scheduler, device};
  EspeakVoice voice{scheduler, line};
  EngineSide engine;
  int ends = 0;
  bool endsOnMainThread = false;
  QStringList errors;
};

TEST_F(EspeakVoiceTest, SpeaksIntoTheMessagePlayerAndEndsAfterItsPlayDone) {
  const FakeLine::Played& played = speakAndWait(
      QStringLiteral("Olá <silence msec=\"350\"/> <lang langid=\"409\">good morning</lang>"));
  EXPECT_EQ(played.player, Player::Message);
  EXPECT_EQ(played.rate, EspeakVoice::kSampleRate);
  EXPECT_GT(played.samples.size(), size_t{EspeakVoice::kSampleRate / 2});
  EXPECT_EQ(voice.runningState(), Voice::kSpeaking);
  EXPECT_EQ(ends, 0);

  device.finish(Player::Message);
  EXPECT_EQ(ends, 1);
  EXPECT_TRUE(endsOnMainThread);
  EXPECT_EQ(voice.runningState(), Voice::kDone);
  EXPECT_TRUE(engine.done.empty()) << "the engine took the speech's end for its message's";
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(EspeakVoiceTest, SkipStopsThePlaybackAndEndsTheStream) {
  speakAndWait(kText);
  voice.skip();
  EXPECT_FALSE(device.playing(Player::Message));
  EXPECT_EQ(ends, 0);  // not from inside skip()
  scheduler.runDue();
  device.tick();
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(voice.runningState(), Voice::kDone);
  EXPECT_TRUE(engine.done.empty());
}

TEST_F(EspeakVoiceTest, SkipDuringSynthesisDropsItsSamples) {
  ASSERT_TRUE(voice.speak(kText).ok());
  voice.skip();
  scheduler.runDue();
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(voice.runningState(), Voice::kDone);
  // The next speech comes after the skipped one on the synthesis thread.
  speakAndWait(QStringLiteral("outra"));
  EXPECT_EQ(device.speechPlays(), 1);
  EXPECT_EQ(voice.runningState(), Voice::kSpeaking);
}

TEST_F(EspeakVoiceTest, ASpeechReplacedByAnotherHasNoEndOfItsOwn) {
  speakAndWait(kText);
  speakAndWait(QStringLiteral("outra mensagem"));
  scheduler.runDue();
  device.tick();  // the device reports the first playback's stop
  EXPECT_EQ(ends, 0);
  EXPECT_EQ(voice.runningState(), Voice::kSpeaking);
  device.finish(Player::Message);
  EXPECT_EQ(ends, 1);
  EXPECT_TRUE(engine.done.empty());
}

TEST_F(EspeakVoiceTest, RateAndVolumeTakeEffect) {
  auto longest = [](const FakeLine::Played& p) { return p.samples.size(); };
  auto peak = [](const FakeLine::Played& p) {
    int m = 0;
    for (int16_t s : p.samples) m = std::max(m, std::abs(int{s}));
    return m;
  };
  voice.setRate(-10);
  const size_t slow = longest(speakAndWait(kText));
  voice.setRate(10);
  const size_t fast = longest(speakAndWait(kText));
  EXPECT_GT(slow, fast * 3) << "slow " << slow << ", fast " << fast;

  voice.setRate(0);
  const int loud = peak(speakAndWait(kText));
  voice.setVolume(25);
  const int quiet = peak(speakAndWait(kText));
  EXPECT_NEAR(quiet * 4, loud, loud / 50);
  voice.setVolume(0);
  EXPECT_EQ(peak(speakAndWait(kText)), 0);

  voice.setRate(15);
  voice.setVolume(-3);
  EXPECT_EQ(voice.rate(), 10);
  EXPECT_EQ(voice.volume(), 0);
}

TEST_F(EspeakVoiceTest, FailuresEndTheStreamWithTheirReason) {
  voice.setVoiceName(QStringLiteral("xx-none"));
  ASSERT_TRUE(voice.speak(kText).ok());
  ASSERT_TRUE(spinUntil([&] { return !errors.isEmpty(); }));
  EXPECT_EQ(ends, 0);
  scheduler.runDue();
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(device.speechPlays(), 0);

  voice.setVoiceName(QStringLiteral("pt-br"));
  device.closed = true;
  ASSERT_TRUE(voice.speak(kText).ok());
  ASSERT_TRUE(spinUntil([&] { return errors.size() == 2; }));
  scheduler.runDue();
  EXPECT_EQ(ends, 2);
  EXPECT_TRUE(errors[1].contains(QStringLiteral("not open")));
  EXPECT_EQ(voice.runningState(), Voice::kDone);
}

// The engine's own use of the message player while a speech plays there.
TEST_F(EspeakVoiceTest, EnginePlayOrStopOnTheMessagePlayerEndsTheSpeech) {
  speakAndWait(kText);
  ASSERT_TRUE(line.play(Player::Message, QStringLiteral("msg.wav")).ok());
  EXPECT_EQ(ends, 0);
  scheduler.runDue();
  EXPECT_EQ(ends, 1);
  device.finish(Player::Message);  // the engine's file
  EXPECT_EQ(engine.done, std::vector<Player>{Player::Message});

  speakAndWait(kText);
  line.stop(Player::Message);
  scheduler.runDue();
  device.tick();  // the stopped speech's play-done: not the engine's
  EXPECT_EQ(ends, 2);
  EXPECT_EQ(engine.done.size(), 1u);
}

TEST_F(EspeakVoiceTest, AStopReportedAfterTheSpeechStartedIsTheEnginesNotTheSpeechs) {
  ASSERT_TRUE(line.play(Player::Message, QStringLiteral("msg.wav")).ok());
  line.stop(Player::Message);
  speakAndWait(kText);  // the device has not ticked yet
  device.tick();
  EXPECT_EQ(engine.done, std::vector<Player>{Player::Message});
  EXPECT_EQ(ends, 0);
  device.finish(Player::Message);
  EXPECT_EQ(ends, 1);
}

TEST_F(EspeakVoiceTest, OtherPlayersAndDecoderEventsPassThrough) {
  speakAndWait(kText);
  ASSERT_TRUE(line.play(Player::Digit, QStringLiteral("digitos/5.wav")).ok());
  device.finish(Player::Digit);
  device.key('7');
  line.stop(Player::Reply);  // not playing: nothing
  device.tick();
  EXPECT_EQ(engine.done, std::vector<Player>{Player::Digit});
  EXPECT_EQ(engine.keys, QStringLiteral("7"));
  EXPECT_EQ(voice.runningState(), Voice::kSpeaking);
}

TEST(SpeechRate, WordsPerMinute) {
  EXPECT_EQ(wordsPerMinute(0), 175);
  EXPECT_EQ(wordsPerMinute(-10), 80);
  EXPECT_EQ(wordsPerMinute(10), 450);
  EXPECT_EQ(wordsPerMinute(-30), 80);
  EXPECT_EQ(wordsPerMinute(99), 450);
  for (int r = -10; r < 10; ++r) EXPECT_LT(wordsPerMinute(r), wordsPerMinute(r + 1)) << r;
}

TEST(SpeechVolume, ScalesTheSamples) {
  std::vector<int16_t> s{1000, -32768, 32767, 3};
  applyVolume(s, 50);
  EXPECT_EQ(s, (std::vector<int16_t>{500, -16384, 16383, 1}));
  applyVolume(s, 0);
  EXPECT_EQ(s, (std::vector<int16_t>{0, 0, 0, 0}));
  std::vector<int16_t> t{1000};
  applyVolume(t, 180);
  EXPECT_EQ(t, std::vector<int16_t>{1000});
}

// The test voice on this machine's own output: with a sound card it plays,
// without one (or on a device that does not exist) it ends with a reason;
// either way nothing crashes and the stream ends.
TEST(TestVoice, SpeaksOnThePcOutputOrEndsWithAReason) {
  if (!speechDataInstalled() || !speechVoices().contains(QStringLiteral("pt-br")))
    GTEST_SKIP() << "no pt-br voice";
  ManualScheduler scheduler;
  PortAudioSystem system;
  for (const QString& device : {QStringLiteral("no such device"), QString()}) {
    TestVoiceOutput output(system);
    output.setDevice(device);
    EspeakVoice voice(scheduler, output);
    int ends = 0;
    QStringList errors;
    voice.setEndStream([&] { ++ends; });
    voice.setErrorHandler([&](const QString& e) { errors << e; });
    ASSERT_TRUE(voice.speak(QStringLiteral("teste")).ok());
    ASSERT_TRUE(spinUntil([&] {
      scheduler.runDue();
      return ends == 1;
    })) << device.toStdString();
    if (!device.isEmpty()) {
      ASSERT_EQ(errors.size(), 1);
      EXPECT_TRUE(errors[0].contains(device)) << errors[0].toStdString();
    }
    EXPECT_EQ(output.level(), 0);
  }
}

}  // namespace
}  // namespace doruzudo
