// Channel: the blind transfer to an extension. A hook-flash, Flash + 3000 ms
// (or + 2000 ms) for the exchange's dial tone (tTrans), the digits of Ramal
// one after the other on the extension player, each started by the end of
// the one before, and the release 2 s after the last one; with no Ramal the
// call is released 50 ms after tTrans. Ramal is dialed in full, whatever its
// length. A digit that cannot be played is logged and the call released.
#include "common/event_log.h"
#include "dialer/engine/channel.h"
#include "dialer/engine/channel_view.h"
#include "dialer/line/line_port.h"

namespace doruzudo {

namespace {

constexpr int kAfterExtensionMs = 2000;
constexpr int kNoExtensionMs = 50;

}  // namespace

void Channel::flashAndTransfer(int extraMs) {
  const QString& code = settings().FlashCode;
  if (const std::optional<LineCommand> flash = flashCommand(code)) {
    lineCommand(*flash);
  } else {
    log(QStringLiteral("Código de flash inválido no Canal %1: '%2'.").arg(number_).arg(code));
  }
  timer(tTrans).setInterval(settings().Flash + extraMs);
  timer(tTrans).start();
}

void Channel::tTransTimer() {
  timer(tTrans).stop();
  const QString& ramal = settings().Ramal;
  state_.DigitsLeft = static_cast<int>(ramal.size());
  if (ramal.isEmpty()) {
    if (!audio().streaming()) (void)audio().startStream();
    state_.Answered = false;
    state_.RingCount = 0;
    state_.BusyCount = 0;
    timer(tDesliga).setInterval(kNoExtensionMs);
    timer(tDesliga).start();
    return;
  }
  for (size_t k = 0; k < state_.ExtDigits.size(); ++k) {
    state_.ExtDigits.at(k) = ramal.mid(static_cast<qsizetype>(k), 1);
  }
  log(QStringLiteral("Transferindo ligação no canal %1").arg(number_));
  extension_ = ramal;
  transferDialing_ = true;
  playExtensionDigit();
}

void Channel::PlayRamalPlayDone() {
  if (!transferDialing_) return;  // no extension of ours is being dialed
  if (state_.DigitsLeft > 0) {
    playExtensionDigit();
    return;
  }
  transferDialing_ = false;
  timer(tDesliga).setInterval(kAfterExtensionMs);
  timer(tDesliga).start();
}

void Channel::playExtensionDigit() {
  const QChar digit = extension_.at(extension_.size() - state_.DigitsLeft);
  --state_.DigitsLeft;
  const QString file =
      env_.ProgramFolder + QStringLiteral("digitos/") + digit + QStringLiteral(".wav");
  if (playOn(Player::Extension, file).ok()) return;
  log(QStringLiteral("Erro ao reproduzir o dígito %1 no Canal %2.").arg(digit).arg(number_));
  transferDialing_ = false;
  timer(tDesliga).start();
}

}  // namespace doruzudo
