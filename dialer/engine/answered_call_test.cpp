// The answered call's script: the message end (row moved, the wait by mode),
// the keys (options, 9, 0), the end of the wait by mode and its failures.
#include <gtest/gtest.h>

#include "dialer/engine/call_steps.h"
#include "dialer/engine/dialing_rules.h"

namespace doruzudo {
namespace {

TEST(MessageEnd, MovesTheRowAndWaitsAsTheModeSays) {
  struct Case {
    int channel;
    QString trans;
    const char* textoHab;
    int waitMs;
  };
  const Case cases[] = {
      {1, mode::kTransfer, "NÃO", 250},      {1, mode::kTransfer, "SIM", 250},
      {1, mode::kHangUp, "NÃO", 4000},       {2, mode::kHangUp, "NÃO", 1000},
      {1, mode::kRecord, "SIM", 400},        {3, mode::nine(3), "NÃO", 5500},
      {3, mode::nine(3), "SIM", 4000},       {2, mode::nine(2), "SIM", 1000},
      {4, mode::blockCheck(4), "NÃO", 4000}, {1, mode::kContact, "SIM", 4000},
      {6, mode::kSurvey, "NÃO", 4000},
  };
  for (const Case& c : cases) {
    FakeEngineWorld w;
    CallSteps call(w, c.channel);
    call.settings().Trans = c.trans;
    call.settings().TextoHab = QString::fromUtf8(c.textoHab);
    call.answer();
    EXPECT_FALSE(call.running(Channel::TimeOut));
    call.endMessage();
    const QString what = c.trans + QStringLiteral(" ") + c.textoHab;
    EXPECT_TRUE(call.running(Channel::TimeOut)) << what.toStdString();
    EXPECT_EQ(call.ch().timer(Channel::TimeOut).interval(), c.waitMs) << what.toStdString();
    EXPECT_FALSE(call.st().Speaking);
    EXPECT_EQ(call.st().Status, QString::fromUtf8(c.textoHab) == QStringLiteral("SIM")
                                    ? status::kWaiting
                                    : status::kPlaying);
    EXPECT_FALSE(call.row().has_value()) << what.toStdString();
    ASSERT_TRUE(call.result().has_value());
    EXPECT_EQ(call.result()->status, calldb::kStatusAnswered);
    EXPECT_EQ(call.result()->telefone, CallSteps::kNumber);
    EXPECT_EQ(w.view.titleColour(c.channel), ChannelView::kColourGreen);
  }
}

TEST(MessageEnd, ARowThatCannotMoveStaysToBeDialedAgainAndTheCallEnds) {
  FakeEngineWorld w;
  CallSteps call(w, 1);
  call.answer();
  w.connected = false;
  call.endMessage();
  EXPECT_EQ(w.count(QStringLiteral("Erro ao copiar registro no banco de dados.")), 1);
  w.connected = true;
  EXPECT_EQ(call.row()->status, calldb::kStatusAnswered);
  EXPECT_FALSE(call.result().has_value());
  EXPECT_TRUE(call.releasedWithin(4000 + 50 + 10));
}

// Storing the answer failed (the database was away): the message end stores
// it before moving the row, never moving a row without its result.
TEST(MessageEnd, AnAnswerThatWasNotStoredIsStoredBeforeTheRowMoves) {
  FakeEngineWorld w;
  CallSteps call(w, 1);
  call.toRingback();
  call.ring();
  w.connected = false;
  call.burst(300, 400);  // the voice that answers
  w.scheduler.advance(500);
  ASSERT_TRUE(call.st().Answered);
  w.connected = true;
  ASSERT_TRUE(call.row().has_value());
  EXPECT_TRUE(call.row()->status.isEmpty());
  call.endMessage();
  ASSERT_TRUE(call.result().has_value());
  EXPECT_EQ(call.result()->status, calldb::kStatusAnswered);
  EXPECT_EQ(w.count(QStringLiteral("Erro ao copiar registro no banco de dados.")), 0);
}

TEST(MessageEnd, HangUpModesReleaseFiftyMillisecondsAfterTheWait) {
  for (const QString& trans :
       {mode::kHangUp, mode::nine(1), mode::kContact, mode::kSurvey, QStringLiteral("??")}) {
    FakeEngineWorld w;
    CallSteps call(w, 1);
    call.settings().Trans = trans;
    call.toWait();
    const int wait = call.ch().timer(Channel::TimeOut).interval();
    w.scheduler.advance(wait);
    EXPECT_FALSE(call.running(Channel::TimeOut)) << trans.toStdString();
    EXPECT_EQ(call.ch().timer(Channel::TimeOut).interval(), 4000);
    EXPECT_EQ(call.ch().timer(Channel::tDesliga).interval(), 50) << trans.toStdString();
    EXPECT_TRUE(call.releasedWithin(50)) << trans.toStdString();
    EXPECT_EQ(call.flashes(), 0);
  }
}

class OptionKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    call.settings().Trans = mode::kSurvey;
    call.settings().Digito = {'1', '2', '3'};
    call.settings().TextoDigito = {QStringLiteral("Ótimo"), QStringLiteral("Bom"),
                                   QStringLiteral("Ruim")};
    call.settings().PathDigito = {QStringLiteral("/msg/obrigado1.wav"),
                                  QStringLiteral("/msg/obrigado2.wav"), QString()};
  }
  FakeEngineWorld w;
  CallSteps call{w, 1};
};

TEST_F(OptionKeys, AKeyDuringTheMessageIsIgnoredAndTheSameKeyAfterItIsStored) {
  call.answer();
  call.audio().key('1');
  EXPECT_TRUE(call.audio().files(Player::Reply).empty());
  call.endMessage();
  call.audio().key('1');
  EXPECT_EQ(w.view.statusLabel(1), label::kRegistering);
  EXPECT_FALSE(call.running(Channel::TimeOut));
  EXPECT_EQ(call.result()->opcao1, QStringLiteral("Ótimo"));
  EXPECT_EQ(call.audio().files(Player::Reply),
            std::vector<QString>{QStringLiteral("/msg/obrigado1.wav")});
  EXPECT_FALSE(call.running(Channel::tDesliga));
  call.audio().finish(Player::Reply);  // the confirmation ends the call
  EXPECT_TRUE(call.releasedWithin(600));
}

TEST_F(OptionKeys, EachModeTakesItsOwnKeys) {
  struct Case {
    QString trans;
    char key;
    QString stored;  // empty: the key is ignored
  };
  const Case cases[] = {
      {mode::kSurvey, '2', QStringLiteral("Bom")},
      {mode::kSurvey, '3', QStringLiteral("Ruim")},
      {mode::kContact, '2', QStringLiteral("Bom")},
      {mode::kContact, '3', QString()},  // Digito3 is no option of "Contato"
      {mode::kHangUp, '1', QString()},
      {mode::kSurvey, '4', QString()},
  };
  for (const Case& c : cases) {
    FakeEngineWorld world;
    CallSteps other(world, 1);
    other.settings().Trans = c.trans;
    other.settings().Digito = call.settings().Digito;
    other.settings().TextoDigito = call.settings().TextoDigito;
    other.toWait();
    other.audio().key(c.key);
    EXPECT_EQ(other.result()->opcao1, c.stored) << c.trans.toStdString() << c.key;
    EXPECT_EQ(other.running(Channel::TimeOut), c.stored.isEmpty()) << c.key;
  }
}

TEST_F(OptionKeys, WithoutAConfirmationTheCallEndsAtOnce) {
  call.toWait();
  call.audio().key('3');
  EXPECT_EQ(call.result()->opcao1, QStringLiteral("Ruim"));
  EXPECT_TRUE(call.running(Channel::tDesliga));
  EXPECT_TRUE(call.releasedWithin(600));
}

TEST_F(OptionKeys, AnAnswerThatCannotBeStoredIsLoggedAndTheCallStillEnds) {
  call.toWait();
  w.connected = false;
  call.audio().key('1');
  EXPECT_EQ(w.count(QStringLiteral("Erro ao registrar opção no banco de dados.")), 1);
  call.audio().finish(Player::Reply);
  EXPECT_TRUE(call.releasedWithin(600));
  w.connected = true;
  EXPECT_TRUE(call.result()->opcao1.isEmpty());
}

// Key 9 in "NoveC<n>": channels 1 to 4 stop the wait for the announcement,
// 5 to 8 let it run; without an announcement 5 to 8 flash with 2000 ms.
TEST(Key9, TransfersOnRequestByChannelAndAnnouncement) {
  struct Case {
    int channel;
    bool announcement;
    bool waitRuns;  // after the key
    int transMs;    // tTrans once the flash went out
  };
  const Case cases[] = {
      {1, true, false, 300 + 3000}, {4, true, false, 300 + 3000},  {5, true, true, 300 + 3000},
      {8, true, true, 300 + 3000},  {1, false, false, 300 + 3000}, {5, false, false, 300 + 2000},
  };
  for (const Case& c : cases) {
    FakeEngineWorld w;
    CallSteps call(w, c.channel);
    call.settings().Trans = mode::nine(c.channel);
    if (!c.announcement) call.audio().failFile(call.announcement());
    call.toWait();
    call.audio().key('9');
    EXPECT_EQ(call.running(Channel::TimeOut), c.waitRuns) << c.channel << c.announcement;
    if (c.announcement) {
      EXPECT_EQ(call.audio().files(Player::Reply), std::vector<QString>{call.announcement()});
      EXPECT_EQ(call.flashes(), 0);
      call.audio().finish(Player::Reply);
    }
    EXPECT_FALSE(call.running(Channel::TimeOut));
    EXPECT_EQ(w.view.statusLabel(c.channel), label::kTransferring);
    EXPECT_EQ(call.flashes(), 1) << c.channel << c.announcement;
    EXPECT_EQ(call.ch().timer(Channel::tTrans).interval(), c.transMs) << c.channel;
    EXPECT_TRUE(call.running(Channel::tTrans));
  }
}

TEST(Key9, OnChannelsFiveToEightAWaitThatEndsFirstHangsUp) {
  FakeEngineWorld w;
  CallSteps call(w, 6);
  call.settings().Trans = mode::nine(6);
  call.toWait();
  w.scheduler.advance(5000);
  call.audio().key('9');
  w.scheduler.advance(500);  // the wait of 5.5 s ends while the announcement plays
  EXPECT_TRUE(call.releasedWithin(50));
  EXPECT_EQ(call.flashes(), 0);
  EXPECT_EQ(call.audio().stops(Player::Reply), 1);
}

TEST(Key9, OtherModesIgnoreIt) {
  FakeEngineWorld w;
  CallSteps call(w, 1);
  call.settings().Trans = mode::nine(2);  // another channel's word
  call.toWait();
  call.audio().key('9');
  EXPECT_TRUE(call.running(Channel::TimeOut));
  EXPECT_TRUE(call.audio().files(Player::Reply).empty());
}

TEST(Key0, RepeatsAnAudioMessageAtOnceAndOnceMoreThroughTZero) {
  FakeEngineWorld w;
  CallSteps call(w, 1);
  call.toWait();
  call.audio().key('0');
  EXPECT_FALSE(call.running(Channel::TimeOut));
  EXPECT_TRUE(call.running(Channel::tZero));
  EXPECT_EQ(call.audio().files(Player::Message).size(), 2u);
  EXPECT_EQ(w.view.titleColour(1), ChannelView::kColourRed);
  w.scheduler.advance(500);
  EXPECT_EQ(call.audio().files(Player::Message).size(), 3u);
  call.endMessage();  // the row moved already: nothing is inserted twice
  EXPECT_TRUE(call.running(Channel::TimeOut));
  EXPECT_EQ(w.view.titleColour(1), ChannelView::kColourRed);
  EXPECT_EQ(w.db->resultRows(call.campaign())->size(), 1u);
}

TEST(Key0, RepeatsASpokenMessageAfterAPauseDuringWhichKeysWait) {
  FakeEngineWorld w;
  CallSteps call(w, 1);
  call.settings().TextoHab = QStringLiteral("SIM");
  call.settings().Trans = mode::kContact;
  call.settings().Digito = {'1', '2', 0};
  call.toWait();
  call.audio().key('0');
  EXPECT_FALSE(call.running(Channel::TimeOut));
  EXPECT_FALSE(call.running(Channel::tZero));
  call.audio().key('1');  // within the pause: not heard
  w.scheduler.advance(249);
  EXPECT_EQ(call.voice().spoken().size(), 1);
  w.scheduler.advance(1);
  EXPECT_EQ(call.voice().spoken().size(), 2);
  EXPECT_TRUE(call.st().Speaking);
  EXPECT_EQ(w.view.titleColour(1), ChannelView::kColourRed);
  call.endMessage();
  EXPECT_TRUE(call.running(Channel::TimeOut));
  EXPECT_TRUE(call.result()->opcao1.isEmpty());
}

TEST(Key0, ARepeatThatCannotPlayIsLoggedAndTheWaitGoesOn) {
  FakeEngineWorld w;
  CallSteps call(w, 2);
  call.toWait();
  call.audio().failFile(QStringLiteral("/msg/oferta.wav"));
  call.audio().key('0');
  EXPECT_EQ(w.count(QStringLiteral("Erro ao reproduzir audio do Canal 2.")), 1);
  EXPECT_TRUE(call.running(Channel::TimeOut));
  EXPECT_FALSE(call.running(Channel::tZero));
  EXPECT_TRUE(call.releasedWithin(4000 + 50 + 10));
}

TEST(Key0, IsNotHeardOnceTheWaitHasEndedInAnAction) {
  FakeEngineWorld w;
  CallSteps call(w, 1);
  call.settings().Trans = mode::kTransfer;
  call.settings().Ramal = QStringLiteral("21");
  call.audio().failFile(call.announcement());
  call.toWait();
  w.scheduler.advance(250);  // the flash
  call.audio().key('0');
  w.scheduler.advance(3300 + 1000);
  EXPECT_EQ(call.audio().files(Player::Message).size(), 1u);
  EXPECT_EQ(call.flashes(), 1);
  EXPECT_FALSE(call.running(Channel::TimeOut));
}

TEST(TransferBlock, TheWindowsBoundsBlockAndTheTransferWaitsOutsideThem) {
  GeneralSettings general;
  general.HoraWindows.at(2) = {QTime(12, 0, 0), QTime(13, 0, 59)};
  EXPECT_FALSE(inTransferBlockWindow(general, QTime(11, 59, 59)));
  EXPECT_TRUE(inTransferBlockWindow(general, QTime(12, 0, 0)));
  EXPECT_TRUE(inTransferBlockWindow(general, QTime(13, 0, 59, 900)));
  EXPECT_FALSE(inTransferBlockWindow(general, QTime(13, 1, 0)));

  for (const QTime& at : {QTime(12, 0, 0), QTime(13, 0, 59), QTime(13, 1, 0)}) {
    FakeEngineWorld w;
    w.general.HoraWindows.at(2) = general.HoraWindows.at(2);
    CallSteps call(w, 7);
    call.settings().Trans = mode::blockCheck(7);
    call.toWait();
    w.scheduler.setNow(QDateTime(w.scheduler.today(), at).addMSecs(-4000));
    w.scheduler.advance(4000);
    const bool blocked = at != QTime(13, 1, 0);
    EXPECT_EQ(call.flashes(), blocked ? 0 : 1) << at.toString().toStdString();
    EXPECT_EQ(call.running(Channel::tTrans), !blocked);
    EXPECT_EQ(call.ch().timer(Channel::tDesliga).interval(), blocked ? 50 : 600);
  }
}

TEST(TransferMode, TheAnnouncementPlaysFirstWhenThereIsOne) {
  for (bool announcement : {true, false}) {
    FakeEngineWorld w;
    CallSteps call(w, 1);
    call.settings().Trans = mode::kTransfer;
    if (!announcement) call.audio().failFile(call.announcement());
    call.toWait();
    w.scheduler.advance(249);
    EXPECT_EQ(call.flashes(), 0);
    w.scheduler.advance(1);
    EXPECT_EQ(call.audio().files(Player::Reply).size(), announcement ? 1u : 0u);
    if (announcement) {
      EXPECT_EQ(call.flashes(), 0);
      EXPECT_FALSE(call.running(Channel::tTrans));
      call.audio().finish(Player::Reply);
    }
    EXPECT_EQ(call.flashes(), 1) << announcement;
    EXPECT_EQ(w.view.statusLabel(1), label::kTransferring);
    EXPECT_EQ(call.ch().timer(Channel::tTrans).interval(), 3300);
  }
}

// A speech that outlives its call (the release does not stop the voice)
// starts no wait and does not deafen the next call.
TEST(MessageEnd, ASpeechEndingAfterTheReleaseIsNotTheNextCallsMessageEnd) {
  FakeEngineWorld w;
  CallSteps call(w, 1);
  call.settings().TextoHab = QStringLiteral("SIM");
  call.answer();
  call.ch().timer(Channel::tDesliga).start();
  ASSERT_TRUE(call.releasedWithin(600));
  ASSERT_TRUE(w.db->insertNumber(QStringLiteral("5550000"), call.campaign(), 1).ok());
  call.voice().finish();
  EXPECT_FALSE(call.st().Speaking);
  EXPECT_FALSE(call.running(Channel::TimeOut));
  EXPECT_TRUE(call.row().has_value());  // the first number was not moved

  w.scheduler.advance(5500 + 1000 + 2000 + 7 * FakeEngineWorld::kDigitMs);
  ASSERT_EQ(call.st().Status, status::kAwaitRingback);
  for (int k = 0; k < 4; ++k) call.burst(425, 250);
  EXPECT_EQ(w.view.statusLabel(1), label::kBusy);
}

}  // namespace
}  // namespace doruzudo
