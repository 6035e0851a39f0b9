// Helpers for the exchange's tests: what the dialer's tone decoder makes of
// the line audio (bursts and keys with positions), and the audio a dialer
// plays (keys, a message).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dialer/line/signal_synth.h"
#include "dialer/line/tone_decoder.h"

namespace doruzudo::sim::simtest {

struct Burst {
  double frequency = 0, second = 0;
  int ms = 0;
  int64_t start = 0;  // samples
};
struct Key {
  char key = 0;
  int64_t start = 0;
};

struct Heard {
  std::vector<Burst> bursts;
  std::vector<Key> keys;
};

// The decoder's bursts and keys in `samples`, positions counted from their
// start. The decoder learns its level floor from what it hears first, so the
// audio is preceded by 200 ms of silence, as on a line; a burst still sounding
// at the end is closed by 100 ms of silence.
inline Heard decode(std::span<const int16_t> samples) {
  constexpr int64_t kLead = 1600;
  Heard heard;
  ToneDecoder decoder;
  ToneDecoder::Callbacks cb;
  cb.frequency = [&](double f, double f2, int ms, int64_t start) {
    heard.bursts.push_back({f, f2, ms, start - kLead});
  };
  cb.dtmf = [&](int key, int64_t start) {
    heard.keys.push_back({static_cast<char>(key), start - kLead});
  };
  decoder.setCallbacks(cb);
  const std::vector<int16_t> lead(kLead, 0);
  decoder.process(lead);
  decoder.process(samples);
  const std::vector<int16_t> tail(800, 0);
  decoder.process(tail);
  return heard;
}

inline std::string keysOf(const Heard& heard) {
  std::string s;
  for (const Key& k : heard.keys) s += k.key;
  return s;
}

// Keys as a dialer plays them: `onMs` of tone, `offMs` between keys.
inline std::vector<int16_t> dtmf(const char* keys, double onMs = 80, double offMs = 80) {
  synth::Signal s;
  s.dtmfString(keys, onMs, offMs, -8);
  return s.pcm();
}

inline std::vector<int16_t> silence(double ms) {
  return std::vector<int16_t>(static_cast<size_t>(ms * 8), 0);
}

inline void append(std::vector<int16_t>& to, const std::vector<int16_t>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

// RMS level of samples [fromMs, toMs) in dBm0.
inline double levelBetween(const std::vector<int16_t>& s, double fromMs, double toMs) {
  const auto from = static_cast<size_t>(fromMs * 8), to = static_cast<size_t>(toMs * 8);
  return synth::levelDbm0(std::span<const int16_t>(s).subspan(from, to - from));
}

}  // namespace doruzudo::sim::simtest
