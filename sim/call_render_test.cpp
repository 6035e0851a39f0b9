#include "sim/call_render.h"

#include <gtest/gtest.h>

#include "dialer/line/signal_synth.h"
#include "sim/sim_testing.h"
#include "tests/testing.h"

namespace doruzudo::sim {
namespace {

// What the dialer's decoder measures in a rendered number: every burst has
// the plan's frequency and length and they repeat at the cadence's period.
struct PlanCase {
  const char* name;
  const char* scenario;
  double seconds;
  double frequency, second;
  int onMs, periodMs;
};

class RenderedTones : public ::testing::TestWithParam<PlanCase> {};

TEST_P(RenderedTones, AreMeasuredByTheDecoderAsThePlanSays) {
  const PlanCase& c = GetParam();
  Result<Scenario> s = parseScenario(QString::fromUtf8(c.scenario), QStringLiteral("t"));
  ASSERT_TRUE(s.ok()) << s.message().toStdString();
  const std::vector<int16_t> line = renderNumber(*s, QStringLiteral("1133334444"), c.seconds);
  ASSERT_EQ(line.size(), static_cast<size_t>(c.seconds * 8000));
  const auto bursts = simtest::decode(line).bursts;
  const int whole = static_cast<int>(c.seconds * 1000) / c.periodMs;  // bursts that fit
  ASSERT_GE(static_cast<int>(bursts.size()), whole);
  for (int i = 0; i < whole; ++i) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(bursts[i].frequency, c.frequency, 5);
    EXPECT_NEAR(bursts[i].second, c.second, 5);
    EXPECT_NEAR(bursts[i].ms, c.onMs, 20);
    EXPECT_NEAR(bursts[i].start / 8.0, i * c.periodMs, 20);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Plans, RenderedTones,
    ::testing::Values(PlanCase{"BrazilRingback", "* ring", 15, 425, 0, 1000, 5000},
                      PlanCase{"BrazilBusy", "* busy", 3, 425, 0, 250, 500},
                      PlanCase{"BrazilBusyInNoise", "noise -55\n* busy", 3, 425, 0, 250, 500},
                      PlanCase{"UsRingback", "tones us\n* ring", 18, 440, 480, 2000, 6000},
                      PlanCase{"UsBusy", "tones us\nlevel -20\n* busy", 4, 480, 620, 500, 1000},
                      PlanCase{"PortugalRingback", "tones pt\n* ring", 12, 425, 0, 1000, 6000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RenderNumber, ARenderedAnswerRingsThenTalksAtTheScenarioLevel) {
  Result<Scenario> s = parseScenario(
      QStringLiteral("level -20\n1133* answer rings=1 talk=2\n* busy"), QStringLiteral("t"));
  ASSERT_TRUE(s.ok());
  RenderOptions o;
  o.espeak = false;
  const std::vector<int16_t> line = renderNumber(*s, QStringLiteral("1133334444"), 5, o);
  const auto bursts = simtest::decode(std::span<const int16_t>(line).first(1500 * 8)).bursts;
  ASSERT_EQ(bursts.size(), 1u);
  EXPECT_NEAR(bursts[0].ms, 1000, 20);
  EXPECT_NEAR(simtest::levelBetween(line, 1500, 3500), -20, 4) << "babble with its pauses";
  EXPECT_LT(simtest::levelBetween(line, 3500, 5000), -80);
}

}  // namespace
}  // namespace doruzudo::sim
