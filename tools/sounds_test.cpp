// doruzudo-make-sounds run as the build runs it, into a temporary folder.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "dialer/line/audio_file.h"
#include "dialer/line/espeak_voice.h"
#include "dialer/line/speech_synth.h"
#include "dialer/line/tone_decoder.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

constexpr char kKeys[] = "0123456789*#";

struct Generated {
  int exitCode = -1;
  QString errors;
};

Generated makeSounds(const QString& folder, const QStringList& extra = {},
                     const QString& espeakDataPath = {}) {
  QProcess process;
  if (!espeakDataPath.isEmpty()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ESPEAK_DATA_PATH"), espeakDataPath);
    process.setProcessEnvironment(env);
  }
  process.start(QStringLiteral(DORUZUDO_MAKE_SOUNDS), QStringList{folder} + extra);
  process.waitForFinished(120000);
  return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

// The keys the channel's decoder hears in `samples` (8000 Hz).
QString keysIn(const std::vector<int16_t>& samples) {
  QString keys;
  ToneDecoder decoder;
  ToneDecoder::Callbacks cb;
  cb.dtmf = [&](int key, int64_t) { keys += QChar(key); };
  decoder.setCallbacks(cb);
  decoder.process(samples);
  decoder.process(std::vector<int16_t>(800, 0));  // let a key at the very end be reported
  return keys;
}

// The WAV header's format: channels, rate and bits per sample.
struct WavFormat {
  int channels = 0, rate = 0, bits = 0;
};

WavFormat wavFormat(const QString& path) {
  const QByteArray h = testing::readFile(path).left(44);
  if (h.size() < 44 || !h.startsWith("RIFF") || h.mid(8, 4) != "WAVE") return {};
  auto u16 = [&](int at) { return uint8_t(h[at]) | uint8_t(h[at + 1]) << 8; };
  return {u16(22), u16(24) | u16(26) << 16, u16(34)};
}

QStringList allFiles(const QString& root) {
  QStringList files;
  for (const char* k = kKeys; *k; ++k)
    files << QStringLiteral("%1/digitos/%2.wav").arg(root, QChar::fromLatin1(*k));
  for (int n = 1; n <= 8; ++n) {
    files << QStringLiteral("%1/audio/TransC%2.wav").arg(root).arg(n)
          << QStringLiteral("%1/Audio/AudioCanal%2.wav").arg(root).arg(n);
  }
  return files;
}

class MakeSoundsTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
};

TEST_F(MakeSoundsTest, EveryFileIs8000HzMono16BitWav) {
  const Generated run = makeSounds(dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
  for (const QString& file : allFiles(dir.path())) {
    const WavFormat f = wavFormat(file);
    EXPECT_EQ(f.channels, 1) << file.toStdString();
    EXPECT_EQ(f.rate, 8000) << file.toStdString();
    EXPECT_EQ(f.bits, 16) << file.toStdString();
  }
}

TEST_F(MakeSoundsTest, EachDigitFileDecodesToItsOwnKeyOnly) {
  ASSERT_EQ(makeSounds(dir.path()).exitCode, 0);
  for (const char* k = kKeys; *k; ++k) {
    const QString file = QStringLiteral("%1/digitos/%2.wav").arg(dir.path(), QChar::fromLatin1(*k));
    const Result<MonoAudio> audio = readMonoAudio(file, 8000);
    ASSERT_TRUE(audio.ok()) << audio.message().toStdString();
    EXPECT_EQ(keysIn(audio->samples), QString(QChar::fromLatin1(*k)));
  }
}

// The engine plays a number's digit files one right after the other: a
// repeated key must still be heard twice.
TEST_F(MakeSoundsTest, DigitFilesPlayedBackToBackKeepEveryKey) {
  ASSERT_EQ(makeSounds(dir.path()).exitCode, 0);
  const QString number = QStringLiteral("0011*##9");
  std::vector<int16_t> line;
  for (QChar c : number) {
    const Result<MonoAudio> audio =
        readMonoAudio(QStringLiteral("%1/digitos/%2.wav").arg(dir.path(), c), 8000);
    ASSERT_TRUE(audio.ok());
    line.insert(line.end(), audio->samples.begin(), audio->samples.end());
  }
  EXPECT_EQ(keysIn(line), number);
}

TEST_F(MakeSoundsTest, SpokenFilesHoldSpeechWhenTheVoiceExists) {
  if (!speechDataInstalled() || !speechVoices().contains(QStringLiteral("pt-br")))
    GTEST_SKIP() << "no pt-br voice";
  ASSERT_EQ(makeSounds(dir.path()).exitCode, 0);
  for (const QString& name :
       {QStringLiteral("audio/TransC3.wav"), QStringLiteral("Audio/AudioCanal8.wav")}) {
    const Result<MonoAudio> audio = readMonoAudio(dir.file(name), 8000);
    ASSERT_TRUE(audio.ok());
    EXPECT_GT(audio->samples.size(), 8000u) << name.toStdString();  // more than a second
    const auto peak = *std::max_element(audio->samples.begin(), audio->samples.end());
    EXPECT_GT(peak, 10000) << name.toStdString();
  }
}

// A voice espeak-ng does not have, or no voice data at all (espeak-ng ends
// the process when it starts without them): the spoken files are a second of
// silence, a warning is printed, and the build goes on.
TEST_F(MakeSoundsTest, MissingVoiceGivesASecondOfSilenceAndAWarning) {
  testing::TempDir noData;
  const Generated missingVoice =
      makeSounds(dir.path(), {QStringLiteral("--voice"), QStringLiteral("xx-none")});
  const Generated missingData = makeSounds(noData.path(), {}, noData.path());
  for (const Generated& run : {missingVoice, missingData}) {
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains(QStringLiteral("warning"))) << run.errors.toStdString();
  }
  for (const QString& file : {dir.file(QStringLiteral("audio/TransC1.wav")),
                              noData.file(QStringLiteral("Audio/AudioCanal5.wav"))}) {
    const Result<MonoAudio> audio = readMonoAudio(file, 8000);
    ASSERT_TRUE(audio.ok()) << file.toStdString();
    EXPECT_EQ(audio->samples, std::vector<int16_t>(8000, 0)) << file.toStdString();
  }
  EXPECT_EQ(keysIn(readMonoAudio(noData.file(QStringLiteral("digitos/5.wav")), 8000)->samples),
            QStringLiteral("5"));
}

TEST_F(MakeSoundsTest, WrongArgumentsAreRefused) {
  EXPECT_EQ(makeSounds(dir.path(), {QStringLiteral("extra")}).exitCode, 2);
}

}  // namespace
}  // namespace doruzudo
