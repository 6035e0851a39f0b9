#include "sim/line_tone.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

#include "dialer/line/signal_synth.h"

namespace doruzudo::sim {
namespace {

// Samples after which a sine of `hz` repeats exactly (whole-hertz
// frequencies); one second for any other frequency.
int64_t periodOf(double hz) {
  const auto whole = static_cast<int64_t>(std::llround(hz));
  if (hz <= 0 || std::abs(hz - static_cast<double>(whole)) > 1e-9) return LineTone::kRate;
  return LineTone::kRate / std::gcd(whole, static_cast<int64_t>(LineTone::kRate));
}

// Rounds half away from zero, as lround does, without the library call (it
// runs for every sample of every line).
int16_t clip(double v) {
  const double c = std::clamp(v, -32768.0, 32767.0);
  return static_cast<int16_t>(c + std::copysign(0.5, c));  // no branch: noise has random signs
}

}  // namespace

LineTone::LineTone(const ToneSpec& tone, double dbm0) {
  const bool pair = tone.secondFrequency > 0;
  const double peak = synth::dbm0ToRms(pair ? dbm0 - 3.0103 : dbm0) * std::numbers::sqrt2;
  int64_t length = periodOf(tone.frequency);
  if (pair) length = std::lcm(length, periodOf(tone.secondFrequency));
  period_.resize(static_cast<size_t>(length));
  for (int64_t k = 0; k < length; ++k) {
    const double t = 2 * std::numbers::pi * static_cast<double>(k) / kRate;
    double v = std::sin(tone.frequency * t);
    if (pair) v += std::sin(tone.secondFrequency * t);
    period_[static_cast<size_t>(k)] = clip(peak * v);
  }
  if (tone.cadenceMs.size() >= 2) {
    cycle_ = 0;
    for (size_t i = 0; i < tone.cadenceMs.size(); ++i) {
      steps_.push_back(int64_t{tone.cadenceMs[i]} * kRate / 1000);
      cycle_ += steps_.back();
      if (i % 2 == 0) lastOnEnd_ = cycle_;
    }
    if (cycle_ <= 0) steps_.clear(), cycle_ = kRate;
  }
}

bool LineTone::isOn(int64_t offset) const {
  return runAt(offset).on;
}

LineTone::Run LineTone::runAt(int64_t offset) const {
  if (steps_.empty()) return {true, std::numeric_limits<int64_t>::max()};
  int64_t in = offset % cycle_;
  for (size_t i = 0; i < steps_.size(); ++i) {
    if (in < steps_[i]) return {i % 2 == 0, steps_[i] - in};
    in -= steps_[i];
  }
  return {false, 1};  // not reached: the steps add up to the cycle
}

void LineTone::render(int64_t offset, std::span<int16_t> out) const {
  const auto length = static_cast<int64_t>(period_.size());
  size_t i = 0;
  while (i < out.size()) {
    const int64_t k = offset + static_cast<int64_t>(i);
    const Run run = runAt(k);
    const size_t n = static_cast<size_t>(std::min<int64_t>(run.left, out.size() - i));
    if (!run.on || length == 0) {
      std::fill_n(out.begin() + i, n, 0);
    } else {
      for (size_t j = 0; j < n; ++j) {
        out[i + j] = period_[static_cast<size_t>((k + static_cast<int64_t>(j)) % length)];
      }
    }
    i += n;
  }
}

int LineTone::ringsBegun(int64_t offset) const {
  if (offset <= 0) return 0;
  return static_cast<int>((offset + cycle_ - 1) / cycle_);
}

int64_t LineTone::ringEnd(int n) const {
  return int64_t{n - 1} * cycle_ + lastOnEnd_;
}

LineNoise::LineNoise(double dbm0, uint32_t seed)
    : amplitude_(synth::dbm0ToRms(dbm0) * std::numbers::sqrt3), state_(seed ? seed : 1) {}

void LineNoise::addTo(std::span<int16_t> out) {
  if (amplitude_ <= 0) return;
  const double scale = amplitude_ / 2147483648.0;
  for (int16_t& s : out) {
    // xorshift32: plenty for line hiss.
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    const double u = static_cast<double>(static_cast<int32_t>(state_)) * scale;
    s = clip(s + u);
  }
}

}  // namespace doruzudo::sim
