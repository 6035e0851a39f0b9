#include "sim/virtual_exchange.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "common/manual_scheduler.h"
#include "dialer/line/channel_audio_sim.h"
#include "dialer/line/line_port_sim.h"
#include "dialer/line/line_report.h"
#include "sim/sim_testing.h"
#include "tests/testing.h"

namespace doruzudo::sim {
namespace {

// The dialer's side of a channel: what its decoder hears on the line.
struct Ear : ChannelAudio::Listener {
  void frequencyDetected(double f, double, int ms, int64_t start) override {
    bursts.push_back({f, 0, ms, start});
  }
  std::vector<simtest::Burst> bursts;
};

// The exchange wired as in a simulated run: line units, channel audio with
// its 20 ms tick, virtual time.
class ExchangeTest : public ::testing::Test {
 protected:
  void start(const char* scenarioText) {
    Result<Scenario> s = parseScenario(QString::fromUtf8(scenarioText), QStringLiteral("t"));
    ASSERT_TRUE(s.ok());
    port.bindDevices();
    ExchangeOptions o;
    o.espeak = false;
    exchange = std::make_unique<VirtualExchange>(scheduler, *s, o);
    exchange->attachLines(port);
    for (int ch = 1; ch <= 2; ++ch) {
      auto& a = audio[static_cast<size_t>(ch)];
      a = std::make_unique<ChannelAudioSim>(scheduler, QStringLiteral("MD0%1").arg(ch));
      ASSERT_TRUE(a->openDevices(a->deviceName(), a->deviceName()).ok());
      ASSERT_TRUE(a->startStream().ok());
      exchange->attachAudio(ch, a->farEnd());
    }
    audio[1]->setListener(&ear);
    ASSERT_TRUE(exchange->openTruth(dir.file(QStringLiteral("truth.jsonl"))).ok());
    exchange->setCallEnded([this](const CallTruth& c) { calls.push_back(c); });
    exchange->setTransferred([this](int ch, const QString& ext) {
      transfers.push_back({ch, ext});
    });
  }
  void play(int channel, const std::vector<int16_t>& samples) {
    ASSERT_TRUE(
        audio[static_cast<size_t>(channel)]->playSamples(Player::Digit, samples, 8000).ok());
  }
  std::vector<QJsonObject> truthLines() {
    std::vector<QJsonObject> lines;
    for (const QByteArray& l :
         doruzudo::testing::readFile(dir.file(QStringLiteral("truth.jsonl"))).split('\n')) {
      if (!l.isEmpty()) lines.push_back(QJsonDocument::fromJson(l).object());
    }
    return lines;
  }

  doruzudo::testing::TempDir dir;
  ManualScheduler scheduler;
  LinePortSim port{scheduler};
  std::array<std::unique_ptr<ChannelAudioSim>, 3> audio;
  std::unique_ptr<VirtualExchange> exchange;
  Ear ear;
  std::vector<CallTruth> calls;
  std::vector<std::pair<int, QString>> transfers;
};

TEST_F(ExchangeTest, DialedKeysGetTheScenarioBusyToneAndTheCallIsWrittenDown) {
  start("5551234 busy\n* ring");
  scheduler.advance(1000);
  port.Hid_Write(1, LineCommand::OffHook);
  scheduler.advance(1000);
  play(1, simtest::dtmf("5551234"));
  scheduler.advance(1200 + 2500);
  port.Hid_Write(1, LineCommand::OnHook);
  scheduler.advance(100);

  int busy = 0;
  for (const auto& b : ear.bursts)
    busy += std::abs(b.frequency - 425) < 10 && std::abs(b.ms - 250) < 30;
  EXPECT_GE(busy, 4) << "the dialer's decoder hears the busy tone";
  const auto lines = truthLines();
  ASSERT_EQ(lines.size(), 1u);
  const QJsonObject& call = lines[0];
  EXPECT_EQ(call[QStringLiteral("channel")].toInt(), 1);
  EXPECT_EQ(call[QStringLiteral("offHookAt")].toString(), "2026-03-25T09:00:01.000");
  EXPECT_EQ(call[QStringLiteral("dialed")].toString(), "5551234");
  EXPECT_EQ(call[QStringLiteral("behaviour")].toString(), "busy");
  EXPECT_EQ(call[QStringLiteral("scenarioLine")].toInt(), 1);
  EXPECT_NEAR(call[QStringLiteral("completedAtMs")].toDouble(), 1000 + 6 * 160 + 60, 60);
  EXPECT_NEAR(call[QStringLiteral("onHookAtMs")].toDouble(), 4700, 20);
  EXPECT_FALSE(call.contains(QStringLiteral("answeredAtMs")));
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_EQ(exchange->callsEnded(), 1);
}

TEST_F(ExchangeTest, AFlashThroughTheLineUnitLeadsToATransferOnThatChannel) {
  start("* answer rings=0 talk=silent");
  port.Hid_Write(2, LineCommand::OffHook);
  play(2, simtest::dtmf("1"));
  scheduler.advance(3500);  // complete and answered
  ASSERT_TRUE(port.flash(2, QStringLiteral("$2A")).ok());
  scheduler.advance(500 + 3000);  // the dialer's wait for the PBX
  play(2, simtest::dtmf("25"));
  scheduler.advance(2500);
  port.Hid_Write(2, LineCommand::OnHook);
  scheduler.advance(100);

  ASSERT_EQ(transfers.size(), 1u);
  EXPECT_EQ(transfers[0], std::make_pair(2, QStringLiteral("25")));
  const auto lines = truthLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0][QStringLiteral("channel")].toInt(), 2);
  EXPECT_EQ(lines[0][QStringLiteral("transferredTo")].toString(), "25");
  EXPECT_NEAR(lines[0][QStringLiteral("flashAtMs")].toDouble(), 3500, 20);
  EXPECT_EQ(lines[0][QStringLiteral("answeredAtMs")].toDouble(),
            lines[0][QStringLiteral("completedAtMs")].toDouble());
}

TEST_F(ExchangeTest, ALineWithoutAudioRunsOnTheExchangesOwnTick) {
  start("* ring");
  port.Hid_Write(5, LineCommand::OffHook);
  scheduler.advance(10000);
  port.Hid_Write(5, LineCommand::OnHook);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].channel, 5);
  EXPECT_EQ(calls[0].dialed, "");
  EXPECT_TRUE(calls[0].behaviour.isEmpty()) << "never completed";
  EXPECT_NEAR(static_cast<double>(*calls[0].onHookAtMs), 10000, 20);
}

TEST_F(ExchangeTest, TheEndOfTheRunWritesTheCallsStillOnTheLine) {
  start("* ring");
  port.Hid_Write(1, LineCommand::OffHook);
  scheduler.advance(1000);
  play(1, simtest::dtmf("44"));
  scheduler.advance(10000);  // complete at about 4.2 s, two rings begun
  port.Hid_Write(5, LineCommand::OffHook);
  scheduler.advance(20);
  exchange->endRun();
  port.Hid_Write(1, LineCommand::OnHook);
  scheduler.advance(20);
  const auto lines = truthLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0][QStringLiteral("dialed")].toString(), "44");
  EXPECT_EQ(lines[0][QStringLiteral("ringsPlayed")].toInt(), 2);
  EXPECT_FALSE(lines[0].contains(QStringLiteral("onHookAtMs")));
  EXPECT_EQ(lines[1][QStringLiteral("channel")].toInt(), 5);
  EXPECT_EQ(calls.size(), 2u);
}

TEST(TruthLog, AnUnwritableFileIsAnErrorAndAbsentFactsAreLeftOut) {
  doruzudo::testing::TempDir dir;
  TruthLog log;
  EXPECT_FALSE(log.open(dir.path()).ok()) << "a folder";
  EXPECT_FALSE(log.write(CallTruth()).ok());
  ASSERT_TRUE(log.open(dir.file(QStringLiteral("t.jsonl"))).ok());
  CallTruth a;
  a.channel = 4;
  a.dialed = QStringLiteral("0211");
  CallTruth b = a;
  b.behaviour = QStringLiteral("answer");
  b.keys = {{QLatin1Char('#'), 1200}};
  b.transferredTo = QStringLiteral("");
  ASSERT_TRUE(log.write(a).ok());
  ASSERT_TRUE(log.write(b).ok());
  EXPECT_EQ(doruzudo::testing::readFile(dir.file(QStringLiteral("t.jsonl"))),
            "{\"channel\":4,\"dialed\":\"0211\"}\n"
            "{\"behaviour\":\"answer\",\"channel\":4,\"dialed\":\"0211\",\"keys\":[{\"atMs\":1200,"
            "\"key\":\"#\"}],\"ringsPlayed\":0,\"scenarioLine\":0,\"transferredTo\":\"\"}\n");
}

}  // namespace
}  // namespace doruzudo::sim
