// The engine-wide part: start-up, the start and pause buttons, and the
// e-mail notices they and the end of a campaign ask for.
#include <gtest/gtest.h>

#include "dialer/engine/fake_engine_world.h"

namespace doruzudo {
namespace {

using Request = FakeMailPort::Request;

class EngineButtons : public ::testing::Test {
 protected:
  void SetUp() override {
    w.addCampaign(QStringLiteral("PRIMEIRA"), {QStringLiteral("1001"), QStringLiteral("1002")});
    w.addCampaign(QStringLiteral("SEGUNDA"), {QStringLiteral("2001")});
    w.settings(1).Campanha = QStringLiteral("PRIMEIRA");
    w.settings(2).Campanha = QStringLiteral("SEGUNDA");
    w.general.Sendmail = true;
    w.general.CampanhaInicioManual = true;
    w.general.CampanhaPausaManual = true;
    w.build();
  }
  bool tCallOn(int n) { return w.channel(n).timer(Channel::tCall).enabled(); }
  const std::vector<Request>& mails() { return w.mail.requests(); }

  FakeEngineWorld w;
};

TEST_F(EngineButtons, StartUpStartsAllEightChannelsWithoutANotice) {
  w.engine->BitBtn2Click();
  w.scheduler.advance(350);
  w.mail.finishSends();
  const auto before = mails().size();
  w.engine->start();
  for (int n = 1; n <= kChannelCount; ++n) EXPECT_TRUE(tCallOn(n)) << n;
  EXPECT_TRUE(w.engine->Paused());  // left as it was
  w.scheduler.advance(350);
  EXPECT_EQ(mails().size(), before);
}

TEST_F(EngineButtons, ShutdownStopsEveryChannelWithoutALineCommand) {
  w.engine->start();
  w.scheduler.advance(5500 + 1000 + 2000);  // channel 1 dials, channel 2 settles
  w.audioOf(1).setDeafToStop(Player::Message, true);
  ASSERT_TRUE(w.audioOf(1).play(Player::Message, QStringLiteral("/m.wav")).ok());
  w.channel(1).timer(Channel::tDesliga).start();
  w.scheduler.advance(600);  // channel 1's release waits for its player, channel 2 dials
  w.engine->BitBtn2Click();  // a notice pending
  const auto sent1 = w.commands(1).size(), sent2 = w.commands(2).size();
  w.engine->shutdown();
  for (int n = 1; n <= kChannelCount; ++n) {
    for (int id = 0; id < Channel::kTimerCount; ++id) {
      EXPECT_FALSE(w.channel(n).timer(static_cast<Channel::TimerId>(id)).enabled()) << n << id;
    }
  }
  w.scheduler.advance(120000);
  EXPECT_EQ(w.commands(1).size(), sent1);
  EXPECT_EQ(w.commands(2).size(), sent2);
  EXPECT_TRUE(mails().empty());
}

TEST_F(EngineButtons, StartWithNoticesOffOnlyStartsTheChannels) {
  w.general.Sendmail = false;
  w.engine->Button27Click();
  for (int n = 1; n <= kChannelCount; ++n) EXPECT_TRUE(tCallOn(n)) << n;
  w.scheduler.advance(1000);
  EXPECT_TRUE(mails().empty());
  EXPECT_EQ(w.engine->MailReason(), 0);
}

TEST_F(EngineButtons, EachButtonAsksForItsNoticeThroughChannelOne) {
  struct Case {
    const char* what;
    bool start, pause;  // the notice settings
    void (Engine::*press)();
    std::vector<Request> sent;
  };
  const std::vector<Case> cases = {
      {"start", true, false, &Engine::Button27Click, {{MailPort::kStarted, "PRIMEIRA"}}},
      {"start, its notice off", false, true, &Engine::Button27Click, {}},
      {"pause", false, true, &Engine::BitBtn2Click, {{MailPort::kPaused, "PRIMEIRA"}}},
      {"pause, its notice off", true, false, &Engine::BitBtn2Click, {}},
  };
  for (const Case& c : cases) {
    FakeEngineWorld world;
    world.settings(1).Campanha = QStringLiteral("PRIMEIRA");
    world.settings(2).Campanha = QStringLiteral("SEGUNDA");
    world.general.Sendmail = true;
    world.general.CampanhaInicioManual = c.start;
    world.general.CampanhaPausaManual = c.pause;
    (world.build().*c.press)();
    world.scheduler.advance(349);
    EXPECT_TRUE(world.mail.requests().empty()) << c.what;
    world.scheduler.advance(1);
    EXPECT_EQ(world.mail.requests(), c.sent) << c.what;
    EXPECT_EQ(world.engine->MailBusy(), !c.sent.empty()) << c.what;
    world.mail.finishSends();
    EXPECT_FALSE(world.engine->MailBusy()) << c.what;
  }
}

TEST_F(EngineButtons, TwoPressesWithinTheSendDelaySendOneNoticeTheLastAskedFor) {
  w.engine->BitBtn2Click();
  w.scheduler.advance(200);
  w.engine->BitBtn2Click();
  w.scheduler.advance(1000);
  EXPECT_EQ(mails(), (std::vector<Request>{{MailPort::kPaused, "PRIMEIRA"}}));

  w.mail.finishSends();
  w.engine->Button27Click();
  w.engine->BitBtn2Click();
  w.scheduler.advance(1000);
  ASSERT_EQ(mails().size(), 2u);
  EXPECT_EQ(mails().back().kind, MailPort::kPaused);
}

TEST_F(EngineButtons, ANoticeWaitsWhileAnotherIsBeingSent) {
  w.engine->BitBtn2Click();
  w.scheduler.advance(350);
  ASSERT_TRUE(w.engine->MailBusy());
  w.engine->Button27Click();
  w.scheduler.advance(350 * 3);
  EXPECT_EQ(mails().size(), 1u);
  EXPECT_TRUE(w.channel(1).timer(Channel::tSendEmail).enabled());

  w.mail.finishSends();
  w.scheduler.advance(350);
  EXPECT_EQ(mails().back(), (Request{MailPort::kStarted, "PRIMEIRA"}));
}

TEST_F(EngineButtons, AReleaseOfChannelOneDropsAPendingNotice) {
  w.engine->BitBtn2Click();
  w.channel(2).timer(Channel::tDesliga).start();  // another channel's release
  w.scheduler.advance(300);
  w.channel(1).timer(Channel::tDesliga).setInterval(20);
  w.channel(1).timer(Channel::tDesliga).start();
  w.scheduler.advance(1000);
  EXPECT_TRUE(mails().empty());
}

TEST_F(EngineButtons, StartDoesNotBreakIntoACallInProgress) {
  w.engine->start();
  w.scheduler.advance(5500 + 1000 + 2000);  // channel 1 dials, channel 2 settles
  ASSERT_TRUE(w.channel(1).inCall());
  w.engine->Button27Click();
  EXPECT_FALSE(tCallOn(1));
  EXPECT_FALSE(tCallOn(2));
  EXPECT_TRUE(tCallOn(3));  // idle: its campaign is empty but it tries again
  w.scheduler.advance(20000);
  EXPECT_EQ(w.dialed(1), QStringLiteral("1001"));
  EXPECT_EQ(w.rows(QStringLiteral("PRIMEIRA")).at(0).tentativas, 1);
}

TEST_F(EngineButtons, OneChannelFinishesWhileTheOthersGoOn) {
  w.settings(3).Campanha = QStringLiteral("VAZIA");
  w.engine->start();
  w.scheduler.advance(6000);
  EXPECT_EQ(w.view.statusLabel(3), label::kFinished);
  EXPECT_EQ(w.count(QStringLiteral("Não há mais telefones para discagem no Canal 3.")), 1);
  EXPECT_FALSE(tCallOn(3));
  EXPECT_TRUE(w.channel(3).stopped());
  EXPECT_TRUE(w.channel(1).inCall());
  EXPECT_TRUE(w.channel(2).inCall());
  EXPECT_FALSE(w.engine->allStopped());

  w.scheduler.advance(60000);
  EXPECT_EQ(w.count(QStringLiteral("Não há mais telefones para discagem no Canal 3.")), 1);
  w.engine->Button27Click();  // starts the finished channel again: one more line
  w.scheduler.advance(5500);
  EXPECT_EQ(w.count(QStringLiteral("Não há mais telefones para discagem no Canal 3.")), 2);
}

TEST_F(EngineButtons, AllChannelsStopWhenEveryListIsDone) {
  w.engine->start();
  EXPECT_FALSE(w.engine->allStopped());
  w.channel(1).timer(Channel::tComuta).setInterval(100);
  w.channel(2).timer(Channel::tComuta).setInterval(100);
  w.scheduler.advance(60000);            // PRIMEIRA's two numbers, SEGUNDA's one: each tried once
  EXPECT_FALSE(w.engine->allStopped());  // a new pass goes on dialing them
  w.settings(1).Tentativa = w.settings(2).Tentativa = QStringLiteral("1");
  w.scheduler.advance(60000);  // every number moves: nothing left
  EXPECT_TRUE(w.engine->allStopped());
  for (int n = 1; n <= kChannelCount; ++n) EXPECT_EQ(w.view.statusLabel(n), label::kFinished);
}

TEST_F(EngineButtons, TheEndOfACampaignIsToldOnceThroughTheFinishingChannel) {
  w.general.FimCampanha = true;
  for (int n : {3, 4, 5}) w.settings(n).Campanha = QStringLiteral("ENCERRADA");
  w.settings(6).Campanha = QStringLiteral("OUTRA");
  w.engine->start();
  w.scheduler.advance(5500);
  for (int n : {3, 4, 5, 6}) EXPECT_EQ(w.view.statusLabel(n), label::kFinished) << n;
  EXPECT_TRUE(w.channel(3).timer(Channel::tSendEmail).enabled());
  EXPECT_FALSE(w.channel(4).timer(Channel::tSendEmail).enabled());
  EXPECT_TRUE(w.channel(6).timer(Channel::tSendEmail).enabled());
  EXPECT_FALSE(w.channel(7).timer(Channel::tSendEmail).enabled());  // no campaign set

  w.scheduler.advance(350);
  EXPECT_EQ(mails(), (std::vector<Request>{{MailPort::kCampaignEnded, "ENCERRADA"}}));
  w.scheduler.advance(350);  // channel 6 waited for the first notice
  EXPECT_EQ(mails().size(), 1u);
  w.mail.finishSends();
  w.scheduler.advance(350);
  EXPECT_EQ(mails().back(), (Request{MailPort::kCampaignEnded, "OUTRA"}));
}

TEST_F(EngineButtons, NoEndNoticeWithoutFimCampanha) {
  w.general.CampanhaInicioManual = false;
  w.settings(3).Campanha = QStringLiteral("ENCERRADA");
  w.engine->Button27Click();
  w.scheduler.advance(6000);
  EXPECT_TRUE(mails().empty());
}

TEST_F(EngineButtons, ANoticeTheMailPortRefusesLeavesMailBusyClear) {
  w.channel(1).requestMail(7);  // a kind the port does not send
  w.scheduler.advance(350);
  EXPECT_EQ(mails().size(), 1u);
  EXPECT_FALSE(w.engine->MailBusy());
}

}  // namespace
}  // namespace doruzudo
