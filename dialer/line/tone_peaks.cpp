#include "dialer/line/tone_peaks.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace doruzudo {

namespace {

struct Frames {
  int size = 0;
  // Spectra (bins 0..size/2) in pairs of consecutive frames half a frame apart.
  std::vector<std::vector<std::complex<float>>> spectra;
  std::vector<double> power;  // summed over frames
};

struct Tables {
  std::vector<float> window;                 // Hann
  std::vector<std::complex<float>> twiddle;  // e^{-j 2 pi k / n}, k < n/2
};

const Tables& tablesFor(int n) {
  static const auto make = [](int size) {
    Tables t;
    t.window.resize(size);
    t.twiddle.resize(size / 2);
    for (int i = 0; i < size; ++i) {
      t.window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / size));
    }
    for (int k = 0; k < size / 2; ++k) {
      t.twiddle[k] = std::complex<float>(std::polar(1.0, -2 * std::numbers::pi * k / size));
    }
    return t;
  };
  static const Tables t128 = make(128), t256 = make(256), t512 = make(512);
  return n == 512 ? t512 : n == 256 ? t256 : t128;
}

// Spectrum (bins 0..n/2) of n real samples through one complex FFT of n/2.
void realFft(const std::vector<float>& x, std::vector<std::complex<float>>& half,
             std::vector<std::complex<float>>& out) {
  const size_t n = x.size(), m = n / 2;
  half.resize(m);
  for (size_t i = 0; i < m; ++i) half[i] = {x[2 * i], x[2 * i + 1]};
  fft(half);
  const Tables& t = tablesFor(static_cast<int>(n));
  out.resize(m + 1);
  for (size_t k = 0; k <= m; ++k) {
    const std::complex<float> a = half[k < m ? k : 0], b = std::conj(half[k > 0 ? m - k : 0]);
    const std::complex<float> even = 0.5f * (a + b);
    const std::complex<float> d = 0.5f * (a - b);
    const std::complex<float> odd = {d.imag(), -d.real()};  // d / j
    const std::complex<float> w = k < m ? t.twiddle[k] : std::complex<float>(-1, 0);
    out[k] = {even.real() + w.real() * odd.real() - w.imag() * odd.imag(),
              even.imag() + w.real() * odd.imag() + w.imag() * odd.real()};
  }
}

constexpr size_t kMaxPairs = 3;  // longer bursts are sampled at evenly spread places

Frames transform(std::span<const int16_t> x) {
  Frames f;
  f.size = x.size() >= 768 ? 512 : 256;
  const int n = f.size, hop = n / 2;
  const Tables& tables = tablesFor(n);
  f.power.assign(n / 2 + 1, 0.0);
  // Frame pairs (at, at + hop) with at + hop + n <= size; one frame if too short.
  std::vector<size_t> starts;
  if (x.size() < static_cast<size_t>(n + hop)) {
    starts.push_back(0);
  } else {
    const size_t last = x.size() - n - hop;
    const size_t pairs = std::min(kMaxPairs, last / n + 1);
    for (size_t p = 0; p < pairs; ++p) {
      const size_t at = pairs > 1 ? last * p / (pairs - 1) : 0;
      starts.push_back(at), starts.push_back(at + hop);
    }
  }
  std::vector<float> frame(n);
  std::vector<std::complex<float>> half, spectrum;
  for (size_t at : starts) {
    for (int i = 0; i < n; ++i) {
      frame[i] = at + i < x.size() ? tables.window[i] * float(x[at + i]) : 0.0f;
    }
    realFft(frame, half, spectrum);
    for (int b = 0; b <= n / 2; ++b) f.power[b] += std::norm(spectrum[b]);
    f.spectra.push_back(spectrum);  // a copy: `spectrum` keeps its buffer
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
    for (size_t t = 1; t < f.spectra.size(); t += 2) {  // the pairs
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
  // On split real and imaginary arrays: std::complex<float> goes through memory.
  float small_re[512], small_im[512];
  std::vector<float> big_re, big_im;
  if (n > 512) big_re.resize(n), big_im.resize(n);
  float* re = n > 512 ? big_re.data() : small_re;
  float* im = n > 512 ? big_im.data() : small_im;
  for (size_t i = 0, j = 0; i < n; ++i) {
    re[j] = x[i].real(), im[j] = x[i].imag();
    size_t bit = n >> 1;  // j = bit-reversed i + 1 for the next round
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
  }
  const bool tabled = n == 128 || n == 256 || n == 512;
  const Tables* tables = tabled ? &tablesFor(static_cast<int>(n)) : nullptr;
  for (size_t len = 2; len <= n; len <<= 1) {
    const size_t half = len / 2, stride = n / len;
    for (size_t k = 0; k < half; ++k) {
      const std::complex<float> w =
          tabled ? tables->twiddle[k * stride]
                 : std::complex<float>(std::polar(1.0, -2 * std::numbers::pi * k / len));
      const float wr = w.real(), wi = w.imag();
      for (size_t i = k; i < n; i += len) {
        const float ar = re[i + half], ai = im[i + half];
        const float vr = ar * wr - ai * wi, vi = ar * wi + ai * wr;
        re[i + half] = re[i] - vr, im[i + half] = im[i] - vi;
        re[i] += vr, im[i] += vi;
      }
    }
  }
  for (size_t i = 0; i < n; ++i) x[i] = {re[i], im[i]};
}

SpectrumPeaks analyseSpectrum(std::span<const int16_t> samples, int rate, double min_hz,
                              double max_hz, double band_min_hz, double band_max_hz) {
  SpectrumPeaks out;
  if (samples.empty()) return out;
  const Frames f = transform(samples);
  const int bins = static_cast<int>(f.power.size());
  auto binOf = [&](double hz) { return static_cast<int>(std::lround(hz * f.size / rate)); };
  const int blo = std::max(1, binOf(band_min_hz)), bhi = std::min(bins - 2, binOf(band_max_hz));
  if (blo <= bhi) {
    const auto top = std::max_element(f.power.begin() + blo, f.power.begin() + bhi + 1);
    if (*top > 0) {
      out.band_frequency = std::clamp(refine(f, static_cast<int>(top - f.power.begin()), rate),
                                      band_min_hz, band_max_hz);
    }
  }
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
    if (b2 >= 0 && f.power[b] <= f.power[b2]) continue;
    const auto [a, z] = std::minmax(b, b1);
    const double dip = *std::min_element(f.power.begin() + a, f.power.begin() + z + 1);
    if (dip <= 0.5 * f.power[b]) b2 = b;
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
