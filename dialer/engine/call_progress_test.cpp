// Call progress: the classing of tone bursts at their bounds, busy, no
// answer, ringing that stops, the answer by voice and the message it starts,
// and the channels that differ.
#include <gtest/gtest.h>

#include "dialer/engine/call_steps.h"

namespace doruzudo {
namespace {

enum class Effect { None, Ring, ShortRing, Voice, Busy };

const char* name(Effect e) {
  switch (e) {
    case Effect::None:
      return "none";
    case Effect::Ring:
      return "ring";
    case Effect::ShortRing:
      return "short ring";
    case Effect::Voice:
      return "voice";
    case Effect::Busy:
      return "busy";
  }
  return "?";
}

// What one burst did to channel 1, read from its state and timers.
Effect effectOf(CallSteps& c, int ringsBefore) {
  if (c.st().RingCount > ringsBefore) return Effect::Ring;
  if (c.st().BusyCount > 0) return Effect::Busy;
  if (c.running(Channel::tAudio)) return Effect::Voice;
  if (c.running(Channel::tTcc)) return Effect::ShortRing;
  return Effect::None;
}

struct BurstCase {
  double hz;
  int ms;
  Effect effect;
};

TEST(BurstClasses, WaitingForRingbackEachBoundIsInsideItsClass) {
  const BurstCase cases[] = {
      {400, 900, Effect::Ring},      {450, 1100, Effect::Ring},
      {425, 1000, Effect::Ring},     {399.9, 1000, Effect::None},
      {450.1, 1000, Effect::None},   {425, 899, Effect::None},
      {425, 1101, Effect::None},     {400, 620, Effect::ShortRing},
      {450, 690, Effect::ShortRing}, {425, 619, Effect::None},
      {425, 691, Effect::None},      {400, 200, Effect::Busy},
      {450, 280, Effect::Busy},      {425, 199, Effect::None},
      {425, 281, Effect::None},  // counts only toward ending a recording
      {425, 299, Effect::None},      {399, 250, Effect::None},
      {451, 250, Effect::None},      {300, 400, Effect::None},  // voice before any ring
  };
  for (const BurstCase& c : cases) {
    FakeEngineWorld w;
    CallSteps call(w, 1);
    call.toRingback();
    call.burst(c.hz, c.ms);
    EXPECT_STREQ(name(effectOf(call, 0)), name(c.effect)) << c.hz << " Hz " << c.ms << " ms";
  }
}

TEST(BurstClasses, RingingEachBoundIsInsideItsClass) {
  const BurstCase cases[] = {
      {100, 50, Effect::Voice},    {2500, 899, Effect::Voice}, {99.9, 400, Effect::None},
      {2500.1, 400, Effect::None}, {1000, 49, Effect::None},   {1000, 900, Effect::None},
      {425, 650, Effect::Voice},  // a short ringback burst answers once it rings
      {425, 250, Effect::Voice},  // busy pulses after the first ring are not counted
      {425, 1000, Effect::Ring},
  };
  for (const BurstCase& c : cases) {
    FakeEngineWorld w;
    CallSteps call(w, 1);
    call.toRingback();
    call.burst(CallSteps::kToneHz, CallSteps::kRingMs);
    ASSERT_EQ(call.st().Status, status::kRinging);
    call.ch().timer(Channel::tTcc).stop();  // so that only this burst starts it
    call.burst(c.hz, c.ms);
    EXPECT_STREQ(name(effectOf(call, 1)), name(c.effect)) << c.hz << " Hz " << c.ms << " ms";
  }
}

TEST(BurstClasses, NothingCountsWhileDialingOrBetweenCalls) {
  FakeEngineWorld w;
  CallSteps call(w, 1);
  w.build().start();
  w.scheduler.advance(5500);  // seized: Status still "AGUARDANDO"
  call.burst(425, 250);
  call.burst(425, 1000);
  EXPECT_EQ(call.st().BusyCount, 0);
  EXPECT_EQ(call.st().RingCount, 0);
  w.scheduler.advance(1000 + 2000);  // dialing
  ASSERT_EQ(call.st().Status, status::kDialing);
  call.burst(425, 1000);
  call.burst(425, 650);
  EXPECT_EQ(call.st().RingCount, 0);
  EXPECT_FALSE(call.running(Channel::tTcc));
}

TEST(CallProgress, TheFourthBusyPulseStoresBusyAndReleases) {
  FakeEngineWorld w;
  CallSteps call(w, 1);
  call.toRingback();
  for (int k = 0; k < 3; ++k) {
    call.burst(CallSteps::kToneHz, CallSteps::kBusyMs);
    w.scheduler.advance(2 * CallSteps::kBusyMs);
  }
  EXPECT_EQ(call.st().BusyCount, 3);
  EXPECT_FALSE(call.running(Channel::tDesliga));
  call.burst(CallSteps::kToneHz, CallSteps::kBusyMs);
  EXPECT_EQ(call.row()->status, calldb::kStatusBusy);
  EXPECT_EQ(call.row()->busy, calldb::kBusyYes);
  EXPECT_EQ(w.view.statusLabel(1), label::kBusy);
  EXPECT_EQ(call.st().BusyCount, 0);
  EXPECT_TRUE(call.running(Channel::tDesliga));
  EXPECT_TRUE(call.releasedWithin(600));
  EXPECT_TRUE(call.running(Channel::tCall));
}

TEST(CallProgress, ACallNotAnsweredIsAbandonedAtRingTouquesPlusOne) {
  for (int toques : {1, 3, 9}) {
    FakeEngineWorld w;
    CallSteps call(w, 1);
    call.settings().Toques = toques;
    call.toRingback();
    for (int k = 0; k < toques; ++k) call.ring();
    EXPECT_EQ(call.st().Status, status::kRinging) << toques;
    EXPECT_EQ(call.st().RingCount, toques);
    EXPECT_FALSE(call.running(Channel::tComuta));
    EXPECT_TRUE(call.running(Channel::tSilencio));
    EXPECT_TRUE(call.running(Channel::tTcc));

    call.burst(CallSteps::kToneHz, CallSteps::kRingMs);
    EXPECT_EQ(call.st().Status, status::kWaiting) << toques;
    EXPECT_EQ(call.row()->status, calldb::kStatusNoAnswer);
    EXPECT_EQ(w.view.statusLabel(1), label::kNoAnswer);
    EXPECT_FALSE(call.running(Channel::tTcc));
    EXPECT_FALSE(call.running(Channel::tSilencio));
    EXPECT_FALSE(call.running(Channel::tAudio));
    EXPECT_TRUE(call.releasedWithin(600)) << toques;
    EXPECT_FALSE(call.st().Answered);
  }
}

TEST(CallProgress, ANoAnswerThatCannotBeStoredStillReleases) {
  FakeEngineWorld w;
  CallSteps call(w, 1);
  call.settings().Toques = 1;
  call.toRingback();
  call.ring();
  w.connected = false;
  call.burst(CallSteps::kToneHz, CallSteps::kRingMs);
  EXPECT_EQ(call.st().RingCount, 0);
  EXPECT_NE(w.view.statusLabel(1), label::kNoAnswer);
  EXPECT_TRUE(call.releasedWithin(600));
}

// Channels 1 and 5 to 8 take ringback that stops for an answer; channels 2
// to 4 never start tTcc and end such a call as a call failure.
TEST(CallProgress, RingingThatStopsWithoutVoiceByChannel) {
  for (int n = 1; n <= kChannelCount; ++n) {
    const bool answers = n == 1 || n >= 5;
    FakeEngineWorld w;
    CallSteps call(w, n);
    call.settings().Ganho = QStringLiteral("SIM");
    call.toRingback();
    call.burst(CallSteps::kToneHz, CallSteps::kRingMs);  // the last ring
    EXPECT_EQ(call.running(Channel::tTcc), answers) << n;

    w.scheduler.advance(5500 + 500 - 1);
    EXPECT_FALSE(call.st().Answered) << n;
    w.scheduler.advance(1);
    EXPECT_EQ(call.st().Answered, answers) << n;
    if (answers) {
      EXPECT_EQ(call.row()->status, calldb::kStatusAnswered) << n;
      EXPECT_EQ(call.audio().files(Player::Message).size(), 1u) << n;
      EXPECT_EQ(w.commands(n).back(), LineCommand::GainOff) << n;
      continue;
    }
    w.scheduler.advance(10000 - 6000 - 1);
    EXPECT_EQ(w.count(QStringLiteral("Falha na chamada.")), 0) << n;
    w.scheduler.advance(1);
    EXPECT_EQ(w.count(QStringLiteral("Falha na chamada.")), 1) << n;
    EXPECT_EQ(call.st().Status, status::kWaiting) << n;
    EXPECT_EQ(call.row()->status, calldb::kStatusCallFailure) << n;
    EXPECT_EQ(w.commands(n).back(), LineCommand::GainOff) << n;
    EXPECT_TRUE(call.audio().files(Player::Message).empty()) << n;
    EXPECT_TRUE(call.releasedWithin(600)) << n;
  }
}

TEST(CallProgress, AShortRingbackBurstAloneIsTakenForAnAnswerOnChannelsThatStartTcc) {
  for (int n : {1, 2}) {
    FakeEngineWorld w;
    CallSteps call(w, n);
    call.toRingback();
    call.burst(CallSteps::kToneHz, 650);
    w.scheduler.advance(6000);
    EXPECT_EQ(call.st().Answered, n == 1) << n;
    if (n == 2) {
      w.scheduler.advance(60000 - 6000);  // nothing else heard: the dial did not complete
      EXPECT_EQ(call.row()->status, calldb::kStatusSwitchFailure);
    }
  }
}

TEST(CallProgress, TheAnswerStartsTheMessageByKind) {
  struct Case {
    const char* textoHab;
    bool played, spoken;
  };
  const Case cases[] = {{"NÃO", true, false}, {"SIM", false, true}, {"", false, false}};
  for (const Case& c : cases) {
    FakeEngineWorld w;
    CallSteps call(w, 5);
    call.settings().TextoHab = QString::fromUtf8(c.textoHab);
    call.settings().Ganho = QStringLiteral("SIM");
    call.toRingback();
    call.ring();
    call.ring();
    call.burst(300, 400);  // the party says "alô"
    EXPECT_TRUE(call.running(Channel::tAudio));
    EXPECT_FALSE(call.running(Channel::tTcc));
    w.scheduler.advance(499);
    EXPECT_FALSE(call.st().Answered);
    w.scheduler.advance(1);

    const bool answered = c.played || c.spoken;
    EXPECT_EQ(call.st().Answered, answered) << c.textoHab;
    EXPECT_EQ(
        call.audio().files(Player::Message),
        c.played ? std::vector<QString>{QStringLiteral("/msg/oferta.wav")} : std::vector<QString>{})
        << c.textoHab;
    EXPECT_EQ(call.voice().spoken(),
              c.spoken ? QStringList{QStringLiteral("Olá, esta é uma oferta.")} : QStringList{})
        << c.textoHab;
    if (!answered) {
      // Nothing starts; the ringing's 10 s end it as a call failure.
      EXPECT_TRUE(call.running(Channel::tSilencio));
      w.scheduler.advance(10000 - 500);
      EXPECT_EQ(call.row()->status, calldb::kStatusCallFailure);
      continue;
    }
    EXPECT_EQ(call.st().Status, status::kPlaying);
    EXPECT_EQ(w.view.statusLabel(5), label::kPlaying);
    EXPECT_TRUE(call.st().Speaking);
    EXPECT_FALSE(call.st().Idle);
    EXPECT_EQ(call.st().RingCount, 0);
    EXPECT_EQ(call.row()->status, calldb::kStatusAnswered);
    EXPECT_EQ(w.commands(5).back(), LineCommand::GainOff);
    EXPECT_FALSE(call.running(Channel::tSilencio));
    EXPECT_FALSE(call.running(Channel::tComuta));
  }
}

TEST(CallProgress, TonesDuringTheMessageChangeNothing) {
  FakeEngineWorld w;
  CallSteps call(w, 1);
  call.answer();
  for (int k = 0; k < 4; ++k) call.burst(425, 250);
  call.burst(425, 1000);
  w.scheduler.advance(20000);
  EXPECT_EQ(call.row()->status, calldb::kStatusAnswered);
  EXPECT_EQ(call.st().BusyCount, 0);
  EXPECT_EQ(call.audio().files(Player::Message).size(), 1u);
  EXPECT_FALSE(call.running(Channel::tDesliga));
}

TEST(CallProgress, ARingHeardJustAfterTheVoiceDoesNotAnswerTwice) {
  FakeEngineWorld w;
  CallSteps call(w, 1);
  call.toRingback();
  call.ring();
  call.burst(300, 400);
  w.scheduler.advance(100);
  call.burst(CallSteps::kToneHz, CallSteps::kRingMs);  // restarts tTcc
  w.scheduler.advance(400);
  ASSERT_TRUE(call.st().Answered);
  w.scheduler.advance(10000);
  EXPECT_EQ(call.audio().files(Player::Message).size(), 1u);
}

TEST(CallProgress, AMessageThatCannotStartIsLoggedAndReleased) {
  FakeEngineWorld w;
  CallSteps call(w, 3);
  call.audio().failFile(QStringLiteral("/msg/oferta.wav"));
  call.answer();
  EXPECT_EQ(
      w.count(QStringLiteral("Erro ao iniciar a mensagem no Canal 3: cannot play /msg/oferta.wav")),
      1);
  EXPECT_EQ(call.st().Status, status::kWaiting);
  EXPECT_TRUE(call.releasedWithin(600));
  EXPECT_EQ(call.row()->status, calldb::kStatusAnswered);  // dialed again in a later pass
}

}  // namespace
}  // namespace doruzudo
