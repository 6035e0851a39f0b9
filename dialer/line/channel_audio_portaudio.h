// The channels' sound on real sound cards, through PortAudio's ALSA host.
//
// PortAudioSystem initialises PortAudio once for the program (quieting the
// messages ALSA and JACK print on their own when probing cards: the ALSA
// error handler is replaced before PortAudio starts, and JACK's handlers are
// replaced when the JACK library is loaded; a JACK server is never started)
// and lists the ALSA devices. On a machine without sound cards it lists
// nothing and every channel lookup fails in the ordinary way.
//
// ChannelAudioPortAudio is one channel: one duplex stream (mono, 16-bit,
// 44100 Hz, the players' format) on its device; PortAudio's callback thread
// only moves samples between the stream and the core's two rings, and the
// main thread does the rest on its 20 ms tick (channel_audio_core.h). The
// players are kept 100 ms ahead of the device; play-done waits for the
// stream's output latency too.
//
// Thread-safety: both classes are used from the main thread; the stream
// callback touches only the rings and the overrun counter (an atomic).
#pragma once

#include <QString>
#include <vector>

#include "dialer/line/channel_audio_core.h"
#include "dialer/line/sound_device.h"

typedef void PaStream;

namespace doruzudo {

struct SoundDeviceInfo {
  int index = 0;  // PortAudio's device index
  QString name;
  QString hostApi;
  bool alsa = false;
  int inputs = 0, outputs = 0;  // channel counts
  double defaultRate = 0;
};

class PortAudioSystem final : public SoundDeviceList {
 public:
  PortAudioSystem();
  ~PortAudioSystem() override;
  PortAudioSystem(const PortAudioSystem&) = delete;
  PortAudioSystem& operator=(const PortAudioSystem&) = delete;

  bool initialized() const { return initialized_; }
  QString error() const { return error_; }

  // Every device PortAudio lists, of every host.
  std::vector<SoundDeviceInfo> devices() const;
  // The ALSA devices with inputs, in index order (the lookup's list).
  int inputDeviceCount() override;
  Result<QString> inputDeviceName(int index) override;
  // PortAudio's index of the ALSA device `name` with inputs (or outputs), or -1.
  int findDevice(const QString& name, bool input) const;

 private:
  std::vector<SoundDeviceInfo> inputs() const;
  bool initialized_ = false;
  QString error_;
};

class ChannelAudioPortAudio final : public ChannelAudioCore {
 public:
  static constexpr int kRate = 44100;
  static constexpr int kAheadMs = 100;

  ChannelAudioPortAudio(Scheduler& scheduler, PortAudioSystem& system);
  ~ChannelAudioPortAudio() override;

  Status openDevices(const QString& inputName, const QString& outputName) override;
  bool devicesOpen() const override { return stream_ != nullptr; }

  // PortAudio's callback thread: hands `frames` captured samples to the
  // capture ring and takes as many for the device from the playback ring
  // (silence where it runs short).
  void moveSamples(const int16_t* input, int16_t* output, unsigned long frames);

 protected:
  Status startDevice() override;
  bool deviceRunning() const override { return started_; }
  bool deviceAlive() const override;
  int64_t outputLatency() const override { return latency_; }
  size_t playbackAheadSamples() const override { return kRate * kAheadMs / 1000; }

 private:
  void closeStream();

  PortAudioSystem& system_;
  PaStream* stream_ = nullptr;
  bool started_ = false;  // the stream runs: a playback started now will end
  int64_t latency_ = 0;   // output latency in samples, known once the stream is open
};

}  // namespace doruzudo
