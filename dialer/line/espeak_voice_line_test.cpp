// A channel's voice speaking into the simulated line (the real channel audio
// path in virtual time): the far end hears the speech, the end of the stream
// comes when its last sample has left, and the engine on the same channel
// never takes the speech's end for its message's.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <thread>

#include "common/manual_scheduler.h"
#include "dialer/line/channel_audio_sim.h"
#include "dialer/line/espeak_voice.h"
#include "dialer/line/espeak_voice_line.h"
#include "dialer/line/speech_synth.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

struct EngineSide : ChannelAudio::Listener {
  void playDone(Player player) override { done.push_back(player); }
  std::vector<Player> done;
};

int peakOf(const std::vector<int16_t>& samples) {
  int peak = 0;
  for (int16_t s : samples) peak = std::max(peak, std::abs(int{s}));
  return peak;
}

class VoiceOnSimulatedLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!speechDataInstalled() || !speechVoices().contains(QStringLiteral("pt-br")))
      GTEST_SKIP() << "no pt-br voice";
    ASSERT_TRUE(device.openDevices(QStringLiteral("MD01"), QStringLiteral("MD01")).ok());
    ASSERT_TRUE(device.startStream().ok());
    line.setListener(&engine);
    voice.setEndStream([this] { ++ends; });
  }

  // Speaks and runs the event loop until the speech reaches the message player.
  void speak(const QString& text) {
    ASSERT_TRUE(voice.speak(text).ok());
    for (int i = 0; i < 2'000'000 && !device.playing(Player::Message); ++i) {
      QCoreApplication::processEvents();
      std::this_thread::yield();
    }
    ASSERT_TRUE(device.playing(Player::Message));
  }

  ManualScheduler scheduler;
  ChannelAudioSim device{scheduler, QStringLiteral("MD01")};
  VoiceLineAudio line{scheduler, device};
  EspeakVoice voice{scheduler, line};
  EngineSide engine;
  int ends = 0;
};

TEST_F(VoiceOnSimulatedLineTest, TheFarEndHearsTheSpeechUntilTheStreamEnds) {
  speak(QStringLiteral("Bom dia, esta é uma mensagem."));
  int64_t ms = 0;
  std::vector<int16_t> heard;
  for (; ends == 0 && ms < 20000; ms += 20) {
    scheduler.advance(20);
    const std::vector<int16_t> frame = device.farEnd().takePlayed();
    heard.insert(heard.end(), frame.begin(), frame.end());
  }
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(voice.runningState(), Voice::kDone);
  EXPECT_GT(ms, 1000);  // it lasted as long as the speech
  EXPECT_GT(peakOf(heard), 5000);
  scheduler.advance(200);
  EXPECT_TRUE(engine.done.empty());
}

TEST_F(VoiceOnSimulatedLineTest, SkipSilencesTheLineAndEndsAtTheNextTick) {
  speak(QStringLiteral("Bom dia, esta é uma mensagem bem longa para ser interrompida."));
  scheduler.advance(200);
  voice.skip();
  scheduler.advance(40);
  EXPECT_EQ(ends, 1);
  device.farEnd().takePlayed();
  scheduler.advance(200);
  EXPECT_EQ(peakOf(device.farEnd().takePlayed()), 0);
  EXPECT_TRUE(engine.done.empty());

  // The engine's own message afterwards reports its end to the engine.
  ASSERT_TRUE(line.playSamples(Player::Message, std::vector<int16_t>(800, 1000), 8000).ok());
  scheduler.advance(400);
  EXPECT_EQ(engine.done, std::vector<Player>{Player::Message});
  EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace doruzudo
