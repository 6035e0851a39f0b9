// What the far end of a line sends for one dialed number, for listening and
// for measuring the exchange's tones: the line is taken off-hook and the
// number completed at the first sample (no keys are played), then `seconds`
// of the line are rendered with the dialer's side silent. An answering party
// therefore speaks and then waits: no message comes to end.
// Thread-safety: a pure function (espeak-ng calls are serialised inside).
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "sim/scenario.h"

namespace doruzudo::sim {

struct RenderOptions {
  bool espeak = true;  // false: the party babbles
  int channel = 1;     // picks the seed as on that line of an exchange
};

std::vector<int16_t> renderNumber(const Scenario& scenario, const QString& number, double seconds,
                                  const RenderOptions& options = {});

}  // namespace doruzudo::sim
