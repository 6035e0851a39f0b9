// Channel: the release that ends every call, the start of dialing, and the
// channel's notice timer.
#include "common/event_log.h"
#include "dialer/engine/channel.h"
#include "dialer/engine/channel_view.h"
#include "dialer/engine/engine.h"
#include "dialer/line/line_port.h"
#include "dialer/line/voice.h"

namespace doruzudo {

namespace {

// The players the release stops and waits for, in order.
constexpr Player kStoppedPlayers[] = {Player::Message, Player::Reply};

}  // namespace

void Channel::tDesligaTimer() {
  timer(tDesliga).setInterval(600);
  timer(tDesliga).stop();
  setLabel(label::kWaiting);
  state_.Status = status::kWaiting;
  state_.Answered = false;
  state_.RingCount = 0;
  state_.BusyCount = 0;
  state_.SavedNumber.clear();
  if (releaseWait_) return;  // a release already waits for the players: it ends this one too
  stopSent_ = {};
  releaseWaitedMs_ = 0;
  waitForPlayers();
}

// Tells the message and reply players to stop and waits until they have, at
// most kPlayerStopLimitMs, looking again every kPlayerStopPollMs (the wait
// is counted in looks, whatever the wall clock does meanwhile).
void Channel::waitForPlayers() {
  releaseWait_ = 0;
  const bool overdue = releaseWaitedMs_ >= kPlayerStopLimitMs;
  bool stillPlaying = false;
  for (Player player : kStoppedPlayers) {
    const auto index = static_cast<size_t>(player);
    if (!audio().playing(player)) continue;
    if (!stopSent_.at(index)) {
      stopSent_.at(index) = true;
      ignorePlayDone_.at(index) = true;
      audio().stop(player);
      if (!audio().playing(player)) continue;
    }
    if (!overdue) {
      releaseWaitedMs_ += kPlayerStopPollMs;
      releaseWait_ = env_.scheduler->callLater(
          kPlayerStopPollMs, [this] { waitForPlayers(); }, channelValue("tDesliga", number_));
      return;
    }
    stillPlaying = true;
  }
  if (stillPlaying) {
    log(QStringLiteral("Canal %1: o áudio não parou em %2 s; desconectando assim mesmo.")
            .arg(number_)
            .arg(kPlayerStopLimitMs / 1000));
  }
  finishRelease();
}

void Channel::finishRelease() {
  for (int id = tDisca; id <= tTempoMax; ++id) timer(static_cast<TimerId>(id)).stop();
  resumeAfterSettling_ = false;
  endCallScript();
  state_.Idle = true;
  log(QStringLiteral("Desconectando Canal %1").arg(number_));
  lineCommand(LineCommand::OnHook);
  inCall_ = false;
  if (stopAfterRelease_) {
    stopAfterRelease_ = false;
    return;  // stopped until "Inicia Discagem"
  }
  timer(tCall).start();
}

// What the answered call's script left pending ends with the call: a spoken
// repeat still in its pause, the extension's digits.
void Channel::endCallScript() {
  if (repeatPause_) {
    env_.scheduler->cancel(repeatPause_);
    repeatPause_ = 0;
    state_.Speaking = false;
  }
  waitEnded_ = false;
  transferDialing_ = false;
}

void Channel::startDialing() {
  if (!inCall_) timer(tCall).start();
}

void Channel::shutdown() {
  audio().setListener(nullptr);  // no more events: a digit's play-done dials nothing more
  if (Voice* voice = env_.voice.at(number_ - 1)) voice->setEndStream({});
  for (auto& t : timers_) t->stop();
  cancelPending();
  resumeAfterSettling_ = false;
  endCallScript();
  stopAfterRelease_ = false;
}

void Channel::requestMail(int kind) {
  mailKind_ = kind;
  timer(tSendEmail).start();
}

void Channel::tSendEmailTimer() {
  timer(tSendEmail).stop();
  if (engine_.MailBusy()) {
    timer(tSendEmail).start();  // again in 350 ms, until the previous notice is out
    return;
  }
  const int kind = mailKind_;
  mailKind_ = 0;
  engine_.sendMail(kind, settings().Campanha);
}

}  // namespace doruzudo
