#include "dialer/line/tone_spectrum.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace doruzudo {

namespace {

struct Frames {
  int size = 0;
  std::vector<std::vector<std::complex<float>>> spectra;  // bins 0..size/2
  std::vector<double> power;                              // summed over frames
};

Frames transform(std::span<const int16_t> x) {
  Frames f;
  f.size = x.size() >= 768 ? 512 : 256;
  const int n = f.size, hop = n / 2;
  std::vector<float> window(n);
  for (int i = 0; i < n; ++i) window[i] = 0.5f - 0.5f * std::cos(2 * std::numbers::pi * i / n);
  f.power.assign(n / 2 + 1, 0.0);
  std::vector<std::complex<float>> buf(n);
  for (size_t at = 0; at == 0 || at + n <= x.size(); at += hop) {
    for (int i = 0; i < n; ++i) buf[i] = at + i < x.size() ? window[i] * float(x[at + i]) : 0.0f;
    fft(buf);
    f.spectra.emplace_back(buf.begin(), buf.begin() + n / 2 + 1);
    for (int b = 0; b <= n / 2; ++b) f.power[b] += std::norm(buf[b]);
  }
  return f;
}

// Peak position within its bin by a parabola through the log powers.
double coarseOffset(const std::vector<double>& p, int b) {
  if (b <= 0 || b + 1 >= static_cast<int>(p.size())) return 0;
  const double l = std::log(p[b - 1] + 1e-9), c = std::log(p[b] + 1e-9),
               r = std::log(p[b + 1] + 1e-9);
  const double d = l - 2 * c + r;
  return d < 0 ? std::clamp(0.5 * (l - r) / d, -0.5, 0.5) : 0;
}

// Frequency of the peak at bin b: the phase advance of that bin over half a
// frame is pi * (b + offset), which fixes the offset once the coarse estimate
// has told which of the two candidates it is.
double refine(const Frames& f, int b, int rate) {
  const double coarse = coarseOffset(f.power, b);
  double offset = coarse;
  if (f.spectra.size() >= 2) {
    std::complex<double> z = 0;
    for (size_t t = 1; t < f.spectra.size(); ++t) {
      z += std::complex<double>(f.spectra[t][b]) *
           std::conj(std::complex<double>(f.spectra[t - 1][b]));
    }
    double fine = std::arg(z) / std::numbers::pi - b;  // offset mod 2
    fine -= 2 * std::round(fine / 2);                  // into [-1, 1]
    if (std::abs(fine - coarse) < 0.5) offset = fine;
  }
  return (b + offset) * rate / f.size;
}

}  // namespace

void fft(std::vector<std::complex<float>>& x) {
  const size_t n = x.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const auto w = std::polar(1.0, -2 * std::numbers::pi / len);
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> wk = 1;
      for (size_t k = 0; k < len / 2; ++k, wk *= w) {
        const std::complex<float> u = x[i + k];
        const std::complex<float> v = x[i + k + len / 2] * std::complex<float>(wk);
        x[i + k] = u + v;
        x[i + k + len / 2] = u - v;
      }
    }
  }
}

SpectrumPeaks analyseSpectrum(std::span<const int16_t> samples, int rate, double min_hz,
                              double max_hz) {
  SpectrumPeaks out;
  if (samples.empty()) return out;
  const Frames f = transform(samples);
  const int bins = static_cast<int>(f.power.size());
  const int lo = std::max(1, static_cast<int>(std::ceil(min_hz * f.size / rate)));
  const int hi = std::min(bins - 2, static_cast<int>(std::floor(max_hz * f.size / rate)));
  if (lo > hi) return out;
  const int b1 = static_cast<int>(std::max_element(f.power.begin() + lo, f.power.begin() + hi + 1) -
                                  f.power.begin());
  double total = 0;
  for (int b = 1; b < bins; ++b) total += f.power[b];
  if (total <= 0 || f.power[b1] <= 0) return out;
  out.frequency = refine(f, b1, rate);

  // The strongest other local maximum, with a dip of 3 dB between the two.
  int b2 = -1;
  for (int b = lo; b <= hi; ++b) {
    if (std::abs(b - b1) < 2 || f.power[b] < f.power[b - 1] || f.power[b] < f.power[b + 1])
      continue;
    const auto [a, z] = std::minmax(b, b1);
    const double dip = *std::min_element(f.power.begin() + a, f.power.begin() + z + 1);
    if (dip > 0.5 * f.power[b]) continue;
    if (b2 < 0 || f.power[b] > f.power[b2]) b2 = b;
  }
  const bool second = b2 >= 0 && f.power[b2] >= 0.1 * f.power[b1];
  double both = 0;  // power within the peaks' main lobes (+-2 bins)
  for (int b = 1; b < bins; ++b) {
    const bool near1 = std::abs(b - b1) <= 2, near2 = second && std::abs(b - b2) <= 2;
    if (near1 || near2) both += f.power[b];
  }
  out.tonality = std::min(1.0, both / total);
  // The skirts: bins 3 to 6 away from the peak, outside the second's lobe.
  double skirt = 0;
  int skirt_bins = 0;
  for (int b = std::max(1, b1 - 6); b <= std::min(bins - 1, b1 + 6); ++b) {
    if (std::abs(b - b1) < 3 || (second && std::abs(b - b2) <= 2)) continue;
    skirt += f.power[b], ++skirt_bins;
  }
  const double peak_mean = both / (second ? 10 : 5);
  out.peak_to_skirt_db =
      skirt_bins > 0 ? 10 * std::log10((peak_mean + 1e-9) / (skirt / skirt_bins + 1e-9)) : 0;
  if (second && both / total >= 0.7) out.second_frequency = refine(f, b2, rate);
  return out;
}

}  // namespace doruzudo
