#include "dialer/line/espeak_voice_line.h"

#include <utility>

namespace doruzudo {

VoiceLineAudio::VoiceLineAudio(Scheduler& scheduler, ChannelAudio& line)
    : scheduler_(scheduler), line_(line) {
  line_.setListener(this);
}

VoiceLineAudio::~VoiceLineAudio() {
  line_.setListener(nullptr);
}

// --- the engine's side -------------------------------------------------------

void VoiceLineAudio::beforeEnginePlay(Player player) {
  if (player == Player::Message && speechDone_) endSpeech(false);  // the play replaces it
}

Status VoiceLineAudio::play(Player player, const QString& file) {
  beforeEnginePlay(player);
  return line_.play(player, file);
}

Status VoiceLineAudio::playSamples(Player player, std::span<const int16_t> samples,
                                   int sampleRate) {
  beforeEnginePlay(player);
  return line_.playSamples(player, samples, sampleRate);
}

void VoiceLineAudio::stop(Player player) {
  if (player == Player::Message && speechDone_) return endSpeech(true);
  line_.stop(player);
}

// --- the voice's side --------------------------------------------------------

Status VoiceLineAudio::play(std::span<const int16_t> samples, int sampleRate,
                            std::function<void()> done) {
  const Status started = line_.playSamples(Player::Message, samples, sampleRate);
  speechDone_ = started ? std::move(done) : std::function<void()>();
  return started;
}

void VoiceLineAudio::stop() {
  if (speechDone_) endSpeech(true);
}

void VoiceLineAudio::endSpeech(bool stopDevice) {
  std::function<void()> done = std::exchange(speechDone_, {});
  if (stopDevice && line_.playing(Player::Message)) {
    line_.stop(Player::Message);
    dropStopDone_ = true;
  }
  scheduler_.callLater(
      0,
      [alive = std::weak_ptr<int>(alive_), done = std::move(done)] {
        if (alive.lock()) done();
      },
      QStringLiteral("speech end"));
}

// --- the device's events -----------------------------------------------------

void VoiceLineAudio::playDone(Player player) {
  if (player == Player::Message) {
    if (std::exchange(dropStopDone_, false)) return;
    if (speechDone_ && !line_.playing(Player::Message)) {
      std::exchange(speechDone_, {})();
      return;
    }
  }
  if (listener()) listener()->playDone(player);
}

void VoiceLineAudio::dtmf(int key, int64_t position) {
  if (listener()) listener()->dtmf(key, position);
}

void VoiceLineAudio::frequencyDetected(double frequency, double second, int durationMs,
                                       int64_t start) {
  if (listener()) listener()->frequencyDetected(frequency, second, durationMs, start);
}

void VoiceLineAudio::silenceStart(int64_t position) {
  if (listener()) listener()->silenceStart(position);
}

void VoiceLineAudio::silenceEnd(int64_t position, int durationMs) {
  if (listener()) listener()->silenceEnd(position, durationMs);
}

}  // namespace doruzudo
