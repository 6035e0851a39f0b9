#include "dialer/line/channel_audio_portaudio.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <portaudio.h>

#include <algorithm>
#include <cstdlib>

namespace doruzudo {

namespace {

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
void quietJack(const char*) {}

// JACK's handlers can only be replaced in a loaded libjack; PortAudio may be
// built with or without it, and it may not be installed at all.
void quietJackIfLoaded() {
  void* jack = dlopen("libjack.so.0", RTLD_LAZY | RTLD_NOLOAD);
  if (!jack) return;
  using SetHandler = void (*)(void (*)(const char*));
  for (const char* symbol : {"jack_set_error_function", "jack_set_info_function"}) {
    if (auto set = reinterpret_cast<SetHandler>(dlsym(jack, symbol))) set(quietJack);
  }
  dlclose(jack);
}

QString paError(PaError e) {
  return QString::fromUtf8(Pa_GetErrorText(e));
}

int streamCallback(const void* input, void* output, unsigned long frames,
                   const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* channel) {
  static_cast<ChannelAudioPortAudio*>(channel)->moveSamples(static_cast<const int16_t*>(input),
                                                            static_cast<int16_t*>(output), frames);
  return paContinue;
}

}  // namespace

PortAudioSystem::PortAudioSystem() {
  snd_lib_error_set_handler(quietAlsa);
  setenv("JACK_NO_START_SERVER", "1", 0);
  quietJackIfLoaded();
  const PaError e = Pa_Initialize();
  initialized_ = e == paNoError;
  if (!initialized_) error_ = paError(e);
}

PortAudioSystem::~PortAudioSystem() {
  if (initialized_) Pa_Terminate();
}

std::vector<SoundDeviceInfo> PortAudioSystem::devices() const {
  std::vector<SoundDeviceInfo> list;
  if (!initialized_) return list;
  const int count = Pa_GetDeviceCount();
  for (int i = 0; i < count; ++i) {
    const PaDeviceInfo* d = Pa_GetDeviceInfo(i);
    if (!d) continue;
    const PaHostApiInfo* host = Pa_GetHostApiInfo(d->hostApi);
    list.push_back({i, QString::fromUtf8(d->name), host ? QString::fromUtf8(host->name) : QString(),
                    host && host->type == paALSA, d->maxInputChannels, d->maxOutputChannels,
                    d->defaultSampleRate});
  }
  return list;
}

std::vector<SoundDeviceInfo> PortAudioSystem::inputs() const {
  std::vector<SoundDeviceInfo> list = devices();
  std::erase_if(list, [](const SoundDeviceInfo& d) { return !d.alsa || d.inputs == 0; });
  return list;
}

int PortAudioSystem::inputDeviceCount() {
  return static_cast<int>(inputs().size());
}

Result<QString> PortAudioSystem::inputDeviceName(int index) {
  const std::vector<SoundDeviceInfo> list = inputs();
  if (index < 0 || index >= static_cast<int>(list.size())) {
    return Result<QString>::Error(QStringLiteral("no input device %1").arg(index));
  }
  return list[static_cast<size_t>(index)].name;
}

int PortAudioSystem::findDevice(const QString& name, bool input) const {
  for (const SoundDeviceInfo& d : devices()) {
    if (d.alsa && d.name == name && (input ? d.inputs : d.outputs) > 0) return d.index;
  }
  return -1;
}

ChannelAudioPortAudio::ChannelAudioPortAudio(Scheduler& scheduler, PortAudioSystem& system)
    : ChannelAudioCore(scheduler, kRate, 65536), system_(system) {}

ChannelAudioPortAudio::~ChannelAudioPortAudio() {
  closeStream();
}

void ChannelAudioPortAudio::closeStream() {
  if (!stream_) return;
  stopTicking();
  Pa_StopStream(stream_);
  Pa_CloseStream(stream_);
  stream_ = nullptr;
  started_ = false;
}

Status ChannelAudioPortAudio::openDevices(const QString& inputName, const QString& outputName) {
  closeStream();
  if (!system_.initialized()) {
    return Status::Error(QStringLiteral("no sound system: %1").arg(system_.error()));
  }
  const int in = system_.findDevice(inputName, true);
  const int out = system_.findDevice(outputName, false);
  if (in < 0) return Status::Error(QStringLiteral("no input device '%1'").arg(inputName));
  if (out < 0) return Status::Error(QStringLiteral("no output device '%1'").arg(outputName));
  PaStreamParameters input{in, 1, paInt16, Pa_GetDeviceInfo(in)->defaultLowInputLatency, nullptr};
  PaStreamParameters output{out, 1, paInt16, Pa_GetDeviceInfo(out)->defaultLowOutputLatency,
                            nullptr};
  const PaError e = Pa_OpenStream(&stream_, &input, &output, kRate, paFramesPerBufferUnspecified,
                                  paClipOff, &streamCallback, this);
  if (e != paNoError) {
    stream_ = nullptr;
    return Status::Error(QStringLiteral("cannot open '%1': %2").arg(inputName, paError(e)));
  }
  if (const PaStreamInfo* info = Pa_GetStreamInfo(stream_)) {
    latency_ = static_cast<int64_t>(info->outputLatency * kRate);
  }
  setDeviceNames(inputName, outputName);
  return Status::Ok();
}

bool ChannelAudioPortAudio::deviceAlive() const {
  return !started_ || Pa_IsStreamActive(stream_) == 1;
}

Status ChannelAudioPortAudio::startDevice() {
  if (!stream_) return Status::Error(QStringLiteral("the channel's sound device is not open"));
  const PaError e = Pa_StartStream(stream_);
  if (e != paNoError)
    return Status::Error(QStringLiteral("cannot start the stream: %1").arg(paError(e)));
  started_ = true;
  startTicking();
  return Status::Ok();
}

void ChannelAudioPortAudio::moveSamples(const int16_t* input, int16_t* output,
                                        unsigned long frames) {
  if (input) {
    const size_t taken = captureRing().push(std::span<const int16_t>(input, frames));
    if (taken < frames) countCaptureOverrun(frames - taken);
  }
  if (output) {
    const std::span<int16_t> out(output, frames);
    const size_t got = playbackRing().pop(out);
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(got), out.end(), int16_t(0));
  }
}

}  // namespace doruzudo
