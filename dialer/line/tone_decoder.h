// The tone decoder of one channel: keys, call-progress bursts, speech bursts
// and silence from the line audio (8000 Hz, 16-bit), as events with positions
// in samples. A pure object: no clock, no thread, no device; feed it with
// process() in frames of any size and it reports by callback, from inside
// process(), the same events in the same order whatever the frames.
//
// Events:
//   dtmf(key, position): one per key press; key is the character code ('0' =
//     48 ... '9' = 57, '*', '#', 'A'-'D'); position is the tone's first sample.
//   frequency(frequency, second, duration_ms, start): one per burst, at its end
//     (dtmf keys are bursts too); second is 0 for a single tone and for speech.
//   silence_start(start) / silence_end(end, duration_ms).
// Inside a callback, position() is the sample at which the event was recognised.
//
// The detectors are DtmfDetector (dtmf_detector.h), BurstDetector
// (burst_detector.h) and SilenceDetector (silence_detector.h); each header
// states the limits it meets. They run in step on 5 ms blocks; within one block
// keys come first, then bursts, then silence.
//
// Cost (bench-tones, frames of 160): the key detector alone runs about twice as
// fast as spandsp's dtmf_rx; the whole decoder at about 0.7 of dtmf_rx.
// Thread-safety: a plain object used from one thread (the channel's audio tick).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "dialer/line/burst_detector.h"
#include "dialer/line/dtmf_detector.h"
#include "dialer/line/silence_detector.h"

namespace doruzudo {

struct ToneDecoderOptions {
  bool monitor_dtmf = true;
  bool monitor_custom_tone = true;  // bursts (FrequencyDetected)
  bool monitor_silence = true;
  // Accepted for the channel's configuration and ignored: this decoder has no
  // caller-id, TTY, MF or SAME receivers.
  bool monitor_caller_id = false;
  bool monitor_tty = false;
  bool monitor_mf = false;
  bool monitor_same = false;
  DtmfDetector::Options dtmf;
  BurstDetector::Options burst;
  SilenceDetector::Options silence;
};

class ToneDecoder {
 public:
  struct Callbacks {
    std::function<void(int key, int64_t position)> dtmf;
    std::function<void(double frequency, double second, int duration_ms, int64_t start)> frequency;
    std::function<void(int64_t start)> silence_start;
    std::function<void(int64_t end, int duration_ms)> silence_end;
  };

  static constexpr int kRate = 8000;

  ToneDecoder() : ToneDecoder(ToneDecoderOptions()) {}
  explicit ToneDecoder(const ToneDecoderOptions& options);

  void setCallbacks(Callbacks callbacks);
  void process(std::span<const int16_t> samples);
  // Back to the state of a new decoder (positions from 0 again); callbacks kept.
  void reset();
  int64_t position() const { return position_; }
  const ToneDecoderOptions& options() const { return options_; }

 private:
  static constexpr int kBlock = DtmfDetector::kBlock;
  void runBlock(std::span<const int16_t> block);

  ToneDecoderOptions options_;
  Callbacks callbacks_;
  DtmfDetector dtmf_;
  BurstDetector burst_;
  SilenceDetector silence_;
  int64_t position_ = 0;
  std::array<int16_t, kBlock> block_{};  // a block being gathered from short frames
  int pending_ = 0;                      // samples in block_
};

}  // namespace doruzudo
