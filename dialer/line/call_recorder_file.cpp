#include "dialer/line/call_recorder_file.h"

#include <sndfile.h>

#include <QFile>

namespace doruzudo {

namespace {

// The bit-rate range of LAME's MPEG version for a rate: the compression level
// picks a constant bit rate in it, 0 the highest and 1 the lowest.
struct BitRateRange {
  double lowest, highest;
};
BitRateRange mpegRange(int rate) {
  if (rate <= 12000) return {8, 64};   // MPEG-2.5
  if (rate <= 24000) return {8, 160};  // MPEG-2
  return {32, 320};                    // MPEG-1
}

double compressionFor(const RecordFormat& format) {
  const BitRateRange r = mpegRange(format.sampleRate);
  return (r.highest - format.bitRateKbps) / (r.highest - r.lowest);
}

}  // namespace

Result<RecordFormat> recordFormatFor(int tipoArquivo, int sampleRate) {
  RecordFormat f;
  f.kind = tipoArquivo == 1 ? RecordFormat::Kind::Mp3 : RecordFormat::Kind::Wave;
  f.sampleRate = sampleRate;
  if (f.kind == RecordFormat::Kind::Mp3) f.bitRateKbps = sampleRate == 22050 ? 32 : 24;
  if (tipoArquivo != 0 && tipoArquivo != 1) {
    return Result<RecordFormat>::Error(QStringLiteral("no recording type %1").arg(tipoArquivo));
  }
  const Status ok = checkRecordFormat(f);
  if (!ok) return ok;
  return f;
}

Status checkRecordFormat(const RecordFormat& f) {
  const bool rateOk = f.sampleRate == 8000 || f.sampleRate == 11025 || f.sampleRate == 22050 ||
                      f.sampleRate == 44100;
  if (!rateOk) return Status::Error(QStringLiteral("no recording rate %1 Hz").arg(f.sampleRate));
  if (f.kind == RecordFormat::Kind::Mp3) {
    if (f.sampleRate == 44100) {
      return Status::Error(QStringLiteral("MP3 recordings at 44100 Hz are not offered"));
    }
    const int expected = f.sampleRate == 22050 ? 32 : 24;
    if (f.bitRateKbps != expected) {
      return Status::Error(QStringLiteral("MP3 at %1 Hz records at %2 kbit/s, not %3")
                               .arg(f.sampleRate)
                               .arg(expected)
                               .arg(f.bitRateKbps));
    }
  }
  return Status::Ok();
}

QString recordFormatName(const RecordFormat& f) {
  const QString thousands = QString::number(f.sampleRate / 1000);
  const QString rest = QStringLiteral("%1").arg(f.sampleRate % 1000, 3, 10, QLatin1Char('0'));
  if (f.kind == RecordFormat::Kind::Mp3) {
    return QStringLiteral("Lame MP3 %1 kBit/s, %2,%3 Hz, Mono")
        .arg(f.bitRateKbps)
        .arg(thousands, rest);
  }
  return QStringLiteral("PCM %1.%2 kHz; 16 Bit; Mono").arg(thousands, rest);
}

struct RecordingFile::Handle {
  SNDFILE* file = nullptr;
  ~Handle() {
    if (file) sf_close(file);
  }
};

RecordingFile::RecordingFile(QString path, RecordFormat format, std::unique_ptr<Handle> handle)
    : path_(std::move(path)), format_(format), handle_(std::move(handle)) {}

RecordingFile::~RecordingFile() = default;

Result<std::unique_ptr<RecordingFile>> RecordingFile::create(const QString& path,
                                                             const RecordFormat& format) {
  using R = Result<std::unique_ptr<RecordingFile>>;
  const Status ok = checkRecordFormat(format);
  if (!ok) return ok;
  const bool mp3 = format.kind == RecordFormat::Kind::Mp3;
  SF_INFO info{};
  info.samplerate = format.sampleRate;
  info.channels = 1;
  info.format =
      mp3 ? (SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III) : (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  auto handle = std::make_unique<Handle>();
  handle->file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
  if (!handle->file) {
    return R::Error(
        QStringLiteral("cannot create %1: %2").arg(path, QString::fromUtf8(sf_strerror(nullptr))));
  }
  if (mp3) {
    // Both settings must come before the first sample is written.
    int mode = SF_BITRATE_MODE_CONSTANT;
    double level = compressionFor(format);
    // Setting the mode answers nothing useful: read it back.
    sf_command(handle->file, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    const bool constant =
        sf_command(handle->file, SFC_GET_BITRATE_MODE, nullptr, 0) == SF_BITRATE_MODE_CONSTANT;
    if (!constant || !sf_command(handle->file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level)) {
      const QString why = QString::fromUtf8(sf_strerror(handle->file));
      handle.reset();
      QFile::remove(path);
      return R::Error(QStringLiteral("cannot set the MP3 bit rate of %1: %2").arg(path, why));
    }
  }
  return std::unique_ptr<RecordingFile>(new RecordingFile(path, format, std::move(handle)));
}

Status RecordingFile::write(std::span<const int16_t> samples) {
  if (!handle_ || !handle_->file) return Status::Error(QStringLiteral("%1 is closed").arg(path_));
  if (samples.empty()) return Status::Ok();
  const sf_count_t n =
      sf_write_short(handle_->file, samples.data(), static_cast<sf_count_t>(samples.size()));
  written_ += n;
  if (format_.kind == RecordFormat::Kind::Wave && written_ - headerAt_ >= format_.sampleRate) {
    sf_command(handle_->file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    headerAt_ = written_;
  }
  if (n != static_cast<sf_count_t>(samples.size())) {
    return Status::Error(QStringLiteral("cannot write %1: %2")
                             .arg(path_, QString::fromUtf8(sf_strerror(handle_->file))));
  }
  return Status::Ok();
}

Status RecordingFile::close() {
  if (!handle_) return Status::Ok();
  const int rc = sf_close(handle_->file);
  handle_->file = nullptr;
  handle_.reset();
  if (rc != 0) return Status::Error(QStringLiteral("cannot finish %1").arg(path_));
  return Status::Ok();
}

}  // namespace doruzudo
