#include "dialer/line/call_recorder.h"

#include <QDir>

#include "common/call_database.h"
#include "common/event_log.h"
#include "dialer/line/call_recorder_file.h"

namespace doruzudo {

namespace {
const QString kRecordingStatus = QStringLiteral("GRAVANDO");
const QString kWaitingStatus = QStringLiteral("AGUARDANDO");
}  // namespace

CallRecorder::CallRecorder(Scheduler& scheduler, EventLog& log,
                           std::function<CallDatabase*()> database)
    : scheduler_(scheduler), log_(log), database_(std::move(database)) {}

CallRecorder::~CallRecorder() {
  if (retry_) scheduler_.cancel(retry_);
}

void CallRecorder::setFormat(int tipoArquivo, int sampleRate) {
  tipoArquivo_ = tipoArquivo;
  sampleRate_ = sampleRate;
}

QString CallRecorder::fileName(const QString& label, const QDateTime& at,
                               const QString& extension) {
  return label + QLatin1Char('-') + at.toString(QStringLiteral("ddMMyyyy")) + QLatin1Char('-') +
         at.toString(QStringLiteral("HHmmss")) + extension;
}

CallRecorder::Started CallRecorder::Grava(ChannelAudio& audio, int channel, const QString& label) {
  Started result;
  const QDateTime now = scheduler_.now();
  const Result<RecordFormat> format = recordFormatFor(tipoArquivo_, sampleRate_);
  if (!format) {
    log_.AddMsg(QStringLiteral("Formato de gravação não suportado: %1.").arg(format.message()));
    result.status = kWaitingStatus;
    return result;
  }
  result.path = day_.day + QLatin1Char('/') + fileName(label, now, format->extension());
  result.at = now;
  writeKeptRows();
  result.recordingId = insertRow(channel, label, now, result.path);
  ensureDayFolder();
  const Status started = audio.startRecording(result.path, *format);
  if (!started) {
    log_.AddMsg(QStringLiteral("Stream do Canal %1 não esta ativo.").arg(channel));
    log_.AddMsg(QStringLiteral("Erro no stream do canal %1").arg(channel));
    result.status = kWaitingStatus;
    dropRow(result.recordingId);
    result.recordingId = 0;
    return result;
  }
  log_.AddMsg(QStringLiteral("Iniciando Gravação do Canal %1").arg(channel));
  result.recording = true;
  result.status = kRecordingStatus;
  return result;
}

int64_t CallRecorder::insertRow(int channel, const QString& label, const QDateTime& at,
                                const QString& path) {
  CallDatabase* db = database_ ? database_() : nullptr;
  Result<int64_t> id = db ? db->insertRecording({label, at.date(), at.time(), path, channel})
                          : Result<int64_t>::Error(QStringLiteral("no database"));
  if (!id) {
    log_.AddMsg(QStringLiteral("Erro ao inserir no Banco de dados."));
    return 0;
  }
  return *id;
}

int64_t CallRecorder::insertLateRow(const Started& started, int channel, const QString& label) {
  writeKeptRows();
  return insertRow(channel, label, started.at, started.path);
}

void CallRecorder::keepRow(const Started& started, int channel, const QString& label,
                           const QString& destino, const QString& origem, const QTime& horaFin) {
  kept_.push_back({label, started.path, destino, origem, started.at, channel, horaFin});
  retryKeptRows();
}

void CallRecorder::retryKeptRows() {
  if (retry_ || kept_.empty()) return;
  retry_ = scheduler_.callLater(kKeptRetryMs, [this] {
    retry_ = 0;
    writeKeptRows();
    retryKeptRows();
  });
}

void CallRecorder::writeKeptRows() {
  CallDatabase* db = database_ ? database_() : nullptr;
  while (db && !kept_.empty()) {
    const KeptRow& row = kept_.front();
    const Result<int64_t> id =
        db->insertRecording({row.label, row.at.date(), row.at.time(), row.path, row.channel});
    if (!id) return;  // still failing: kept for the next time
    if (!db->completeRecording(*id, row.destino, row.origem, row.horaFin)) {
      log_.AddMsg(QStringLiteral("Erro ao finalizar registro da gravação no Canal %1.").arg(row.channel));
    }
    kept_.erase(kept_.begin());
  }
}

void CallRecorder::dropRow(int64_t id) {
  if (id == 0) return;
  CallDatabase* db = database_ ? database_() : nullptr;
  if (db && db->deleteRecording(id).ok()) return;
  log_.AddMsg(QStringLiteral("Erro ao excluir do Banco de dados o registro da gravação %1.").arg(id));
}

void CallRecorder::ensureDayFolder() {
  if (QDir(day_.day).exists()) return;
  log_.AddMsg(QStringLiteral("Diretório de gravação foi excluido ou alterado."));
  QDir dir;
  for (const QString& path : {day_.root, day_.year, day_.month, day_.day}) {
    if (!QDir(path).exists()) dir.mkdir(path);
  }
  if (QDir(day_.day).exists()) {
    log_.AddMsg(QStringLiteral("Diretório foi recriado com sucesso."));
  } else {
    log_.AddMsg(QStringLiteral("Erro ao recriar o diretório de gravação."));
  }
}

uint64_t CallRecorder::Stop(ChannelAudio& audio, int channel, std::function<void(bool)> done) {
  log_.AddMsg(QStringLiteral("Finalizando Gravação do Canal %1").arg(channel));
  return scheduler_.callLater(
      kStopWaitMs,
      [this, &audio, channel, done = std::move(done)] {
        bool stopped = true;
        if (audio.recording() && !audio.stopRecording().ok()) {
          log_.AddMsg(QStringLiteral("Erro ao parar gravação no Canal %1").arg(channel));
          stopped = false;
        }
        if (done) done(stopped);
      },
      QStringLiteral("Stop"));
}

}  // namespace doruzudo
