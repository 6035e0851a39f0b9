#include "dialer/line/monitor_tap.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace doruzudo {

namespace {

double toDb(double amplitude) {
  return amplitude > 0 ? std::max(MonitorTap::kFloorDb, 20 * std::log10(amplitude))
                       : MonitorTap::kFloorDb;
}

// In-place iterative radix-2 FFT; x.size() is a power of two.
void fft(std::vector<std::complex<double>>& x) {
  const size_t n = x.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> w = std::polar(1.0, -2 * std::numbers::pi / double(len));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> wk = 1;
      for (size_t k = 0; k < len / 2; ++k, wk *= w) {
        const std::complex<double> a = x[i + k], b = x[i + k + len / 2] * wk;
        x[i + k] = a + b;
        x[i + k + len / 2] = a - b;
      }
    }
  }
}

}  // namespace

QString MonitorTap::caption(int channel) {
  return QStringLiteral("Monitorando Canal %1").arg(channel);
}

void MonitorTap::feed(std::span<const int16_t> samples) {
  for (int16_t s : samples) {
    ring_[next_] = s;
    next_ = (next_ + 1) % ring_.size();
  }
  seen_ += static_cast<int64_t>(samples.size());
}

void MonitorTap::clear() {
  std::fill(ring_.begin(), ring_.end(), 0);
  next_ = 0;
  seen_ = 0;
}

std::vector<float> MonitorTap::last(int n) const {
  n = std::clamp(n, 0, kHistory);
  std::vector<float> out(static_cast<size_t>(n), 0.0f);
  const int have = static_cast<int>(std::min<int64_t>(seen_, n));
  for (int i = 0; i < have; ++i) {
    const size_t at = (next_ + ring_.size() - static_cast<size_t>(have - i)) % ring_.size();
    out[static_cast<size_t>(n - have + i)] = ring_[at] / 32768.0f;
  }
  return out;
}

MonitorTap::Level MonitorTap::level(int windowMs) const {
  const std::vector<float> x = last(windowMs * kRate / 1000);
  if (x.empty()) return {};
  double sum = 0, peak = 0;
  for (float v : x) {
    sum += double(v) * v;
    peak = std::max(peak, double(std::fabs(v)));
  }
  return {toDb(std::sqrt(sum / double(x.size()))), toDb(peak)};
}

std::vector<MonitorTap::WavePoint> MonitorTap::waveform(int points, int windowMs) const {
  const std::vector<float> x = last(windowMs * kRate / 1000);
  if (points <= 0 || x.empty()) return {};
  std::vector<WavePoint> out(static_cast<size_t>(points));
  for (int p = 0; p < points; ++p) {
    const size_t from = x.size() * static_cast<size_t>(p) / static_cast<size_t>(points);
    size_t to = x.size() * static_cast<size_t>(p + 1) / static_cast<size_t>(points);
    to = std::max(to, from + 1);
    const auto [lo, hi] = std::minmax_element(x.begin() + long(from), x.begin() + long(to));
    out[static_cast<size_t>(p)] = {*lo, *hi};
  }
  return out;
}

std::vector<double> MonitorTap::spectrum(int bands) const {
  if (bands <= 0) return {};
  const std::vector<float> x = last(kFftSize);
  std::vector<std::complex<double>> bins(kFftSize);
  double windowSum = 0;
  for (int i = 0; i < kFftSize; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / kFftSize);
    windowSum += w;
    bins[static_cast<size_t>(i)] = x[static_cast<size_t>(i)] * w;
  }
  fft(bins);
  const int half = kFftSize / 2;
  std::vector<double> out(static_cast<size_t>(bands), kFloorDb);
  for (int k = 0; k < half; ++k) {
    const int band = std::min(bands - 1, k * bands / half);
    const double amplitude = 2 * std::abs(bins[static_cast<size_t>(k)]) / windowSum;
    out[static_cast<size_t>(band)] = std::max(out[static_cast<size_t>(band)], toDb(amplitude));
  }
  return out;
}

}  // namespace doruzudo
