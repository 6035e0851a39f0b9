// AudioMixer: the four players of a channel mixed into its one output stream.
//
// Each player holds the samples of one playback at the device's rate. mix()
// writes the next block of the output: the sum of every active player's next
// samples, saturated to 16 bits (silence when none plays). Output samples are
// numbered from the first one the device ever took; when a player's last
// sample is mixed, the mixer notes the index just after it (finishedAt), so
// the owner can tell when that sample has left the device.
//
// Thread-safety: a plain object of the main thread (the channel's audio tick).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "dialer/line/channel_audio.h"

namespace doruzudo {

class AudioMixer {
 public:
  // Starts `samples` on `player`, replacing what it was playing. An empty
  // playback finishes at the next mix().
  void start(Player player, std::vector<int16_t> samples);
  // Drops the player's playback (mixed or not).
  void stop(Player player);
  // The player has a playback whose last sample is not yet mixed.
  bool mixing(Player player) const { return slot(player).active && !slot(player).finishedAt; }
  // Output index just after the playback's last sample, once it is mixed.
  std::optional<int64_t> finishedAt(Player player) const { return slot(player).finishedAt; }
  bool anyActive() const;

  // Fills `out` with output samples `firstIndex` .. firstIndex + out.size() - 1.
  void mix(std::span<int16_t> out, int64_t firstIndex);

 private:
  struct Slot {
    bool active = false;
    std::vector<int16_t> samples;
    size_t position = 0;
    std::optional<int64_t> finishedAt;
  };
  const Slot& slot(Player p) const { return slots_[static_cast<size_t>(p)]; }
  Slot& slot(Player p) { return slots_[static_cast<size_t>(p)]; }

  std::array<Slot, kPlayerCount> slots_;
  std::vector<int32_t> sum_;  // scratch of mix()
};

}  // namespace doruzudo
