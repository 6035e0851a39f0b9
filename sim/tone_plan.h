// Call-progress tone plans of a few countries: the dial, ringback and busy
// tones the virtual exchange plays, as frequencies and on/off cadences.
// Values follow the national plans as published by the ITU.
// Pure data; thread-safe.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace doruzudo::sim {

// One tone: one or two frequencies, played on/off in a repeating cadence
// (an empty cadence is a continuous tone).
struct ToneSpec {
  double frequency = 0;
  double secondFrequency = 0;     // 0: a single tone
  std::vector<int> cadenceMs;     // on, off, on, off, ... repeating
};

struct TonePlan {
  QString code;  // "br", "us", ...
  ToneSpec dial, ringback, busy;
};

// The plan of a country code (br, de, es, fr, it, mx, pt, uk, us).
std::optional<TonePlan> tonePlan(const QString& code);
QStringList tonePlanCodes();

}  // namespace doruzudo::sim
