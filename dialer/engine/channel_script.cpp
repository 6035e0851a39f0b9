// Channel: the answered-call script. When the message ends the number moves
// to the campaign's result table and TimeOut waits for a key; then the call
// mode (Trans) decides:
//
//   mode               wait after the message       keys         when the wait ends
//   "SIM"              250 ms                       0            transfer (announcement first)
//   "NÃO"              kept                         0            hang up after 50 ms
//   "Disque Opnião"    400 ms                       0            record the party
//   "NoveC<n>"         5500 ms (file), kept (text)  0, 9         hang up after 50 ms
//   "ConsBloqueioC<n>" kept                         0            transfer, or hang up in a
//                                                                transfer-block window
//   "Contato"          kept                         0, options 1-2  hang up after 50 ms
//   "PesqOpniao"       kept                         0, options 1-3  hang up after 50 ms
//
// "Kept": TimeOut keeps its interval (4000 ms after its first firing; 1000 ms
// before it on channel 2). A mode word not in the table hangs up as "NÃO".
//
// Key 0 repeats the message: at once when the wait runs and the message has
// ended, and 500 ms after the last key 0 through tZero. Once the wait has
// ended in an action (recording, transfer, hang-up, an option, key 9) key 0
// is no longer heard, so a repeat never starts a second recording or flash.
// A repeat that cannot start is logged and the wait goes on.
#include "common/call_database.h"
#include "common/event_log.h"
#include "dialer/engine/channel.h"
#include "dialer/engine/channel_view.h"
#include "dialer/engine/dialing_rules.h"
#include "dialer/line/voice.h"

namespace doruzudo {

namespace {

constexpr int kKey0 = '0';
constexpr int kKey9 = '9';
constexpr int kRepeatPauseMs = 250;  // before a spoken message is said again
constexpr int kHangUpMs = 50;

}  // namespace

// --- the end of the message ------------------------------------------------

void Channel::PlayPlayDone() {
  messageEnded(false);
}

void Channel::SpVoiceEndStream() {
  messageEnded(true);
}

void Channel::messageEnded(bool spoken) {
  if (!inCall_ || !state_.Answered) {
    if (spoken) state_.Speaking = false;  // a speech the release cut short
    return;
  }
  startWait();
  state_.Speaking = false;
  if (spoken) state_.Status = status::kWaiting;
  moveRow();
}

// TimeOut with the wait of the mode (or the interval it has).
void Channel::startWait() {
  const QString& trans = settings().Trans;
  int ms = 0;
  if (trans == mode::kTransfer) ms = 250;
  if (trans == mode::kRecord) ms = 400;
  if (trans == mode::nine(number_) && !spokenMessage()) ms = 5500;
  if (ms > 0) timer(TimeOut).setInterval(ms);
  timer(TimeOut).start();
}

// The first end of the message moves the row to the campaign's result
// table; a repeated message finds it moved already. When storing the answer
// failed earlier, it is stored now: a row is never moved without its result
// (it stays in the list, to be dialed again, when that fails too).
void Channel::moveRow() {
  CallDatabase* db = env_.db();
  auto row = db ? db->selectNumber(state_.RowCode)
                : Result<std::optional<PhoneRow>>::Error(QStringLiteral("not connected"));
  if (row.ok() && !row->has_value()) return;
  const bool resultStored = row.ok() && (!(*row)->status.isEmpty() ||
                                         storeResult(calldb::kStatusAnswered));
  if (!resultStored || !db->moveNumber(settings().Campanha, state_.RowCode).ok()) {
    log(QStringLiteral("Erro ao copiar registro no banco de dados."));
  }
  env_.view->setTitleColour(number_, ChannelView::kColourGreen);
}

bool Channel::messagePlaying() const {
  if (!spokenMessage()) return audio().playing(Player::Message);
  const Voice* v = voice();
  return v && v->runningState() == Voice::kSpeaking;
}

// --- keys ------------------------------------------------------------------

void Channel::tCanalDTMF(int key) {
  if (state_.Dialing || state_.Speaking) return;
  const bool waiting = timer(TimeOut).enabled();
  if (key == kKey9 && waiting && settings().Trans == mode::nine(number_)) {
    key9();
    return;
  }
  if (waiting) {
    if (const int option = optionOf(key)) {
      registerOption(option);
      return;
    }
  }
  if (!waiting && messagePlaying()) return;
  if (key == kKey0 && !state_.Idle && state_.Answered && !waitEnded_) key0();
}

// The option (1..3) `key` chooses in the channel's mode, or 0.
int Channel::optionOf(int key) const {
  const QString& trans = settings().Trans;
  const int options = trans == mode::kContact ? 2 : trans == mode::kSurvey ? 3 : 0;
  for (int k = 0; k < options; ++k) {
    if (settings().Digito.at(k) == key) return k + 1;
  }
  return 0;
}

// The answer goes to Opcao1 of the number's result row; its confirmation
// (when it can be played) ends the call, or the call ends at once. An
// answer that cannot be stored is logged and the call ends all the same.
void Channel::registerOption(int option) {
  endWait();
  setLabel(label::kRegistering);
  const auto k = static_cast<size_t>(option - 1);
  CallDatabase* db = env_.db();
  if (!db ||
      !db->setOption(settings().Campanha, state_.RowCode, settings().TextoDigito.at(k)).ok()) {
    log(QStringLiteral("Erro ao registrar opção no banco de dados."));
  }
  const QString& confirmation = settings().PathDigito.at(k);
  if (!confirmation.isEmpty() && playOn(Player::Reply, confirmation).ok()) return;
  timer(tDesliga).start();
}

// Key 9 in mode "NoveC<n>": the announcement, then the transfer; without an
// announcement the transfer at once. Channels 5 to 8 leave TimeOut running
// while the announcement plays: if it ends first the call hangs up.
void Channel::key9() {
  waitEnded_ = true;
  timer(tZero).stop();
  if (traits_.key9StopsTimeOut) timer(TimeOut).stop();
  if (playOn(Player::Reply, announcementFile()).ok()) return;
  setLabel(label::kTransferring);
  timer(TimeOut).stop();
  flashAndTransfer(traits_.key9FlashExtraMs);
}

void Channel::key0() {
  if (timer(tZero).enabled()) {
    timer(tZero).restart();  // the repeat moves 500 ms later
    return;
  }
  timer(tZero).start();
  if (!timer(TimeOut).enabled() || messagePlaying()) return;
  timer(TimeOut).stop();
  const QString error = QStringLiteral("Erro ao reproduzir audio do Canal %1.").arg(number_);
  if (spokenMessage()) {
    timer(tZero).stop();
    repeatSpoken(error);
    return;
  }
  // tZero stays on and plays the file once more when it fires.
  if (!repeatFile(error)) timer(tZero).stop();
}

void Channel::tZeroTimer() {
  timer(tZero).stop();
  timer(TimeOut).stop();
  if (spokenMessage()) {
    repeatSpoken(traits_.delayedRepeatError());
  } else {
    (void)repeatFile(traits_.delayedRepeatError());
  }
}

// Says the message again after a 250 ms pause; keys wait meanwhile, as they
// wait while it is said.
void Channel::repeatSpoken(const QString& error) {
  state_.Speaking = true;
  if (repeatPause_) env_.scheduler->cancel(repeatPause_);
  repeatPause_ = env_.scheduler->callLater(
      kRepeatPauseMs,
      [this, error] {
        repeatPause_ = 0;
        Voice* v = voice();
        const Status said =
            v ? v->speak(settings().Texto) : Status::Error(QStringLiteral("no speech voice"));
        if (!said.ok()) {
          state_.Speaking = false;
          log(error);
          startWait();
          return;
        }
        env_.view->setTitleColour(number_, ChannelView::kColourRed);
      },
      channelValue("tZero", number_));
}

bool Channel::repeatFile(const QString& error) {
  env_.view->setTitleColour(number_, ChannelView::kColourRed);
  if (playOn(Player::Message, settings().PathAudio).ok()) return true;
  log(error);
  startWait();
  return false;
}

// --- the end of the wait -----------------------------------------------------

void Channel::TimeOutTimer() {
  endWait();
  const QString& trans = settings().Trans;
  if (trans == mode::kRecord) {
    setLabel(label::kRecording);
    startRecording();
  } else if (trans == mode::kTransfer) {
    announceAndTransfer();
  } else if (trans == mode::blockCheck(number_) &&
             !inTransferBlockWindow(*env_.general, env_.scheduler->timeOfDay())) {
    flashAndTransfer(3000);
  } else {
    hangUp();
  }
}

// The wait is over: TimeOut back to 4000 ms and off, no repeat pending.
void Channel::endWait() {
  timer(TimeOut).setInterval(4000);
  timer(TimeOut).stop();
  timer(tZero).stop();
  waitEnded_ = true;
}

void Channel::hangUp() {
  timer(tDesliga).setInterval(kHangUpMs);
  timer(tDesliga).start();
}

void Channel::announceAndTransfer() {
  if (playOn(Player::Reply, announcementFile()).ok()) return;
  setLabel(label::kTransferring);
  flashAndTransfer(3000);
}

QString Channel::announcementFile() const {
  return env_.ProgramFolder + QStringLiteral("audio/TransC%1.wav").arg(number_);
}

// A confirmation or the announcement ended. A call already being released
// goes no further; a mode that has nothing to follow hangs up.
void Channel::RepAudioPlayDone() {
  if (!inCall_ || !state_.Answered || timer(tDesliga).enabled()) return;
  const QString& trans = settings().Trans;
  if (trans == mode::kTransfer || trans == mode::nine(number_)) {
    setLabel(label::kTransferring);
    timer(TimeOut).stop();
    flashAndTransfer(3000);
    return;
  }
  timer(tDesliga).start();
}

}  // namespace doruzudo
