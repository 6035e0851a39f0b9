// CallRecorder: the recording of answered calls (GravaC<n> and Stop), for the
// eight channels.
//
// Start (Grava): the file is named after the channel's label and the moment
// of the start, "CANAL 1-25122010-143005.wav", and goes into the day folder
// of the recordings tree prepared at start-up (setDay), also for recordings
// started after midnight. One registro row describes it (ramal, start date
// and time, path, channel number, ouvida "Não"); its id is the id of the row
// just inserted. A day folder deleted while the program runs is created
// again, root first. The line's input stream is then recorded in the format
// of setFormat() (the recording settings loaded at start-up).
//
// Stop: logs, waits 150 ms (a continuation), stops the recording if one runs
// and reports whether the channel may be marked waiting.
//
// The status words and the recording flag are the engine's (ChannelState):
// Grava returns what to set, Stop hands its result to a callback.
//
// Where the start fails:
//   - the row cannot be inserted: logged, the recording goes on without a
//     row, and recordingId is 0, so the engine completes no row (never
//     another recording's);
//   - the stored format is outside the table (MP3 at 44100 Hz, an unknown
//     rate): logged, nothing is recorded and no row is inserted;
//   - the stream refuses to record (a full disk): logged, status
//     "AGUARDANDO", and the row just inserted is deleted again: it would list
//     a recording that does not exist. When the delete fails too it is
//     logged and the row stays.
// A recording that runs without a row gets one when it ends (insertLateRow);
// when that fails too, the finished row is kept (keepRow) and written before
// the next recording starts or, at the latest, by a retry every 5 s, so that
// no recording stays out of the browser while the program runs.
//
// Threads: main thread only.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "common/scheduler.h"
#include "dialer/line/channel_audio.h"

namespace doruzudo {

class CallDatabase;
class EventLog;

// The recordings folders of the start-up day, as the start-up prepared them:
// the root and the year, month and day folders (each a full path; the first
// two end with "/", the day does not).
struct RecordingDay {
  QString root, year, month, day;
};

class CallRecorder {
 public:
  static constexpr int kStopWaitMs = 150;

  struct Started {
    bool recording = false;   // the engine's Recording flag
    QString status;           // the engine's Status: "GRAVANDO" or "AGUARDANDO"
    int64_t recordingId = 0;  // the engine's RecordingId; 0: no row to complete
    QString path;             // the recording's file ("" when the format was refused)
    QDateTime at;             // when it started
  };

  static constexpr int kKeptRetryMs = 5000;

  CallRecorder(Scheduler& scheduler, EventLog& log, std::function<CallDatabase*()> database);
  ~CallRecorder();  // cancels a pending retry
  CallRecorder(const CallRecorder&) = delete;
  CallRecorder& operator=(const CallRecorder&) = delete;

  void setDay(const RecordingDay& day) { day_ = day; }
  const RecordingDay& day() const { return day_; }
  // TipoArquivo (0 Wave, 1 MP3) and SampleRate as loaded at start-up.
  void setFormat(int tipoArquivo, int sampleRate);

  // GravaC<n>: starts recording `audio` (channel `channel`'s line) for the
  // channel labelled `label` ("CANAL 1").
  Started Grava(ChannelAudio& audio, int channel, const QString& label);

  // The row of a recording that started without one (its insert failed),
  // inserted as Grava would have: the id, or 0 (logged) when it fails again.
  int64_t insertLateRow(const Started& started, int channel, const QString& label);
  // The whole row of a finished recording that could not be written: kept,
  // and written (inserted, then completed) before the next recording's row.
  void keepRow(const Started& started, int channel, const QString& label, const QString& destino,
               const QString& origem, const QTime& horaFin);
  int keptRows() const { return static_cast<int>(kept_.size()); }

  // Stop: after 150 ms `done(true)` when the recording is stopped or was not
  // running (the engine then sets Status "AGUARDANDO"), `done(false)` when
  // stopping failed. Returns the scheduler id of the pending continuation.
  uint64_t Stop(ChannelAudio& audio, int channel, std::function<void(bool stopped)> done);

  // "CANAL 1-25122010-143005.wav".
  static QString fileName(const QString& label, const QDateTime& at, const QString& extension);

 private:
  int64_t insertRow(int channel, const QString& label, const QDateTime& at, const QString& path);
  void ensureDayFolder();
  void dropRow(int64_t id);
  void writeKeptRows();
  void retryKeptRows();

  struct KeptRow {
    QString label, path, destino, origem;
    QDateTime at;
    int channel = 0;
    QTime horaFin;
  };

  Scheduler& scheduler_;
  EventLog& log_;
  std::function<CallDatabase*()> database_;
  RecordingDay day_;
  int tipoArquivo_ = 0;
  int sampleRate_ = 8000;
  std::vector<KeptRow> kept_;
  uint64_t retry_ = 0;  // pending retry of the kept rows
};

}  // namespace doruzudo
