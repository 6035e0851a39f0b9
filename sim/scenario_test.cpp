#include <gtest/gtest.h>

#include "sim/scenario.h"
#include "sim/tone_plan.h"
#include "tests/testing.h"

namespace doruzudo::sim {
namespace {

TEST(Scenario, ParsesHeaderAndBehavioursAndTheFirstMatchWins) {
  auto s = parseScenario(
      "# a test\n"
      "tones us   # plan\n"
      "noise -55\nlevel -12\nseed 7\n"
      "1133334444 answer rings=2 talk=silent keys=91 keydelay=500 hangup=3 afterhangup=silence\n"
      "1133* busy\n"
      "0800* ring\n"
      "* mix busy=1 ring=0 noringback=1 answer=2\n",
      "s.txt");
  ASSERT_TRUE(s.ok()) << s.message().toStdString();
  EXPECT_EQ(s->tonePlan, "us");
  EXPECT_EQ(s->noiseDbm0, -55);
  EXPECT_EQ(s->levelDbm0, -12);
  EXPECT_EQ(s->seed, 7u);
  const ScenarioLine* exact = s->match("1133334444");
  ASSERT_NE(exact, nullptr);
  EXPECT_EQ(exact->behaviour.kind, Behaviour::Kind::Answer);
  EXPECT_EQ(exact->behaviour.rings, 2);
  EXPECT_TRUE(exact->behaviour.silent);
  EXPECT_EQ(exact->behaviour.keys, "91");
  EXPECT_EQ(exact->behaviour.keyDelayMs, 500);
  EXPECT_EQ(exact->behaviour.hangupSeconds, 3.0);
  EXPECT_FALSE(exact->behaviour.busyAfterHangup);
  EXPECT_EQ(s->match("1133999")->behaviour.kind, Behaviour::Kind::Busy);
  EXPECT_EQ(s->match("08001234")->behaviour.kind, Behaviour::Kind::Ring);
  EXPECT_EQ(s->match("21")->behaviour.kind, Behaviour::Kind::Mix);
  EXPECT_TRUE(s->completes("1133334444"));
  EXPECT_FALSE(s->completes("1133"));
}

TEST(Scenario, DefaultsOfAnAnswer) {
  auto s = parseScenario("* answer rings=3\n", "s.txt");
  ASSERT_TRUE(s.ok());
  const Behaviour& b = s->lines[0].behaviour;
  EXPECT_EQ(s->tonePlan, "br");
  EXPECT_FALSE(s->noiseDbm0.has_value());
  EXPECT_EQ(b.talkSeconds, 1.5);
  EXPECT_EQ(b.keyDelayMs, 1000);
  EXPECT_FALSE(b.hangupSeconds.has_value());
  EXPECT_TRUE(b.busyAfterHangup);
}

TEST(Scenario, BadLinesAreNamed) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"tones xx\n", "s.txt:1: tones takes one of"},
      {"noise loud\n", "s.txt:1: noise takes a level"},
      {"\n12a4 busy\n", "s.txt:2: '12a4' is not a number pattern"},
      {"123\n", "s.txt:1: a behaviour must follow"},
      {"123 dance\n", "s.txt:1: unknown behaviour 'dance'"},
      {"123 busy rings=2\n", "s.txt:1: 'busy' takes no options"},
      {"123 answer rings=x\n", "s.txt:1: rings needs a whole number"},
      {"123 answer keys=9x\n", "s.txt:1: keys takes digits"},
      {"123 answer wobble=1\n", "s.txt:1: unknown option 'wobble'"},
      {"* mix busy=0\n", "s.txt:1: a mix needs at least one weight"},
      {"seed -1\n", "s.txt:1: seed takes a whole number"},
  };
  for (const auto& c : cases) {
    auto s = parseScenario(c.text, "s.txt");
    ASSERT_FALSE(s.ok()) << c.text;
    EXPECT_TRUE(s.message().startsWith(c.error)) << s.message().toStdString();
  }
}

TEST(Scenario, AMixResolvesByItsWeights) {
  auto s = parseScenario("* mix busy=1 ring=1 noringback=0 answer=2\n", "s.txt");
  ASSERT_TRUE(s.ok());
  const Behaviour& mix = s->lines[0].behaviour;
  EXPECT_EQ(resolveMix(mix, 0.0).kind, Behaviour::Kind::Busy);
  EXPECT_EQ(resolveMix(mix, 0.24).kind, Behaviour::Kind::Busy);
  EXPECT_EQ(resolveMix(mix, 0.26).kind, Behaviour::Kind::Ring);
  EXPECT_EQ(resolveMix(mix, 0.5).kind, Behaviour::Kind::Answer);
  EXPECT_EQ(resolveMix(mix, 0.999).kind, Behaviour::Kind::Answer);
}

TEST(TonePlan, BrazilAndTheOthers) {
  const auto br = tonePlan("BR");
  ASSERT_TRUE(br.has_value());
  EXPECT_EQ(br->ringback.frequency, 425);
  EXPECT_EQ(br->ringback.cadenceMs, (std::vector<int>{1000, 4000}));
  EXPECT_EQ(br->busy.cadenceMs, (std::vector<int>{250, 250}));
  EXPECT_EQ(tonePlanCodes().size(), 9);
  EXPECT_EQ(tonePlan("us")->busy.secondFrequency, 620);
  EXPECT_FALSE(tonePlan("zz").has_value());
}

}  // namespace
}  // namespace doruzudo::sim
