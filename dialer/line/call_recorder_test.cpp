// Call recordings through the simulated line: names, folders, formats, rows,
// log lines and the failures of the start and the stop.
#include "dialer/line/call_recorder.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cmath>

#include "common/call_database.h"
#include "common/event_log.h"
#include "common/manual_scheduler.h"
#include "dialer/line/call_recorder_file.h"
#include "dialer/line/channel_audio_sim.h"
#include "dialer/line/signal_synth.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

struct SoundFileInfo {
  bool opened = false;
  int rate = 0, channels = 0, majorFormat = 0;
  int64_t frames = 0;
  double rmsDbfs = -200;
};

SoundFileInfo inspect(const QString& path) {
  SoundFileInfo result;
  SF_INFO info{};
  SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
  if (!f) return result;
  result = {true, info.samplerate, info.channels, info.format & SF_FORMAT_TYPEMASK, 0, -200};
  std::vector<short> block(4096);
  double sum = 0;
  for (sf_count_t n; (n = sf_read_short(f, block.data(), sf_count_t(block.size()))) > 0;) {
    for (sf_count_t i = 0; i < n; ++i) sum += double(block[size_t(i)]) * block[size_t(i)];
    result.frames += n;
  }
  sf_close(f);
  if (result.frames > 0 && sum > 0) {
    result.rmsDbfs = 20 * std::log10(std::sqrt(sum / double(result.frames)) / 32768);
  }
  return result;
}

// The bit rate in kbit/s of the first MPEG audio frame of a file, or 0.
int mp3BitRate(const QString& path) {
  const QByteArray b = testing::readFile(path);
  qsizetype i = 0;
  if (b.startsWith("ID3") && b.size() > 10) {
    i = 10 + ((b[6] & 0x7f) << 21 | (b[7] & 0x7f) << 14 | (b[8] & 0x7f) << 7 | (b[9] & 0x7f));
  }
  static const int kMpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static const int kMpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  for (; i + 3 < b.size(); ++i) {
    const auto h1 = uchar(b[i + 1]), h2 = uchar(b[i + 2]);
    if (uchar(b[i]) != 0xFF || (h1 & 0xE0) != 0xE0 || (h2 >> 4) == 0 || (h2 >> 4) == 15) continue;
    return ((h1 >> 3) & 3) == 3 ? kMpeg1[h2 >> 4] : kMpeg2[h2 >> 4];
  }
  return 0;
}

class Recording : public ::testing::Test {
 protected:
  Recording() {
    db = *CallDatabase::openFile(QStringLiteral(":memory:"));
    day = {root(), root() + "2010/", root() + "2010/Dezembro/", root() + "2010/Dezembro/25"};
    QDir().mkpath(day.day);
    recorder.setDay(day);
    for (int n = 0; n < 3; ++n) {
      auto& line = lines.emplace_back(std::make_unique<ChannelAudioSim>(clock, channelName(n + 1)));
      line->openDevices(line->deviceName(), line->deviceName());
    }
  }
  QString root() const { return dir.path() + "/Gravações/"; }
  static QString channelName(int n) { return QStringLiteral("MD0%1").arg(n); }
  ChannelAudioSim& line(int n) { return *lines[size_t(n - 1)]; }
  // What the far end says: a 1 kHz tone at -10 dBm0.
  void talk(int n, int ms) {
    synth::Signal s;
    s.tone(1000, -10, ms);
    line(n).farEnd().deliver(s.pcm());
  }
  bool logged(const QString& text) const { return log.lines().filter(text).size() == 1; }
  bool stopNow(int n) {
    std::optional<bool> result;
    recorder.Stop(line(n), n, [&](bool ok) { result = ok; });
    clock.advance(CallRecorder::kStopWaitMs);
    return result.value_or(false);
  }

  testing::TempDir dir;
  ManualScheduler clock{QDateTime(QDate(2010, 12, 25), QTime(14, 30, 5))};
  EventLog log{clock};
  std::shared_ptr<CallDatabase> db;
  RecordingDay day;
  CallRecorder recorder{clock, log, [this] { return db.get(); }};
  std::vector<std::unique_ptr<ChannelAudioSim>> lines;
};

struct FormatCase {
  int tipo, rate;
  const char* extension;
  int majorFormat;
  int kbps;  // MP3 only
  const char* name;
};

TEST_F(Recording, EachFormatOfTheTableGivesItsFileAndRow) {
  const FormatCase cases[] = {
      {0, 8000, ".wav", SF_FORMAT_WAV, 0, "PCM 8.000 kHz; 16 Bit; Mono"},
      {0, 11025, ".wav", SF_FORMAT_WAV, 0, "PCM 11.025 kHz; 16 Bit; Mono"},
      {0, 22050, ".wav", SF_FORMAT_WAV, 0, "PCM 22.050 kHz; 16 Bit; Mono"},
      {0, 44100, ".wav", SF_FORMAT_WAV, 0, "PCM 44.100 kHz; 16 Bit; Mono"},
      {1, 8000, ".mp3", SF_FORMAT_MPEG, 24, "Lame MP3 24 kBit/s, 8,000 Hz, Mono"},
      {1, 11025, ".mp3", SF_FORMAT_MPEG, 24, "Lame MP3 24 kBit/s, 11,025 Hz, Mono"},
      {1, 22050, ".mp3", SF_FORMAT_MPEG, 32, "Lame MP3 32 kBit/s, 22,050 Hz, Mono"},
  };
  ASSERT_TRUE(line(1).startStream().ok());
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(QStringLiteral("%1 %2").arg(c.tipo).arg(c.rate).toStdString());
    clock.advance(1000 - clock.now().time().msec());  // a new second: a new name
    const QDateTime start = clock.now();
    EXPECT_EQ(recordFormatName(*recordFormatFor(c.tipo, c.rate)), QString(c.name));
    recorder.setFormat(c.tipo, c.rate);
    talk(1, 3000);
    const CallRecorder::Started started = recorder.Grava(line(1), 1, "CANAL 1");
    EXPECT_TRUE(started.recording);
    EXPECT_EQ(started.status, "GRAVANDO");
    const QString expected =
        day.day + "/CANAL 1-" + start.toString("ddMMyyyy-HHmmss") + QString(c.extension);
    EXPECT_EQ(started.path, expected);
    clock.advance(3000);
    EXPECT_TRUE(stopNow(1));
    EXPECT_FALSE(line(1).recording());

    const SoundFileInfo info = inspect(expected);
    ASSERT_TRUE(info.opened);
    EXPECT_EQ(info.rate, c.rate);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.majorFormat, c.majorFormat);
    // 3 s of talk and the 150 ms of the stop; MP3 adds its encoder's delay and padding.
    const double seconds = double(info.frames) / c.rate;
    EXPECT_NEAR(seconds, 3.15, 0.03 + (c.kbps ? 0.15 : 0)) << seconds;
    EXPECT_NEAR(info.rmsDbfs, -16.2, 1.0) << "the far end's -10 dBm0 tone";
    if (c.kbps) EXPECT_EQ(mp3BitRate(expected), c.kbps);

    const auto row = db->recording(started.recordingId);
    ASSERT_TRUE(row.ok() && row->has_value());
    const RecordingRow& r = **row;
    EXPECT_EQ(r.ramal, "CANAL 1");
    EXPECT_EQ(r.path, expected);
    EXPECT_EQ(r.nCanal, "1");
    EXPECT_EQ(r.ouvida, QString::fromUtf8("Não"));
    EXPECT_EQ(r.dataIni, start.date());
    EXPECT_EQ(r.horaIni, start.time());
  }
  EXPECT_EQ(log.lines().filter(QString::fromUtf8("Iniciando Gravação do Canal 1")).size(), 7);
}

TEST_F(Recording, Mp3At44100IsRefusedWithoutARow) {
  ASSERT_TRUE(line(1).startStream().ok());
  EXPECT_FALSE(recordFormatFor(1, 44100).ok());
  EXPECT_FALSE(recordFormatFor(0, 16000).ok());
  recorder.setFormat(1, 44100);
  const CallRecorder::Started started = recorder.Grava(line(1), 1, "CANAL 1");
  EXPECT_FALSE(started.recording);
  EXPECT_EQ(started.status, "AGUARDANDO");
  EXPECT_EQ(started.recordingId, 0);
  EXPECT_FALSE(line(1).recording());
  EXPECT_TRUE(db->allRecordings()->empty());
}

// Channel 3 without a running stream: the channel waits, and no row lists a
// recording that does not exist (unless deleting it fails too).
TEST_F(Recording, AStreamThatCannotRecordLeavesNoRowAndTheChannelWaiting) {
  const CallRecorder::Started started = recorder.Grava(line(3), 3, "CANAL 3");
  EXPECT_FALSE(started.recording);
  EXPECT_EQ(started.status, "AGUARDANDO");
  EXPECT_EQ(started.recordingId, 0);
  EXPECT_TRUE(logged(QString::fromUtf8("Stream do Canal 3 não esta ativo.")));
  EXPECT_TRUE(logged("Erro no stream do canal 3"));
  EXPECT_TRUE(db->allRecordings()->empty());
  EXPECT_TRUE(started.path.contains("/CANAL 3-25122010-143005.wav"));
  EXPECT_FALSE(QFile::exists(started.path));

  ASSERT_TRUE(db->connection()
                  .exec("CREATE TRIGGER no_delete BEFORE DELETE ON registro "
                        "BEGIN SELECT RAISE(ABORT, 'locked'); END")
                  .ok());
  clock.advance(1000);
  const CallRecorder::Started kept = recorder.Grava(line(3), 3, "CANAL 3");
  EXPECT_EQ(kept.recordingId, 0);
  ASSERT_EQ(db->allRecordings()->size(), 1u);
  EXPECT_EQ(db->allRecordings()->front().ramal, "CANAL 3");
  EXPECT_TRUE(logged(QString::fromUtf8("Erro ao excluir do Banco de dados o registro da gravação")));
}

// After midnight the file goes into the start-up day's folder, named with the new date.
TEST_F(Recording, ARecordingOfTheNextDayStaysInTheStartUpFolder) {
  ASSERT_TRUE(line(2).startStream().ok());
  clock.setNow(QDateTime(QDate(2010, 12, 26), QTime(0, 0, 7)));
  const CallRecorder::Started started = recorder.Grava(line(2), 2, "CANAL 2");
  EXPECT_EQ(started.path, day.day + "/CANAL 2-26122010-000007.wav");
  EXPECT_TRUE(QFile::exists(started.path));
}

TEST_F(Recording, ADeletedDayFolderIsCreatedAgain) {
  ASSERT_TRUE(line(1).startStream().ok());
  ASSERT_TRUE(QDir(root()).removeRecursively());
  const CallRecorder::Started started = recorder.Grava(line(1), 1, "CANAL 1");
  EXPECT_TRUE(started.recording);
  EXPECT_TRUE(QFile::exists(started.path));
  const QStringList lines = log.lines();
  const auto at = [&](const char* text) {
    for (int i = 0; i < lines.size(); ++i) {
      if (lines[i].contains(QString::fromUtf8(text))) return i;
    }
    return -1;
  };
  EXPECT_GE(at("Diretório de gravação foi excluido ou alterado."), 0);
  EXPECT_GT(at("Diretório foi recriado com sucesso."), at("Diretório de gravação foi excluido"));
  EXPECT_GT(at("Iniciando Gravação do Canal 1"), at("Diretório foi recriado com sucesso."));
}

// A row that cannot be inserted gives the id 0, not the id of the newest row
// (another recording's).
TEST_F(Recording, WithoutItsRowTheRecordingPointsAtNoOtherRow) {
  ASSERT_TRUE(line(1).startStream().ok());
  ASSERT_TRUE(line(2).startStream().ok());
  const CallRecorder::Started first = recorder.Grava(line(1), 1, "CANAL 1");
  ASSERT_GT(first.recordingId, 0);
  ASSERT_TRUE(db->connection()
                  .exec("CREATE TRIGGER no_insert BEFORE INSERT ON registro "
                        "BEGIN SELECT RAISE(ABORT, 'disk full'); END")
                  .ok());
  const CallRecorder::Started second = recorder.Grava(line(2), 2, "CANAL 2");
  EXPECT_EQ(second.recordingId, 0);
  EXPECT_TRUE(logged("Erro ao inserir no Banco de dados."));
  EXPECT_TRUE(second.recording) << "the call is still recorded";

  auto none = std::function<CallDatabase*()>([] { return nullptr; });
  CallRecorder unconnected(clock, log, none);
  unconnected.setDay(day);
  clock.advance(1000);
  ASSERT_TRUE(line(3).startStream().ok());
  EXPECT_EQ(unconnected.Grava(line(3), 3, "CANAL 3").recordingId, 0);
}

TEST_F(Recording, StopWaits150MsThenStops) {
  ASSERT_TRUE(line(1).startStream().ok());
  recorder.Grava(line(1), 1, "CANAL 1");
  std::optional<bool> result;
  recorder.Stop(line(1), 1, [&](bool ok) { result = ok; });
  EXPECT_TRUE(logged(QString::fromUtf8("Finalizando Gravação do Canal 1")));
  clock.advance(CallRecorder::kStopWaitMs - 1);
  EXPECT_FALSE(result.has_value());
  EXPECT_TRUE(line(1).recording());
  clock.advance(1);
  EXPECT_EQ(result, true);
  EXPECT_FALSE(line(1).recording());
  EXPECT_TRUE(stopNow(1)) << "stopping a channel that does not record succeeds";
  EXPECT_EQ(log.lines().filter(QString::fromUtf8("Finalizando Gravação do Canal 1")).size(), 2);
}

// A WAV recording read while it is still being written: the header already
// covers all but the last second.
TEST_F(Recording, AWavFileIsReadableWhileItIsRecorded) {
  ASSERT_TRUE(line(1).startStream().ok());
  recorder.setFormat(0, 22050);
  talk(1, 5000);
  const CallRecorder::Started started = recorder.Grava(line(1), 1, "CANAL 1");
  clock.advance(3500);
  const SoundFileInfo info = inspect(started.path);
  ASSERT_TRUE(info.opened);
  EXPECT_GE(double(info.frames) / 22050, 2.5);
  EXPECT_NEAR(info.rmsDbfs, -16.2, 1.0);
}

// A recording process killed mid-way leaves a WAV file that opens and holds
// everything up to its last second.
TEST(RecordingFile, AWavCutBySigkillStillPlaysUpToItsLastSecond) {
  testing::TempDir dir;
  const QString path = dir.file("cut.wav");
  const RecordFormat format{RecordFormat::Kind::Wave, 8000, 0};
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto file = RecordingFile::create(path, format);
    if (!file) _exit(1);
    std::vector<int16_t> frame(160, 1000);
    for (int i = 0; i < 50 * 5 / 2; ++i) (*file)->write(frame);  // 2.5 s in 20 ms frames
    kill(getpid(), SIGKILL);
    _exit(2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  const SoundFileInfo info = inspect(path);
  ASSERT_TRUE(info.opened);
  EXPECT_GE(info.frames, 2 * 8000);
  EXPECT_LE(info.frames, 2500 * 8);
  EXPECT_NEAR(info.rmsDbfs, 20 * std::log10(1000.0 / 32768), 0.01);
}

}  // namespace
}  // namespace doruzudo
