// A bank of eight Goertzel filters: the complex single-bin DFT
//   X(f) = sum_{n=0}^{N-1} x[n] e^{-j 2 pi f n / rate}
// of a block of samples at eight chosen frequencies, one multiply and two adds
// per sample and frequency (the eight run side by side in vector registers).
// Blocks of any length: feed samples, then take() the values and start over.
// Thread-safety: a plain value; distinct objects are independent.
#pragma once

#include <array>
#include <complex>
#include <cstdint>

namespace doruzudo {

class GoertzelBank {
 public:
  static constexpr int kSize = 8;
  using Values = std::array<std::complex<float>, kSize>;

  GoertzelBank() = default;
  GoertzelBank(const std::array<double, kSize>& hz, double rate);

  // Runs the recurrences over `n` samples and adds their energy (sum of squares).
  void feed(const int16_t* x, int n) {
    V4 a1 = s1_[0], a2 = s2_[0], b1 = s1_[1], b2 = s2_[1];
    const V4 ca = coeff_[0], cb = coeff_[1];
    int64_t e = 0;
    for (int i = 0; i < n; ++i) {
      const float v = x[i];
      e += int32_t(x[i]) * x[i];
      // (v - s2) first: the chain from one sample to the next is then one
      // multiply and one add.
      const V4 na = (v - a2) + ca * a1;
      const V4 nb = (v - b2) + cb * b1;
      a2 = a1, a1 = na, b2 = b1, b1 = nb;
    }
    s1_[0] = a1, s2_[0] = a2, s1_[1] = b1, s2_[1] = b2;
    energy_ += static_cast<float>(e);
    count_ += n;
  }

  int count() const { return count_; }
  float energy() const { return energy_; }

  // The DFT values of the samples fed since the last take(), which starts a new block.
  void take(Values& out);

 private:
  typedef float V4 __attribute__((vector_size(16)));
  V4 coeff_[2] = {};
  V4 s1_[2] = {}, s2_[2] = {};
  std::array<double, kSize> omega_ = {};
  float energy_ = 0;
  int count_ = 0;
  // e^{-jw(N-1)} and e^{-jwN} for the last block length N.
  Values rot_a_ = {}, rot_b_ = {};
  int rotations_for_ = -1;
};

}  // namespace doruzudo
