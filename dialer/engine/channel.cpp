// Channel: construction, the timers and the routing of component events.
#include "dialer/engine/channel.h"

#include "common/event_log.h"
#include "dialer/engine/channel_view.h"
#include "dialer/engine/engine.h"
#include "dialer/line/line_port.h"
#include "dialer/line/voice.h"

namespace doruzudo {

namespace {

struct TimerRow {
  Channel::TimerId id;
  const char* base;  // the timer's name without the suffix C<n>
  int intervalMs;
  void (Channel::*handler)();
};

}  // namespace

Channel::Channel(int number, const EngineEnvironment& env, Engine& engine)
    : number_(number), traits_(channelTraits(number)), env_(env), engine_(engine) {
  const TimerRow rows[] = {
      {tCall, "tCall", traits_.callMs, &Channel::tCallTimer},
      {tTemporiza, "tTemporiza", 1000, &Channel::tTemporizaTimer},
      {tGetLinha, "tGetLinha", traits_.getLinhaMs, &Channel::tGetLinhaTimer},
      {tDisca, "tDisca", 2000, &Channel::tDiscaTimer},
      {tComuta, "tComuta", 60000, &Channel::tComutaTimer},
      {tSilencio, "tSilencio", 10000, &Channel::tSilencioTimer},
      {tTcc, "tTcc", 5500, &Channel::tTccTimer},
      {tAudio, "tAudio", 500, &Channel::tAudioTimer},
      {TimeOut, "TimeOut", traits_.timeOutDesignMs, &Channel::TimeOutTimer},
      {tZero, "tZero", 500, &Channel::tZeroTimer},
      {tTrans, "tTrans", 250, &Channel::tTransTimer},
      {tDesliga, "tDesliga", 600, &Channel::tDesligaTimer},
      {tSilence, "tSilence", 10000, &Channel::tSilenceTimer},
      {tTempoMax, "tTempoMax", 60000, &Channel::tTempoMaxTimer},
      {tSendEmail, "tSendEmail", 350, &Channel::tSendEmailTimer},
  };
  for (const TimerRow& row : rows) {
    timers_.at(row.id) =
        env_.scheduler->createTimer(channelValue(row.base, number_), row.intervalMs,
                                    [this, handler = row.handler] { (this->*handler)(); });
  }
  audio().setListener(this);
  if (Voice* voice = env_.voice.at(number_ - 1))
    voice->setEndStream([this] { SpVoiceEndStream(); });
}

Channel::~Channel() {
  cancelPending();
  audio().setListener(nullptr);
  if (Voice* voice = env_.voice.at(number_ - 1)) voice->setEndStream({});
}

// --- helpers -------------------------------------------------------------

void Channel::cancelPending() {
  for (uint64_t* id : {&releaseWait_, &repeatPause_, &recordingStop_}) {
    if (*id) env_.scheduler->cancel(*id);
    *id = 0;
  }
}

void Channel::log(const QString& message) const {
  env_.log->AddMsg(message);
}

void Channel::setLabel(const QString& text) const {
  env_.view->setStatusLabel(number_, text);
}

void Channel::lineCommand(LineCommand command) const {
  // A line command never fails as far as a call goes: a channel without a
  // unit dials into nothing and its call ends by its timers.
  env_.line->Hid_Write(number_, command);
}

Status Channel::playOn(Player player, const QString& file) {
  ignorePlayDone_.at(static_cast<size_t>(player)) = false;  // a new play: its end counts
  return audio().play(player, file);
}

// --- component events ----------------------------------------------------

void Channel::playDone(Player player) {
  const auto index = static_cast<size_t>(player);
  if (ignorePlayDone_.at(index)) {
    ignorePlayDone_.at(index) = false;  // the release stopped it: no message end
    return;
  }
  switch (player) {
    case Player::Digit:
      PlayDigitoPlayDone();
      break;
    case Player::Message:
      PlayPlayDone();
      break;
    case Player::Extension:
      PlayRamalPlayDone();
      break;
    case Player::Reply:
      RepAudioPlayDone();
      break;
  }
}

void Channel::dtmf(int key, int64_t) {
  tCanalDTMF(key);
}

void Channel::frequencyDetected(double frequency, double, int durationMs, int64_t) {
  tCanalFrequencyDetected(frequency, durationMs);
}

void Channel::silenceStart(int64_t) {
  tCanalSilenceStart();
}

void Channel::silenceEnd(int64_t, int) {
  tCanalSilenceEnd();
}

}  // namespace doruzudo
