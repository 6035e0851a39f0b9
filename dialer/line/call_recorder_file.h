// RecordingFile: one call recording being written, in a RecordFormat: WAV
// (16-bit PCM mono) or MP3 (mono, constant bit rate through LAME), at the
// format's sample rate.
//
// A WAV file stays playable if the program dies while writing it: the samples
// go to the file as they come (no buffering in the program), and its header
// is brought up to date at least once per second of audio, so a reader sees
// everything but the last second at worst. MP3 is a stream of frames and
// needs no header.
//
// Supported formats: WAV at 8000, 11025, 22050 or 44100 Hz; MP3 at 8000 and
// 11025 Hz (24 kbit/s) and 22050 Hz (32 kbit/s). MP3 at 44100 Hz is refused.
//
// Thread-safety: a plain object of one thread (the channel's audio tick).
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <span>

#include "common/status.h"
#include "dialer/line/channel_audio.h"

namespace doruzudo {

// The table of recording formats: the format of (TipoArquivo, SampleRate)
// (0 Wave, 1 MP3), or an error for a combination outside the table.
Result<RecordFormat> recordFormatFor(int tipoArquivo, int sampleRate);
// The format's name as the options page shows it ("PCM 8.000 kHz; 16 Bit;
// Mono", "Lame MP3 24 kBit/s, 8,000 Hz, Mono").
QString recordFormatName(const RecordFormat& format);
// Ok for a format of the table.
Status checkRecordFormat(const RecordFormat& format);

class RecordingFile {
 public:
  static Result<std::unique_ptr<RecordingFile>> create(const QString& path,
                                                       const RecordFormat& format);
  ~RecordingFile();  // closes (finishes) the file
  RecordingFile(const RecordingFile&) = delete;
  RecordingFile& operator=(const RecordingFile&) = delete;

  // Appends samples at the format's rate.
  Status write(std::span<const int16_t> samples);
  // Finishes the file (header, last MP3 frames); later writes fail.
  Status close();

  const QString& path() const { return path_; }
  const RecordFormat& format() const { return format_; }
  int64_t samplesWritten() const { return written_; }

 private:
  struct Handle;
  RecordingFile(QString path, RecordFormat format, std::unique_ptr<Handle> handle);

  QString path_;
  RecordFormat format_;
  std::unique_ptr<Handle> handle_;
  int64_t written_ = 0;
  int64_t headerAt_ = 0;  // samplesWritten() when the header was last updated
};

}  // namespace doruzudo
