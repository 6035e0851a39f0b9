// Burst detector for 8000 Hz line audio: one report per burst of sound, at its
// end, with its frequency, a second frequency for dual tones, its duration and
// its start. This is what call progress is classified on.
//
// Meets, with the default options (figures from bench-tones):
//   call-progress tones (single tones of 100 to 2500 Hz, dual tones; the
//     cadences of Brazil, Europe, the UK, the US, France, Japan) at -10 to
//     -35 dBm0 with 15 dB SNR or better: one report per burst, duration within
//     +-3 ms (mean bias -0.4 ms; target +-10 ms, bias +-3 ms), reported 30 ms
//     after the burst's end (target 50 ms), frequency within 0.2 % from 100 ms
//     (target 2 %); no report from the noise between the bursts;
//   speech: reported as bursts of 50 to 899 ms with a frequency between 100 and
//     2500 Hz (the strongest part of its spectrum), never longer: a burst that
//     reaches `speech_cap_ms` without being a tone is split at its deepest dip;
//     every utterance start gives a burst;
//   continuous noise (white, pink), hum and silence: no reports (the level floor
//     learns them; a burst longer than `max_burst_ms` is taken as a new
//     background and dropped; a steady burst that is not tonal, a noise burst,
//     is not reported; frequencies below `min_frequency_hz`, mains hum, are not
//     reported).
// Sound already present when the stream opens is taken for the background; if
// the level then falls well under it within `max_burst_ms`, it is reported as
// a burst from the first sample (a recording that starts within a tone).
//
// How: 5 ms blocks. A burst starts when a block's power is `on_db` above the
// background floor (tone_level.h) and above `min_level_dbm0`, and ends after
// `hangover_ms` without such a block. Its edges are measured to the sample
// from the edge blocks' share of the burst's steady power. At the end its
// samples are analysed (tone_peaks.h): a tone (most of the power in one or
// two spectral peaks) is reported with its measured frequencies; otherwise a
// burst whose level moves (speech: 90th over 10th percentile of its 20 ms
// power above `speech_swing_db`) is reported with the strongest frequency in
// 100-2500 Hz; a steady non-tonal burst (noise) is not reported.
// Thread-safety: a plain object used from one thread; callbacks run inside process().
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "dialer/line/tone_level.h"
#include "dialer/line/tone_peaks.h"

namespace doruzudo {

class BurstDetector {
 public:
  struct Options {
    double on_db = 9;                  // above the floor
    double min_level_dbm0 = -50;       // quieter is never a burst
    double hangover_ms = 30;           // a gap this long ends a burst
    double min_burst_ms = 50;          // shorter bursts are not reported
    double max_burst_ms = 5000;        // longer ones are background
    double speech_cap_ms = 800;        // a non-tonal burst is split before this
    double speech_swing_db = 6;        // level swing that marks speech
    double min_tonality = 0.6;         // share of power in the peaks for a tone
    double min_peak_to_skirt_db = 15;  // and how narrow the peaks are
    double min_frequency_hz = 90;      // below: hum, not reported
    double max_frequency_hz = 3400;
  };
  // frequency and second (0: none) in Hz, duration in ms, start in samples.
  using Callback =
      std::function<void(double frequency, double second, int duration_ms, int64_t start)>;

  static constexpr int kRate = 8000;
  static constexpr int kBlock = 40;

  BurstDetector() : BurstDetector(Options()) {}
  explicit BurstDetector(Options options);

  void setCallback(Callback callback) { callback_ = std::move(callback); }
  void process(std::span<const int16_t> samples);
  // One whole 5 ms block whose power (mean square) the caller has measured,
  // when no partial block is pending (for a caller that feeds several
  // detectors block by block).
  void processBlock(std::span<const int16_t> block, double power);
  void reset();
  int64_t position() const { return position_; }

 private:
  BurstDetector(Options options, Callback callback);
  void endOfBlock(double power);
  void endBurst(int64_t last_block);
  void checkLongBurst();
  void checkOpening(double power, bool active);
  void trimHistory(int64_t from_block);
  // Reports the burst of blocks [first, end) (its end measured within the
  // blocks when `refine_end`, else cut at the block boundary).
  void report(int64_t first_block, int64_t end_block, bool refine_end);
  double blockPower(int64_t block) const;
  std::span<const int16_t> sampleSpan(int64_t from, int64_t to) const;  // absolute positions
  double swingDb(int64_t first, int64_t end) const;
  bool isTone(const SpectrumPeaks& peaks) const;

  Options options_;
  Callback callback_;
  LevelFloor floor_;
  double on_ratio_ = 8, min_power_ = 0;
  int hangover_blocks_ = 6, min_blocks_ = 10, max_blocks_ = 1000, cap_blocks_ = 160;

  int64_t position_ = 0;
  int64_t block_ = 0;  // index of the block being filled
  BlockPower<kBlock> blockPower_;  // the stream cut into blocks when fed by process()
  double smooth_[4] = {0, 0, 0, 0};

  // History from `base_block_`: one block before the burst (or the last two
  // blocks when idle), every sample and block power since.
  int64_t base_block_ = 0;
  std::vector<int16_t> samples_;
  std::vector<float> powers_;

  bool in_burst_ = false;
  bool steady_ = false;  // a long burst found to be a tone or noise
  int64_t first_block_ = 0, last_active_ = 0;
  double burst_floor_ = 0;
  // A sound that was there when the stream opened: its power (0: none, or
  // settled) and how many blocks have been well under it.
  double opening_power_ = 0;
  int opening_quiet_ = 0;
};

}  // namespace doruzudo
