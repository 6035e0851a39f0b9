// The dialing cycle: from the dialing step to the last digit, its branches
// (pause, new pass, end of the list, date window, blocked periods, attempt
// limit, database failures) and the digits it plays.
#include <gtest/gtest.h>

#include "dialer/engine/fake_engine_world.h"

namespace doruzudo {
namespace {

const QString kCampaign = QStringLiteral("VERAO");

// One channel dialing a one-number campaign.
class DialingCycle : public ::testing::Test {
 protected:
  void SetUp() override {
    w.addCampaign(kCampaign, {QStringLiteral("33334444")});
    w.settings(1).Campanha = kCampaign;
    w.settings(1).Operadora = QStringLiteral("015");
    w.build().start();
  }
  ChannelState& st() { return w.state(1); }
  Channel& ch() { return w.channel(1); }
  PhoneRow row() { return w.rows(kCampaign).at(0); }

  FakeEngineWorld w;
};

TEST_F(DialingCycle, SeizesSettlesThenDialsOperatorAndNumberDigitByDigit) {
  w.settings(1).Ganho = QStringLiteral("SIM");
  w.scheduler.advance(5499);
  EXPECT_TRUE(w.commands(1).empty());

  w.scheduler.advance(1);  // the first dialing step
  EXPECT_FALSE(ch().timer(Channel::tCall).enabled());
  EXPECT_EQ(w.commands(1), std::vector<LineCommand>{LineCommand::OffHook});
  EXPECT_TRUE(w.messages().contains(QStringLiteral("Número a ser salvo:01533334444")));
  EXPECT_EQ(st().SavedNumber, QStringLiteral("01533334444"));
  EXPECT_EQ(st().DialLength, 11);
  EXPECT_TRUE(st().Settling);
  EXPECT_EQ(st().Status, status::kWaiting);  // tone events still meet "AGUARDANDO"
  EXPECT_EQ(row().busy, calldb::kBusyYes);
  EXPECT_EQ(row().tentativas, 1);
  EXPECT_EQ(row().data, QDate(2026, 3, 25));
  EXPECT_EQ(row().hora, QTime(9, 0, 5));

  w.scheduler.advance(1000);  // settled: no prefix, so tDisca's 2 s follow
  EXPECT_FALSE(st().Settling);
  EXPECT_EQ(st().Status, status::kDialing);
  EXPECT_TRUE(ch().timer(Channel::tDisca).enabled());
  EXPECT_EQ(w.dialed(1), QString());

  w.scheduler.advance(2000);
  EXPECT_TRUE(w.messages().contains(QStringLiteral("Canal 1 Discando para 01533334444")));
  EXPECT_EQ(w.view.statusLabel(1), label::kDialing);
  EXPECT_EQ(w.dialed(1), QStringLiteral("0"));
  EXPECT_EQ(w.audioOf(1).files(Player::Digit).at(0), QStringLiteral("/opt/doruzudo/digitos/0.wav"));

  w.scheduler.advance(10 * FakeEngineWorld::kDigitMs);  // one digit after the other
  EXPECT_EQ(w.dialed(1), QStringLiteral("01533334444"));
  EXPECT_EQ(st().DigitsLeft, 0);
  EXPECT_EQ(st().DigitPos, 11);
  w.scheduler.advance(FakeEngineWorld::kDigitMs - 1);
  EXPECT_TRUE(st().Dialing);
  EXPECT_FALSE(ch().timer(Channel::tComuta).enabled());

  w.scheduler.advance(1);  // the last digit ended
  EXPECT_FALSE(st().Dialing);
  EXPECT_EQ(st().Status, status::kAwaitRingback);
  EXPECT_EQ(w.view.statusLabel(1), label::kCalling);
  EXPECT_TRUE(ch().timer(Channel::tComuta).enabled());
  EXPECT_EQ(w.commands(1), (std::vector<LineCommand>{LineCommand::OffHook, LineCommand::GainOn}));
  EXPECT_FALSE(ch().timer(Channel::tCall).enabled());  // no new step during the call
}

TEST(DialingPrefix, PrefixDigitsFollowEachOtherThenTheSamePauseBeforeTheNumber) {
  struct Case {
    const char* prefix;
    int lastPrefixStartMs;                     // after the settling second; -1 without prefix
    std::vector<std::pair<bool, bool>> flags;  // PrefixSecond, PrefixThird after each start
  };
  constexpr int d = FakeEngineWorld::kDigitMs;
  const Case cases[] = {
      {"", -1, {}},
      {"0", 0, {{false, false}}},
      {"01", d, {{true, false}, {false, false}}},
      {"012", 2 * d, {{true, true}, {false, true}, {false, false}}},
      {"0123", 3 * d, {{true, true}, {false, true}, {false, true}, {false, false}}},
  };
  for (const Case& c : cases) {
    FakeEngineWorld w;
    w.addCampaign(QStringLiteral("PREFIXO"), {QStringLiteral("987")});
    w.settings(3).Campanha = QStringLiteral("PREFIXO");
    w.settings(3).GetLinha = QString::fromLatin1(c.prefix);
    w.build().start();
    w.scheduler.advance(5500 + 1000);  // settled: the first prefix digit starts
    const QString prefix = QString::fromLatin1(c.prefix);
    for (size_t k = 0; k < c.flags.size(); ++k) {
      EXPECT_TRUE(w.state(3).PrefixDialing) << c.prefix << k;
      EXPECT_EQ(w.state(3).PrefixSecond, c.flags[k].first) << c.prefix << k;
      EXPECT_EQ(w.state(3).PrefixThird, c.flags[k].second) << c.prefix << k;
      EXPECT_EQ(w.dialed(3), prefix.left(static_cast<qsizetype>(k + 1)));
      w.scheduler.advance(k + 1 < c.flags.size() ? d : 0);
    }
    const int numberAt = (c.lastPrefixStartMs < 0 ? 0 : c.lastPrefixStartMs + 1000) + 2000;
    w.scheduler.advance(numberAt - 1 - std::max(0, c.lastPrefixStartMs));
    EXPECT_EQ(w.dialed(3), prefix) << c.prefix;
    EXPECT_EQ(w.state(3).Status, status::kDialing) << c.prefix;
    w.scheduler.advance(1);
    EXPECT_EQ(w.dialed(3), prefix + QStringLiteral("9")) << c.prefix;
    EXPECT_FALSE(w.state(3).PrefixDialing) << c.prefix;
    w.scheduler.advance(3 * d);
    EXPECT_EQ(w.dialed(3), prefix + QStringLiteral("987")) << c.prefix;
    EXPECT_EQ(w.state(3).Status, status::kAwaitRingback) << c.prefix;
  }
}

TEST(DialingStart, NothingIsTakenForADialBeforeTheFirstNumber) {
  FakeEngineWorld w;
  w.build();
  for (int n = 1; n <= kChannelCount; ++n) {
    EXPECT_TRUE(w.state(n).Dialing) << n;
    EXPECT_EQ(w.state(n).Status, status::kWaiting) << n;
  }
  ASSERT_TRUE(w.audioOf(4).play(Player::Digit, QStringLiteral("/stray.wav")).ok());
  w.scheduler.advance(FakeEngineWorld::kDigitMs);  // its play-done
  EXPECT_FALSE(w.channel(4).timer(Channel::tComuta).enabled());
  EXPECT_EQ(w.state(4).Status, status::kWaiting);
}

TEST_F(DialingCycle, EmptyOperatorDialsTheNumberAsStored) {
  w.settings(1).Operadora.clear();
  w.scheduler.advance(5500 + 1000 + 2000 + 8 * FakeEngineWorld::kDigitMs);
  EXPECT_EQ(w.dialed(1), QStringLiteral("33334444"));
  EXPECT_TRUE(w.messages().contains(QStringLiteral("Número a ser salvo:33334444")));
  EXPECT_EQ(w.commands(1), std::vector<LineCommand>{LineCommand::OffHook});  // Ganho off
}

TEST_F(DialingCycle, NoRingbackWithinAMinuteFailsTheDialAndReleases) {
  w.settings(1).Ganho = QStringLiteral("SIM");
  w.scheduler.advance(5500 + 1000 + 2000 + 11 * FakeEngineWorld::kDigitMs);
  ASSERT_EQ(st().Status, status::kAwaitRingback);

  w.scheduler.advance(60000);
  EXPECT_TRUE(w.messages().contains(QStringLiteral("Discagem não concluida.")));
  EXPECT_EQ(st().Status, status::kWaitingMixed);
  EXPECT_EQ(row().status, calldb::kStatusSwitchFailure);
  EXPECT_EQ(w.commands(1).back(), LineCommand::GainOff);
  EXPECT_TRUE(ch().timer(Channel::tDesliga).enabled());

  w.scheduler.advance(600);
  EXPECT_EQ(st().Status, status::kWaiting);
  EXPECT_EQ(w.commands(1).back(), LineCommand::OnHook);
  EXPECT_TRUE(ch().timer(Channel::tCall).enabled());
}

TEST_F(DialingCycle, PauseStopsTheChannelAtItsNextStepAndStartResumesIt) {
  w.engine->BitBtn2Click();
  w.scheduler.advance(5500);
  EXPECT_TRUE(w.messages().contains(QStringLiteral("Lista de discagem foi pausada.")));
  EXPECT_EQ(w.view.statusLabel(1), label::kPause);
  EXPECT_EQ(st().Status, status::kWaiting);
  EXPECT_FALSE(ch().timer(Channel::tCall).enabled());
  EXPECT_TRUE(w.commands(1).empty());
  EXPECT_EQ(row().busy, calldb::kBusyNo);  // nothing claimed

  w.engine->Button27Click();
  w.scheduler.advance(5500);
  EXPECT_EQ(w.commands(1), std::vector<LineCommand>{LineCommand::OffHook});
}

TEST_F(DialingCycle, PauseLetsACallInProgressEndFirst) {
  w.scheduler.advance(5500 + 1000);  // seized
  w.engine->BitBtn2Click();
  w.scheduler.advance(2000 + 11 * FakeEngineWorld::kDigitMs);
  EXPECT_EQ(w.dialed(1), QStringLiteral("01533334444"));  // the call goes on
  EXPECT_EQ(st().Status, status::kAwaitRingback);

  w.channel(1).timer(Channel::tDesliga).start();
  w.scheduler.advance(600 + 5500);
  EXPECT_EQ(w.view.statusLabel(1), label::kPause);
  EXPECT_EQ(w.count(QStringLiteral("Lista de discagem foi pausada.")), 1);
  EXPECT_FALSE(ch().timer(Channel::tCall).enabled());
}

TEST_F(DialingCycle, ADialedListStartsANewPassInTheSameStep) {
  ASSERT_TRUE(w.db->claimNextNumber(kCampaign).ok());  // every row dialed in this pass
  w.scheduler.advance(5500);
  EXPECT_TRUE(
      w.messages().contains(QStringLiteral("Executanto nova tentativa de discagem na lista.")));
  EXPECT_EQ(w.commands(1), std::vector<LineCommand>{LineCommand::OffHook});
  EXPECT_EQ(row().tentativas, 1);
}

TEST(DialingNewPass, ANumberInACallOnAnotherChannelIsNotCalledTwiceAtOnce) {
  FakeEngineWorld w;
  w.addCampaign(kCampaign, {QStringLiteral("600")});
  for (int n : {1, 2}) w.settings(n).Campanha = kCampaign;
  w.build().start();
  w.scheduler.advance(6000);  // channel 1 dials 600; channel 2 finds it in that call
  EXPECT_TRUE(w.channel(1).inCall());
  EXPECT_FALSE(w.channel(2).inCall());
  EXPECT_NE(w.view.statusLabel(2), label::kFinished);
  EXPECT_EQ(w.count(QStringLiteral("Executanto nova tentativa de discagem na lista.")), 0);
  EXPECT_TRUE(w.channel(2).timer(Channel::tCall).enabled());

  w.channel(1).timer(Channel::tDesliga).start();  // 600's call ends
  w.scheduler.advance(6000 + 1000 + 2000 + 3 * FakeEngineWorld::kDigitMs);
  EXPECT_EQ(w.count(QStringLiteral("Executanto nova tentativa de discagem na lista.")), 1);
  EXPECT_EQ(w.dialed(2), QStringLiteral("600"));
  EXPECT_EQ(w.dialed(1), QString());  // released before its first digit
  EXPECT_EQ(w.rows(kCampaign).at(0).tentativas, 2);
}

TEST(DialingEightChannels, OneCampaignIsDialedInOrderOnceEachAcrossAllChannels) {
  FakeEngineWorld w;
  QStringList numbers;
  for (int i = 0; i < 3 * kChannelCount; ++i) numbers << QStringLiteral("3%1").arg(200 + i);
  w.addCampaign(kCampaign, numbers);
  for (int n = 1; n <= kChannelCount; ++n) {
    w.settings(n).Campanha = kCampaign;
    w.settings(n).Operadora = QStringLiteral("021");
  }
  w.build();
  for (int n = 1; n <= kChannelCount; ++n) {
    w.channel(n).timer(Channel::tComuta).setInterval(100);  // calls end quickly
  }
  w.engine->start();
  w.scheduler.advance(32000);  // three calls on every channel: the first pass

  const QString saved = QStringLiteral("Número a ser salvo:");
  QStringList inOrder;
  for (const QString& m : w.messages()) {
    if (m.startsWith(saved)) inOrder << m.mid(saved.size());
  }
  QStringList expected;
  for (const QString& number : numbers) expected << QStringLiteral("021") + number;
  EXPECT_EQ(inOrder, expected);
  QString allDialed;
  for (int n = 1; n <= kChannelCount; ++n) {
    EXPECT_EQ(w.dialed(n).size(), 3 * 7) << n;
    allDialed += w.dialed(n);
  }
  EXPECT_EQ(allDialed.size(), expected.join(QString()).size());
  for (const PhoneRow& row : w.rows(kCampaign)) {
    EXPECT_EQ(row.tentativas, 1) << row.telefone.toStdString();
    EXPECT_EQ(row.status, calldb::kStatusSwitchFailure) << row.telefone.toStdString();
  }
}

TEST_F(DialingCycle, ARowThatUsedItsAttemptsMovesWithItsLastResultAndIsNotDialed) {
  const int64_t code = row().codigo;
  ASSERT_TRUE(w.db->countAttempt(code, 3, QDate(2026, 3, 24), QTime(17, 30, 5)).ok());
  ASSERT_TRUE(w.db->setNumberStatus(code, calldb::kStatusBusy).ok());
  ASSERT_TRUE(w.db->releaseNumber(code).ok());

  w.scheduler.advance(5500);
  EXPECT_TRUE(w.rows(kCampaign).empty());
  auto moved = *w.db->resultRows(kCampaign);
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(moved[0].codigo, code);
  EXPECT_EQ(moved[0].tentativas, 3);
  EXPECT_EQ(moved[0].data, QDate(2026, 3, 24));
  EXPECT_EQ(moved[0].hora, QTime(17, 30, 5));
  EXPECT_EQ(moved[0].status, calldb::kStatusBusy);
  EXPECT_TRUE(w.commands(1).empty());
  EXPECT_TRUE(ch().timer(Channel::tCall).enabled());

  w.scheduler.advance(5500);  // nothing left: the channel stops
  EXPECT_EQ(w.view.statusLabel(1), label::kFinished);
}

TEST_F(DialingCycle, ARowBelowTheLimitIsDialedAndCounted) {
  ASSERT_TRUE(w.db->countAttempt(row().codigo, 2, QDate(2026, 3, 24), QTime(8, 0)).ok());
  ASSERT_TRUE(w.db->releaseNumber(row().codigo).ok());
  w.scheduler.advance(5500);
  EXPECT_EQ(row().tentativas, 3);
  EXPECT_EQ(w.commands(1), std::vector<LineCommand>{LineCommand::OffHook});
}

// The database failed when the last result was to be stored: moving the row
// would report no result for a call that was made, so it is dialed again.
TEST_F(DialingCycle, ARowOverItsLimitWithoutAStoredResultIsDialedAgain) {
  const int64_t code = row().codigo;
  ASSERT_TRUE(w.db->countAttempt(code, 3, QDate(2026, 3, 24), QTime(17, 30, 5)).ok());
  ASSERT_TRUE(w.db->releaseNumber(code).ok());

  w.scheduler.advance(5500);
  EXPECT_TRUE(w.db->resultRows(kCampaign)->empty());
  EXPECT_EQ(w.commands(1), std::vector<LineCommand>{LineCommand::OffHook});
  EXPECT_EQ(row().tentativas, 4);
}

TEST_F(DialingCycle, AFailedMoveDialsTheRowOnceMore) {
  w.settings(1).Tentativa = QStringLiteral("0");
  ASSERT_TRUE(w.db->setNumberStatus(row().codigo, calldb::kStatusBusy).ok());
  ASSERT_TRUE(w.db->releaseNumber(row().codigo).ok());
  ASSERT_TRUE(w.db->connection().exec("DROP TABLE \"VERAO\"").ok());
  w.scheduler.advance(5500);
  EXPECT_TRUE(w.messages().contains(QStringLiteral("Erro ao copiar/deletar registro.")));
  EXPECT_EQ(w.commands(1), std::vector<LineCommand>{LineCommand::OffHook});
  EXPECT_EQ(row().tentativas, 1);
}

TEST_F(DialingCycle, WithoutADatabaseTheChannelKeepsTryingInsteadOfFinishing) {
  w.connected = false;
  w.scheduler.advance(5500);
  EXPECT_TRUE(w.messages().contains(QStringLiteral("Erro ao selecionar lista de discagem.")));
  EXPECT_NE(w.view.statusLabel(1), label::kFinished);
  EXPECT_TRUE(ch().timer(Channel::tCall).enabled());

  w.connected = true;
  w.scheduler.advance(5500);
  EXPECT_EQ(w.commands(1), std::vector<LineCommand>{LineCommand::OffHook});
}

// With its unit unplugged a channel takes no number (its call would reach no
// line) but keeps stepping; another channel on the campaign dials the row.
TEST(DialingUnplugged, AChannelWithoutItsUnitTakesNoNumberAndKeepsStepping) {
  FakeEngineWorld w;
  w.addCampaign(kCampaign, {QStringLiteral("33334444")});
  w.settings(1).Campanha = kCampaign;
  w.settings(2).Campanha = kCampaign;
  w.line.bus().unplug(w.line.unitStatus(1).path);
  w.build().start();

  w.scheduler.advance(5500);  // channel 1's step comes first (channel 2 steps at 6000 ms)
  const QString gone = QStringLiteral("Dispositivo do Canal 1 desconectado; discagem suspensa.");
  EXPECT_EQ(w.count(gone), 1);
  EXPECT_EQ(w.rows(kCampaign).at(0).busy, calldb::kBusyNo);
  w.scheduler.advance(500);
  EXPECT_EQ(w.commands(2), std::vector<LineCommand>{LineCommand::OffHook});
  EXPECT_EQ(w.rows(kCampaign).at(0).tentativas, 1);

  w.scheduler.advance(2 * 5500);
  EXPECT_EQ(w.count(gone), 1) << "said once per unplug";
  EXPECT_TRUE(w.commands(1).empty());
  EXPECT_TRUE(w.channel(1).timer(Channel::tCall).enabled());
  EXPECT_NE(w.view.statusLabel(1), label::kFinished);
}

TEST_F(DialingCycle, AnUnplayableDigitReleasesTheCallAndStopsTheChannel) {
  w.audioOf(1).failFile(QStringLiteral("/opt/doruzudo/digitos/3.wav"));
  w.scheduler.advance(5500 + 1000 + 2000 + 3 * FakeEngineWorld::kDigitMs);
  EXPECT_EQ(w.dialed(1), QStringLiteral("015"));
  EXPECT_TRUE(w.messages().contains(QStringLiteral("Erro ao reproduzir o dígito 3 no Canal 1.")));
  w.scheduler.advance(600);
  EXPECT_EQ(w.commands(1).back(), LineCommand::OnHook);
  EXPECT_FALSE(ch().timer(Channel::tComuta).enabled());
  EXPECT_FALSE(ch().timer(Channel::tCall).enabled());  // stopped until started again
  EXPECT_EQ(row().tentativas, 1);

  w.engine->Button27Click();
  w.scheduler.advance(5500);
  EXPECT_EQ(w.commands(1).back(), LineCommand::OffHook);
  EXPECT_EQ(row().tentativas, 2);
}

TEST_F(DialingCycle, DateWindowAndBlockedPeriodsKeepTheRowAndTryAgainNextStep) {
  struct Case {
    const char* what;
    std::function<void(ChannelSettings&)> set;
    QString message;
  };
  const std::vector<Case> cases = {
      {"date window over",
       [](ChannelSettings& s) {
         s.DataDisca = true;
         s.DataIni = QDate(2026, 3, 1);
         s.DataFim = QDate(2026, 3, 25);
       },
       QStringLiteral("Discagem fora da data programada")},
      {"first period, channel 1",
       [](ChannelSettings& s) {
         s.PerIni[0] = QTime(8, 0);
         s.PerFin[0] = QTime(12, 0);
       },
       QStringLiteral("Discagem Fora do horário permitido.")},
      {"third period",
       [](ChannelSettings& s) {
         s.PerIni[2] = QTime(9, 0, 5);
         s.PerFin[2] = QTime(9, 0, 5);
       },
       QStringLiteral("Dicagem Fora do horário permitido.")},
  };
  for (const Case& c : cases) {
    FakeEngineWorld world;
    world.addCampaign(kCampaign, {QStringLiteral("5551234")});
    world.settings(1).Campanha = kCampaign;
    c.set(world.settings(1));
    world.build().start();
    world.scheduler.advance(5500);
    EXPECT_TRUE(world.messages().contains(c.message)) << c.what;
    EXPECT_TRUE(world.commands(1).empty()) << c.what;
    EXPECT_EQ(world.rows(kCampaign).at(0).busy, calldb::kBusyNo) << c.what;
    EXPECT_TRUE(world.channel(1).timer(Channel::tCall).enabled()) << c.what;
  }
}

}  // namespace
}  // namespace doruzudo
