#include "dialer/line/audio_mixer.h"

#include <algorithm>

namespace doruzudo {

void AudioMixer::start(Player player, std::vector<int16_t> samples) {
  Slot& s = slot(player);
  s.active = true;
  s.samples = std::move(samples);
  s.position = 0;
  s.finishedAt.reset();
}

void AudioMixer::stop(Player player) {
  slot(player) = Slot();
}

bool AudioMixer::anyActive() const {
  return std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.active; });
}

void AudioMixer::mix(std::span<int16_t> out, int64_t firstIndex) {
  sum_.assign(out.size(), 0);
  for (Slot& s : slots_) {
    if (!s.active || s.finishedAt) continue;
    const size_t n = std::min(out.size(), s.samples.size() - s.position);
    for (size_t i = 0; i < n; ++i) sum_[i] += s.samples[s.position + i];
    s.position += n;
    if (s.position == s.samples.size()) {
      s.finishedAt = firstIndex + static_cast<int64_t>(n);
      s.samples = {};
      s.position = 0;
    }
  }
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<int16_t>(std::clamp(sum_[i], -32768, 32767));
  }
}

}  // namespace doruzudo
