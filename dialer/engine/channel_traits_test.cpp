// What differs between the eight channels, checked on eight channels running
// side by side.
#include <gtest/gtest.h>

#include <map>

#include "dialer/engine/fake_engine_world.h"

namespace doruzudo {
namespace {

struct Expected {
  int callMs, getLinhaMs, timeOutMs;
  bool formata, prefixCountLog;
  const char* firstPeriodMessage;
};

const char* const kRight = "Discagem Fora do horário permitido.";
const char* const kWrong = "Dicagem Fora do horário permitido.";

// clang-format off
const Expected kChannels[kChannelCount] = {
    // tCall tGetLinha TimeOut Formata prefix-log first period
    {5500, 1500, 4000, false, false, kRight},  // 1
    {6000, 1000, 1000, true,  false, kWrong},  // 2
    {5500, 1000, 4000, true,  false, kWrong},  // 3
    {5500, 1000, 4000, true,  false, kWrong},  // 4
    {5500, 1000, 4000, true,  false, kWrong},  // 5
    {5500, 1000, 4000, true,  false, kWrong},  // 6
    {5500, 1000, 4000, true,  false, kWrong},  // 7
    {5500, 1000, 4000, false, true,  kWrong},  // 8
};
// clang-format on

TEST(ChannelTraits, TimersAreCreatedDisabledWithTheirNamesAndIntervals) {
  FakeEngineWorld w;
  const std::pair<Channel::TimerId, const char*> same[] = {{Channel::tTemporiza, "tTemporiza"},
                                                           {Channel::tDisca, "tDisca"},
                                                           {Channel::tComuta, "tComuta"},
                                                           {Channel::tSilencio, "tSilencio"},
                                                           {Channel::tTcc, "tTcc"},
                                                           {Channel::tAudio, "tAudio"},
                                                           {Channel::tZero, "tZero"},
                                                           {Channel::tTrans, "tTrans"},
                                                           {Channel::tDesliga, "tDesliga"},
                                                           {Channel::tSilence, "tSilence"},
                                                           {Channel::tTempoMax, "tTempoMax"},
                                                           {Channel::tSendEmail, "tSendEmail"}};
  const std::map<QString, int> intervals = {
      {"tTemporiza", 1000}, {"tDisca", 2000},    {"tComuta", 60000},   {"tSilencio", 10000},
      {"tTcc", 5500},       {"tAudio", 500},     {"tZero", 500},       {"tTrans", 250},
      {"tDesliga", 600},    {"tSilence", 10000}, {"tTempoMax", 60000}, {"tSendEmail", 350}};
  for (int n = 1; n <= kChannelCount; ++n) {
    Channel& ch = w.channel(n);
    const Expected& e = kChannels[n - 1];
    const auto suffix = QStringLiteral("C%1").arg(n);
    EXPECT_EQ(ch.timer(Channel::tCall).name(), "tCall" + suffix);
    EXPECT_EQ(ch.timer(Channel::tCall).interval(), e.callMs) << n;
    EXPECT_EQ(ch.timer(Channel::tGetLinha).interval(), e.getLinhaMs) << n;
    EXPECT_EQ(ch.timer(Channel::TimeOut).name(), "TimeOut" + suffix);
    EXPECT_EQ(ch.timer(Channel::TimeOut).interval(), e.timeOutMs) << n;
    for (const auto& [id, base] : same) {
      EXPECT_EQ(ch.timer(id).name(), base + suffix);
      EXPECT_EQ(ch.timer(id).interval(), intervals.at(base)) << base << n;
    }
    for (int id = 0; id < Channel::kTimerCount; ++id) {
      EXPECT_FALSE(ch.timer(static_cast<Channel::TimerId>(id)).enabled()) << id << " on " << n;
    }
  }
}

// Eight channels with a one-digit line prefix, each on its own campaign.
class EightChannels : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int n = 1; n <= kChannelCount; ++n) {
      const QString campaign = QStringLiteral("C%1").arg(n);
      w.addCampaign(campaign, {QStringLiteral("4%1").arg(n)});
      w.settings(n).Campanha = campaign;
      w.settings(n).GetLinha = QStringLiteral("0");
    }
  }
  int64_t msAt(const QDateTime& t) const { return start_.msecsTo(t); }

  FakeEngineWorld w;
  QDateTime start_ = w.scheduler.now();
};

TEST_F(EightChannels, DialingStepsDifferAsTheTableSays) {
  w.build().start();
  w.scheduler.advance(6000 + 1000 + 1500 + 2000 + 3 * FakeEngineWorld::kDigitMs);
  for (int n = 1; n <= kChannelCount; ++n) {
    const Expected& e = kChannels[n - 1];
    EXPECT_EQ(w.count(QStringLiteral("Formata numeros c%1 ligado").arg(n)), e.formata ? 1 : 0) << n;
    EXPECT_EQ(w.count(QStringLiteral("Qtde de digitos para pegar linha em C%1 = 1").arg(n)),
              e.prefixCountLog ? 1 : 0)
        << n;
    // The prefix after the settling second, the number after tGetLinha and tDisca.
    const auto& played = w.audioOf(n).played();
    ASSERT_EQ(w.dialed(n), QStringLiteral("04%1").arg(n)) << n;
    EXPECT_EQ(msAt(played.at(0).at), e.callMs + 1000) << n;
    EXPECT_EQ(msAt(played.at(1).at), e.callMs + 1000 + e.getLinhaMs + 2000) << n;
    EXPECT_EQ(w.state(n).Status, status::kAwaitRingback) << n;
  }
}

TEST_F(EightChannels, BlockedPeriodMessagesAndTheNextStep) {
  for (int period : {1, 2}) {
    FakeEngineWorld world;
    for (int n = 1; n <= kChannelCount; ++n) {
      const QString campaign = QStringLiteral("C%1").arg(n);
      world.addCampaign(campaign, {QStringLiteral("4%1").arg(n)});
      world.settings(n).Campanha = campaign;
      world.settings(n).PerIni[period - 1] = QTime(9, 0);
      world.settings(n).PerFin[period - 1] = QTime(10, 0);
    }
    world.build().start();
    world.scheduler.advance(6000);
    const int right = world.count(QString::fromUtf8(kRight));
    const int wrong = world.count(QString::fromUtf8(kWrong));
    EXPECT_EQ(right, period == 1 ? 1 : 0) << period;
    EXPECT_EQ(wrong, period == 1 ? 7 : 8) << period;
    // Blocked steps come again after tCall's interval: channel 2 alone at 12000.
    world.scheduler.advance(5000);
    EXPECT_EQ(world.count(QString::fromUtf8(kRight)) + world.count(QString::fromUtf8(kWrong)), 15);
    world.scheduler.advance(1000);
    EXPECT_EQ(world.count(QString::fromUtf8(kRight)) + world.count(QString::fromUtf8(kWrong)), 16);
  }
}

}  // namespace
}  // namespace doruzudo
