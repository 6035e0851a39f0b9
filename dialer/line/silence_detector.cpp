#include "dialer/line/silence_detector.h"

#include <algorithm>
#include <cmath>

namespace doruzudo {

SilenceDetector::SilenceDetector(Options options) : options_(options) {
  sound_ratio_ = std::pow(10.0, options_.sound_db / 10);
  min_power_ = dbm0ToPower(options_.min_level_dbm0);
  min_silence_ = std::llround(options_.min_silence_ms * kRate / 1000);
  confirm_blocks_ =
      std::max(1, static_cast<int>(std::lround(options_.confirm_ms * kRate / 1000 / kBlock)));
}

void SilenceDetector::reset() {
  auto on_start = std::move(on_start_);
  auto on_end = std::move(on_end_);
  *this = SilenceDetector(options_);
  setCallbacks(std::move(on_start), std::move(on_end));
}

void SilenceDetector::process(std::span<const int16_t> samples) {
  blockPower_.feed(
      samples, [this](std::span<const int16_t> piece) { position_ += static_cast<int64_t>(piece.size()); },
      [this](double power) { endOfBlock(power); });
}

void SilenceDetector::processBlock(double power) {
  position_ += kBlock;
  endOfBlock(power);
}

bool SilenceDetector::openingGoesOn(double power, bool loud) {
  // The stream opened on a sound, which the floor took for the background: it
  // is sound if the level falls well under it, background (silence from the
  // first sample) if it lasts or something louder comes.
  if (loud || blocks_ >= max_sound_blocks_) {
    opening_power_ = 0;
    return false;  // silent from the first sample, as for any line
  }
  if (power * sound_ratio_ >= opening_power_) return true;
  opening_power_ = 0;
  silent_ = true, reported_ = false, silence_start_ = position_ - kBlock, loud_blocks_ = 0;
  return true;
}

void SilenceDetector::endOfBlock(double power) {
  std::rotate(smooth_, smooth_ + 1, smooth_ + 4);
  smooth_[3] = power;
  const int have = static_cast<int>(std::min<int64_t>(++blocks_, 4));
  double smooth = 0;
  for (int k = 4 - have; k < 4; ++k) smooth += smooth_[k] / have;
  floor_.update(smooth);
  const bool loud = power > std::max(floor_.power() * sound_ratio_, min_power_);
  const int64_t block_start = position_ - kBlock;

  if (blocks_ == 1 && power >= min_power_) opening_power_ = power;
  if (opening_power_ > 0 && openingGoesOn(power, loud)) return;

  if (!silent_) {
    if (!loud) {
      silent_ = true, reported_ = false, silence_start_ = block_start, loud_blocks_ = 0;
    } else if (++sound_blocks_ >= max_sound_blocks_) {
      // Sound without a break for this long is a new background: its quietest
      // moment becomes the floor, and the line falls silent unless it is louder.
      floor_.jumpTo(quietest_);
      sound_blocks_ = 0, quietest_ = smooth;
    } else {
      quietest_ = std::min(quietest_, smooth);
    }
    return;
  }
  if (loud) {
    if (++loud_blocks_ >= confirm_blocks_) {
      const int64_t end = position_ - int64_t(loud_blocks_) * kBlock;
      silent_ = false;
      sound_blocks_ = loud_blocks_, quietest_ = smooth;
      if (reported_ && on_end_) {
        on_end_(end, static_cast<int>(std::lround((end - silence_start_) * 1000.0 / kRate)));
      }
    }
    return;
  }
  loud_blocks_ = 0;
  if (!reported_ && position_ - silence_start_ >= min_silence_) {
    reported_ = true;
    if (on_start_) on_start_(silence_start_);
  }
}

}  // namespace doruzudo
