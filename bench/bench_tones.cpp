// bench-tones: the tone decoder's accuracy and speed next to spandsp's dtmf_rx
// on the same synthesised corpora, fed in the same 20 ms frames, with the
// targets printed beside the figures.
//
//   bench-tones [--quick] [--only SECTION] [--debug]
//   (--quick: fewer repetitions; SECTION: snr, durations, dropouts, offsets, twist,
//   latency, cadences, frequency, background, silence, talkoff, talkdown, speech,
//   throughput; --debug: print every miss and false key)
//
// SNR is the power of the whole signal (both DTMF tones together; the tone of a
// burst) over white noise across the band. Levels are dBm0 per tone.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

// spandsp's headers need this order.
// clang-format off
extern "C" {
#include <spandsp/telephony.h>
#include <spandsp/logging.h>
#include <spandsp/complex.h>
#include <spandsp/super_tone_rx.h>
#include <spandsp/tone_detect.h>
#include <spandsp/dtmf.h>
}
// clang-format on

#include "dialer/line/dtmf_detector.h"
#include "dialer/line/signal_synth.h"
#include "dialer/line/speech_synth.h"
#include "dialer/line/tone_decoder.h"

using namespace doruzudo;
using synth::Signal;

namespace {

constexpr int kFrame = 160;
int g_reps = 1;        // repetition factor (--quick: 1, default: 4)
bool g_debug = false;  // --debug: print every miss and false key

struct Expected {
  char key;
  int64_t start, end;  // samples
};

struct Detected {
  char key;
  int64_t at;  // sample at which it was reported
};

struct Score {
  int expected = 0, correct = 0, missed = 0, wrong = 0, extra = 0;
  std::vector<double> latency_ms;
  double rate() const { return expected ? 100.0 * correct / expected : 0; }
  int falses() const { return wrong + extra; }
  void add(const Score& o) {
    expected += o.expected, correct += o.correct, missed += o.missed, wrong += o.wrong,
        extra += o.extra;
    latency_ms.insert(latency_ms.end(), o.latency_ms.begin(), o.latency_ms.end());
  }
};

// Each expected key owns [start, next start); exactly one right key in it is a hit.
Score score(const std::vector<Expected>& expected, const std::vector<Detected>& got,
            int64_t total) {
  Score s;
  s.expected = static_cast<int>(expected.size());
  size_t g = 0;
  while (g < got.size() && !expected.empty() && got[g].at < expected[0].start) ++s.extra, ++g;
  for (size_t i = 0; i < expected.size(); ++i) {
    const int64_t until = i + 1 < expected.size() ? expected[i + 1].start : total + 1;
    int right = 0;
    for (; g < got.size() && got[g].at < until; ++g) {
      if (got[g].key == expected[i].key) {
        if (g_debug) std::printf("    (report %c at %.1f ms)\n", got[g].key, got[g].at / 8.0);
        if (++right == 1) s.latency_ms.push_back((got[g].at - expected[i].start) / 8.0);
      } else {
        ++s.wrong;
        if (g_debug)
          std::printf("    wrong %c at %.1f ms for %c at %.1f ms\n", got[g].key, got[g].at / 8.0,
                      expected[i].key, expected[i].start / 8.0);
      }
    }
    if (g_debug && right != 1)
      std::printf("    %c at %.1f ms: %d reports\n", expected[i].key, expected[i].start / 8.0,
                  right);
    if (right == 0) ++s.missed;
    if (right >= 1) ++s.correct;
    if (right > 1) s.extra += right - 1;
  }
  return s;
}

// --- the two detectors, frame by frame -------------------------------------

std::vector<Detected> runOurs(const std::vector<int16_t>& pcm) {
  std::vector<Detected> out;
  DtmfDetector d;
  d.setCallback([&](char key, int64_t) { out.push_back({key, d.position()}); });
  for (size_t i = 0; i < pcm.size(); i += kFrame) {
    d.process(std::span<const int16_t>(pcm).subspan(i, std::min<size_t>(kFrame, pcm.size() - i)));
  }
  return out;
}

struct SpanRx {
  std::vector<Detected>* out;
  int64_t at = 0;
};

void spanDigits(void* user, const char* digits, int len) {
  auto* rx = static_cast<SpanRx*>(user);
  for (int i = 0; i < len; ++i) rx->out->push_back({digits[i], rx->at});
}

std::vector<Detected> runSpandsp(const std::vector<int16_t>& pcm) {
  std::vector<Detected> out;
  SpanRx rx{&out};
  dtmf_rx_state_t* s = dtmf_rx_init(nullptr, spanDigits, &rx);
  for (size_t i = 0; i < pcm.size(); i += kFrame) {
    const int n = static_cast<int>(std::min<size_t>(kFrame, pcm.size() - i));
    rx.at = static_cast<int64_t>(i + n);
    dtmf_rx(s, pcm.data() + i, n);
  }
  dtmf_rx_free(s);
  return out;
}

// --- corpora ---------------------------------------------------------------

constexpr const char* kAllKeys = "123A456B789C*0#D";

struct Corpus {
  Signal signal;
  std::vector<Expected> keys;
};

// Appends one key with its pause, which is made 0 to 4.9 ms longer so that the
// keys fall at every position of the detectors' blocks.
void addKey(Corpus& c, const synth::DtmfKey& key, double on_ms, double off_ms) {
  static unsigned jitter = 0;
  jitter = (jitter * 1103515245u + 12345u) & 0x7fffffffu;
  const int64_t at = c.signal.size();
  c.signal.dtmf(key, on_ms);
  c.keys.push_back({key.key, at, c.signal.size()});
  c.signal.silence(off_ms + (jitter >> 8) % 40 / 8.0);
}

Corpus keyCorpus(int reps, double on_ms, double off_ms, double dbm0_low, double dbm0_high,
                 double off_low = 0, double off_high = 0, const char* keys = kAllKeys) {
  Corpus c;
  c.signal.silence(100);
  for (int r = 0; r < reps; ++r) {
    for (const char* k = keys; *k; ++k) {
      addKey(c, {*k, dbm0_low, dbm0_high, off_low, off_high}, on_ms, off_ms);
    }
  }
  c.signal.silence(200);
  return c;
}

void addNoiseForSnr(Corpus& c, double signal_dbm0_total, double snr_db, uint32_t seed) {
  c.signal.addNoise(synth::Noise::White, signal_dbm0_total - snr_db, seed);
}

struct Pair {
  Score ours, theirs;
  void add(const Pair& o) { ours.add(o.ours), theirs.add(o.theirs); }
};

Pair runBoth(const Corpus& c) {
  const auto pcm = c.signal.pcm();
  Pair p;
  p.ours = score(c.keys, runOurs(pcm), c.signal.size());
  const bool debug = g_debug;
  g_debug = false;  // --debug follows our detector only
  p.theirs = score(c.keys, runSpandsp(pcm), c.signal.size());
  g_debug = debug;
  return p;
}

void printRow(const char* label, const Pair& p, const char* target) {
  std::printf("  %-34s ours %6.2f %% (%d/%d, false %d)   spandsp %6.2f %% (false %d)   target %s\n",
              label, p.ours.rate(), p.ours.correct, p.ours.expected, p.ours.falses(),
              p.theirs.rate(), p.theirs.falses(), target);
}

double mean(const std::vector<double>& v) {
  double s = 0;
  for (double x : v) s += x;
  return v.empty() ? 0 : s / v.size();
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p / 100 * v.size()))];
}

// --- DTMF sections ---------------------------------------------------------

void benchSnr() {
  std::printf("\nDTMF by SNR (50 ms on, 50 ms off, -10 dBm0 per tone):\n");
  for (double snr : {20.0, 12.0, 9.0, 6.0, 3.0}) {
    Corpus c = keyCorpus(8 * g_reps, 50, 50, -10, -10);
    addNoiseForSnr(c, -10 + 3.01, snr, static_cast<uint32_t>(snr * 10));
    char label[64];
    std::snprintf(label, sizeof label, "SNR %4.1f dB", snr);
    printRow(label, runBoth(c),
             snr >= 9 ? "100 %, no false" : (snr >= 6 ? ">= 99 %, no false" : "no false"));
  }
}

void benchDurations() {
  std::printf("\nDTMF by tone duration (pause 40 ms, -10 dBm0, SNR 30 dB):\n");
  for (double on : {20.0, 23.0, 26.0, 30.0, 35.0, 40.0, 50.0}) {
    Corpus c = keyCorpus(4 * g_reps, on, 40, -10, -10);
    addNoiseForSnr(c, -7, 30, 7);
    char label[64];
    std::snprintf(label, sizeof label, "%2.0f ms tones", on);
    printRow(label, runBoth(c), on <= 23 ? "0 %" : (on >= 40 ? "100 %" : "-"));
  }
  std::printf("\nDTMF by pause, the same key repeated (40 ms tones, -10 dBm0, SNR 30 dB):\n");
  for (double off : {20.0, 30.0, 40.0, 60.0}) {
    Corpus c;
    c.signal.silence(100);
    for (const char* k = kAllKeys; *k; ++k) {
      for (int r = 0; r < 3 * g_reps; ++r) addKey(c, {*k, -10, -10, 0, 0}, 40, off);
    }
    c.signal.silence(200);
    addNoiseForSnr(c, -7, 30, 8);
    char label[64];
    std::snprintf(label, sizeof label, "%2.0f ms pauses", off);
    printRow(label, runBoth(c), off >= 40 ? "100 %" : "-");
  }
}

void benchDropouts() {
  std::printf("\nDTMF across a dropout (100 ms tones, the gap 20..70 ms into the tone):\n");
  for (double gap : {5.0, 10.0, 15.0, 20.0}) {
    Corpus c;
    c.signal.silence(100);
    for (int r = 0; r < 4 * g_reps; ++r) {
      for (const char* k = kAllKeys; *k; ++k) {
        const int64_t at = c.signal.size();
        addKey(c, {*k, -10, -10, 0, 0}, 100, 80);
        const double into = 20 + std::fmod(r * 13.0 + (k - kAllKeys) * 7.0, 50);
        c.signal.dropout(at + c.signal.samplesFor(into), c.signal.samplesFor(gap));
      }
    }
    c.signal.silence(200);
    addNoiseForSnr(c, -7, 30, 9);
    char label[64];
    std::snprintf(label, sizeof label, "%2.0f ms dropout", gap);
    printRow(label, runBoth(c), gap <= 10 ? "100 %, never split" : "-");
  }
}

void benchOffsets() {
  std::printf("\nDTMF by frequency offset (50 ms on/off, -10 dBm0, SNR 30 dB):\n");
  struct Case {
    const char* label;
    std::vector<std::pair<double, double>> offsets;
    const char* target;
  };
  const double a = 0.015, b = 0.035;
  const std::vector<Case> cases = {
      {"+-1.5 % low tone", {{a, 0}, {-a, 0}}, ">= 99.9 %"},
      {"+-1.5 % high tone", {{0, a}, {0, -a}}, ">= 99.9 %"},
      {"+-1.5 % both tones", {{a, a}, {a, -a}, {-a, a}, {-a, -a}}, ">= 99.9 %"},
      {"+-3.5 % low tone", {{b, 0}, {-b, 0}}, "0 %"},
      {"+-3.5 % high tone", {{0, b}, {0, -b}}, "0 %"},
      {"+-2.0 % both (between)", {{0.02, 0.02}, {-0.02, -0.02}}, "-"},
      {"+-3.0 % both (between)", {{0.03, 0.03}, {-0.03, -0.03}}, "-"},
  };
  for (const auto& cs : cases) {
    Pair total;
    Pair key_d;
    int seed = 1;
    for (auto [ol, oh] : cs.offsets) {
      Corpus c = keyCorpus(4 * g_reps, 50, 50, -10, -10, ol, oh);
      addNoiseForSnr(c, -7, 30, seed++);
      total.add(runBoth(c));
      Corpus d = keyCorpus(4 * g_reps, 50, 50, -10, -10, ol, oh, "D");
      addNoiseForSnr(d, -7, 30, seed++);
      key_d.add(runBoth(d));
    }
    printRow(cs.label, total, cs.target);
    std::string dl = std::string("   key D only");
    printRow(dl.c_str(), key_d, cs.target);
  }
}

void benchTwistAndLevel() {
  std::printf("\nDTMF by twist (50 ms on/off, low tone -10 dBm0, SNR 30 dB):\n");
  for (double twist : {-12.0, -10.0, -8.0, -4.0, 4.0, 6.0, 8.0}) {
    Corpus c = keyCorpus(4 * g_reps, 50, 50, -10, -10 + twist);
    addNoiseForSnr(c, -7, 30, 11);
    char label[64];
    std::snprintf(label, sizeof label, "high tone %+3.0f dB", twist);
    printRow(label, runBoth(c), (twist == -8 || twist == 4) ? "100 %" : "-");
  }
  std::printf("\nDTMF by level per tone (50 ms on/off, no noise):\n");
  for (double level : {-3.0, -10.0, -20.0, -30.0, -36.0, -40.0, -45.0}) {
    Corpus c = keyCorpus(4 * g_reps, 50, 50, level, level);
    char label[64];
    std::snprintf(label, sizeof label, "%3.0f dBm0", level);
    printRow(label, runBoth(c), level >= -36 ? "100 %" : (level <= -45 ? "0 %" : "-"));
  }
}

void benchLatency() {
  std::printf(
      "\nTime from tone start to key event (50 ms keys, -10 dBm0, SNR 20 dB; frames of 160):\n");
  Corpus c = keyCorpus(8 * g_reps, 50, 50, -10, -10);
  addNoiseForSnr(c, -7, 20, 12);
  Pair p = runBoth(c);
  std::printf(
      "  ours: mean %.1f ms, 99th pct %.1f ms, max %.1f ms   spandsp: mean %.1f ms, max %.1f ms"
      "   target: within 40 ms\n",
      mean(p.ours.latency_ms), percentile(p.ours.latency_ms, 99),
      percentile(p.ours.latency_ms, 100), mean(p.theirs.latency_ms),
      percentile(p.theirs.latency_ms, 100));
  std::printf(
      "  (with frames of 160 samples an event can only be seen at a frame's end; "
      "ours by sample: see tone_decoder position)\n");
}

// --- bursts ----------------------------------------------------------------

struct Event {
  enum Kind { Key, Burst, SilenceStart, SilenceEnd } kind;
  double frequency = 0, second = 0;
  int duration_ms = 0;
  int64_t start = 0;  // burst/silence start, key position, silence end
  int64_t at = 0;     // where the decoder recognised it
  char key = 0;
};

std::vector<Event> decode(const std::vector<int16_t>& pcm, int frame = kFrame) {
  std::vector<Event> out;
  ToneDecoder d;
  ToneDecoder::Callbacks cb;
  cb.dtmf = [&](int key, int64_t pos) {
    out.push_back({Event::Key, 0, 0, 0, pos, d.position(), static_cast<char>(key)});
  };
  cb.frequency = [&](double f, double f2, int ms, int64_t start) {
    out.push_back({Event::Burst, f, f2, ms, start, d.position()});
  };
  cb.silence_start = [&](int64_t start) {
    out.push_back({Event::SilenceStart, 0, 0, 0, start, d.position()});
  };
  cb.silence_end = [&](int64_t end, int ms) {
    out.push_back({Event::SilenceEnd, 0, 0, ms, end, d.position()});
  };
  d.setCallbacks(cb);
  for (size_t i = 0; i < pcm.size(); i += frame) {
    d.process(std::span<const int16_t>(pcm).subspan(i, std::min<size_t>(frame, pcm.size() - i)));
  }
  return out;
}

struct TrueBurst {
  int64_t start, end;
  double frequency;
};

struct Cadence {
  const char* name;
  std::vector<synth::Tone> tones;
  std::vector<double> on_off;
};

struct BurstStats {
  int expected = 0, found = 0, spurious = 0;
  std::vector<double> error_ms, delay_ms, freq_error_pct;
  void add(const BurstStats& o) {
    expected += o.expected, found += o.found, spurious += o.spurious;
    error_ms.insert(error_ms.end(), o.error_ms.begin(), o.error_ms.end());
    delay_ms.insert(delay_ms.end(), o.delay_ms.begin(), o.delay_ms.end());
    freq_error_pct.insert(freq_error_pct.end(), o.freq_error_pct.begin(), o.freq_error_pct.end());
  }
};

double maxAbs(const std::vector<double>& v) {
  double m = 0;
  for (double x : v) m = std::max(m, std::abs(x));
  return m;
}

BurstStats matchBursts(const std::vector<TrueBurst>& truth, const std::vector<Event>& events) {
  BurstStats s;
  s.expected = static_cast<int>(truth.size());
  std::vector<bool> used(events.size(), false);
  for (const auto& t : truth) {
    for (size_t i = 0; i < events.size(); ++i) {
      const auto& e = events[i];
      if (used[i] || e.kind != Event::Burst || std::abs(e.start - t.start) > 400) continue;
      used[i] = true;
      ++s.found;
      s.error_ms.push_back(e.duration_ms - (t.end - t.start) / 8.0);
      s.delay_ms.push_back((e.at - t.end) / 8.0);
      if (t.frequency > 0)
        s.freq_error_pct.push_back(100 * (e.frequency - t.frequency) / t.frequency);
      break;
    }
  }
  for (size_t i = 0; i < events.size(); ++i) {
    if (!used[i] && events[i].kind == Event::Burst) ++s.spurious;
  }
  return s;
}

// A cadence for `seconds` after 300 ms of silence, with its true bursts.
std::pair<Signal, std::vector<TrueBurst>> cadenceSignal(const Cadence& c, double dbm0,
                                                        double seconds) {
  Signal s;
  s.silence(300);
  std::vector<TrueBurst> truth;
  const int64_t end = s.size() + s.samplesFor(seconds * 1000);
  for (size_t i = 0; s.size() < end; ++i) {
    const double ms = c.on_off[i % c.on_off.size()];
    if (i % 2 == 0) {
      std::vector<synth::Tone> tones = c.tones;
      for (auto& t : tones) t.dbm0 = dbm0;
      const int64_t at = s.size();
      s.tones(tones, ms);
      truth.push_back({at, s.size(), tones[0].hz});
    } else {
      s.silence(ms);
    }
  }
  s.silence(300);
  return {std::move(s), truth};
}

void printBurstRow(const char* label, const BurstStats& b, bool single) {
  std::printf(
      "  %-30s found %3d/%-3d spurious %d  duration error mean %+5.1f max %4.1f ms"
      "  delay max %4.1f ms",
      label, b.found, b.expected, b.spurious, mean(b.error_ms), maxAbs(b.error_ms),
      percentile(b.delay_ms, 100));
  if (single) std::printf("  freq error max %.2f %%", maxAbs(b.freq_error_pct));
  std::printf("\n");
}

void benchCadences() {
  const std::vector<Cadence> cadences = {
      {"Brazil ringback 425 1/4 s", {{425, 0, 0}}, {1000, 4000}},
      {"Brazil busy 425 250/250", {{425, 0, 0}}, {250, 250}},
      {"Brazil short ring 425 650/4000", {{425, 0, 0}}, {650, 4000}},
      {"Europe busy 425 500/500", {{425, 0, 0}}, {500, 500}},
      {"UK ring 400+450 .4/.2/.4/2", {{400, 0, 0}, {450, 0, 0}}, {400, 200, 400, 2000}},
      {"UK busy 400 375/375", {{400, 0, 0}}, {375, 375}},
      {"US ring 440+480 2/4 s", {{440, 0, 0}, {480, 0, 0}}, {2000, 4000}},
      {"US busy 480+620 .5/.5", {{480, 0, 0}, {620, 0, 0}}, {500, 500}},
      {"France ring 440 1.5/3.5 s", {{440, 0, 0}}, {1500, 3500}},
      {"Japan ring 400 1/2 s", {{400, 0, 0}}, {1000, 2000}},
  };
  std::printf(
      "\nCall-progress bursts (targets at SNR >= 20 dB, -10..-35 dBm0: duration within +-10 ms,"
      " mean within +-3 ms, reported within 50 ms of the end, no spurious burst):\n");
  BurstStats all20;
  for (double snr : {40.0, 20.0, 15.0}) {
    for (double level : {-10.0, -20.0, -35.0}) {
      BurstStats row;
      for (const auto& c : cadences) {
        auto [signal, truth] = cadenceSignal(c, level, 12 * std::min(g_reps, 2));
        const double total = level + 10 * std::log10(double(c.tones.size()));
        signal.addNoise(synth::Noise::White, total - snr, static_cast<uint32_t>(snr * 7 - level));
        BurstStats b = matchBursts(truth, decode(signal.pcm()));
        if (snr == 20 && level == -20) printBurstRow(c.name, b, c.tones.size() == 1);
        row.add(b);
      }
      if (snr >= 20) all20.add(row);
      char label[64];
      std::snprintf(label, sizeof label, "all, SNR %2.0f dB, %3.0f dBm0", snr, level);
      printBurstRow(label, row, false);
    }
  }
  printBurstRow("all at SNR >= 20 dB", all20, false);
}

void benchBurstFrequency() {
  std::printf(
      "\nBurst frequency, single tones at -20 dBm0, SNR 20 dB (target within +-2 %% from 100 "
      "ms):\n");
  for (double ms : {100.0, 250.0, 1000.0}) {
    BurstStats b;
    for (double hz : {100.0, 150.0, 250.0, 425.0, 700.0, 1000.0, 1500.0, 2000.0, 2500.0}) {
      Cadence c{"", {{hz, 0, 0}}, {ms, 400}};
      auto [signal, truth] = cadenceSignal(c, -20, 3 * g_reps);
      signal.addNoise(synth::Noise::White, -40, static_cast<uint32_t>(hz));
      b.add(matchBursts(truth, decode(signal.pcm())));
    }
    char label[64];
    std::snprintf(label, sizeof label, "%4.0f ms bursts, 100-2500 Hz", ms);
    printBurstRow(label, b, true);
  }
}

void benchBackground() {
  std::printf("\nContinuous noise, hum and silence, 20 s each (target: no burst):\n");
  struct Case {
    const char* name;
    Signal signal;
  };
  std::vector<Case> cases;
  {
    Signal s;
    s.silence(20000);
    cases.push_back({"digital silence", s});
  }
  for (double level : {-50.0, -35.0, -20.0}) {
    Signal w;
    w.silence(20000).addNoise(synth::Noise::White, level, 3);
    Signal p;
    p.silence(20000).addNoise(synth::Noise::Pink, level, 4);
    static char names[6][48];
    static int n = 0;
    std::snprintf(names[n], 48, "white noise %3.0f dBm0", level);
    cases.push_back({names[n++], w});
    std::snprintf(names[n], 48, "pink noise %3.0f dBm0", level);
    cases.push_back({names[n++], p});
  }
  for (double base : {50.0, 60.0}) {
    Signal h;
    h.silence(20000);
    h.addTone({base, -25, 0}).addTone({3 * base, -32, 1}).addTone({5 * base, -38, 2});
    h.addNoise(synth::Noise::White, -55, 5);
    cases.push_back(
        {base == 50 ? "hum 50 Hz + harmonics -25 dBm0" : "hum 60 Hz + harmonics -25 dBm0", h});
  }
  {
    Signal s;
    s.silence(3000);
    Signal noise;
    noise.silence(17000).addNoise(synth::Noise::White, -30, 6);
    s.append(noise);
    cases.push_back({"noise -30 dBm0 starting at 3 s", s});
  }
  for (const auto& c : cases) {
    const auto events = decode(c.signal.pcm());
    int bursts = 0, keys = 0;
    for (const auto& e : events) {
      bursts += e.kind == Event::Burst, keys += e.kind == Event::Key;
      if (g_debug && e.kind == Event::Burst) {
        std::printf("    burst %.1f Hz %d ms at %.1f ms\n", e.frequency, e.duration_ms,
                    e.start / 8.0);
      }
    }
    std::printf("  %-34s bursts %d, keys %d\n", c.name, bursts, keys);
  }
}

void benchSilence() {
  std::printf(
      "\nSilence end (tone bursts and babble after 1 s of silence, noise -55 dBm0; target within "
      "30 ms):\n");
  Signal s;
  std::vector<int64_t> onsets;
  for (int i = 0; i < 10 * g_reps; ++i) {
    s.silence(1000 + 37 * i);
    onsets.push_back(s.size());
    if (i % 2) {
      s.tone(425, -20 - i % 15, 300);
    } else {
      s.babble(700, -25, static_cast<uint32_t>(i));
    }
  }
  s.silence(1000);
  s.addNoise(synth::Noise::White, -55, 77);
  std::vector<double> delays;
  const auto events = decode(s.pcm());
  for (int64_t on : onsets) {
    for (const auto& e : events) {
      if (e.kind == Event::SilenceEnd && std::abs(e.start - on) < 800) {
        delays.push_back((e.at - on) / 8.0);
        break;
      }
    }
  }
  std::printf("  silence ends reported %zu/%zu, delay mean %.1f ms, max %.1f ms\n", delays.size(),
              onsets.size(), mean(delays), percentile(delays, 100));
}

// --- speech ----------------------------------------------------------------

const char* const kPortuguese[] = {
    "Bom dia, esta é uma mensagem automática da central de atendimento.",
    "Por favor, digite um para confirmar ou dois para falar com um atendente.",
    "Sua fatura vence na próxima semana, no valor de cento e vinte reais.",
    "Obrigado pela atenção e tenha um ótimo dia.",
    "Alô? Quem está falando? Não estou ouvindo nada.",
    "A pesquisa de satisfação leva apenas alguns minutos do seu tempo.",
};
const char* const kEnglish[] = {
    "Hello, this is an automated message from the customer service center.",
    "Please press one to confirm, or two to speak with an agent.",
    "Your bill is due next week, in the amount of one hundred twenty dollars.",
    "Thank you for your attention, and have a great day.",
    "Hello? Who is this? I can't hear anything.",
    "The satisfaction survey takes only a few minutes of your time.",
};

// Utterances of both voices at a few speeds and pitches, each scaled so that
// its sounding part (20 ms frames within 30 dB of its loudest) is at 0 dBm0.
std::vector<std::vector<float>> utterances() {
  static std::vector<std::vector<float>> cache;
  if (!cache.empty()) return cache;
  struct Voice {
    const char* name;
    const char* const* texts;
  };
  for (const Voice& v : {Voice{"pt-br", kPortuguese}, Voice{"en-us", kEnglish}}) {
    for (int variant = 0; variant < 2 + g_reps / 2; ++variant) {
      for (int t = 0; t < 6; ++t) {
        SpeechOptions o;
        o.voice = QString::fromLatin1(v.name);
        o.words_per_minute = 150 + 25 * variant;
        o.pitch = 30 + 15 * ((t + variant) % 3);
        auto pcm = renderSpeech(QString::fromUtf8(v.texts[t]), o);
        if (!pcm.ok()) {
          std::printf("  (speech unavailable: %s)\n", pcm.message().toUtf8().constData());
          return {};
        }
        std::vector<float> x(pcm->begin(), pcm->end());
        std::vector<double> frames;
        for (size_t i = 0; i + 160 <= x.size(); i += 160) {
          double e = 0;
          for (size_t k = i; k < i + 160; ++k) e += double(x[k]) * x[k];
          frames.push_back(e / 160);
        }
        const double loudest = frames.empty() ? 0 : *std::max_element(frames.begin(), frames.end());
        double sum = 0;
        int n = 0;
        for (double e : frames) {
          if (e > loudest * 1e-3) sum += e, ++n;
        }
        const double k = n ? synth::dbm0ToRms(0) / std::sqrt(sum / n) : 1;
        for (float& s : x) s = static_cast<float>(s * k);
        cache.push_back(std::move(x));
      }
    }
  }
  return cache;
}

// All utterances back to back with `gap_ms` between them, at `dbm0`.
Signal speechSignal(double dbm0, double gap_ms, std::vector<int64_t>* onsets = nullptr) {
  Signal s;
  s.silence(gap_ms);
  for (const auto& u : utterances()) {
    // The utterance's first sample above -45 dBm0 is its start.
    size_t first = 0;
    const double threshold = synth::dbm0ToRms(-45 - dbm0) * std::sqrt(2.0);
    while (first < u.size() && std::abs(u[first]) < threshold) ++first;
    if (onsets) onsets->push_back(s.size() + static_cast<int64_t>(first));
    s.append(u);
    s.silence(gap_ms);
  }
  return s.gain(dbm0);
}

void benchTalkOff() {
  std::printf("\nTalk-off: keys found in speech alone (espeak-ng pt-br and en-us; target 0):\n");
  for (double level : {-25.0, -15.0, -5.0}) {
    Signal s = speechSignal(level, 200);
    s.addNoise(synth::Noise::White, -60, 1);
    const auto pcm = s.pcm();
    const auto ours = runOurs(pcm), theirs = runSpandsp(pcm);
    std::printf(
        "  speech at %3.0f dBm0, %5.1f s         ours %d false keys   spandsp %zu false keys\n",
        level, s.ms() / 1000, static_cast<int>(ours.size()), theirs.size());
  }
  for (double level : {-25.0, -15.0, -5.0}) {
    Signal s;
    s.babble(60000.0 * g_reps, level, 17);
    const auto pcm = s.pcm();
    std::printf(
        "  babble at %3.0f dBm0, %5.1f s         ours %zu false keys   spandsp %zu false keys\n",
        level, s.ms() / 1000, runOurs(pcm).size(), runSpandsp(pcm).size());
  }
}

void benchTalkDown() {
  std::printf("\nTalk-down: 50 ms keys at -10 dBm0 (50 ms pauses) under speech:\n");
  const char* targets[] = {">= 100 % (spandsp 100)", ">= 90 % (spandsp 86)", ">= 75 % (spandsp 71)",
                           ">= 60 % (spandsp 60)"};
  int t = 0;
  for (double level : {-25.0, -15.0, -10.0, -5.0}) {
    Signal speech = speechSignal(level, 50);
    Corpus c;
    c.signal.silence(100);
    while (c.signal.ms() + 200 < speech.ms()) {
      for (const char* k = kAllKeys; *k && c.signal.ms() + 200 < speech.ms(); ++k) {
        addKey(c, {*k, -10, -10, 0, 0}, 50, 50);
      }
    }
    c.signal.mix(speech.data(), 0);
    char label[64];
    std::snprintf(label, sizeof label, "speech at %3.0f dBm0", level);
    printRow(label, runBoth(c), targets[t++]);
  }
}

void benchSpeechBursts() {
  std::printf(
      "\nSpeech bursts (espeak-ng pt-br and en-us, 1 s between utterances, noise -60 dBm0):\n");
  for (double level : {-30.0, -20.0, -10.0}) {
    std::vector<int64_t> onsets;
    Signal s = speechSignal(level, 1000, &onsets);
    s.addNoise(synth::Noise::White, -60, 2);
    const auto events = decode(s.pcm());
    int bursts = 0, inside = 0, long_ones = 0, ring_like = 0, outside_band = 0;
    for (const auto& e : events) {
      if (e.kind != Event::Burst) continue;
      ++bursts;
      inside += e.duration_ms >= 50 && e.duration_ms <= 899;
      long_ones += e.duration_ms >= 900;
      ring_like +=
          e.frequency >= 400 && e.frequency <= 450 && e.duration_ms >= 900 && e.duration_ms <= 1100;
      outside_band += e.frequency < 100 || e.frequency > 2500;
    }
    int started = 0;
    for (int64_t on : onsets) {
      for (const auto& e : events) {
        if (e.kind == Event::Burst && e.start >= on - 400 && e.start <= on + 1200) {
          ++started;
          break;
        }
      }
    }
    std::printf(
        "  speech at %3.0f dBm0: %d bursts, %.1f %% within 50-899 ms (target >= 99 %%), "
        "%d of 900 ms or more (0), %d ring-like (0), %d outside 100-2500 Hz, "
        "utterance starts with a burst %d/%zu (all)\n",
        level, bursts, bursts ? 100.0 * inside / bursts : 0, long_ones, ring_like, outside_band,
        started, onsets.size());
  }
  Signal b;
  b.babble(60000.0 * g_reps, -20, 5).addNoise(synth::Noise::White, -60, 3);
  const auto events = decode(b.pcm());
  int bursts = 0, inside = 0;
  for (const auto& e : events) {
    if (e.kind == Event::Burst) ++bursts, inside += e.duration_ms >= 50 && e.duration_ms <= 899;
  }
  std::printf("  babble at -20 dBm0: %d bursts, %.1f %% within 50-899 ms\n", bursts,
              bursts ? 100.0 * inside / bursts : 0);
}

// --- throughput --------------------------------------------------------------

// CPU time of this thread: the machine's other work does not count.
double threadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// The best of several interleaved timings of each contender, in CPU time.
std::vector<double> bestSeconds(const std::vector<std::function<void()>>& runs, int rounds) {
  std::vector<double> best(runs.size(), 1e9);
  for (int r = 0; r < rounds; ++r) {
    for (size_t i = 0; i < runs.size(); ++i) {
      const double t0 = threadSeconds();
      runs[i]();
      best[i] = std::min(best[i], threadSeconds() - t0);
    }
  }
  return best;
}

Signal throughputCorpus() {
  // A mixed minute: keys, cadences, speech-like babble, noise, silence.
  Signal s;
  s.silence(500).dtmfString("0123456789*#ABCD", 60, 60);
  s.cadence(std::vector<synth::Tone>{{425, -15, 0}}, std::vector<double>{1000, 4000}, 15000);
  s.cadence(std::vector<synth::Tone>{{425, -15, 0}}, std::vector<double>{250, 250}, 5000);
  s.babble(20000, -20, 9).silence(10000);
  s.addNoise(synth::Noise::White, -45, 10);
  return s;
}

// For profiling: the whole decoder alone, many times.
void benchProfile() {
  const auto pcm = throughputCorpus().pcm();
  for (int i = 0; i < 100; ++i) decode(pcm);
}

void benchThroughput() {
  const Signal s = throughputCorpus();
  const auto pcm = s.pcm();
  const double audio = s.ms() / 1000;
  std::vector<Detected> sink;
  const auto best = bestSeconds(
      {[&] { sink = runSpandsp(pcm); }, [&] { sink = runOurs(pcm); }, [&] { decode(pcm); }},
      10 * g_reps);
  const double t_span = best[0], t_dtmf = best[1], t_all = best[2];
  std::printf("\nThroughput on %.0f s of mixed line audio (frames of 160):\n", audio);
  std::printf("  spandsp dtmf_rx        %8.0f s of audio per CPU second (baseline 1.00)\n",
              audio / t_span);
  std::printf("  our DTMF detector      %8.0f s per CPU second   ratio %.2f   target >= 1.00\n",
              audio / t_dtmf, t_span / t_dtmf);
  std::printf("  our whole decoder      %8.0f s per CPU second   ratio %.2f   target >= 0.60\n",
              audio / t_all, t_span / t_all);
}

}  // namespace

int main(int argc, char** argv) {
  g_reps = 4;
  const char* only = nullptr;  // --only SECTION
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--quick")) g_reps = 1;
    if (!std::strcmp(argv[i], "--debug")) g_debug = true;
    if (!std::strcmp(argv[i], "--only") && i + 1 < argc) only = argv[++i];
  }
  std::printf("bench-tones: our tone decoder against spandsp %s dtmf_rx, same signals and frames\n",
              "0.0.6");
  const std::pair<const char*, void (*)()> sections[] = {{"snr", benchSnr},
                                                         {"durations", benchDurations},
                                                         {"dropouts", benchDropouts},
                                                         {"offsets", benchOffsets},
                                                         {"twist", benchTwistAndLevel},
                                                         {"latency", benchLatency},
                                                         {"cadences", benchCadences},
                                                         {"frequency", benchBurstFrequency},
                                                         {"background", benchBackground},
                                                         {"silence", benchSilence},
                                                         {"talkoff", benchTalkOff},
                                                         {"talkdown", benchTalkDown},
                                                         {"speech", benchSpeechBursts},
                                                         {"throughput", benchThroughput},
                                                         {"profile", benchProfile}};
  for (const auto& [name, run] : sections) {
    if ((!only && std::strcmp(name, "profile")) || (only && !std::strcmp(only, name))) run();
  }
  return 0;
}
