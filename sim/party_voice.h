// The called party's voice: short Portuguese phrases spoken by espeak-ng,
// or, when espeak-ng or its voice is missing (or babble is asked for),
// speech-like babble from signal_synth.h. Speech comes at a chosen level
// (the RMS of its voiced parts, in dBm0) in exactly the length asked for.
//
// The phrases are rendered once, at the first request, and kept: every far
// end of an exchange shares one PartyVoice.
// Thread-safety: a plain object used from one thread.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace doruzudo::sim {

class PartyVoice {
 public:
  struct Options {
    double dbm0 = -15;
    bool espeak = true;  // false: babble only (quick and the same everywhere)
  };

  PartyVoice() : PartyVoice(Options()) {}
  explicit PartyVoice(Options options) : options_(options) {}

  // `samples` samples of speech at 8000 Hz; `variant` picks where the
  // phrases start (or the babble's seed).
  std::vector<int16_t> speech(int64_t samples, uint32_t variant);
  // True once espeak-ng has been found to speak (false before the first request).
  bool usingEspeak() const { return !phrases_.empty(); }

 private:
  void renderPhrases();
  std::vector<int16_t> babble(int64_t samples, uint32_t variant);

  Options options_;
  bool tried_ = false;
  std::vector<std::vector<int16_t>> phrases_;
  std::map<std::pair<int64_t, uint32_t>, std::vector<int16_t>> babbleCache_;
};

// Scales `samples` so that the RMS of their voiced part (samples above a
// small threshold) is `dbm0`; silence stays silence.
void scaleToLevel(std::vector<int16_t>& samples, double dbm0);

}  // namespace doruzudo::sim
