#include "dialer/line/dtmf_detector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dialer/line/dtmf_keys.h"
#include "dialer/line/tone_level.h"

namespace doruzudo {

namespace {

constexpr int kWindow = 2 * DtmfDetector::kBlock;

std::array<double, 8> bankFrequencies() {
  std::array<double, 8> hz{};
  for (int i = 0; i < 4; ++i) hz[i] = dtmf::kLowHz[i], hz[i + 4] = dtmf::kHighHz[i];
  return hz;
}

double frequencyOf(int bin) {
  return bin < 4 ? dtmf::kLowHz[bin] : dtmf::kHighHz[bin - 4];
}

// Complex product written out: std::complex's operator* checks for infinities,
// which costs a library call per product.
inline std::complex<float> mul(std::complex<float> a, std::complex<float> b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// Frequency offset in Hz from an accumulated phase advance over one block.
double offsetHz(std::complex<float> advance) {
  return std::arg(advance) * DtmfDetector::kRate / (2 * std::numbers::pi * DtmfDetector::kBlock);
}

double deviation(const std::vector<float>& y) {
  if (y.size() < 2) return 0;
  double m = 0, v = 0;
  for (float x : y) m += x / y.size();
  for (float x : y) v += (x - m) * (x - m) / y.size();
  return std::sqrt(v);
}

// Least-squares slope of a series, per step.
double slope(const std::vector<float>& y) {
  const size_t n = y.size();
  if (n < 3) return 0;
  const double mx = (n - 1) / 2.0;
  double my = 0;
  for (float v : y) my += v / n;
  double sxy = 0, sxx = 0;
  for (size_t i = 0; i < n; ++i) sxy += (i - mx) * (y[i] - my), sxx += (i - mx) * (i - mx);
  return sxy / sxx;
}

}  // namespace

DtmfDetector::DtmfDetector(Options options) : options_(options) {
  const auto hz = bankFrequencies();
  bank_ = GoertzelBank(hz, kRate);
  for (int k = 0; k < 8; ++k) {
    rotation_[k] =
        std::complex<float>(std::polar(1.0, -2 * std::numbers::pi * hz[k] * kBlock / kRate));
  }
  // A tone of mean power P gives 2|Y|^2/N = N * P over an N-sample window.
  min_tone_energy_ = static_cast<float>(kWindow * dbm0ToPower(options_.min_level_dbm0));
  max_gap_windows_ = static_cast<int>(std::lround(options_.max_gap_ms * kRate / 1000 / kBlock));
  min_duration_samples_ = options_.min_duration_ms * kRate / 1000;
  reverse_twist_ = std::pow(10.0, options_.max_reverse_twist_db / 10);
  normal_twist_ = std::pow(10.0, options_.max_normal_twist_db / 10);
}

void DtmfDetector::reset() {
  bank_ = GoertzelBank(bankFrequencies(), kRate);
  position_ = 0;
  blocks_ = 0;
  last_x_ = {}, last_y_ = {};
  last_block_energy_ = 0;
  last_tone_energy_ = {};
  run_ = Run();
  switch_low_ = switch_high_ = -1;
}

void DtmfDetector::process(std::span<const int16_t> samples) {
  size_t i = 0;
  while (i < samples.size()) {
    const int n = static_cast<int>(std::min<size_t>(kBlock - bank_.count(), samples.size() - i));
    bank_.feed(samples.data() + i, n);
    i += n;
    position_ += n;
    if (bank_.count() == kBlock) endOfBlock();
  }
}

void DtmfDetector::endOfBlock() {
  const float energy = bank_.energy();
  GoertzelBank::Values x;
  bank_.take(x);
  if (blocks_++ > 0) {
    // The 10 ms window of the last two blocks: X(prev) + e^{-jwB} X(this).
    GoertzelBank::Values y;
    for (int k = 0; k < 8; ++k) y[k] = last_x_[k] + mul(rotation_[k], x[k]);
    for (int k = 0; k < 8; ++k) advance_[k] = mul(mul(y[k], std::conj(last_y_[k])), rotation_[k]);
    analyseWindow(y, energy + last_block_energy_);
    last_y_ = y;
  }
  last_x_ = x;
  last_block_energy_ = energy;
}

void DtmfDetector::analyseWindow(const GoertzelBank::Values& y, float window_energy) {
  std::array<float, 8> tone{};
  for (int k = 0; k < 8; ++k) tone[k] = 2 * std::norm(y[k]) / kWindow;
  const int low = static_cast<int>(std::max_element(tone.begin(), tone.begin() + 4) - tone.begin());
  const int high = static_cast<int>(std::max_element(tone.begin() + 4, tone.end()) - tone.begin());
  const float tl = tone[low], th = tone[high];
  const bool hit = tl >= min_tone_energy_ && th >= min_tone_energy_ && th <= tl * normal_twist_ &&
                   tl <= th * reverse_twist_ && tl + th >= options_.min_purity * window_energy;

  // Another key takes over only when it holds for two windows in a row: a
  // single window of it is more likely the splatter of a dropout.
  bool other = run_.active && hit && (low != run_.low || high != run_.high);
  const bool takeover = other && switch_low_ == low && switch_high_ == high;
  switch_low_ = other ? low : -1, switch_high_ = other ? high : -1;
  if (takeover) finishRun(), other = false;
  if (hit && !other) {
    if (!run_.active) startRun(low, high);
    run_.energies.insert(run_.energies.end(), run_.gap.begin(), run_.gap.end());
    run_.gap.clear();
    run_.energies.push_back(tl + th);
  } else if (run_.active) {
    run_.gap.push_back(tone[run_.low] + tone[run_.high]);
    if (static_cast<int>(run_.gap.size()) > max_gap_windows_) finishRun();
  }
  if (run_.active && hit && !other) {
    run_.max_energy = std::max(run_.max_energy, tl + th);
    run_.phase_low += advance_[low];
    run_.phase_high += advance_[high];
    if (run_.hits > 0) {  // the first hit's advance is from the window before the tone
      run_.offsets_low.push_back(static_cast<float>(offsetHz(advance_[low])));
      run_.offsets_high.push_back(static_cast<float>(offsetHz(advance_[high])));
    }
    run_.sum_low += tl, run_.sum_high += th;
    ++run_.hits;
    run_.twists.push_back(static_cast<float>(10 * std::log10(th / tl)));
    run_.purities.push_back((tl + th) / window_energy);
    if (!run_.reported) tryReport();
  }
  last_tone_energy_ = tone;
}

void DtmfDetector::startRun(int low, int high) {
  run_ = Run();
  run_.active = true;
  run_.low = low, run_.high = high;
  // The window before the first hit may hold the tone's first samples.
  run_.energies.push_back(last_tone_energy_[low] + last_tone_energy_[high]);
}

void DtmfDetector::finishRun() {
  run_ = Run();
}

bool DtmfDetector::clean() const {
  double purity = 0;
  for (float p : run_.purities) purity += p / run_.purities.size();
  return purity >= options_.clean_purity;
}

bool DtmfDetector::steady() const {
  const auto [lo, hi] = std::minmax_element(run_.twists.begin(), run_.twists.end());
  return deviation(run_.offsets_low) <= options_.max_jitter_hz &&
         deviation(run_.offsets_high) <= options_.max_jitter_hz &&
         *hi - *lo <= options_.max_twist_swing_db;
}

void DtmfDetector::tryReport() {
  if (run_.hits < options_.min_hits) return;
  // Every sample is covered by two windows, each window contributing its share
  // of a full window's amplitude: length = block * sum of relative amplitudes.
  double amplitude = 0;
  for (float e : run_.energies) amplitude += std::min(1.0, std::sqrt(double(e) / run_.max_energy));
  const double length = amplitude * kBlock;
  if (length < min_duration_samples_) return;
  const double fl = frequencyOf(run_.low), fh = frequencyOf(run_.high);
  if (std::abs(offsetHz(run_.phase_low)) > options_.max_frequency_error * fl) return;
  if (std::abs(offsetHz(run_.phase_high)) > options_.max_frequency_error * fh) return;
  // Keys alone on the line may glide a little more: a weak high tone beside a
  // strong low one wobbles in its filter.
  const bool clean_key = clean();
  const double glide = options_.max_glide_hz * (clean_key ? 1.25 : 1.0);
  if (std::abs(slope(run_.offsets_low)) > glide || std::abs(slope(run_.offsets_high)) > glide) {
    return;
  }
  if (!clean_key && !steady()) return;
  if (run_.sum_high > run_.sum_low * normal_twist_ ||
      run_.sum_low > run_.sum_high * reverse_twist_) {
    return;
  }
  run_.reported = true;
  if (callback_) {
    const int64_t start = position_ - static_cast<int64_t>(std::lround(length + kBlock / 2.0));
    callback_(dtmf::kKeys[run_.low][run_.high - 4], std::max<int64_t>(start, 0));
  }
}

}  // namespace doruzudo
