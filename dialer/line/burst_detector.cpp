#include "dialer/line/burst_detector.h"

#include <algorithm>
#include <cmath>

#include "dialer/line/tone_peaks.h"

namespace doruzudo {

namespace {

int blocksFor(double ms) {
  return std::max(
      1, static_cast<int>(std::lround(ms * BurstDetector::kRate / 1000 / BurstDetector::kBlock)));
}

}  // namespace

BurstDetector::BurstDetector(Options options) : options_(options) {
  on_ratio_ = std::pow(10.0, options_.on_db / 10);
  min_power_ = dbm0ToPower(options_.min_level_dbm0);
  hangover_blocks_ = blocksFor(options_.hangover_ms);
  min_blocks_ = blocksFor(options_.min_burst_ms);
  max_blocks_ = blocksFor(options_.max_burst_ms);
  cap_blocks_ = blocksFor(options_.speech_cap_ms);
}

void BurstDetector::reset() {
  *this = BurstDetector(options_, std::move(callback_));
}

BurstDetector::BurstDetector(Options options, Callback callback) : BurstDetector(options) {
  callback_ = std::move(callback);
}

void BurstDetector::process(std::span<const int16_t> samples) {
  blockPower_.feed(
      samples,
      [this](std::span<const int16_t> piece) {
        samples_.insert(samples_.end(), piece.begin(), piece.end());
        position_ += static_cast<int64_t>(piece.size());
      },
      [this](double power) { endOfBlock(power); });
}

void BurstDetector::processBlock(std::span<const int16_t> block, double power) {
  samples_.insert(samples_.end(), block.begin(), block.end());
  position_ += static_cast<int64_t>(block.size());
  endOfBlock(power);
}

void BurstDetector::endOfBlock(double power) {
  powers_.push_back(static_cast<float>(power));
  std::rotate(smooth_, smooth_ + 1, smooth_ + 4);
  smooth_[3] = power;
  const int have = static_cast<int>(std::min<int64_t>(block_ + 1, 4));
  double smooth = 0;
  for (int k = 4 - have; k < 4; ++k) smooth += smooth_[k] / have;
  floor_.update(smooth);
  const bool active = power > std::max(floor_.power() * on_ratio_, min_power_);

  if (block_ == 0) opening_power_ = power >= min_power_ ? power : 0;
  if (opening_power_ > 0) checkOpening(power, active);

  if (!in_burst_ && active) {
    in_burst_ = true, steady_ = false;
    first_block_ = last_active_ = block_;
    burst_floor_ = floor_.power();
  } else if (in_burst_) {
    if (active) last_active_ = block_;
    if (block_ - last_active_ >= hangover_blocks_) {
      endBurst(last_active_);
    } else {
      checkLongBurst();
    }
  }
  if (!in_burst_ && opening_power_ <= 0) trimHistory(block_ - 1);
  ++block_;
}

void BurstDetector::checkOpening(double power, bool active) {
  // The stream opened on a sound, which the floor took for the background. If
  // the level then falls well under it, that sound was a burst after all.
  if (active || block_ >= max_blocks_) {
    opening_power_ = 0;  // it was background: something louder came, or it lasted
    opening_quiet_ = 0;
    return;
  }
  if (power * on_ratio_ >= opening_power_) {
    opening_quiet_ = 0;
    return;
  }
  if (++opening_quiet_ < hangover_blocks_) return;
  const int64_t end = block_ - opening_quiet_ + 1;
  opening_power_ = 0, opening_quiet_ = 0;
  burst_floor_ = floor_.power();
  report(0, end, true);
}

void BurstDetector::trimHistory(int64_t from_block) {
  if (from_block <= base_block_) return;
  const int64_t drop = from_block - base_block_;
  samples_.erase(samples_.begin(), samples_.begin() + drop * kBlock);
  powers_.erase(powers_.begin(), powers_.begin() + drop);
  base_block_ = from_block;
}

void BurstDetector::endBurst(int64_t last_block) {
  in_burst_ = false;
  report(first_block_, last_block + 1, true);
}

double BurstDetector::blockPower(int64_t block) const {
  const int64_t i = block - base_block_;
  return i >= 0 && i < static_cast<int64_t>(powers_.size()) ? powers_[i] : 0.0;
}

std::span<const int16_t> BurstDetector::sampleSpan(int64_t from, int64_t to) const {
  const int64_t base = base_block_ * kBlock;
  from = std::clamp<int64_t>(from - base, 0, static_cast<int64_t>(samples_.size()));
  to = std::clamp<int64_t>(to - base, from, static_cast<int64_t>(samples_.size()));
  return std::span<const int16_t>(samples_).subspan(from, to - from);
}

double BurstDetector::swingDb(int64_t first, int64_t end) const {
  std::vector<double> levels;
  for (int64_t b = first; b + 4 <= end; ++b) {
    levels.push_back(blockPower(b) + blockPower(b + 1) + blockPower(b + 2) + blockPower(b + 3));
  }
  if (levels.size() < 2) return 0;
  std::sort(levels.begin(), levels.end());
  const double lo = levels[levels.size() / 10], hi = levels[levels.size() * 9 / 10];
  return 10 * std::log10((hi + 1e-3) / (lo + 1e-3));
}

void BurstDetector::checkLongBurst() {
  const int64_t length = block_ - first_block_ + 1;
  if (!steady_ && length >= cap_blocks_) {
    const auto samples = sampleSpan(first_block_ * kBlock, (block_ + 1) * kBlock);
    const auto peaks =
        analyseSpectrum(samples, kRate, options_.min_frequency_hz, options_.max_frequency_hz);
    if (isTone(peaks) || swingDb(first_block_, block_ + 1) < options_.speech_swing_db) {
      steady_ = true;  // a tone, or noise: not split
    } else {
      // Speech: split at the quietest 15 ms of the burst's last three quarters.
      int64_t split = block_ - 10;
      double quietest = -1;
      for (int64_t b = first_block_ + length / 4; b + 1 <= block_ - 10; ++b) {
        const double p = blockPower(b - 1) + blockPower(b) + blockPower(b + 1);
        if (quietest < 0 || p < quietest) quietest = p, split = b;
      }
      report(first_block_, split, false);
      first_block_ = split + 1;
      trimHistory(split);
    }
  }
  if (steady_ && length >= max_blocks_) {
    // A lasting signal: it is the background now.
    floor_.jumpTo(smooth_[0] + smooth_[1] + smooth_[2] + smooth_[3]);
    in_burst_ = false;
  }
}

bool BurstDetector::isTone(const SpectrumPeaks& peaks) const {
  return peaks.tonality >= options_.min_tonality &&
         peaks.peak_to_skirt_db >= options_.min_peak_to_skirt_db;
}

void BurstDetector::report(int64_t first, int64_t end, bool refine_end) {
  // Steady power of the burst: the median of its inner blocks.
  std::vector<double> inner;
  for (int64_t b = first + 1; b + 1 < end; ++b) inner.push_back(blockPower(b));
  double steady = 0;
  if (inner.size() >= 3) {
    std::nth_element(inner.begin(), inner.begin() + inner.size() / 2, inner.end());
    steady = inner[inner.size() / 2];
  } else {
    for (int64_t b = first; b < end; ++b) steady = std::max(steady, blockPower(b));
  }
  const double floor = std::min(burst_floor_, 0.5 * steady);
  auto share = [&](int64_t b) {
    return std::clamp((blockPower(b) - floor) / (steady - floor), 0.0, 1.0);
  };
  const double start = first * kBlock + kBlock * (1 - share(first)) - kBlock * share(first - 1);
  double stop = end * kBlock;
  if (refine_end) stop += kBlock * share(end) - kBlock * (1 - share(end - 1));
  const int duration_ms = static_cast<int>(std::lround((stop - start) * 1000 / kRate));
  if (end - first < min_blocks_ - 1 || duration_ms < options_.min_burst_ms) return;

  const int64_t from = std::llround(start), to = std::llround(stop);
  const int64_t trim = to - from >= 4 * kBlock ? kBlock : 0;
  const auto samples = sampleSpan(from + trim, to - trim);
  const auto peaks =
      analyseSpectrum(samples, kRate, options_.min_frequency_hz, options_.max_frequency_hz);
  double frequency = 0, second = 0;
  if (isTone(peaks)) {
    frequency = peaks.frequency, second = peaks.second_frequency;
  } else if (swingDb(first, end) >= options_.speech_swing_db) {
    frequency = peaks.band_frequency;
  }
  if (frequency < options_.min_frequency_hz || !callback_) return;
  callback_(frequency, second, duration_ms, from);
}

}  // namespace doruzudo
