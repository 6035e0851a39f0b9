#include "dialer/line/channel_audio_core.h"

#include "dialer/line/audio_file.h"
#include "dialer/line/monitor_tap.h"

namespace doruzudo {

struct ChannelAudioCore::DecoderEvent {
  enum class Kind { Dtmf, Frequency, SilenceStart, SilenceEnd };
  Kind kind;
  int key = 0;
  double frequency = 0, second = 0;
  int durationMs = 0;
  int64_t position = 0;
};

ChannelAudioCore::ChannelAudioCore(Scheduler& scheduler, int deviceRate, size_t ringSamples)
    : scheduler_(scheduler),
      rate_(deviceRate),
      capture_(ringSamples),
      playback_(ringSamples),
      toDecoder_(deviceRate, kDecoderRate) {
  tickTimer_ =
      scheduler_.createTimer(QStringLiteral("channelAudioTick"), kTickMs, [this] { tick(); });
}

ChannelAudioCore::~ChannelAudioCore() {
  if (recording_) recording_->close();
}

void ChannelAudioCore::startTicking() {
  tickTimer_->setEnabled(true);
}
void ChannelAudioCore::stopTicking() {
  tickTimer_->setEnabled(false);
}

// --- players -------------------------------------------------------------

Status ChannelAudioCore::play(Player player, const QString& file) {
  if (!deviceRunning())
    return Status::Error(QStringLiteral("the channel's sound device is not open"));
  Result<MonoAudio> audio = readMonoAudio(file, rate_);
  if (!audio) return audio.status();
  return startPlayback(player, std::move(audio->samples));
}

Status ChannelAudioCore::playSamples(Player player, std::span<const int16_t> samples,
                                     int sampleRate) {
  if (!deviceRunning())
    return Status::Error(QStringLiteral("the channel's sound device is not open"));
  if (sampleRate <= 0) return Status::Error(QStringLiteral("no sample rate %1").arg(sampleRate));
  return startPlayback(player, resample(samples, sampleRate, rate_));
}

Status ChannelAudioCore::startPlayback(Player player, std::vector<int16_t> samples) {
  mixer_.start(player, std::move(samples));
  state(player).playing = true;
  return Status::Ok();
}

void ChannelAudioCore::stop(Player player) {
  PlayerState& s = state(player);
  if (!s.playing) return;
  mixer_.stop(player);
  s.playing = false;
  s.stoppedDonePending = true;
}

// --- input stream and recording --------------------------------------------

void ChannelAudioCore::setDecoderOptions(const ToneDecoderOptions& options) {
  decoderOptions_ = options;
  if (streaming_) makeDecoder();
}

Status ChannelAudioCore::startStream() {
  if (!devicesOpen())
    return Status::Error(QStringLiteral("the channel's sound device is not open"));
  if (!streaming_) {
    const Status started = startDevice();
    if (!started) return started;
  }
  makeDecoder();
  captureRing().clear();
  streaming_ = true;
  return Status::Ok();
}

void ChannelAudioCore::makeDecoder() {
  decoder_ = std::make_unique<ToneDecoder>(decoderOptions_);
  ToneDecoder::Callbacks cb;
  using K = DecoderEvent::Kind;
  cb.dtmf = [this](int key, int64_t pos) {
    pendingEvents_->push_back({K::Dtmf, key, 0, 0, 0, pos});
  };
  cb.frequency = [this](double f, double second, int ms, int64_t start) {
    pendingEvents_->push_back({K::Frequency, 0, f, second, ms, start});
  };
  cb.silence_start = [this](int64_t pos) {
    pendingEvents_->push_back({K::SilenceStart, 0, 0, 0, 0, pos});
  };
  cb.silence_end = [this](int64_t pos, int ms) {
    pendingEvents_->push_back({K::SilenceEnd, 0, 0, 0, ms, pos});
  };
  decoder_->setCallbacks(std::move(cb));
  toDecoder_.reset();
}

Status ChannelAudioCore::startRecording(const QString& file, const RecordFormat& format) {
  if (!streaming_)
    return Status::Error(QStringLiteral("the channel's input stream is not running"));
  if (recording_) stopRecording();
  Result<std::unique_ptr<RecordingFile>> created = RecordingFile::create(file, format);
  if (!created) return created.status();
  recording_ = std::move(*created);
  toRecording_ = std::make_unique<StreamResampler>(rate_, format.sampleRate);
  return Status::Ok();
}

Status ChannelAudioCore::stopRecording() {
  if (!recording_) return Status::Ok();
  const Status closed = recording_->close();
  recording_.reset();
  toRecording_.reset();
  return closed;
}

// --- the tick --------------------------------------------------------------

void ChannelAudioCore::tick() {
  deviceStep();
  scratch_.resize(capture_.size());
  scratch_.resize(capture_.pop(scratch_));
  if (streaming_) processInput(scratch_);
  fillPlayback();
  reportPlayDone();
}

void ChannelAudioCore::processInput(std::span<const int16_t> deviceSamples) {
  if (recording_) (void)writeRecording(*recording_, toRecording_->process(deviceSamples));
  const std::vector<int16_t> line = toDecoder_.process(deviceSamples);
  if (tap_) tap_->feed(line);
  std::vector<DecoderEvent> events;
  pendingEvents_ = &events;
  decoder_->process(line);
  pendingEvents_ = nullptr;
  dispatch(events);
}

void ChannelAudioCore::dispatch(const std::vector<DecoderEvent>& events) {
  using K = DecoderEvent::Kind;
  for (const DecoderEvent& e : events) {
    Listener* l = listener();
    if (!l) return;
    switch (e.kind) {
      case K::Dtmf:
        l->dtmf(e.key, e.position);
        break;
      case K::Frequency:
        l->frequencyDetected(e.frequency, e.second, e.durationMs, e.position);
        break;
      case K::SilenceStart:
        l->silenceStart(e.position);
        break;
      case K::SilenceEnd:
        l->silenceEnd(e.position, e.durationMs);
        break;
    }
  }
}

void ChannelAudioCore::fillPlayback() {
  const size_t ahead = playbackAheadSamples();
  const size_t queued = playback_.size();
  if (queued >= ahead) return;
  std::vector<int16_t> block(std::min(ahead - queued, playback_.space()));
  mixer_.mix(block, static_cast<int64_t>(playback_.pushedTotal()));
  playback_.push(block);
}

void ChannelAudioCore::reportPlayDone() {
  const int64_t left = static_cast<int64_t>(playback_.poppedTotal()) - outputLatency();
  const bool alive = deviceAlive();
  std::vector<Player> done;
  for (int i = 0; i < kPlayerCount; ++i) {
    const auto p = static_cast<Player>(i);
    PlayerState& s = state(p);
    if (s.stoppedDonePending) {
      s.stoppedDonePending = false;
      done.push_back(p);
    }
    const std::optional<int64_t> end = mixer_.finishedAt(p);
    if (s.playing && (!alive || (end && left >= *end))) {
      mixer_.stop(p);
      s.playing = false;
      done.push_back(p);
    }
  }
  for (Player p : done) {
    if (listener()) listener()->playDone(p);
  }
}

}  // namespace doruzudo
