#include "dialer/line/audio_file.h"

#include <samplerate.h>
#include <sndfile.h>

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <memory>

namespace doruzudo {

namespace {

struct SndfileCloser {
  void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndfilePtr = std::unique_ptr<SNDFILE, SndfileCloser>;

std::vector<int16_t> toPcm(std::span<const float> x, float scale) {
  std::vector<int16_t> out(x.size());
  for (size_t i = 0; i < x.size(); ++i) {
    out[i] = static_cast<int16_t>(std::clamp(std::lround(x[i] * scale), -32768L, 32767L));
  }
  return out;
}

// libsamplerate works on floats within +-1.
std::vector<float> convert(std::span<const float> in, int from_rate, int to_rate) {
  if (in.empty()) return {};
  const double ratio = double(to_rate) / from_rate;
  std::vector<float> out(static_cast<size_t>(std::ceil(in.size() * ratio)) + 16);
  SRC_DATA data{};
  data.data_in = in.data();
  data.input_frames = static_cast<long>(in.size());
  data.data_out = out.data();
  data.output_frames = static_cast<long>(out.size());
  data.src_ratio = ratio;
  if (src_simple(&data, SRC_SINC_MEDIUM_QUALITY, 1) != 0) return {};
  out.resize(static_cast<size_t>(data.output_frames_gen));
  return out;
}

}  // namespace

std::vector<int16_t> resample(std::span<const float> samples, int from_rate, int to_rate) {
  std::vector<float> scaled(samples.begin(), samples.end());
  for (float& v : scaled) v /= 32768.0f;
  if (from_rate == to_rate || from_rate <= 0 || to_rate <= 0) return toPcm(scaled, 32768.0f);
  return toPcm(convert(scaled, from_rate, to_rate), 32768.0f);
}

std::vector<int16_t> resample(std::span<const int16_t> samples, int from_rate, int to_rate) {
  if (from_rate == to_rate || from_rate <= 0 || to_rate <= 0) {
    return std::vector<int16_t>(samples.begin(), samples.end());
  }
  std::vector<float> in(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) in[i] = samples[i] / 32768.0f;
  return toPcm(convert(in, from_rate, to_rate), 32768.0f);
}

Result<MonoAudio> readMonoAudio(const QString& path, int rate) {
  const QFileInfo info(path);
  if (!info.exists()) return Result<MonoAudio>::Error(QStringLiteral("%1: no such file").arg(path));
  if (!info.isFile() || !info.isReadable()) {
    return Result<MonoAudio>::Error(QStringLiteral("%1: cannot be read").arg(path));
  }
  SF_INFO sf{};
  SndfilePtr file(sf_open(QFile::encodeName(path).constData(), SFM_READ, &sf));
  if (!file) {
    return Result<MonoAudio>::Error(QStringLiteral("%1: not a readable sound file (%2)")
                                        .arg(path, QString::fromUtf8(sf_strerror(nullptr))));
  }
  if (sf.channels <= 0 || sf.samplerate <= 0) {
    return Result<MonoAudio>::Error(QStringLiteral("%1: no audio channels").arg(path));
  }
  // Frame counts of compressed files may be estimates: read until the end.
  std::vector<float> mono;
  std::vector<float> chunk(4096 * static_cast<size_t>(sf.channels));
  for (;;) {
    const sf_count_t got = sf_readf_float(file.get(), chunk.data(), 4096);
    if (got <= 0) break;
    for (sf_count_t i = 0; i < got; ++i) mono.push_back(chunk[i * sf.channels]);
  }
  if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
    return Result<MonoAudio>::Error(QStringLiteral("%1: read error (%2)")
                                        .arg(path, QString::fromUtf8(sf_strerror(file.get()))));
  }
  if (mono.empty())
    return Result<MonoAudio>::Error(QStringLiteral("%1: no audio in the file").arg(path));
  MonoAudio out;
  out.source_rate = sf.samplerate;
  out.source_channels = sf.channels;
  out.rate = rate > 0 ? rate : sf.samplerate;
  out.samples =
      toPcm(out.rate == sf.samplerate ? mono : convert(mono, sf.samplerate, out.rate), 32768.0f);
  return out;
}

Result<MonoAudio> readRawPcm(const QString& path, int file_rate, int rate) {
  QFile file(path);
  if (!file.exists()) return Result<MonoAudio>::Error(QStringLiteral("%1: no such file").arg(path));
  if (!file.open(QIODevice::ReadOnly)) {
    return Result<MonoAudio>::Error(
        QStringLiteral("%1: cannot be read (%2)").arg(path, file.errorString()));
  }
  const QByteArray bytes = file.readAll();
  if (bytes.size() < 2)
    return Result<MonoAudio>::Error(QStringLiteral("%1: no audio in the file").arg(path));
  std::vector<int16_t> samples(static_cast<size_t>(bytes.size() / 2));
  for (size_t i = 0; i < samples.size(); ++i) {
    const auto lo = static_cast<uint8_t>(bytes[2 * i]), hi = static_cast<uint8_t>(bytes[2 * i + 1]);
    samples[i] = static_cast<int16_t>(lo | (hi << 8));
  }
  MonoAudio out;
  out.source_rate = file_rate;
  out.source_channels = 1;
  out.rate = rate > 0 ? rate : file_rate;
  out.samples = resample(samples, file_rate, out.rate);
  return out;
}

Status writeWav(const QString& path, std::span<const int16_t> samples, int rate) {
  SF_INFO sf{};
  sf.samplerate = rate;
  sf.channels = 1;
  sf.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SndfilePtr file(sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &sf));
  if (!file) {
    return Status::Error(QStringLiteral("%1: cannot be written (%2)")
                             .arg(path, QString::fromUtf8(sf_strerror(nullptr))));
  }
  const auto n = static_cast<sf_count_t>(samples.size());
  if (sf_write_short(file.get(), samples.data(), n) != n) {
    return Status::Error(QStringLiteral("%1: write error (%2)")
                             .arg(path, QString::fromUtf8(sf_strerror(file.get()))));
  }
  return Status::Ok();
}

}  // namespace doruzudo
