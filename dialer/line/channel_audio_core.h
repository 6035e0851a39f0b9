// ChannelAudioCore: what the real and the simulated channel audio share, the
// work of the main thread on a channel's sound.
//
// A backend owns one device stream (duplex, mono, 16-bit, at deviceRate())
// and moves samples between it and two lock-free rings: the device's input
// goes into captureRing(), its output comes out of playbackRing(). Nothing
// else crosses threads. Every 20 ms (a scheduler timer) the core, on the main
// thread:
//   1. lets the backend do its device step (the simulated line exchanges one
//      frame here; a real device runs on its own);
//   2. drains the capture ring; while the input stream runs, converts what it
//      got to 8000 Hz, feeds the monitor tap and the tone decoder, and hands
//      the decoder's events to the listener once the decoder is done with the
//      block; while recording, writes it to the recording file at the
//      format's rate;
//   3. tops the playback ring up to playbackAheadSamples() with the players'
//      mix (silence when none plays);
//   4. reports play-done for each playback whose last sample has left the
//      device: the device has taken it from the ring and outputLatency()
//      more samples since (or at once when the device's stream has died).
// A stopped playback reports play-done at the next tick.
//
// Thread-safety: main thread only, apart from the two rings, which the
// backend's device thread uses as their one producer (capture) and one
// consumer (playback).
#pragma once

#include <QString>
#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "common/scheduler.h"
#include "dialer/line/audio_mixer.h"
#include "dialer/line/call_recorder_file.h"
#include "dialer/line/channel_audio.h"
#include "dialer/line/channel_audio_resampler.h"
#include "dialer/line/ring_buffer.h"
#include "dialer/line/tone_decoder.h"

namespace doruzudo {

class MonitorTap;

class ChannelAudioCore : public ChannelAudio {
 public:
  static constexpr int kTickMs = 20;
  static constexpr int kDecoderRate = ToneDecoder::kRate;

  ~ChannelAudioCore() override;

  // The channel's sound device by name: opens the device stream (input and
  // output). Fails when no such device exists or it refuses the stream.
  virtual Status openDevices(const QString& inputName, const QString& outputName) = 0;
  virtual bool devicesOpen() const = 0;
  QString inputDevice() const { return inputName_; }
  QString outputDevice() const { return outputName_; }

  Status play(Player player, const QString& file) override;
  Status playSamples(Player player, std::span<const int16_t> samples, int sampleRate) override;
  void stop(Player player) override;
  bool playing(Player player) const override { return state(player).playing; }

  Status startStream() override;
  bool streaming() const override { return streaming_; }
  Status startRecording(const QString& file, const RecordFormat& format) override;
  Status stopRecording() override;
  bool recording() const override { return recording_ != nullptr; }

  // The decoder's options (the channel's detection settings); also resets it.
  void setDecoderOptions(const ToneDecoderOptions& options);
  // The monitor views' source: the tap sees this channel's input at 8000 Hz
  // while the stream runs (null: none).
  void setMonitorTap(MonitorTap* tap) { tap_ = tap; }
  MonitorTap* monitorTap() const { return tap_; }

  int deviceRate() const { return rate_; }
  // Samples at 8000 Hz the decoder has heard since the stream started.
  int64_t streamPosition() const { return decoder_ ? decoder_->position() : 0; }
  // Capture samples lost because the ring was full (the main thread fell behind).
  uint64_t captureOverruns() const { return captureOverruns_; }

  // One tick of the main thread's work (the timer calls it; tests may too).
  void tick();

 protected:
  ChannelAudioCore(Scheduler& scheduler, int deviceRate, size_t ringSamples);

  // Starts and stops the 20 ms tick (a backend starts it once its device is open).
  void startTicking();
  void stopTicking();
  void setDeviceNames(const QString& in, const QString& out) {
    inputName_ = in;
    outputName_ = out;
  }
  // The device stream starts (input and output flow); called by startStream().
  virtual Status startDevice() = 0;
  // Samples flow through the device (players may start): by default as soon
  // as it is open.
  virtual bool deviceRunning() const { return devicesOpen(); }
  // False once a started stream has died (the card was unplugged): what the
  // players still hold will never leave, so their playbacks end at once.
  virtual bool deviceAlive() const { return true; }
  virtual void deviceStep() {}
  // Samples that go on playing after the device took them from the ring.
  virtual int64_t outputLatency() const { return 0; }
  virtual size_t playbackAheadSamples() const = 0;
  // Writes the next samples of the running recording (a backend may stand in
  // a disk that refuses them). A failed write loses those samples only: the
  // file keeps what it had and the recording goes on.
  virtual Status writeRecording(RecordingFile& file, std::span<const int16_t> samples) {
    return file.write(samples);
  }

  SampleRing& captureRing() { return capture_; }
  SampleRing& playbackRing() { return playback_; }
  // Device thread: counts capture samples the ring had no room for.
  void countCaptureOverrun(uint64_t n) { captureOverruns_ += n; }
  Scheduler& scheduler() { return scheduler_; }

 private:
  struct PlayerState {
    bool playing = false;
    bool stoppedDonePending = false;
  };
  struct DecoderEvent;

  const PlayerState& state(Player p) const { return players_[static_cast<size_t>(p)]; }
  PlayerState& state(Player p) { return players_[static_cast<size_t>(p)]; }
  Status startPlayback(Player player, std::vector<int16_t> samples);
  void makeDecoder();
  void processInput(std::span<const int16_t> deviceSamples);
  void fillPlayback();
  void reportPlayDone();
  void dispatch(const std::vector<DecoderEvent>& events);

  Scheduler& scheduler_;
  const int rate_;
  SampleRing capture_, playback_;
  std::atomic<uint64_t> captureOverruns_{0};  // written by the device thread, read by main
  std::unique_ptr<Timer> tickTimer_;
  QString inputName_, outputName_;

  AudioMixer mixer_;
  std::array<PlayerState, kPlayerCount> players_{};
  std::vector<int16_t> scratch_;

  bool streaming_ = false;
  ToneDecoderOptions decoderOptions_;
  std::unique_ptr<ToneDecoder> decoder_;
  std::vector<DecoderEvent>* pendingEvents_ = nullptr;
  StreamResampler toDecoder_;
  MonitorTap* tap_ = nullptr;

  std::unique_ptr<RecordingFile> recording_;
  std::unique_ptr<StreamResampler> toRecording_;
};

}  // namespace doruzudo
