#include "dialer/line/channel_audio_resampler.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>

namespace doruzudo {

struct StreamResampler::State {
  SRC_STATE* src = nullptr;
  std::vector<float> in, out;
  ~State() {
    if (src) src_delete(src);
  }
};

StreamResampler::StreamResampler(int fromRate, int toRate)
    : from_(fromRate), to_(toRate), state_(std::make_unique<State>()) {
  if (from_ != to_ && from_ > 0 && to_ > 0) {
    int error = 0;
    state_->src = src_new(SRC_SINC_FASTEST, 1, &error);
  }
}

StreamResampler::~StreamResampler() = default;

void StreamResampler::reset() {
  if (state_->src) src_reset(state_->src);
}

std::vector<int16_t> StreamResampler::process(std::span<const int16_t> in) {
  if (!state_->src) return std::vector<int16_t>(in.begin(), in.end());
  const double ratio = double(to_) / from_;
  State& s = *state_;
  s.in.resize(in.size());
  for (size_t i = 0; i < in.size(); ++i) s.in[i] = in[i] / 32768.0f;
  s.out.resize(static_cast<size_t>(std::ceil(in.size() * ratio)) + 64);
  SRC_DATA data{};
  data.data_in = s.in.data();
  data.input_frames = static_cast<long>(s.in.size());
  data.data_out = s.out.data();
  data.output_frames = static_cast<long>(s.out.size());
  data.src_ratio = ratio;
  data.end_of_input = 0;
  if (src_process(s.src, &data) != 0) return {};
  std::vector<int16_t> result(static_cast<size_t>(data.output_frames_gen));
  for (size_t i = 0; i < result.size(); ++i) {
    result[i] = static_cast<int16_t>(std::clamp(std::lround(s.out[i] * 32768.0f), -32768L, 32767L));
  }
  return result;
}

}  // namespace doruzudo
