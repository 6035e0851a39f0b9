#include "dialer/line/signal_synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "dialer/line/dtmf_keys.h"

namespace doruzudo::synth {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

double rmsOf(std::span<const float> x) {
  if (x.empty()) return 0;
  double sum = 0;
  for (float v : x) sum += double(v) * v;
  return std::sqrt(sum / x.size());
}

void scaleTo(std::vector<float>& x, double rms) {
  const double now = rmsOf(x);
  if (now <= 0) return;
  const double k = rms / now;
  for (float& v : x) v = static_cast<float>(v * k);
}

// One voiced syllable: harmonics of a gliding pitch under two moving formants,
// with a smooth attack and decay.
void appendSyllable(std::vector<float>& out, int rate, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(0, 1);
  const int n = static_cast<int>(rate * (0.07 + 0.25 * u(rng)));
  const double f0a = 90 + 140 * u(rng);
  const double f0b = f0a * (0.75 + 0.5 * u(rng));
  const double f1a = 300 + 500 * u(rng), f1b = 300 + 500 * u(rng);
  const double f2a = 900 + 1400 * u(rng), f2b = 900 + 1400 * u(rng);
  const int attack = rate * 15 / 1000, decay = rate * 25 / 1000;
  std::vector<double> phase(48, 0.0);
  for (auto& p : phase) p = kTwoPi * u(rng);
  for (int i = 0; i < n; ++i) {
    const double t = double(i) / n;
    const double f0 = f0a + (f0b - f0a) * t;
    const double f1 = f1a + (f1b - f1a) * t, f2 = f2a + (f2b - f2a) * t;
    double v = 0;
    for (int k = 1; k < 48 && k * f0 < 0.43 * rate; ++k) {
      const double f = k * f0;
      const double a =
          1 / (1 + std::pow((f - f1) / 90, 2)) + 0.5 / (1 + std::pow((f - f2) / 130, 2)) + 0.02;
      phase[k] += kTwoPi * f / rate;
      v += a * std::sin(phase[k]);
    }
    double env = 1;
    if (i < attack) env = 0.5 - 0.5 * std::cos(std::numbers::pi * i / attack);
    if (n - i < decay)
      env = std::min(env, 0.5 - 0.5 * std::cos(std::numbers::pi * (n - i) / decay));
    out.push_back(static_cast<float>(v * env));
  }
}

}  // namespace

double dbm0ToRms(double dbm0) {
  return kZeroDbm0Rms * std::pow(10.0, dbm0 / 20);
}

double rmsToDbm0(double rms) {
  return rms > 0 ? 20 * std::log10(rms / kZeroDbm0Rms) : -200;
}

double levelDbm0(std::span<const float> samples) {
  return rmsToDbm0(rmsOf(samples));
}

double levelDbm0(std::span<const int16_t> samples) {
  if (samples.empty()) return -200;
  double sum = 0;
  for (int16_t v : samples) sum += double(v) * v;
  return rmsToDbm0(std::sqrt(sum / samples.size()));
}

std::vector<float> noise(Noise kind, double dbm0, int64_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> g(0, 1);
  std::vector<float> out(static_cast<size_t>(std::max<int64_t>(count, 0)));
  // Pink: white noise through a sum of first-order low passes spread over the
  // band, which gives a -3 dB/octave slope within about 0.5 dB.
  double b[6] = {0, 0, 0, 0, 0, 0};
  for (auto& v : out) {
    const double w = g(rng);
    if (kind == Noise::White) {
      v = static_cast<float>(w);
      continue;
    }
    b[0] = 0.99886 * b[0] + w * 0.0555179;
    b[1] = 0.99332 * b[1] + w * 0.0750759;
    b[2] = 0.96900 * b[2] + w * 0.1538520;
    b[3] = 0.86650 * b[3] + w * 0.3104856;
    b[4] = 0.55000 * b[4] + w * 0.5329522;
    b[5] = -0.7616 * b[5] - w * 0.0168980;
    v = static_cast<float>(b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + w * 0.5362);
  }
  scaleTo(out, dbm0ToRms(dbm0));
  return out;
}

int64_t Signal::samplesFor(double ms) const {
  return std::llround(ms * rate_ / 1000.0);
}

Signal& Signal::silence(double ms) {
  data_.resize(data_.size() + samplesFor(ms), 0.0f);
  return *this;
}

Signal& Signal::tone(double hz, double dbm0, double ms) {
  const Tone t{hz, dbm0, 0};
  return tones(std::span<const Tone>(&t, 1), ms);
}

Signal& Signal::tones(std::span<const Tone> list, double ms) {
  const int64_t at = size();
  silence(ms);
  for (const Tone& t : list) addTone(t, at, size());
  return *this;
}

Signal& Signal::dtmf(const DtmfKey& key, double ms) {
  const auto f = dtmf::frequencies(key.key);
  if (!f) return silence(ms);
  const Tone pair[2] = {{f->first * (1 + key.low_offset), key.low_dbm0, 0},
                        {f->second * (1 + key.high_offset), key.high_dbm0, 0}};
  return tones(pair, ms);
}

Signal& Signal::dtmfString(const char* keys, double on_ms, double off_ms, double dbm0) {
  for (const char* k = keys; *k; ++k) {
    if (k != keys) silence(off_ms);
    dtmf({*k, dbm0, dbm0, 0, 0}, on_ms);
  }
  return *this;
}

Signal& Signal::cadence(std::span<const Tone> list, std::span<const double> on_off_ms,
                        double total_ms) {
  const int64_t end = size() + samplesFor(total_ms);
  for (size_t i = 0; size() < end && !on_off_ms.empty(); ++i) {
    const double want = on_off_ms[i % on_off_ms.size()];
    const double ms = std::min(want, (end - size()) * 1000.0 / rate_);
    if (i % 2 == 0) {
      tones(list, ms);
    } else {
      silence(ms);
    }
  }
  return *this;
}

Signal& Signal::babble(double ms, double dbm0, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<float> out;
  const size_t want = static_cast<size_t>(samplesFor(ms));
  while (out.size() < want) {
    if (u(rng) < 0.25) {  // a fricative: high-passed noise
      auto fr =
          noise(Noise::White, rmsToDbm0(0.25), static_cast<int64_t>(rate_ * (0.04 + 0.06 * u(rng))),
                static_cast<uint32_t>(rng()));
      for (size_t i = fr.size() - 1; i > 0; --i) fr[i] = fr[i] - fr[i - 1];
      fr[0] = 0;
      out.insert(out.end(), fr.begin(), fr.end());
    }
    appendSyllable(out, rate_, rng);
    out.resize(out.size() + static_cast<size_t>(rate_ * (0.03 + 0.22 * u(rng))), 0.0f);
  }
  out.resize(want);
  // Level over the sounding samples only.
  double sum = 0;
  size_t n = 0;
  for (float v : out) {
    if (v != 0) sum += double(v) * v, ++n;
  }
  if (n > 0 && sum > 0) {
    const double k = dbm0ToRms(dbm0) / std::sqrt(sum / n);
    for (float& v : out) v = static_cast<float>(v * k);
  }
  return append(out);
}

Signal& Signal::append(std::span<const float> samples) {
  data_.insert(data_.end(), samples.begin(), samples.end());
  return *this;
}

Signal& Signal::addNoise(Noise kind, double dbm0, uint32_t seed, int64_t from, int64_t to) {
  if (to < 0 || to > size()) to = size();
  if (from >= to) return *this;
  const auto n = noise(kind, dbm0, to - from, seed);
  for (int64_t i = from; i < to; ++i) data_[i] += n[i - from];
  return *this;
}

Signal& Signal::addTone(const Tone& t, int64_t from, int64_t to) {
  if (to < 0 || to > size()) to = size();
  const double amp = dbm0ToRms(t.dbm0) * std::numbers::sqrt2;
  const double step = kTwoPi * t.hz / rate_;
  for (int64_t i = from; i < to; ++i) {
    data_[i] += static_cast<float>(amp * std::sin(t.phase + step * double(i - from)));
  }
  return *this;
}

Signal& Signal::mix(std::span<const float> other, int64_t at, double gain_db) {
  if (at < 0) return *this;
  if (static_cast<size_t>(at) + other.size() > data_.size()) {
    data_.resize(at + other.size(), 0.0f);
  }
  const double k = std::pow(10.0, gain_db / 20);
  for (size_t i = 0; i < other.size(); ++i) data_[at + i] += static_cast<float>(other[i] * k);
  return *this;
}

Signal& Signal::dropout(int64_t at, int64_t samples) {
  for (int64_t i = std::max<int64_t>(at, 0); i < std::min(at + samples, size()); ++i) {
    data_[i] = 0;
  }
  return *this;
}

Signal& Signal::gain(double db) {
  const double k = std::pow(10.0, db / 20);
  for (float& v : data_) v = static_cast<float>(v * k);
  return *this;
}

std::vector<int16_t> Signal::pcm() const {
  std::vector<int16_t> out(data_.size());
  for (size_t i = 0; i < data_.size(); ++i) {
    out[i] = static_cast<int16_t>(std::clamp(std::lround(data_[i]), -32768L, 32767L));
  }
  return out;
}

}  // namespace doruzudo::synth
