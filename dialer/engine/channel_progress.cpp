// Channel: call progress after the last digit. The tone decoder reports each
// burst it hears at its end, with its frequency and duration; the bursts are
// classed by fixed windows around the 425 Hz call-progress tone, and four
// timers supervise them (tComuta is with the dialing):
//
//   burst                 Hz          ms          counted when
//   ringback              400..450    900..1100   not dialing
//   short ringback        400..450    620..690    not dialing (restarts tTcc)
//   voice                 100..2500   50..899     "CHAMANDO", not dialing, recording,
//                                                 speaking nor answered
//   busy                  400..450    200..280    not "CHAMANDO", not recording,
//                                                 speaking nor answered
//   busy while recording  400..450    200..299    recording in mode "Disque Opnião"
//                                                 (four in a row end the recording)
//
// Every bound is inclusive. Tone events are ignored while Status is
// "AGUARDANDO" or "REPRODUZINDO".
//
// Results go to the number's row (Busy "SIM" and Status); a result that
// cannot be stored changes nothing else: the call still ends or goes on.
#include "common/call_database.h"
#include "common/event_log.h"
#include "dialer/engine/channel.h"
#include "dialer/engine/channel_view.h"
#include "dialer/line/line_port.h"
#include "dialer/line/voice.h"

namespace doruzudo {

namespace {

struct Range {
  double low, high;
  bool contains(double value) const { return low <= value && value <= high; }
};

constexpr Range kToneHz{400, 450};  // the call-progress tone
constexpr Range kRingMs{900, 1100};
constexpr Range kShortRingMs{620, 690};
constexpr Range kVoiceHz{100, 2500};
constexpr Range kVoiceMs{50, 899};
constexpr Range kBusyMs{200, 280};
constexpr Range kRecordingBusyMs{200, 299};
constexpr int kBusyBursts = 4;  // the fourth busy burst ends the call

}  // namespace

void Channel::tCanalFrequencyDetected(double frequency, int durationMs) {
  if (state_.Status == status::kWaiting || state_.Status == status::kPlaying) return;
  const bool tone = kToneHz.contains(frequency);
  if (tone && !state_.Dialing) {
    if (kShortRingMs.contains(durationMs)) {
      if (traits_.startsTcc) timer(tTcc).restart();
    } else if (kRingMs.contains(durationMs) && ringBurst()) {
      return;
    }
  }
  if (state_.Status == status::kRinging) {
    if (!state_.Dialing && !state_.Recording && !state_.Speaking && !state_.Answered &&
        kVoiceHz.contains(frequency) && kVoiceMs.contains(durationMs)) {
      timer(tAudio).start();  // the party speaks: answered
      timer(tTcc).stop();
    }
    return;
  }
  if (state_.Recording && !(tone && kRecordingBusyMs.contains(durationMs))) state_.BusyCount = 0;
  if (!tone) return;
  if (state_.Recording) {
    if (kRecordingBusyMs.contains(durationMs) && settings().Trans == mode::kRecord) {
      recordingBusyBurst();
    }
    return;
  }
  if (!state_.Speaking && !state_.Answered && kBusyMs.contains(durationMs)) busyBurst();
}

// A ringback burst: the call rings. The one after Toques rings abandons it.
bool Channel::ringBurst() {
  ++state_.RingCount;
  state_.Status = status::kRinging;
  timer(tComuta).stop();
  timer(tSilencio).restart();
  if (traits_.startsTcc) timer(tTcc).restart();
  if (state_.RingCount < settings().Toques + 1) return false;
  state_.Status = status::kWaiting;
  timer(tTcc).stop();
  timer(tSilencio).stop();
  if (storeResult(calldb::kStatusNoAnswer)) {
    setLabel(label::kNoAnswer);
  } else {
    state_.RingCount = 0;
  }
  timer(tDesliga).start();
  return true;
}

void Channel::busyBurst() {
  if (++state_.BusyCount < kBusyBursts) return;
  (void)storeResult(calldb::kStatusBusy);
  setLabel(label::kBusy);
  state_.BusyCount = 0;
  timer(tDesliga).start();
}

bool Channel::storeResult(const QString& result) {
  CallDatabase* db = env_.db();
  return db && db->setNumberStatus(state_.RowCode, result).ok();
}

// The ringback stopped 5.5 s ago (channels 1 and 5 to 8): answered, even if
// the party has said nothing.
void Channel::tTccTimer() {
  timer(tTcc).stop();
  timer(tAudio).start();
}

// No ringback burst for 10 s and no answer: the call failed.
void Channel::tSilencioTimer() {
  timer(tSilencio).stop();
  timer(tDesliga).start();
  log(QStringLiteral("Falha na chamada."));
  state_.Status = status::kWaiting;
  (void)storeResult(calldb::kStatusCallFailure);
  if (ganho()) lineCommand(LineCommand::GainOff);
}

// The answer: the row says so and the message starts. A TextoHab that is
// neither "SIM" nor "NÃO" starts nothing; tSilencio then ends the call.
// tTcc stops too, so that a ringback burst heard in the last 500 ms cannot
// answer the call a second time.
void Channel::tAudioTimer() {
  timer(tAudio).stop();
  const QString& kind = settings().TextoHab;
  if (kind != QStringLiteral("SIM") && kind != QStringLiteral("NÃO")) return;
  if (ganho()) lineCommand(LineCommand::GainOff);
  timer(tSilencio).stop();
  timer(tComuta).stop();
  timer(tTcc).stop();
  state_.Answered = true;
  (void)storeResult(calldb::kStatusAnswered);
  state_.Idle = false;
  waitEnded_ = false;
  if (const Status started = startMessage(); !started.ok()) {
    log(QStringLiteral("Erro ao iniciar a mensagem no Canal %1: %2")
            .arg(number_)
            .arg(started.message()));
    state_.Status = status::kWaiting;  // tone events no longer count
    timer(tDesliga).start();
    return;
  }
  state_.Status = status::kPlaying;
  setLabel(label::kPlaying);
  state_.Speaking = true;
  state_.RingCount = 0;
}

Status Channel::startMessage() {
  if (!spokenMessage()) return playOn(Player::Message, settings().PathAudio);
  Voice* v = voice();
  if (!v) return Status::Error(QStringLiteral("no speech voice"));
  return v->speak(settings().Texto);
}

}  // namespace doruzudo
