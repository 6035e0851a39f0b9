// ChannelAudioSim: a channel's sound in memory, for the virtual exchange,
// simulated runs and tests. The device is the telephone line itself at
// 8000 Hz; every 20 ms tick of the scheduler it exchanges one 160-sample
// frame each way with the line's far end:
//   - the frame the dialer's players put out is handed to the line (the far
//     end takes it with takePlayed() or hears it through its frame hook); a
//     playback's play-done comes in the tick its last sample was handed over;
//   - the next frame the far end queued with deliver() (silence when it
//     queued nothing) goes to the dialer's input stream, its tone decoder and
//     its recording.
// Apart from the device, the path is the real one (rings, mixer, decoder,
// recorder), so what works here works on a sound card.
//
// The simulated device's name is the one given at construction ("MD01" for
// channel 1 by default); openDevices() accepts that name only. Faults can be
// injected (a device that refuses to open or to start, a full disk under the
// recordings).
//
// Thread-safety: main thread only.
#pragma once

#include <deque>
#include <functional>

#include "dialer/line/channel_audio_core.h"
#include "dialer/line/sound_device.h"

namespace doruzudo {

class ChannelAudioSim;

// The far end of one simulated line: what the exchange hears from the dialer
// and what it says to it. Frames are 8000 Hz, 16-bit, mono.
class LineFarEnd {
 public:
  static constexpr int kRate = 8000;
  static constexpr int kFrame = kRate * ChannelAudioCore::kTickMs / 1000;  // 160
  // What the dialer played is kept for takePlayed() up to this many samples
  // (the oldest go first): two minutes. With a frame hook, the hook takes it
  // and nothing is kept.
  static constexpr size_t kPlayedLimit = 120 * kRate;

  // Everything handed to the line since the last call (silence included).
  std::vector<int16_t> takePlayed();
  // Queues audio for the dialer to hear, after what is already queued.
  void deliver(std::span<const int16_t> samples);
  // Queues a sound file (WAV or MP3 of any rate, converted to 8000 Hz).
  Status deliverFile(const QString& path);
  // Drops what is queued and not yet heard.
  void clearDelivery() { toDialer_.clear(); }
  size_t queuedForDialer() const { return toDialer_.size(); }
  // Called every tick with the frame the dialer just handed to the line,
  // before the frame the dialer hears is taken: the exchange may deliver()
  // its answer to it from the hook.
  void setFrameHook(std::function<void(std::span<const int16_t> played)> hook) {
    hook_ = std::move(hook);
  }
  // Frames exchanged so far (line time is frames() * 20 ms).
  int64_t frames() const { return frames_; }

 private:
  friend class ChannelAudioSim;
  std::deque<int16_t> fromDialer_, toDialer_;
  std::function<void(std::span<const int16_t>)> hook_;
  int64_t frames_ = 0;
};

class ChannelAudioSim final : public ChannelAudioCore {
 public:
  // `deviceName` is the name the device lists under (see SimSoundDevices).
  ChannelAudioSim(Scheduler& scheduler, QString deviceName);
  ~ChannelAudioSim() override;

  Status openDevices(const QString& inputName, const QString& outputName) override;
  bool devicesOpen() const override { return open_; }
  QString deviceName() const { return deviceName_; }

  LineFarEnd& farEnd() { return farEnd_; }

  // Faults: the next openDevices() / startStream() fails.
  void failOpen(bool fail) { failOpen_ = fail; }
  void failStart(bool fail) { failStart_ = fail; }
  // The recordings' disk is full: new recordings cannot be created and a
  // running one loses what comes while it lasts.
  void setDiskFull(bool full) { diskFull_ = full; }

  Status startRecording(const QString& file, const RecordFormat& format) override;

 protected:
  Status startDevice() override;
  void deviceStep() override;
  size_t playbackAheadSamples() const override { return LineFarEnd::kFrame; }
  Status writeRecording(RecordingFile& file, std::span<const int16_t> samples) override;

 private:
  QString deviceName_;
  LineFarEnd farEnd_;
  bool open_ = false;
  bool failOpen_ = false, failStart_ = false, diskFull_ = false;
  std::vector<int16_t> frame_;
};

// The input devices of a simulated machine, for the channel lookup: by
// default one device named "MD0<n>" per channel, in channel order.
class SimSoundDevices final : public SoundDeviceList {
 public:
  explicit SimSoundDevices(QStringList names);
  int inputDeviceCount() override { return static_cast<int>(names_.size()); }
  Result<QString> inputDeviceName(int index) override;
  QStringList& names() { return names_; }

 private:
  QStringList names_;
};

}  // namespace doruzudo
