// TestVoiceOutput: the test voice's output, the PC's own speakers. Each play
// opens a PortAudio output stream (mono, 16-bit) on the chosen device, or on
// PortAudio's default output when none is chosen, and closes it when the
// last sample has been heard or stop() is called. On a machine without a
// sound card play() fails with a message (the voice then ends its speech).
//
// level() is the peak of what is being heard, 0..100, for the speech pages'
// level bars; 0 when nothing plays.
//
// Thread-safety: main thread only, except the stream's callbacks on
// PortAudio's thread: the sample callback reads the playback buffer (fixed
// while the stream is open) and writes the position and level atomics; the
// finished callback posts the end to the main thread.
#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <vector>

#include "dialer/line/espeak_voice.h"

typedef void PaStream;

namespace doruzudo {

class PortAudioSystem;

class TestVoiceOutput final : public SpeechOutput {
 public:
  // `system` (PortAudio started) must outlive this object.
  explicit TestVoiceOutput(PortAudioSystem& system);
  ~TestVoiceOutput() override;
  TestVoiceOutput(const TestVoiceOutput&) = delete;
  TestVoiceOutput& operator=(const TestVoiceOutput&) = delete;

  // The output device by PortAudio's name; empty: the default output.
  void setDevice(const QString& name) { device_ = name; }
  QString device() const { return device_; }

  Status play(std::span<const int16_t> samples, int sampleRate,
              std::function<void()> done) override;
  void stop() override;
  bool playing() const { return stream_ != nullptr; }
  int level() const { return stream_ ? playback_->level.load() : 0; }
  // The stream of playback `id` has ended (posted by its callback).
  void finished(uint64_t id);

  struct Playback {
    std::vector<int16_t> samples;
    std::atomic<size_t> position{0};
    std::atomic<int> level{0};
    std::weak_ptr<int> owner;  // the output's alive token
    TestVoiceOutput* output = nullptr;
    uint64_t id = 0;
  };

 private:
  Result<int> deviceIndex() const;
  Status open(int device, std::vector<int16_t> samples, int rate);
  void close();

  PortAudioSystem& system_;
  QString device_;
  PaStream* stream_ = nullptr;
  std::unique_ptr<Playback> playback_;  // read by the stream's callbacks while it is open
  uint64_t nextId_ = 0;
  std::function<void()> done_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace doruzudo
