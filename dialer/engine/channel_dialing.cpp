// Channel: the dialing cycle, from the dialing step (tCall) to the last digit,
// and the dial that never completes (tComuta).
#include "common/call_database.h"
#include "common/event_log.h"
#include "dialer/engine/channel.h"
#include "dialer/engine/channel_view.h"
#include "dialer/engine/dialing_rules.h"
#include "dialer/engine/engine.h"
#include "dialer/line/line_port.h"

namespace doruzudo {

namespace {

const QString kSelectError = QStringLiteral("Erro ao selecionar lista de discagem.");

}  // namespace

void Channel::tCallTimer() {
  timer(tCall).stop();
  timer(tCall).setInterval(traits_.callMs);
  if (traits_.logsFormata) log(QStringLiteral("Formata numeros c%1 ligado").arg(number_));
  if (engine_.Paused()) {
    log(QStringLiteral("Lista de discagem foi pausada."));
    setLabel(label::kPause);
    state_.Status = status::kWaiting;
    return;  // stopped until "Inicia Discagem"
  }
  const QDateTime now = env_.scheduler->now();
  const QTime timeOfDay = wholeSeconds(now.time());

  switch (checkList()) {
    case ListState::Finished:
      listFinished();
      return;
    case ListState::Failed:  // the list is unknown, not empty
    case ListState::AllInCall:
      timer(tCall).start();  // try again next tick
      return;
    case ListState::HasRows:
      break;
  }
  if (blockedByDateOrPeriod(now, timeOfDay) || lineUnitGone()) {
    timer(tCall).start();
    return;
  }
  const std::optional<PhoneRow> row = claimNumber();
  if (!row) {
    timer(tCall).start();
    return;
  }
  state_.DialNumber = row->telefone;
  state_.RowCode = row->codigo;
  if (moveIfOverLimit(*row)) {
    timer(tCall).start();
    return;
  }
  countAttempt(*row, now, timeOfDay);

  state_.DialNumber = settings().Operadora + state_.DialNumber;
  state_.SavedNumber = state_.DialNumber;
  log(QStringLiteral("Número a ser salvo:") + state_.SavedNumber);
  state_.DialLength = static_cast<int>(state_.DialNumber.size());
  state_.DigitsLeft = state_.DialLength;
  state_.DigitPos = 1;
  seize();
}

// Whether the campaign still has a row to dial in this pass, starting a new
// pass when every row was dialed. A database failure is no empty list, nor
// is a list whose every number is being dialed on other channels.
Channel::ListState Channel::checkList() {
  CallDatabase* db = env_.db();
  const QString& campaign = settings().Campanha;
  auto first = db ? db->selectNextNumber(campaign)
                  : Result<std::optional<PhoneRow>>::Error(QStringLiteral("not connected"));
  if (!first.ok()) {
    log(kSelectError);
    return ListState::Failed;
  }
  if (first->has_value()) return ListState::HasRows;

  // A new pass; the numbers other channels are dialing now stay taken. A
  // failure shows in the selection that follows.
  const std::vector<int64_t> inCall = engine_.numbersInCall(campaign);
  (void)db->startNewPass(campaign, inCall);
  auto again = db->selectNextNumber(campaign);
  if (!again.ok()) {
    log(kSelectError);
    return ListState::Failed;
  }
  if (again->has_value()) {
    log(QStringLiteral("Executanto nova tentativa de discagem na lista."));
    return ListState::HasRows;
  }
  return inCall.empty() ? ListState::Finished : ListState::AllInCall;
}

void Channel::listFinished() {
  setLabel(label::kFinished);
  log(QStringLiteral("Não há mais telefones para discagem no Canal %1.").arg(number_));
  engine_.campaignFinished(*this);
}

bool Channel::blockedByDateOrPeriod(const QDateTime& now, const QTime& timeOfDay) {
  if (!insideDateWindow(settings(), now)) {
    log(QStringLiteral("Discagem fora da data programada"));
    return true;
  }
  if (const int period = blockedPeriod(settings(), timeOfDay)) {
    log(traits_.blockedPeriodMessage(period));
    return true;
  }
  return false;
}

// A channel whose line unit was unplugged takes no number: its calls would
// never reach the line, and each would end with a result for a call that did
// not happen. The other channels dial the list meanwhile; this one tries again
// at every dialing step and says so once per unplug.
bool Channel::lineUnitGone() {
  const LineUnitStatus unit = env_.line->unitStatus(number_);
  const bool gone = unit.bound && !unit.plugged;
  if (gone && !unitGoneLogged_) {
    log(QStringLiteral("Dispositivo do Canal %1 desconectado; discagem suspensa.").arg(number_));
  }
  unitGoneLogged_ = gone;
  return gone;
}

// Takes the next row in one statement. Nothing when the statement fails (its
// log line) or when another dialer took the last free row meanwhile.
std::optional<PhoneRow> Channel::claimNumber() {
  CallDatabase* db = env_.db();
  auto row = db ? db->claimNextNumber(settings().Campanha)
                : Result<std::optional<PhoneRow>>::Error(QStringLiteral("not connected"));
  if (!row.ok()) {
    log(kSelectError);
    return std::nullopt;
  }
  return *row;
}

// A row that used all its attempts moves to the campaign's result table and
// is not dialed. When the move fails the row is dialed once more, and so is a
// dialed row whose last result was never stored (the database failed then):
// moved, it would carry no result for a call that was made.
bool Channel::moveIfOverLimit(const PhoneRow& row) {
  const std::optional<int> limit = attemptLimit(settings());
  const bool dialedWithoutResult = row.attempts() > 0 && row.status.isEmpty();
  if (!limit || row.attempts() < *limit || dialedWithoutResult) return false;
  CallDatabase* db = env_.db();
  if (db && db->moveNumber(settings().Campanha, row.codigo).ok()) return true;
  log(QStringLiteral("Erro ao copiar/deletar registro."));
  return false;
}

void Channel::countAttempt(const PhoneRow& row, const QDateTime& now, const QTime& timeOfDay) {
  CallDatabase* db = env_.db();
  if (db && db->countAttempt(row.codigo, row.attempts() + 1, now.date(), timeOfDay).ok()) return;
  log(QStringLiteral("Erro ao atualizar registro de ligações."));
}

// OffHook and the settling second; tTemporizaTimer resumes with startNumber().
void Channel::seize() {
  lineCommand(LineCommand::OffHook);
  inCall_ = true;
  state_.Settling = true;
  resumeAfterSettling_ = true;
  timer(tTemporiza).start();
}

void Channel::tTemporizaTimer() {
  timer(tTemporiza).stop();
  state_.Settling = false;
  if (!resumeAfterSettling_) return;
  resumeAfterSettling_ = false;
  startNumber();
}

void Channel::startNumber() {
  prefix_ = settings().GetLinha;
  prefixPos_ = 0;
  state_.PrefixDialing = state_.PrefixSecond = state_.PrefixThird = false;
  state_.Dialing = true;
  state_.Status = status::kDialing;
  if (prefix_.isEmpty()) {
    timer(tDisca).start();  // the label follows when tDisca fires
    return;
  }
  state_.PrefixDialing = true;
  setLabel(label::kDialing);
  playPrefixDigit();
}

// Plays the next prefix digit; the last one starts the pause before the number.
void Channel::playPrefixDigit() {
  const QChar digit = prefix_.at(prefixPos_++);
  const auto length = prefix_.size();
  state_.PrefixSecond = prefixPos_ < 2 && length >= 2;
  state_.PrefixThird = prefixPos_ < length && length >= 3;
  if (!playDigit(digit)) return;
  if (prefixPos_ < length) return;
  if (length == 1 && traits_.logsPrefixCount) {
    log(QStringLiteral("Qtde de digitos para pegar linha em C%1 = 1").arg(number_));
  }
  timer(tGetLinha).start();
}

void Channel::tGetLinhaTimer() {
  state_.PrefixDialing = false;
  timer(tGetLinha).stop();
  timer(tDisca).start();
}

void Channel::tDiscaTimer() {
  timer(tDisca).stop();
  log(QStringLiteral("Canal %1 Discando para ").arg(number_) + state_.DialNumber);
  setLabel(label::kDialing);
  if (state_.DigitsLeft <= 0) {
    numberComplete();  // an empty number: nothing to play
    return;
  }
  if (!playDigit(state_.DialNumber.at(state_.DigitPos - 1))) return;
  --state_.DigitsLeft;
}

void Channel::PlayDigitoPlayDone() {
  if (!inCall_ || !state_.Dialing) return;  // no dial of ours is running
  if (state_.PrefixDialing) {
    if (prefixPos_ < prefix_.size()) playPrefixDigit();
    return;  // otherwise tGetLinha ends the pause
  }
  if (state_.DigitsLeft > 0) {
    state_.DigitPos = state_.DialLength - state_.DigitsLeft + 1;
    if (!playDigit(state_.DialNumber.at(state_.DigitPos - 1))) return;
    --state_.DigitsLeft;
    return;
  }
  numberComplete();
}

void Channel::numberComplete() {
  state_.Dialing = false;
  timer(tComuta).start();
  setLabel(label::kCalling);
  state_.Status = status::kAwaitRingback;
  if (ganho()) lineCommand(LineCommand::GainOn);
}

// Plays the dial file of `digit`. A file that cannot be played would leave
// the call without a running timer: it is logged, the call released, and the
// channel stops there (until "Inicia Discagem") rather than use up the
// attempts of its list on a sound it cannot make.
bool Channel::playDigit(QChar digit) {
  const QString file =
      env_.ProgramFolder + QStringLiteral("digitos/") + digit + QStringLiteral(".wav");
  const Status played = playOn(Player::Digit, file);
  if (played.ok()) return true;
  log(QStringLiteral("Erro ao reproduzir o dígito %1 no Canal %2.").arg(digit).arg(number_));
  stopAfterRelease_ = true;
  timer(tDesliga).start();
  return false;
}

// No ringback 60 s after the last digit: the dial did not complete.
void Channel::tComutaTimer() {
  timer(tComuta).stop();
  timer(tTcc).stop();
  timer(tDesliga).start();
  log(QStringLiteral("Discagem não concluida."));
  state_.Status = status::kWaitingMixed;
  if (CallDatabase* db = env_.db()) {
    (void)db->setNumberStatus(state_.RowCode, calldb::kStatusSwitchFailure);
  }
  if (ganho()) lineCommand(LineCommand::GainOff);
}

}  // namespace doruzudo
