// The DTMF keypad: the two frequencies of each key (ITU-T Q.23), shared by the
// detector and the synthesiser.
// Thread-safety: constant tables and pure functions.
#pragma once

#include <array>
#include <optional>
#include <utility>

namespace doruzudo::dtmf {

inline constexpr std::array<double, 4> kLowHz = {697.0, 770.0, 852.0, 941.0};
inline constexpr std::array<double, 4> kHighHz = {1209.0, 1336.0, 1477.0, 1633.0};

// kKeys[low][high]: rows are the low group, columns the high group.
inline constexpr std::array<std::array<char, 4>, 4> kKeys = {
    {{'1', '2', '3', 'A'}, {'4', '5', '6', 'B'}, {'7', '8', '9', 'C'}, {'*', '0', '#', 'D'}}};

// The (low, high) frequencies of a key ('0'-'9', '*', '#', 'A'-'D', lower case
// accepted), or nothing for any other character.
inline std::optional<std::pair<double, double>> frequencies(char key) {
  if (key >= 'a' && key <= 'd') key = static_cast<char>(key - 'a' + 'A');
  for (int l = 0; l < 4; ++l) {
    for (int h = 0; h < 4; ++h) {
      if (kKeys[l][h] == key) return std::make_pair(kLowHz[l], kHighHz[h]);
    }
  }
  return std::nullopt;
}

}  // namespace doruzudo::dtmf
