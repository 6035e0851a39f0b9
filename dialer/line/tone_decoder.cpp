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
  // Block by block (5 ms, counted from the first sample), each block through
  // every detector in turn: the events come in the same order whatever the
  // frames, and the block's power is measured once.
  size_t i = 0;
  while (i < samples.size()) {
    if (pending_ == 0 && samples.size() - i >= kBlock) {
      position_ += kBlock;
      runBlock(samples.subspan(i, kBlock));
      i += kBlock;
      continue;
    }
    const size_t n = std::min<size_t>(kBlock - pending_, samples.size() - i);
    std::copy_n(samples.begin() + i, n, block_.begin() + pending_);
    pending_ += static_cast<int>(n);
    position_ += static_cast<int64_t>(n);
    i += n;
    if (pending_ == kBlock) {
      pending_ = 0;
      runBlock(block_);
    }
  }
}

void ToneDecoder::runBlock(std::span<const int16_t> block) {
  if (options_.monitor_dtmf) dtmf_.process(block);
  if (!options_.monitor_custom_tone && !options_.monitor_silence) return;
  int64_t sum = 0;
  for (int16_t v : block) sum += int32_t(v) * v;
  const double power = double(sum) / kBlock;
  if (options_.monitor_custom_tone) burst_.processBlock(block, power);
  if (options_.monitor_silence) silence_.processBlock(power);
}

void ToneDecoder::reset() {
  dtmf_.reset();
  burst_.reset();
  silence_.reset();
  position_ = 0;
  pending_ = 0;
}

}  // namespace doruzudo
