// MonitorTap: what the window's three monitor views show of one channel's
// input stream: its level (Volume), its waveform (Wave) and its spectrum
// (Spectrum). The channel whose stream feeds the tap is the monitored one
// (ChannelAudioCore::setMonitorTap); the views read the tap when they redraw.
//
// Pure computation over the last samples fed (8000 Hz, 16-bit); levels are
// in dB relative to full scale (a full-scale sine reads 0 dBFS in the
// spectrum and -3.01 dBFS RMS), with a floor of kFloorDb.
//
// Thread-safety: a plain object of the main thread.
#pragma once

#include <QString>
#include <cstdint>
#include <span>
#include <vector>

namespace doruzudo {

class MonitorTap {
 public:
  static constexpr int kRate = 8000;
  static constexpr int kHistory = 4096;  // samples kept (512 ms)
  static constexpr int kFftSize = 512;   // 64 ms, 15.6 Hz per FFT bin
  static constexpr double kFloorDb = -120;

  struct Level {
    double rmsDb = kFloorDb;
    double peakDb = kFloorDb;
  };
  struct WavePoint {
    float min = 0, max = 0;  // -1..1
  };

  // The caption over the views: "Monitorando Canal 1" .. "Monitorando Canal 8".
  static QString caption(int channel);

  void feed(std::span<const int16_t> samples);
  void clear();
  int64_t samplesSeen() const { return seen_; }

  // Over the last `windowMs` ms.
  Level level(int windowMs = 50) const;
  // The last `windowMs` ms in `points` columns, each the lowest and highest
  // sample of its stretch (oldest first).
  std::vector<WavePoint> waveform(int points, int windowMs = 100) const;
  // Magnitudes in dBFS of `bands` equal bands from 0 to 4000 Hz (each the
  // strongest FFT bin in it), over the last kFftSize samples with a Hann window.
  std::vector<double> spectrum(int bands = 64) const;

 private:
  // The last `n` samples, oldest first, zero-padded in front when fewer were fed.
  std::vector<float> last(int n) const;

  std::vector<int16_t> ring_ = std::vector<int16_t>(kHistory, 0);
  size_t next_ = 0;  // where the next sample goes
  int64_t seen_ = 0;
};

}  // namespace doruzudo
