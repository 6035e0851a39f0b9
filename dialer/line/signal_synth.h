// Signal synthesis for the tone decoder's tests, its benchmark and the virtual
// exchange: tones at dBm0 levels, DTMF keys with frequency offsets and twist,
// cadences, white and pink noise, speech-like babble, dropouts.
//
// Levels: 0 dBm0 is the digital milliwatt of 16-bit telephony, a sine 3.14 dB
// below a full-scale sine: peak 22826, RMS 16141. A tone "at -10 dBm0" is a sine
// of RMS 16141 * 10^(-10/20); noise "at -30 dBm0" has that RMS over the whole band
// (0 to rate/2). A DTMF level is per tone.
//
// A Signal is a growing float buffer at one sample rate (8000 Hz unless told):
// append pieces in order, then add noise or other signals over stretches of it,
// and take the 16-bit samples with pcm() (rounded, clipped). Everything is
// deterministic: noise comes from a seeded generator.
// Thread-safety: a Signal is a plain value; distinct objects are independent.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "dialer/line/tone_level.h"

namespace doruzudo::synth {

using doruzudo::kZeroDbm0Rms;

double dbm0ToRms(double dbm0);
double rmsToDbm0(double rms);                        // -200 for rms 0
double levelDbm0(std::span<const int16_t> samples);  // RMS level of a stretch
double levelDbm0(std::span<const float> samples);

struct Tone {
  double hz = 0;
  double dbm0 = -10;
  double phase = 0;  // radians at the tone's first sample
};

// A DTMF key: per-tone levels (twist = high - low) and relative frequency
// offsets (0.015 = +1.5 %).
struct DtmfKey {
  char key = '5';
  double low_dbm0 = -10;
  double high_dbm0 = -10;
  double low_offset = 0;
  double high_offset = 0;
};

enum class Noise { White, Pink };

class Signal {
 public:
  explicit Signal(int rate = 8000) : rate_(rate) {}

  int rate() const { return rate_; }
  int64_t size() const { return static_cast<int64_t>(data_.size()); }
  double ms() const { return size() * 1000.0 / rate_; }
  int64_t samplesFor(double ms) const;
  std::span<const float> data() const { return data_; }

  // Appending, each piece after the previous one.
  Signal& silence(double ms);
  Signal& tone(double hz, double dbm0, double ms);
  Signal& tones(std::span<const Tone> tones, double ms);
  Signal& dtmf(const DtmfKey& key, double ms);
  // Keys `on_ms` long separated by `off_ms` of silence (none after the last).
  Signal& dtmfString(const char* keys, double on_ms, double off_ms, double dbm0 = -10);
  // A cadence: on/off durations in ms repeated until `total_ms` has been added.
  // The tones are on during the even entries, silent during the odd ones.
  Signal& cadence(std::span<const Tone> tones, std::span<const double> on_off_ms, double total_ms);
  // Speech-like babble: voiced syllables (harmonics of a gliding 90-230 Hz
  // pitch shaped by moving formants, 70-320 ms each) separated by 30-250 ms
  // pauses, with occasional unvoiced fricatives; the RMS over the voiced parts
  // is `dbm0`.
  Signal& babble(double ms, double dbm0, uint32_t seed);
  Signal& append(std::span<const float> samples);
  Signal& append(const Signal& other) { return append(other.data()); }

  // Over a stretch [from, to) of what is there (to < 0: the end).
  Signal& addNoise(Noise kind, double dbm0, uint32_t seed, int64_t from = 0, int64_t to = -1);
  Signal& addTone(const Tone& tone, int64_t from = 0, int64_t to = -1);
  // Adds `other` scaled by `gain_db` starting at `at`, growing this signal if needed.
  Signal& mix(std::span<const float> other, int64_t at, double gain_db = 0);
  // Zeroes `samples` samples from `at` (a dropout of the line).
  Signal& dropout(int64_t at, int64_t samples);
  Signal& gain(double db);

  std::vector<int16_t> pcm() const;

 private:
  int rate_;
  std::vector<float> data_;
};

// White or pink noise of `count` samples at exactly `dbm0` RMS.
std::vector<float> noise(Noise kind, double dbm0, int64_t count, uint32_t seed);

}  // namespace doruzudo::synth
