#include "dialer/line/audio_file.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QFile>
#include <cmath>

#include "dialer/line/dtmf_detector.h"
#include "dialer/line/signal_synth.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

// A stereo file at 44.1 kHz: a DTMF key on the left, noise on the right.
QString writeStereo(const testing::TempDir& dir) {
  synth::Signal left(44100), right(44100);
  left.silence(100).dtmf({'7', -10, -10, 0, 0}, 80).silence(100);
  right.silence(left.ms()).addNoise(synth::Noise::White, -10, 1);
  const auto l = left.pcm(), r = right.pcm();
  std::vector<int16_t> frames;
  for (size_t i = 0; i < l.size(); ++i) frames.push_back(l[i]), frames.push_back(r[i]);
  const QString path = dir.file(QStringLiteral("stereo.wav"));
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
  EXPECT_NE(f, nullptr);
  sf_writef_short(f, frames.data(), static_cast<sf_count_t>(l.size()));
  sf_close(f);
  return path;
}

TEST(AudioFile, ReadsTheFirstChannelAtTheRateAsked) {
  testing::TempDir dir;
  auto audio = readMonoAudio(writeStereo(dir), 8000);
  ASSERT_TRUE(audio.ok()) << audio.message().toStdString();
  EXPECT_EQ(audio->rate, 8000);
  EXPECT_EQ(audio->source_rate, 44100);
  EXPECT_EQ(audio->source_channels, 2);
  EXPECT_NEAR(static_cast<double>(audio->samples.size()), 0.28 * 8000, 2);
  std::string keys;
  DtmfDetector d;
  d.setCallback([&](char key, int64_t start) {
    keys += key;
    EXPECT_NEAR(start, 800, 40);
  });
  d.process(audio->samples);
  EXPECT_EQ(keys, "7");  // the noisy right channel would hide it
}

TEST(AudioFile, RoundTripThroughWavKeepsTheSamples) {
  testing::TempDir dir;
  synth::Signal s;
  s.tone(425, -10, 200);
  const auto pcm = s.pcm();
  const QString path = dir.file(QStringLiteral("tone.wav"));
  ASSERT_TRUE(writeWav(path, pcm, 8000).ok());
  auto back = readMonoAudio(path, 0);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back->rate, 8000);
  EXPECT_EQ(back->samples, pcm);
}

TEST(AudioFile, ResamplingKeepsLevelAndLength) {
  synth::Signal s(48000);
  s.tone(1000, -10, 500);
  const auto out = resample(s.pcm(), 48000, 8000);
  EXPECT_NEAR(static_cast<double>(out.size()), 4000, 2);
  EXPECT_NEAR(synth::levelDbm0(std::span<const int16_t>(out).subspan(400, 3200)), -10, 0.1);
}

TEST(AudioFile, FailuresNameTheFileAndTheReason) {
  testing::TempDir dir;
  const QString garbage = dir.file(QStringLiteral("garbage.wav"));
  testing::writeFile(garbage, "not a sound file at all");
  const QString empty = dir.file(QStringLiteral("empty.raw"));
  testing::writeFile(empty, "");
  struct Case {
    QString path;
    bool raw;
    const char* reason;
  };
  for (const auto& c : {Case{dir.file(QStringLiteral("missing.wav")), false, "no such file"},
                        Case{garbage, false, "not a readable sound file"},
                        Case{dir.path(), false, "cannot be read"}, Case{empty, true, "no audio"}}) {
    auto got = c.raw ? readRawPcm(c.path, 8000) : readMonoAudio(c.path);
    ASSERT_FALSE(got.ok()) << c.reason;
    EXPECT_TRUE(got.message().contains(c.path)) << got.message().toStdString();
    EXPECT_TRUE(got.message().contains(QString::fromLatin1(c.reason)))
        << got.message().toStdString();
  }
}

TEST(AudioFile, ReadsRawPcmAtItsRate) {
  testing::TempDir dir;
  synth::Signal s(16000);
  s.tone(425, -10, 250);
  const auto pcm = s.pcm();
  QByteArray bytes;
  for (int16_t v : pcm) bytes.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
  const QString path = dir.file(QStringLiteral("tone.raw"));
  testing::writeFile(path, bytes);
  auto audio = readRawPcm(path, 16000, 8000);
  ASSERT_TRUE(audio.ok());
  EXPECT_NEAR(static_cast<double>(audio->samples.size()), 2000, 2);
}

}  // namespace
}  // namespace doruzudo
