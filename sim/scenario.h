// Scenario: what the far end of each line does, by dialed number. A small
// text format:
//
//   # comment (also after a line)
//   tones br        # tone plan: br (default), de, es, fr, it, mx, pt, uk, us
//   noise -55       # line noise in dBm0; omitted: none
//   level -15       # tone and speech level in dBm0 (default -15)
//   seed 7          # for the random choices (default 1)
//   <pattern> <behaviour> [key=value ...]
//
// A pattern is a whole number, a prefix ending in "*", or "*" alone; the
// first line that matches a dialed number wins. Behaviours:
//   busy                       busy tone from the start
//   noringback                 nothing but line noise until on-hook
//   ring                       ringback until on-hook, never answers
//   answer rings=N [talk=SECONDS|silent] [keys=DIGITS] [keydelay=MS]
//          [hangup=SECONDS] [afterhangup=busy|silence]
//   mix busy=P ring=P noringback=P answer=P   a seeded random choice
//
// Pure data and parsing; thread-safe.
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "common/status.h"

namespace doruzudo::sim {

struct Behaviour {
  enum class Kind { Busy, NoRingback, Ring, Answer, Mix };
  Kind kind = Kind::Busy;
  // answer
  int rings = 1;
  double talkSeconds = 1.5;  // 0 with `silent`
  bool silent = false;
  QString keys;
  int keyDelayMs = 1000;
  std::optional<double> hangupSeconds;  // after the dialer's message; none: stays on
  bool busyAfterHangup = true;          // afterhangup=busy (default) or silence
  // mix: weights of busy, ring, noringback, answer
  double pBusy = 0, pRing = 0, pNoRingback = 0, pAnswer = 0;

  QString name() const;
};

struct ScenarioLine {
  QString pattern;
  Behaviour behaviour;
  int lineNumber = 0;

  bool matches(const QString& number) const;
  // A whole-number pattern equal to the number: the number is complete.
  bool completes(const QString& number) const { return pattern == number; }
};

struct Scenario {
  QString tonePlan = QStringLiteral("br");
  std::optional<double> noiseDbm0;
  double levelDbm0 = -15;
  uint64_t seed = 1;
  std::vector<ScenarioLine> lines;

  // The first line matching `number`, or null.
  const ScenarioLine* match(const QString& number) const;
  // True when a whole-number line equals `number` (no need to wait for more digits).
  bool completes(const QString& number) const;
};

Result<Scenario> parseScenario(const QString& text, const QString& fileName);
Result<Scenario> loadScenario(const QString& fileName);

// Resolves a mix into one of its behaviours with a uniform draw u in [0, 1).
Behaviour resolveMix(const Behaviour& mix, double u);

}  // namespace doruzudo::sim
