// Frequency analysis of a burst once it has ended: the power spectrum averaged
// over Hann-windowed frames (256 or 512 points, half overlapping), its strongest
// peak refined from the phase advance between frames (a tone of 100 ms or more
// is measured within a fraction of a hertz), a second peak for dual tones, and
// how much of the power the peaks hold (a tone) or not (speech, noise).
// Thread-safety: pure functions.
#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

namespace doruzudo {

struct SpectrumPeaks {
  double frequency = 0;         // Hz, 0 when there is no signal
  double second_frequency = 0;  // Hz, 0 when there is no second tone
  double tonality = 0;          // share of the power within the peaks' main lobes
  double peak_to_skirt_db = 0;  // the peaks' lobes over the bins 3 to 6 away
  double band_frequency = 0;    // the strongest frequency within the band asked for
};

// Peaks of `samples` at `rate` searched between `min_hz` and `max_hz`, and the
// strongest frequency between `band_min_hz` and `band_max_hz`. Long signals are
// sampled at three evenly spread places.
SpectrumPeaks analyseSpectrum(std::span<const int16_t> samples, int rate, double min_hz,
                              double max_hz, double band_min_hz = 100, double band_max_hz = 2500);

// In-place radix-2 FFT; the size must be a power of two.
void fft(std::vector<std::complex<float>>& x);

}  // namespace doruzudo
