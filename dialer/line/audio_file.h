// Reading sound files for the decoder, the players and the tools: WAV, MP3 and
// the other formats of libsndfile, at any rate, reduced to one channel (the
// first) of 16-bit samples and converted to the rate asked for with
// libsamplerate. Also the rate conversion alone, and a plain WAV writer.
// Thread-safety: pure functions over files and buffers; safe from any thread.
#pragma once

#include <QString>
#include <cstdint>
#include <span>
#include <vector>

#include "common/status.h"

namespace doruzudo {

struct MonoAudio {
  int rate = 0;
  std::vector<int16_t> samples;
  int source_rate = 0;      // the file's own rate
  int source_channels = 0;  // the file's channel count (only the first is kept)
};

// Reads `path` and converts it to `rate` Hz (0: keep the file's rate). Fails
// with a message naming the file and the reason (missing, unreadable, not a
// sound file, empty).
Result<MonoAudio> readMonoAudio(const QString& path, int rate = 8000);

// Reads a headerless file of 16-bit little-endian mono samples at `file_rate`
// and converts it to `rate` Hz (0: keep).
Result<MonoAudio> readRawPcm(const QString& path, int file_rate, int rate = 8000);

// Sample-rate conversion (medium-quality sinc: 97 dB, 90 % of the band); the input unchanged when
// the rates are equal. Output samples are rounded and clipped to 16 bits.
std::vector<int16_t> resample(std::span<const int16_t> samples, int from_rate, int to_rate);
std::vector<int16_t> resample(std::span<const float> samples, int from_rate, int to_rate);

// Writes a 16-bit mono WAV file.
Status writeWav(const QString& path, std::span<const int16_t> samples, int rate);

}  // namespace doruzudo
