// Channel: the party recording of mode "Disque Opnião". It starts 400 ms
// after the message (label "Gravando", the recorder's GravaC<n>, tTempoMax)
// and ends by whichever comes first: 10 s of silence (tSilence), 60 s in all
// (tTempoMax), or the fourth busy burst of the party hanging up. The end
// completes the recording's registro row (FinalizaC<n>: destino, origem,
// hora_fin), stops the recording (150 ms) and releases the call.
//
// Where it differs from a plain reading of the recorder's contract, so that
// every call ends in a release:
//   - a recording that did not start (no recorder, the stream refused) is
//     logged and the call released 50 ms later, as the hang-up modes do;
//   - a row that cannot be completed is logged, and the recording is stopped
//     and the call released all the same;
//   - silence counts from the recording's start, not from the message, and
//     only four busy bursts in a row end it: the party's own voice does not;
//   - the end is driven by the channel's own Recording flag, so a recording
//     the device dropped (a full disk) still ends at 60 s at the latest;
//   - a recording that began without its row (the insert failed) gets it at
//     the end, or, failing again, before the next recording starts, so that
//     no recording is left where the browser cannot find it.
#include <utility>

#include "common/call_database.h"
#include "common/event_log.h"
#include "dialer/engine/channel.h"
#include "dialer/engine/channel_view.h"
#include "dialer/line/call_recorder.h"

namespace doruzudo {

namespace {

constexpr int kBusyBurstsToEnd = 4;
constexpr int kNotStartedMs = 50;

}  // namespace

void Channel::startRecording() {
  CallRecorder* recorder = env_.recorder;
  if (!recorder) {
    log(QStringLiteral("Gravação não iniciada no Canal %1.").arg(number_));
    state_.Status = status::kWaiting;
  } else {
    recordingStarted_ = recorder->Grava(audio(), number_, recordingLabel());
    state_.RecordingId = recordingStarted_.recordingId;
    state_.Status = recordingStarted_.status;
    state_.Recording = recordingStarted_.recording;
  }
  if (!state_.Recording) {
    timer(tDesliga).setInterval(kNotStartedMs);
    timer(tDesliga).start();
    return;
  }
  timer(tTempoMax).start();
  if (lineSilent_) timer(tSilence).start();
}

// The ten seconds of silence count from the recording's start at the
// earliest: a party listening quietly to the message has not ended it.
QString Channel::recordingLabel() const {
  return QStringLiteral("CANAL %1").arg(number_);
}

void Channel::tCanalSilenceStart() {
  lineSilent_ = true;
  if (settings().Trans == mode::kRecord && state_.Recording) timer(tSilence).start();
}

void Channel::tCanalSilenceEnd() {
  lineSilent_ = false;
  if (settings().Trans == mode::kRecord) timer(tSilence).stop();
}

// Ten seconds of silence. The timer does not stop itself: the release does.
void Channel::tSilenceTimer() {
  if (settings().Trans == mode::kRecord && state_.Recording) endRecording();
}

void Channel::tTempoMaxTimer() {
  timer(tTempoMax).stop();
  timer(tSilence).stop();
  if (state_.Recording) endRecording();
}

// A busy burst while recording: the fourth in a row means the party hung up
// (any other burst between them, the party's voice, starts the count again).
void Channel::recordingBusyBurst() {
  if (++state_.BusyCount != kBusyBurstsToEnd) return;
  setLabel(label::kWaiting);
  state_.BusyCount = 0;
  endRecording();
}

void Channel::endRecording() {
  state_.Recording = false;
  FinalizaC();
  if (!env_.recorder) {
    timer(tDesliga).start();
    return;
  }
  recordingStop_ = env_.recorder->Stop(audio(), number_, [this](bool stopped) {
    recordingStop_ = 0;
    if (stopped) state_.Status = status::kWaiting;
    timer(tDesliga).start();  // also when the recording would not stop
  });
}

// Completes the recording's registro row. A recording whose row could not
// be inserted has no id, and no other recording's row is touched.
void Channel::FinalizaC() {
  const QTime end = env_.scheduler->timeOfDay();
  const QString destino = state_.SavedNumber;
  state_.SavedNumber.clear();
  const CallRecorder::Started started = std::exchange(recordingStarted_, {});
  if (state_.RecordingId == 0 && started.recording && env_.recorder) {
    state_.RecordingId = env_.recorder->insertLateRow(started, number_, recordingLabel());
    if (state_.RecordingId == 0) {
      env_.recorder->keepRow(started, number_, recordingLabel(), destino, settings().Campanha, end);
      return;
    }
  }
  if (state_.RecordingId == 0) return;
  CallDatabase* db = env_.db();
  if (db && db->completeRecording(state_.RecordingId, destino, settings().Campanha, end).ok()) {
    return;
  }
  log(QStringLiteral("Erro ao finalizar registro da gravação no Canal %1.").arg(number_));
}

}  // namespace doruzudo
