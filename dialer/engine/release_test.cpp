// The release: what it resets and stops, the wait for the players, and the
// next dialing step it starts.
#include <gtest/gtest.h>

#include "dialer/engine/fake_engine_world.h"

namespace doruzudo {
namespace {

class Release : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int n : {1, 2}) {
      const QString campaign = QStringLiteral("R%1").arg(n);
      w.addCampaign(campaign, {QStringLiteral("7001"), QStringLiteral("7002")});
      w.settings(n).Campanha = campaign;
    }
    w.build().start();
  }
  // Runs channel n's first call up to the wait for ringback.
  void dialFirstNumbers() {
    w.scheduler.advance(6000 + 1000 + 2000 + 4 * FakeEngineWorld::kDigitMs);
    ASSERT_EQ(w.state(1).Status, status::kAwaitRingback);
    ASSERT_EQ(w.state(2).Status, status::kAwaitRingback);
  }
  void release(int n) { w.channel(n).timer(Channel::tDesliga).start(); }

  FakeEngineWorld w;
};

TEST_F(Release, ResetsTheCallStopsEveryTimerButTCallAndHangsUp) {
  dialFirstNumbers();
  Channel& ch = w.channel(1);
  ChannelState& st = w.state(1);
  st.RingCount = 2;
  st.BusyCount = 3;
  st.Answered = true;
  for (int id = Channel::tDisca; id <= Channel::tTempoMax; ++id) {
    ch.timer(static_cast<Channel::TimerId>(id)).start();
  }
  ch.timer(Channel::tDesliga).setInterval(50);
  release(1);
  w.scheduler.advance(50);

  EXPECT_EQ(st.Status, status::kWaiting);
  EXPECT_EQ(w.view.statusLabel(1), label::kWaiting);
  EXPECT_FALSE(st.Answered);
  EXPECT_EQ(st.RingCount, 0);
  EXPECT_EQ(st.BusyCount, 0);
  EXPECT_TRUE(st.SavedNumber.isEmpty());
  EXPECT_TRUE(st.Idle);
  for (int id = Channel::tDisca; id <= Channel::tDesliga; ++id) {
    EXPECT_FALSE(ch.timer(static_cast<Channel::TimerId>(id)).enabled()) << id;
  }
  EXPECT_EQ(ch.timer(Channel::tDesliga).interval(), 600);
  EXPECT_TRUE(w.messages().contains(QStringLiteral("Desconectando Canal 1")));
  EXPECT_EQ(w.commands(1).back(), LineCommand::OnHook);
  EXPECT_EQ(w.state(2).Status, status::kAwaitRingback);  // channel 2's call goes on

  // The next number 5.5 s later.
  w.scheduler.advance(5499);
  EXPECT_EQ(w.commands(1).back(), LineCommand::OnHook);
  w.scheduler.advance(1);
  EXPECT_EQ(w.commands(1).back(), LineCommand::OffHook);
  EXPECT_TRUE(w.messages().contains(QStringLiteral("Número a ser salvo:7002")));
}

TEST_F(Release, ChannelTwoDialsAgainSixSecondsLater) {
  dialFirstNumbers();
  release(2);
  w.scheduler.advance(600 + 5999);
  EXPECT_EQ(w.commands(2).back(), LineCommand::OnHook);
  w.scheduler.advance(1);
  EXPECT_EQ(w.commands(2).back(), LineCommand::OffHook);
}

TEST_F(Release, WaitsForTheMessageAndReplyPlayersToStop) {
  dialFirstNumbers();
  FakeChannelAudio& audio = w.audioOf(1);
  ASSERT_TRUE(audio.play(Player::Message, QStringLiteral("/msg.wav")).ok());
  ASSERT_TRUE(audio.play(Player::Reply, QStringLiteral("/reply.wav")).ok());
  ASSERT_TRUE(audio.play(Player::Extension, QStringLiteral("/2.wav")).ok());
  release(1);
  w.scheduler.advance(600);
  EXPECT_EQ(audio.stops(Player::Message), 1);
  EXPECT_EQ(audio.stops(Player::Reply), 1);
  EXPECT_EQ(audio.stops(Player::Extension), 0);  // extension digits are left alone
  EXPECT_FALSE(audio.playing(Player::Message));
  EXPECT_EQ(w.commands(1).back(), LineCommand::OnHook);
}

TEST_F(Release, AWaitForAPlayerThatDoesNotStopEndsAfterFiveSeconds) {
  dialFirstNumbers();
  FakeChannelAudio& audio = w.audioOf(1);
  audio.setDeafToStop(Player::Message, true);
  ASSERT_TRUE(audio.play(Player::Message, QStringLiteral("/msg.wav")).ok());
  release(1);
  w.scheduler.advance(600);
  EXPECT_EQ(w.commands(1).back(), LineCommand::OffHook);  // still waiting
  EXPECT_EQ(w.state(1).Status, status::kWaiting);
  EXPECT_FALSE(w.channel(1).timer(Channel::tCall).enabled());
  EXPECT_EQ(w.state(2).Status, status::kAwaitRingback);  // nothing else waits

  w.scheduler.advance(Channel::kPlayerStopLimitMs - Channel::kPlayerStopPollMs);
  EXPECT_EQ(w.commands(1).back(), LineCommand::OffHook);
  w.scheduler.advance(Channel::kPlayerStopPollMs);
  EXPECT_EQ(w.commands(1).back(), LineCommand::OnHook);
  EXPECT_EQ(
      w.count(QStringLiteral("Canal 1: o áudio não parou em 5 s; desconectando assim mesmo.")), 1);
  EXPECT_TRUE(w.channel(1).timer(Channel::tCall).enabled());
}

TEST_F(Release, AReleaseDuringTheWaitEndsWithIt) {
  dialFirstNumbers();
  FakeChannelAudio& audio = w.audioOf(1);
  audio.setDeafToStop(Player::Message, true);
  ASSERT_TRUE(audio.play(Player::Message, QStringLiteral("/msg.wav")).ok());
  release(1);
  w.scheduler.advance(600 + 1000);
  release(1);
  w.scheduler.advance(600);
  audio.setDeafToStop(Player::Message, false);
  audio.stop(Player::Message);
  w.scheduler.advance(Channel::kPlayerStopPollMs);
  EXPECT_EQ(w.count(QStringLiteral("Desconectando Canal 1")), 1);
  EXPECT_EQ(w.commands(1).back(), LineCommand::OnHook);
}

}  // namespace
}  // namespace doruzudo
