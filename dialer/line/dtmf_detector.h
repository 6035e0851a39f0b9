// DTMF key detector for 8000 Hz line audio.
//
// Meets, with the default options (figures from bench-tones):
//   frequencies (ITU-T Q.23) accepted within +-1.5 % on either or both tones and
//     rejected from +-3.5 % (limit +-2 %, measured from the phase advance of each
//     tone between overlapping windows, not from the filters' response);
//   level: each tone from -36 dBm0 up to 0 dBm0 accepted, below -40 dBm0 ignored
//     (-45 dBm0 never accepted);
//   twist: the high tone up to 8 dB weaker or 4 dB stronger than the low tone
//     (limits 10 and 6 dB);
//   duration: tones of 35 ms and longer give one key, tones of 26 ms or less none
//     (limit 27 ms of measured tone, measured to a few samples from the windows'
//     coherent amplitudes); a pause of 30 ms separates two presses of the same
//     key; an interruption up to 20 ms within a tone does not split it;
//   noise: every key at 6 dB signal-to-noise ratio (white noise over the band);
//   talk-off: no key from 9 minutes of espeak-ng speech (pt-br, en-us); about
//     one key per 30 s from the harsher synthetic babble of signal_synth.h.
//     A window counts only when at least half of its energy is in the two
//     tones; a key needs 4 windows that pass on their own and tones that do not
//     glide (2.5 Hz per 5 ms, 3.1 Hz for a key alone on the line); a key whose
//     tones hold less than 70 % of the energy (a key under other sound) must
//     also be steady: per-window frequencies within 5 Hz, twist within 5 dB;
//   talk-down: keys at -10 dBm0 under speech at -25/-15/-10/-5 dBm0 found
//     100/98/82/63 %;
//   latency: the key is reported 27 to 37 ms after the tone's start.
//
// How: eight Goertzel filters give the complex DFT of every 5 ms block; two
// blocks make a 10 ms window (hop 5 ms). A window is a hit for a key when the
// strongest low and high tones pass the level, twist and purity limits. Hits of
// one key form a run (gaps up to `max_gap_ms` bridged; another key takes over
// after two windows); the run's length is the sum of its windows' amplitudes
// relative to its strongest window, and the key is reported once the run is
// long enough and its tones' measured frequencies, twist and steadiness pass.
// Thread-safety: a plain object used from one thread; callbacks run inside process().
#pragma once

#include <complex>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "dialer/line/goertzel.h"

namespace doruzudo {

class DtmfDetector {
 public:
  struct Options {
    double min_level_dbm0 = -40;       // per tone
    double max_reverse_twist_db = 10;  // high tone weaker than low
    double max_normal_twist_db = 6;    // high tone stronger than low
    double max_frequency_error = 0.02;
    double min_duration_ms = 27;
    double min_purity = 0.5;
    double max_gap_ms = 20;
    double max_glide_hz = 2.5;  // per 5 ms: a tone whose frequency slides is speech
    int min_hits = 4;           // windows that pass on their own (not bridged)
    // A key heard with other sound (mean purity under clean_purity) must also
    // be steady: its tones' frequencies and twist may not wander.
    double clean_purity = 0.7;
    double max_jitter_hz = 5;
    double max_twist_swing_db = 5;
  };
  // key: '0'-'9', '*', '#', 'A'-'D'; start: the tone's first sample.
  using Callback = std::function<void(char key, int64_t start)>;

  static constexpr int kRate = 8000;
  static constexpr int kBlock = 40;  // samples per Goertzel block (5 ms)

  DtmfDetector() : DtmfDetector(Options()) {}
  explicit DtmfDetector(Options options);

  void setCallback(Callback callback) { callback_ = std::move(callback); }
  // Any number of samples; keys are reported at the end of the block that
  // recognises them.
  void process(std::span<const int16_t> samples);
  void reset();
  int64_t position() const { return position_; }  // samples processed so far

 private:
  struct Run {
    bool active = false;
    bool reported = false;
    int low = 0, high = 0;
    std::vector<float> energies;  // per window, the run's two tones (incl. the one before)
    std::vector<float> gap;       // windows since the last hit
    float max_energy = 0;
    std::complex<float> phase_low, phase_high;     // accumulated phase advance
    std::vector<float> offsets_low, offsets_high;  // per hit window, Hz
    std::vector<float> twists, purities;
    double sum_low = 0, sum_high = 0;
    int hits = 0;
  };

  void endOfBlock();
  void analyseWindow(const GoertzelBank::Values& y, float window_energy);
  void startRun(int low, int high);
  void finishRun();
  void tryReport();
  bool clean() const;
  bool steady() const;

  Options options_;
  Callback callback_;
  GoertzelBank bank_;
  GoertzelBank::Values rotation_;  // e^{-j w kBlock}
  float min_tone_energy_ = 0;      // per 2-block window
  int max_gap_windows_ = 4;
  double min_duration_samples_ = 240;
  double reverse_twist_ = 10, normal_twist_ = 4;  // as power ratios

  int64_t position_ = 0;
  int64_t blocks_ = 0;
  GoertzelBank::Values last_x_{}, last_y_{};
  float last_block_energy_ = 0;
  std::array<float, 8> last_tone_energy_{};
  std::array<std::complex<float>, 8> advance_{};
  Run run_;
  int switch_low_ = -1, switch_high_ = -1;  // another key's first hit
};

}  // namespace doruzudo
