#include "sim/party_voice.h"

#include <gtest/gtest.h>

#include "dialer/line/signal_synth.h"
#include "dialer/line/speech_synth.h"

namespace doruzudo::sim {
namespace {

double voicedLevel(std::vector<int16_t> s) {
  std::erase_if(s, [](int16_t v) { return std::abs(v) < 300; });
  return synth::levelDbm0(std::span<const int16_t>(s));
}

TEST(PartyVoice, SpeaksExactlyAsLongAsAskedAtTheLevel) {
  for (bool espeak : {false, true}) {
    SCOPED_TRACE(espeak ? "espeak-ng" : "babble");
    PartyVoice voice(PartyVoice::Options{-20, espeak});
    const std::vector<int16_t> a = voice.speech(12000, 1);
    ASSERT_EQ(a.size(), 12000u);
    EXPECT_NEAR(voicedLevel(a), -20, 3);
    EXPECT_LT(std::abs(a.back()), 400) << "faded at the cut";
    EXPECT_EQ(voice.speech(12000, 1), a) << "the same variant, the same speech";
    EXPECT_NE(voice.speech(12000, 2), a);
    if (espeak && speechVoices().contains(QStringLiteral("pt-br"))) {
      EXPECT_TRUE(voice.usingEspeak());
    }
  }
}

}  // namespace
}  // namespace doruzudo::sim
