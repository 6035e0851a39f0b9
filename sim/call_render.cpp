#include "sim/call_render.h"

#include <algorithm>
#include <memory>

#include "sim/far_end.h"

namespace doruzudo::sim {

std::vector<int16_t> renderNumber(const Scenario& scenario, const QString& number, double seconds,
                                  const RenderOptions& options) {
  auto shared = std::make_shared<const Scenario>(scenario);
  auto voice =
      std::make_shared<PartyVoice>(PartyVoice::Options{scenario.levelDbm0, options.espeak});
  FarEndOptions o;
  o.channel = options.channel;
  o.seed = lineSeed(scenario.seed, options.channel);
  FarEnd farEnd(shared, voice, o);
  farEnd.dial(number);
  const auto total = static_cast<size_t>(std::max(0.0, seconds) * FarEnd::kRate + 0.5);
  std::vector<int16_t> out(total);
  for (size_t at = 0; at < total; at += FarEnd::kFrame) {
    const size_t n = std::min<size_t>(FarEnd::kFrame, total - at);
    farEnd.process({}, std::span<int16_t>(out).subspan(at, n));
  }
  return out;
}

}  // namespace doruzudo::sim
