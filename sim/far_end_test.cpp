#include "sim/far_end.h"

#include <gtest/gtest.h>

#include <map>

#include "sim/sim_testing.h"
#include "tests/testing.h"

namespace doruzudo::sim {
namespace {

using simtest::append;
using simtest::decode;
using simtest::dtmf;
using simtest::levelBetween;
using simtest::silence;

// One far end whose output is kept from sample 0; the dialer's side is
// whatever the test plays (silence otherwise).
class FarEndTest : public ::testing::Test {
 public:
  void start(const char* scenarioText, FarEndOptions options = {}) {
    Result<Scenario> s = parseScenario(QString::fromUtf8(scenarioText), QStringLiteral("t"));
    ASSERT_TRUE(s.ok()) << s.message().toStdString();
    auto voice = std::make_shared<PartyVoice>(PartyVoice::Options{-15, false});
    far = std::make_unique<FarEnd>(std::make_shared<Scenario>(*s), voice, options);
    far->setCallEnded([this](const CallTruth& call) { ended.push_back(call); });
    far->setTransferred([this](const QString& ext) {
      transfers.push_back({ext, far->position()});
    });
  }
  // `ms` of line time; the dialer plays `played` from now on.
  void run(double ms, std::vector<int16_t> played = {}) {
    if (ms <= 0) return;
    const auto total = static_cast<size_t>(ms * 8);
    played.resize(total, 0);
    std::vector<int16_t> out;
    for (size_t at = 0; at < total; at += frame) {
      const size_t n = std::min(frame, total - at);
      out.assign(n, 0);
      far->process(std::span<const int16_t>(played).subspan(at, n), out);
      heard.insert(heard.end(), out.begin(), out.end());
    }
  }
  double nowMs() const { return static_cast<double>(far->position()) / 8; }
  void event(FarEnd::LineEvent e) { far->lineEvent(e); }

  std::unique_ptr<FarEnd> far;
  std::vector<int16_t> heard;
  std::vector<CallTruth> ended;
  std::vector<std::pair<QString, int64_t>> transfers;
  size_t frame = FarEnd::kFrame;
};

// The dialer after off-hook: a second of settling, then its keys (80 ms on,
// 80 ms off). Returns where the last key begins, in ms.
double dialKeys(FarEndTest& t, const char* keys, double pauseMs = 1000) {
  t.run(pauseMs);
  const double last = t.nowMs() + (std::strlen(keys) - 1) * 160.0;
  t.run(std::strlen(keys) * 160.0, dtmf(keys));
  return last;
}

struct NumberCase {
  const char* name;
  const char* scenario;
  const char* prefix;      // dialed first, then 3.5 s of pause (the dialer's)
  const char* linePrefix;  // the far end's option
  const char* keys;
  const char* dialed;
  const char* behaviour;
  double afterLastKeyMs;  // completion, from the start of the last key heard
};

class NumberCompletes : public FarEndTest, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(NumberCompletes, WhenAWholeLineMatchesOrThreeSecondsAfterTheLastKey) {
  const NumberCase& c = GetParam();
  FarEndOptions o;
  o.linePrefix = QString::fromUtf8(c.linePrefix);
  start(c.scenario, o);
  event(FarEnd::LineEvent::OffHook);
  double last = 0;
  if (*c.prefix) {
    last = dialKeys(*this, c.prefix);
    run(3500 - 80);
  }
  if (far->phase() == FarEnd::Phase::Dialing) {  // not completed in the pause
    last = dialKeys(*this, c.keys, *c.prefix ? 0 : 1000);
    run(c.afterLastKeyMs + 200);
  }
  ASSERT_EQ(far->phase(), FarEnd::Phase::Called);
  const CallTruth& call = far->call();
  EXPECT_EQ(call.dialed, QString::fromUtf8(c.dialed));
  EXPECT_EQ(call.behaviour, QString::fromUtf8(c.behaviour));
  ASSERT_TRUE(call.completedAtMs);
  EXPECT_NEAR(static_cast<double>(*call.completedAtMs), last + c.afterLastKeyMs, 40);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberCompletes,
    ::testing::Values(
        NumberCase{"WholeLine", "5551234 ring\n* busy", "", "", "5551234", "5551234", "ring", 50},
        NumberCase{"PrefixLineWaits", "555* ring\n* busy", "", "", "5551234", "5551234", "ring",
                   3000},
        NumberCase{"NoLineMatchesIsBusy", "999 ring", "", "", "5551234", "5551234", "busy", 3000},
        NumberCase{"LinePrefixIsWaitedFor", "0555* ring", "0", "0", "5551234", "05551234", "ring",
                   3000},
        // Without the option the dialer's pause after its prefix ends the number.
        NumberCase{"UnknownLinePrefixEndsTheNumber", "0555* ring\n* noringback", "0", "", "5551234",
                   "0", "noringback", 3000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FarEndTest, AudioNotGivenCountsAsSilenceAndKeepsTheKeysInTime) {
  start("555* ring");
  event(FarEnd::LineEvent::OffHook);
  std::vector<int16_t> out(8000);
  far->process({}, out);  // a second with nothing from the dialer
  const double last = dialKeys(*this, "5551234", 0);
  run(3200);
  ASSERT_TRUE(far->call().completedAtMs);
  EXPECT_NEAR(static_cast<double>(*far->call().completedAtMs), last + 3000, 40);
}

TEST_F(FarEndTest, HangingUpWhileDialingLeavesTheKeysHeardAndNoBehaviour) {
  start("* ring");
  event(FarEnd::LineEvent::OffHook);
  dialKeys(*this, "0219");
  run(1000);
  event(FarEnd::LineEvent::OnHook);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].dialed, "0219");
  EXPECT_TRUE(ended[0].behaviour.isEmpty());
  EXPECT_FALSE(ended[0].completedAtMs);
  EXPECT_FALSE(ended[0].toJson().contains(QStringLiteral("ringsPlayed")));
}

class AnswersAfterRings : public FarEndTest, public ::testing::WithParamInterface<int> {};

TEST_P(AnswersAfterRings, RingbackBurstsThenTheAnswerAndTheTalk) {
  const int rings = GetParam();
  start(qPrintable(QStringLiteral("* answer rings=%1 talk=1.5").arg(rings)));
  far->dial(QStringLiteral("123"));
  run(rings * 5000 + 3000);
  const int64_t answerMs = rings == 0 ? 0 : (rings - 1) * 5000 + 1000 + 500;
  const CallTruth& call = far->call();
  EXPECT_EQ(call.ringsPlayed, rings);
  ASSERT_TRUE(call.answeredAtMs);
  EXPECT_EQ(*call.answeredAtMs, answerMs);
  EXPECT_FALSE(call.partySilent);
  int ringBursts = 0;
  for (const simtest::Burst& b : decode(heard).bursts) {
    if (b.start >= answerMs * 8) break;
    EXPECT_NEAR(b.frequency, 425, 5);
    EXPECT_NEAR(b.ms, 1000, 25);
    EXPECT_NEAR(b.start / 8.0, ringBursts * 5000.0, 25);
    ++ringBursts;
  }
  EXPECT_EQ(ringBursts, rings);
  EXPECT_GT(levelBetween(heard, answerMs, answerMs + 1500), -25) << "the party talks";
  EXPECT_LT(levelBetween(heard, answerMs + 1500, answerMs + 2900), -80) << "then waits";
}

INSTANTIATE_TEST_SUITE_P(Rings, AnswersAfterRings, ::testing::Values(0, 1, 3));

// A message of the dialer: speech-like sound with a 300 ms pause inside (not
// its end), finishing with a tone that stops sharply. 2100 ms long.
std::vector<int16_t> message() {
  synth::Signal s;
  s.babble(1000, -15, 3).silence(300).tone(800, -15, 800);
  return s.pcm();
}

TEST_F(FarEndTest, KeysFollowTheMessageOnceItHasBeenSilentFor500Ms) {
  start("* answer rings=1 talk=silent keys=12# keydelay=1000");
  far->dial(QStringLiteral("1"));
  run(2000);  // answered at 1500
  run(5000, message());
  const int64_t messageEnd = 2000 + 2100 + 500;
  const CallTruth& call = far->call();
  EXPECT_TRUE(call.partySilent);
  ASSERT_TRUE(call.messageEndedAtMs);
  EXPECT_EQ(*call.messageEndedAtMs, messageEnd);
  ASSERT_EQ(call.keys.size(), 3u);
  const simtest::Heard heardKeys = decode(heard);
  ASSERT_EQ(simtest::keysOf(heardKeys), "12#");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(call.keys[i].key, QLatin1Char("12#"[i]));
    EXPECT_EQ(call.keys[i].atMs, messageEnd + 1000 + 200 * i);
    EXPECT_NEAR(heardKeys.keys[i].start / 8.0, messageEnd + 1000 + 200 * i, 5);
  }
  EXPECT_FALSE(call.hungUpAtMs) << "no hangup= stays on the line";
}

TEST_F(FarEndTest, OutputDoesNotDependOnTheFrameSize) {
  auto once = [this](size_t frameSize) {
    frame = frameSize;
    heard.clear();
    start("noise -60\n* answer rings=1 talk=1 keys=5 keydelay=300 hangup=2");
    far->dial(QStringLiteral("7"));
    run(2000);
    run(7000, message());
    event(FarEnd::LineEvent::OnHook);
    return std::make_pair(heard, far->call().toJson());
  };
  const auto framed = once(160);
  const auto odd = once(37);
  EXPECT_EQ(framed.second, odd.second);
  EXPECT_TRUE(framed.first == odd.first);
}

struct HangupCase {
  const char* after;
  bool busy;
};

class PartyHangsUp : public FarEndTest, public ::testing::WithParamInterface<HangupCase> {};

TEST_P(PartyHangsUp, AfterTheMessageThenBusyToneOrSilenceUntilOnHook) {
  start(qPrintable(QStringLiteral("* answer rings=1 talk=silent hangup=2 afterhangup=%1")
                       .arg(QLatin1String(GetParam().after))));
  far->dial(QStringLiteral("1"));
  run(2000);
  run(6000, message());
  const int64_t hangup = 2000 + 2100 + 500 + 2000;
  ASSERT_TRUE(far->call().hungUpAtMs);
  EXPECT_EQ(*far->call().hungUpAtMs, hangup);
  EXPECT_EQ(far->phase(), FarEnd::Phase::PartyGone);
  run(1000);
  event(FarEnd::LineEvent::OnHook);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(*ended[0].onHookAtMs, 9000);
  std::vector<simtest::Burst> busy;
  for (const auto& b : decode(heard).bursts) {
    if (b.start >= hangup * 8) busy.push_back(b);
  }
  if (!GetParam().busy) {
    EXPECT_TRUE(busy.empty());
    EXPECT_LT(levelBetween(heard, hangup, 9000), -80);
    return;
  }
  ASSERT_GE(busy.size(), 4u);
  for (size_t i = 0; i + 1 < busy.size(); ++i) {  // the last one is cut by the on-hook
    EXPECT_NEAR(busy[i].ms, 250, 25);
    EXPECT_NEAR(busy[i].start / 8.0, hangup + 500.0 * i, 25);
  }
}

INSTANTIATE_TEST_SUITE_P(After, PartyHangsUp,
                         ::testing::Values(HangupCase{"busy", true}, HangupCase{"silence", false}));

TEST_F(FarEndTest, ASecondMessageMakesThePartySpeakAgainAndMovesTheHangup) {
  start("* answer rings=1 talk=1 hangup=4");
  far->dial(QStringLiteral("1"));
  run(2000);  // answered at 1500; speaks until 2500
  std::vector<int16_t> played = message();
  append(played, silence(1000));
  append(played, message());  // the dialer asks again
  run(10000, played);
  const int64_t second = 2000 + 2100 + 1000 + 2100 + 500;
  EXPECT_EQ(*far->call().messageEndedAtMs, 2000 + 2100 + 500);
  EXPECT_LT(levelBetween(heard, 2600, second), -80);
  EXPECT_GT(levelBetween(heard, second, second + 1000), -25) << "speaks again";
  EXPECT_EQ(*far->call().hungUpAtMs, second + 4000) << "not 4 s after the first";
}

struct TransferCase {
  const char* name;
  double onHookAfterLastKeyMs;
  double transferAfterLastKeyMs;
};

class Transfers : public FarEndTest, public ::testing::WithParamInterface<TransferCase> {};

TEST_P(Transfers, FlashGivesDialToneThenTheExtensionIsReported) {
  const TransferCase& c = GetParam();
  // The party's keys and hang-up are plans the flash must drop.
  start("* answer rings=1 talk=silent keys=9 keydelay=2000 hangup=3");
  far->dial(QStringLiteral("1"));
  run(2000);
  run(2100 + 500 + 400, message());  // message end at 4600
  event(FarEnd::LineEvent::FlashStart);
  far->lineEvent(FarEnd::LineEvent::FlashEnd, far->position() + 500 * 8);  // at 5500
  run(1500);                                                               // dial tone to 6500
  const double last = dialKeys(*this, "2345", 0);
  run(c.onHookAfterLastKeyMs - (nowMs() - last));
  event(FarEnd::LineEvent::OnHook);

  EXPECT_LT(levelBetween(heard, 5000, 5500), -80) << "the hook is down";
  EXPECT_NEAR(levelBetween(heard, 5600, 6500), -15, 0.5) << "PBX dial tone";
  EXPECT_LT(levelBetween(heard, 6600, last), -80) << "dial tone stops at the first key";
  ASSERT_EQ(transfers.size(), 1u);
  EXPECT_EQ(transfers[0].first, "2345");
  EXPECT_NEAR(transfers[0].second / 8.0, last + c.transferAfterLastKeyMs, 40);
  ASSERT_EQ(ended.size(), 1u);
  const CallTruth& call = ended[0];
  EXPECT_EQ(call.transferredTo, QStringLiteral("2345"));
  EXPECT_EQ(call.flashAtMs, 5000);
  EXPECT_TRUE(call.keys.empty());
  EXPECT_FALSE(call.hungUpAtMs);
}

INSTANTIATE_TEST_SUITE_P(Cases, Transfers,
                         ::testing::Values(TransferCase{"OnHookBeforeTheTimeout", 2000, 2000},
                                           TransferCase{"ThreeSecondsWithoutAKey", 6000, 3000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FarEndTest, TheExtensionRingsOnceTheTransferIsComplete) {
  start("* answer rings=0 talk=silent");
  far->dial(QStringLiteral("1"));
  event(FarEnd::LineEvent::FlashStart);
  event(FarEnd::LineEvent::FlashEnd);
  run(200);
  run(4000, dtmf("7"));
  ASSERT_EQ(far->phase(), FarEnd::Phase::PbxRinging);
  const auto bursts = decode(std::span<const int16_t>(heard).subspan(3000 * 8)).bursts;
  ASSERT_FALSE(bursts.empty());
  EXPECT_NEAR(bursts[0].frequency, 425, 5);
}

TEST_F(FarEndTest, MixDrawsFollowTheWeightsAndTheSeed) {
  auto draws = [this](uint64_t seed) {
    FarEndOptions o;
    o.seed = seed;
    start("* mix busy=1 ring=3", o);
    std::map<QString, int> counts;
    QString order;
    for (int i = 0; i < 400; ++i) {
      far->dial(QStringLiteral("1"));
      event(FarEnd::LineEvent::OnHook);
      ++counts[ended.back().behaviour];
      order += ended.back().behaviour.at(0);
    }
    return std::make_pair(counts, order);
  };
  const auto a = draws(7), b = draws(7), c = draws(8);
  EXPECT_EQ(a.first.size(), 2u);
  EXPECT_NEAR(a.first.at(QStringLiteral("busy")), 100, 30);
  EXPECT_EQ(a.second, b.second);
  EXPECT_NE(a.second, c.second);
}

TEST_F(FarEndTest, LineNoiseIsTheBackgroundOnHookAndOff) {
  start("noise -50\n* noringback");
  run(500);
  far->dial(QStringLiteral("1"));
  run(1000);
  event(FarEnd::LineEvent::OnHook);
  run(500);
  EXPECT_NEAR(levelBetween(heard, 0, 500), -50, 0.5);
  EXPECT_NEAR(levelBetween(heard, 500, 1500), -50, 0.5);
  EXPECT_NEAR(levelBetween(heard, 1500, 2000), -50, 0.5);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].behaviour, "noringback");
  EXPECT_EQ(ended[0].onHookAtMs, 1000);
}

}  // namespace
}  // namespace doruzudo::sim
