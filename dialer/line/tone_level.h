// Levels on the line and the background floor under them.
//
// 0 dBm0 is the digital milliwatt of 16-bit telephony: a sine 3.14 dB below a
// full-scale sine (RMS 16141). Powers here are mean squares of 16-bit samples.
//
// LevelFloor follows the background (line noise, hum, a continuous tone that
// has become background) under the bursts: it drops quickly to a quieter
// level and rises slowly (3 dB per second), so a burst of a few seconds barely
// moves it while a lasting change of the background is learnt within seconds.
// It is fed one power per block (the callers use 5 ms blocks, smoothed) and
// starts at the first power it is given: whatever sounds when the stream
// starts (line noise, hum, a tone) is background until it changes.
// Thread-safety: plain values; distinct objects are independent.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>

namespace doruzudo {

inline constexpr double kZeroDbm0Rms = 16140.67;

inline double dbm0ToPower(double dbm0) {
  return kZeroDbm0Rms * kZeroDbm0Rms * std::pow(10.0, dbm0 / 10);
}

inline double powerToDbm0(double power) {
  return power > 0 ? 10 * std::log10(power / (kZeroDbm0Rms * kZeroDbm0Rms)) : -200;
}

class LevelFloor {
 public:
  // `rise_db_per_block`: how fast the floor climbs toward a louder background.
  explicit LevelFloor(double rise_db_per_block = 3.0 / 200)
      : rise_(std::pow(10.0, rise_db_per_block / 10)) {}

  void update(double power) {
    if (!started_) {
      floor_ = power, started_ = true;
    } else if (power < floor_) {
      floor_ += 0.3 * (power - floor_);
    } else {
      floor_ = std::min(floor_ * rise_, power);
    }
    if (floor_ < kMinPower) floor_ = kMinPower;
  }
  // Makes `power` the background at once (a lasting signal was recognised).
  void jumpTo(double power) { floor_ = std::max(power, kMinPower), started_ = true; }
  void reset() { floor_ = kMinPower, started_ = false; }
  double power() const { return floor_; }

 private:
  static constexpr double kMinPower = 1e-3;
  double rise_;
  double floor_ = kMinPower;
  bool started_ = false;
};

// Cuts a stream of samples into blocks of `Size` samples, whatever the frames
// it arrives in, and gives each block's mean power. feed() hands every piece
// of a frame to `piece` (in order) and, after the piece that completes a
// block, that block's power to `block`.
template <int Size>
class BlockPower {
 public:
  template <typename Piece, typename Block>
  void feed(std::span<const int16_t> samples, Piece&& piece, Block&& block) {
    size_t i = 0;
    while (i < samples.size()) {
      const size_t n = std::min<size_t>(Size - filled_, samples.size() - i);
      float sum = 0;  // single precision is plenty for a level
      for (size_t k = i; k < i + n; ++k) sum += float(samples[k]) * float(samples[k]);
      sum_ += sum;
      filled_ += static_cast<int>(n);
      piece(samples.subspan(i, n));
      i += n;
      if (filled_ == Size) {
        const double power = sum_ / Size;
        sum_ = 0, filled_ = 0;
        block(power);
      }
    }
  }

 private:
  double sum_ = 0;
  int filled_ = 0;
};

}  // namespace doruzudo
