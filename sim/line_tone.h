// The sounds the exchange itself makes on a line: a call-progress tone of a
// tone plan (one or two frequencies on a repeating on/off cadence) and line
// noise. Both are cheap enough for eight lines at hundreds of times real time:
// a tone is one precomputed period copied out, noise a small integer generator.
//
// Levels are dBm0 as in signal_synth.h. A two-frequency tone puts each
// frequency 3 dB under the level, so that the pair has the level's power.
// Thread-safety: plain values; distinct objects are independent.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "sim/tone_plan.h"

namespace doruzudo::sim {

class LineTone {
 public:
  static constexpr int kRate = 8000;

  LineTone() = default;
  LineTone(const ToneSpec& tone, double dbm0);

  // Writes the tone's samples from `offset` (samples since the tone began)
  // into `out`, silent in the cadence's off parts.
  void render(int64_t offset, std::span<int16_t> out) const;
  bool isOn(int64_t offset) const;

  // A ring is one whole cadence (one burst in most plans, two in a double
  // ring). Rings that have begun within the first `offset` samples.
  int ringsBegun(int64_t offset) const;
  // Where the last burst of ring `n` (1, 2, ...) ends, in samples from the
  // tone's start.
  int64_t ringEnd(int n) const;
  // Samples of one whole cadence (one second for a continuous tone).
  int64_t cycleSamples() const { return cycle_; }

 private:
  struct Run {
    bool on;
    int64_t left;  // samples to the end of this on or off part
  };
  Run runAt(int64_t offset) const;

  std::vector<int16_t> period_;  // one period of the waveform
  std::vector<int64_t> steps_;   // cadence in samples: on, off, ...
  int64_t cycle_ = kRate;
  int64_t lastOnEnd_ = kRate;  // within a cycle, where its last burst ends
};

// White noise of a given RMS level; deterministic for a seed.
class LineNoise {
 public:
  LineNoise() = default;
  LineNoise(double dbm0, uint32_t seed);

  bool active() const { return amplitude_ > 0; }
  // Adds noise to `out` (clipped to 16 bits).
  void addTo(std::span<int16_t> out);

 private:
  double amplitude_ = 0;  // uniform noise in [-a, a] has RMS a / sqrt(3)
  uint32_t state_ = 1;
};

}  // namespace doruzudo::sim
