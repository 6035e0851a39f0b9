#include "dialer/line/test_voice_output.h"

#include <portaudio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "dialer/line/audio_file.h"
#include "dialer/line/channel_audio_portaudio.h"
#include "dialer/line/espeak_voice_worker.h"

namespace doruzudo {

namespace {

int fill(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
         PaStreamCallbackFlags, void* data) {
  auto* p = static_cast<TestVoiceOutput::Playback*>(data);
  auto* out = static_cast<int16_t*>(output);
  const size_t from = p->position.load();
  const size_t n = std::min<size_t>(frames, p->samples.size() - from);
  std::memcpy(out, p->samples.data() + from, n * sizeof(int16_t));
  std::fill(out + n, out + frames, int16_t{0});
  int peak = 0;
  for (size_t i = 0; i < n; ++i) peak = std::max(peak, std::abs(int{out[i]}));
  p->level.store(peak * 100 / 32768);
  p->position.store(from + n);
  return from + n >= p->samples.size() ? paComplete : paContinue;
}

void streamFinished(void* data) {
  auto* p = static_cast<TestVoiceOutput::Playback*>(data);
  postToMainThread([owner = p->owner, output = p->output, id = p->id] {
    if (owner.lock()) output->finished(id);
  });
}

}  // namespace

TestVoiceOutput::TestVoiceOutput(PortAudioSystem& system) : system_(system) {}

TestVoiceOutput::~TestVoiceOutput() {
  close();
}

Result<int> TestVoiceOutput::deviceIndex() const {
  if (!system_.initialized())
    return Result<int>::Error(QStringLiteral("no sound system: %1").arg(system_.error()));
  const int index =
      device_.isEmpty() ? Pa_GetDefaultOutputDevice() : system_.findDevice(device_, false);
  if (index < 0) {
    return Result<int>::Error(device_.isEmpty()
                                  ? QStringLiteral("no sound output on this computer")
                                  : QStringLiteral("no output device '%1'").arg(device_));
  }
  return index;
}

Status TestVoiceOutput::play(std::span<const int16_t> samples, int sampleRate,
                             std::function<void()> done) {
  close();  // a replaced playback has no end
  const Result<int> device = deviceIndex();
  if (!device) return device.status();
  std::vector<int16_t> copy(samples.begin(), samples.end());
  Status opened = open(*device, copy, sampleRate);
  if (!opened) {  // the device may not take this rate: try its own
    const PaDeviceInfo* info = Pa_GetDeviceInfo(*device);
    const int rate = info ? static_cast<int>(info->defaultSampleRate) : 0;
    if (rate <= 0 || rate == sampleRate) return opened;
    opened = open(*device, resample(copy, sampleRate, rate), rate);
    if (!opened) return opened;
  }
  done_ = std::move(done);
  return Status::Ok();
}

Status TestVoiceOutput::open(int device, std::vector<int16_t> samples, int rate) {
  auto playback = std::make_unique<Playback>();
  playback->samples = std::move(samples);
  playback->owner = alive_;
  playback->output = this;
  playback->id = ++nextId_;
  const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
  PaStreamParameters out{device, 1, paInt16, info ? info->defaultHighOutputLatency : 0.1, nullptr};
  PaStream* stream = nullptr;
  PaError e = Pa_OpenStream(&stream, nullptr, &out, rate, paFramesPerBufferUnspecified, paClipOff,
                            &fill, playback.get());
  if (e == paNoError) e = Pa_SetStreamFinishedCallback(stream, &streamFinished);
  if (e == paNoError) e = Pa_StartStream(stream);
  if (e != paNoError) {
    if (stream) Pa_CloseStream(stream);
    return Status::Error(QStringLiteral("cannot play on the sound output: %1")
                             .arg(QString::fromUtf8(Pa_GetErrorText(e))));
  }
  stream_ = stream;
  playback_ = std::move(playback);
  return Status::Ok();
}

void TestVoiceOutput::close() {
  if (!stream_) return;
  Pa_AbortStream(stream_);
  Pa_CloseStream(stream_);
  stream_ = nullptr;
  playback_.reset();
  done_ = {};
}

void TestVoiceOutput::finished(uint64_t id) {
  if (stream_ && playback_->id == id) stop();
}

void TestVoiceOutput::stop() {
  if (!stream_) return;
  std::function<void()> done = std::move(done_);
  close();
  postToMainThread([alive = std::weak_ptr<int>(alive_), done = std::move(done)] {
    if (alive.lock() && done) done();
  });
}

}  // namespace doruzudo
