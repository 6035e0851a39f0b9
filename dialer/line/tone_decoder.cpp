#include "dialer/line/tone_decoder.h"

#include <algorithm>

namespace doruzudo {

ToneDecoder::ToneDecoder(const ToneDecoderOptions& options)
    : options_(options), dtmf_(options.dtmf), burst_(options.burst), silence_(options.silence) {}

void ToneDecoder::setCallbacks(Callbacks callbacks) {
  callbacks_ = std::move(callbacks);
  dtmf_.setCallback([this](char key, int64_t start) {
    if (callbacks_.dtmf) callbacks_.dtmf(static_cast<unsigned char>(key), start);
  });
  burst_.setCallback([this](double f, double second, int ms, int64_t start) {
    if (callbacks_.frequency) callbacks_.frequency(f, second, ms, start);
  });
  silence_.setCallbacks(
      [this](int64_t start) {
        if (callbacks_.silence_start) callbacks_.silence_start(start);
      },
      [this](int64_t end, int ms) {
        if (callbacks_.silence_end) callbacks_.silence_end(end, ms);
      });
}

void ToneDecoder::process(std::span<const int16_t> samples) {
  // In step, one 5 ms block at a time, so that the order of the events of the
  // different detectors does not depend on the frames.
  constexpr int kBlock = DtmfDetector::kBlock;
  size_t i = 0;
  while (i < samples.size()) {
    const size_t n = std::min<size_t>(kBlock - position_ % kBlock, samples.size() - i);
    const auto chunk = samples.subspan(i, n);
    position_ += static_cast<int64_t>(n);
    if (options_.monitor_dtmf) dtmf_.process(chunk);
    if (options_.monitor_custom_tone) burst_.process(chunk);
    if (options_.monitor_silence) silence_.process(chunk);
    i += n;
  }
}

void ToneDecoder::reset() {
  dtmf_.reset();
  burst_.reset();
  silence_.reset();
  position_ = 0;
}

}  // namespace doruzudo
