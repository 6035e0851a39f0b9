#include "dialer/line/channel_audio_sim.h"

#include "dialer/line/audio_file.h"

namespace doruzudo {

std::vector<int16_t> LineFarEnd::takePlayed() {
  std::vector<int16_t> out(fromDialer_.begin(), fromDialer_.end());
  fromDialer_.clear();
  return out;
}

void LineFarEnd::deliver(std::span<const int16_t> samples) {
  toDialer_.insert(toDialer_.end(), samples.begin(), samples.end());
}

Status LineFarEnd::deliverFile(const QString& path) {
  Result<MonoAudio> audio = readMonoAudio(path, kRate);
  if (!audio) return audio.status();
  deliver(audio->samples);
  return Status::Ok();
}

ChannelAudioSim::ChannelAudioSim(Scheduler& scheduler, QString deviceName)
    : ChannelAudioCore(scheduler, LineFarEnd::kRate, 4 * LineFarEnd::kFrame),
      deviceName_(std::move(deviceName)),
      frame_(LineFarEnd::kFrame) {}

ChannelAudioSim::~ChannelAudioSim() = default;

Status ChannelAudioSim::openDevices(const QString& inputName, const QString& outputName) {
  if (failOpen_) return Status::Error(QStringLiteral("simulated device refused to open"));
  if (!inputName.isEmpty() && inputName != deviceName_) {
    return Status::Error(QStringLiteral("no input device '%1'").arg(inputName));
  }
  const bool outputOk = outputName == deviceName_ || outputName == outputDeviceFor(deviceName_, 5);
  if (!outputName.isEmpty() && !outputOk) {
    return Status::Error(QStringLiteral("no output device '%1'").arg(outputName));
  }
  setDeviceNames(inputName, outputName);
  if (!open_) {
    open_ = true;
    startTicking();
  }
  return Status::Ok();
}

Status ChannelAudioSim::startRecording(const QString& file, const RecordFormat& format) {
  if (diskFull_) {
    return Status::Error(QStringLiteral("cannot create %1: No space left on device").arg(file));
  }
  return ChannelAudioCore::startRecording(file, format);
}

Status ChannelAudioSim::writeRecording(RecordingFile& file, std::span<const int16_t> samples) {
  if (diskFull_) return Status::Error(QStringLiteral("cannot write %1: No space left on device").arg(file.path()));
  return ChannelAudioCore::writeRecording(file, samples);
}

Status ChannelAudioSim::startDevice() {
  if (failStart_) return Status::Error(QStringLiteral("simulated stream refused to start"));
  return Status::Ok();
}

void ChannelAudioSim::deviceStep() {
  // To the line: one frame of the players' mix (silence on an underrun).
  std::fill(frame_.begin(), frame_.end(), 0);
  playbackRing().pop(frame_);
  ++farEnd_.frames_;
  if (farEnd_.hook_) {
    farEnd_.hook_(frame_);
  } else {
    auto& played = farEnd_.fromDialer_;
    played.insert(played.end(), frame_.begin(), frame_.end());
    if (played.size() > LineFarEnd::kPlayedLimit) {
      played.erase(played.begin(), played.begin() + static_cast<std::ptrdiff_t>(
                                                          played.size() - LineFarEnd::kPlayedLimit));
    }
  }
  // From the line: the next frame the far end queued.
  auto& queued = farEnd_.toDialer_;
  for (int16_t& s : frame_) {
    if (queued.empty()) {
      s = 0;
    } else {
      s = queued.front();
      queued.pop_front();
    }
  }
  captureRing().push(frame_);
}

SimSoundDevices::SimSoundDevices(QStringList names) : names_(std::move(names)) {}

Result<QString> SimSoundDevices::inputDeviceName(int index) {
  if (index < 0 || index >= names_.size()) {
    return Result<QString>::Error(QStringLiteral("no input device %1").arg(index));
  }
  return names_[index];
}

}  // namespace doruzudo
