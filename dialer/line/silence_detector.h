// Silence detector for 8000 Hz line audio: reports when the line falls silent
// and when sound returns, with the silence's start and length.
//
// Meets, with the default options: the end of a silence is reported within
// 15 ms of the sound's return (two 5 ms blocks above the threshold; target
// 30 ms), with the sound's first block as its position; a click of a single
// block does not end a silence; the start is reported once the line has been
// silent for `min_silence_ms`, with the position where the silence began.
// Silence is any block whose power is under `sound_db` above the background
// floor (tone_level.h) or under `min_level_dbm0`: line noise and hum are
// silence, and so, after some seconds, is a continuous tone (the floor learns
// it; sound without a break for `max_steady_sound_ms` is taken as the new
// background at once). The line counts as silent from the first sample, unless
// it opens on a sound that soon falls well quieter: then the silence starts
// there.
// Thread-safety: a plain object used from one thread; callbacks run inside process().
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "dialer/line/tone_level.h"

namespace doruzudo {

class SilenceDetector {
 public:
  struct Options {
    double sound_db = 9;          // above the floor is sound
    double min_level_dbm0 = -50;  // quieter is always silence
    double min_silence_ms = 400;  // the least silence reported
    double confirm_ms = 10;       // sound this long ends a silence
  };
  using StartCallback = std::function<void(int64_t start)>;
  using EndCallback = std::function<void(int64_t end, int duration_ms)>;

  static constexpr int kRate = 8000;
  static constexpr int kBlock = 40;

  SilenceDetector() : SilenceDetector(Options()) {}
  explicit SilenceDetector(Options options);

  void setCallbacks(StartCallback on_start, EndCallback on_end) {
    on_start_ = std::move(on_start), on_end_ = std::move(on_end);
  }
  void process(std::span<const int16_t> samples);
  // One whole 5 ms block of the given power (mean square), when no partial
  // block is pending (for a caller that measured it already).
  void processBlock(double power);
  void reset();
  int64_t position() const { return position_; }
  bool silent() const { return silent_; }

 private:
  void endOfBlock(double power);
  bool openingGoesOn(double power, bool loud);

  Options options_;
  StartCallback on_start_;
  EndCallback on_end_;
  LevelFloor floor_;
  double sound_ratio_ = 8, min_power_ = 0;
  int64_t min_silence_ = 3200;
  int confirm_blocks_ = 2;

  int64_t position_ = 0;
  BlockPower<kBlock> blockPower_;  // the stream cut into blocks when fed by process()
  double smooth_[4] = {0, 0, 0, 0};
  int64_t blocks_ = 0;

  bool silent_ = true;
  bool reported_ = false;  // SilenceStart given for the current silence
  int64_t silence_start_ = 0;
  int loud_blocks_ = 0;
  int sound_blocks_ = 0;  // blocks of the current sound
  double quietest_ = 0;   // its quietest smoothed power
  int max_sound_blocks_ = 1000;
  double opening_power_ = 0;  // a sound the stream opened on, until it is settled
};

}  // namespace doruzudo
