#include "dialer/line/goertzel.h"

#include <cmath>
#include <numbers>

namespace doruzudo {

GoertzelBank::GoertzelBank(const std::array<double, kSize>& hz, double rate) {
  for (int k = 0; k < kSize; ++k) {
    omega_[k] = 2 * std::numbers::pi * hz[k] / rate;
    coeff_[k / 4][k % 4] = static_cast<float>(2 * std::cos(omega_[k]));
  }
}

void GoertzelBank::take(Values& out) {
  // After samples 0..N-1 the states are s1 = s[N-1], s2 = s[N-2], and
  // s1 - e^{-jw} s2 = e^{jw(N-1)} X, so X = e^{-jw(N-1)} s1 - e^{-jwN} s2.
  const int n = count_;
  if (n != rotations_for_) {
    for (int k = 0; k < kSize; ++k) {
      rot_a_[k] = std::complex<float>(std::polar(1.0, -omega_[k] * (n - 1)));
      rot_b_[k] = std::complex<float>(std::polar(1.0, -omega_[k] * n));
    }
    rotations_for_ = n;
  }
  for (int k = 0; k < kSize; ++k) {
    const float s1 = s1_[k / 4][k % 4], s2 = s2_[k / 4][k % 4];
    out[k] = rot_a_[k] * s1 - rot_b_[k] * s2;
  }
  s1_[0] = s1_[1] = s2_[0] = s2_[1] = V4{0, 0, 0, 0};
  energy_ = 0;
  count_ = 0;
}

}  // namespace doruzudo
