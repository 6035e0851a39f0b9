#include "dialer/line/espeak_voice.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <QFileInfo>
#include <mutex>

#include <algorithm>
#include <cmath>
#include <utility>

#include "dialer/line/espeak_voice_worker.h"
#include "dialer/line/speech_synth.h"
#include "dialer/line/ssml.h"

namespace doruzudo {

bool speechDataInstalled() {
  static std::once_flag once;
  static bool installed = false;  // written once under `once`
  std::call_once(once, [] {
    espeak_ng_InitializePath(nullptr);  // where espeak-ng will look; starts nothing
    const char* path = nullptr;
    espeak_Info(&path);
    const QString dir = QString::fromLocal8Bit(path ? path : "");
    installed = !dir.isEmpty() && QFileInfo::exists(dir + QStringLiteral("/phontab")) &&
                QFileInfo::exists(dir + QStringLiteral("/phondata"));
  });
  return installed;
}

int wordsPerMinute(int rate) {
  constexpr double kNormal = 175, kSlowest = 80, kFastest = 450;
  const double r = std::clamp(rate, -10, 10) / 10.0;
  const double end = r < 0 ? kSlowest : kFastest;
  return static_cast<int>(std::lround(kNormal * std::pow(end / kNormal, std::abs(r))));
}

void applyVolume(std::vector<int16_t>& samples, int volume) {
  const int v = std::clamp(volume, 0, 100);
  if (v == 100) return;
  for (int16_t& s : samples) s = static_cast<int16_t>(s * v / 100);
}

EspeakVoice::EspeakVoice(Scheduler& scheduler, SpeechOutput& output, QString voiceName)
    : scheduler_(scheduler),
      output_(output),
      worker_(SpeechWorker::shared()),
      alive_(std::make_shared<int>(0)),
      voiceName_(std::move(voiceName)) {}

EspeakVoice::~EspeakVoice() {
  if (finishCall_) scheduler_.cancel(finishCall_);
  if (phase_ == Phase::Playing) output_.stop();
}

void EspeakVoice::setRate(int rate) {
  rate_ = std::clamp(rate, -10, 10);
}

void EspeakVoice::setVolume(int volume) {
  volume_ = std::clamp(volume, 0, 100);
}

Status EspeakVoice::speak(const QString& text) {
  const uint64_t generation = ++generation_;
  if (finishCall_) scheduler_.cancel(std::exchange(finishCall_, 0));
  if (phase_ == Phase::Playing) output_.stop();  // its done is dropped: an older generation
  phase_ = Phase::Synthesising;
  state_ = kSpeaking;

  SpeechOptions options;
  options.voice = voiceName_;
  options.rate = kSampleRate;
  options.ssml = true;
  options.words_per_minute = wordsPerMinute(rate_);
  const int volume = volume_;
  std::weak_ptr<int> alive = alive_;
  worker_->post([this, alive, generation, options, volume, ssml = sapiToSsml(text)] {
    Result<std::vector<int16_t>> samples =
        speechDataInstalled() ? renderSpeech(ssml, options)
                              : Result<std::vector<int16_t>>::Error(
                                    QStringLiteral("espeak-ng's voice data are not installed"));
    if (samples) applyVolume(*samples, volume);
    postToMainThread([this, alive, generation, samples = std::move(samples)]() mutable {
      if (alive.lock()) synthesised(generation, std::move(samples));
    });
  });
  return Status::Ok();
}

void EspeakVoice::synthesised(uint64_t generation, Result<std::vector<int16_t>> samples) {
  if (generation != generation_ || phase_ != Phase::Synthesising) return;  // replaced or skipped
  if (!samples) return finishLater(samples.message());
  if (samples->empty()) return finishLater({});
  const Status played =
      output_.play(*samples, kSampleRate, [this, alive = std::weak_ptr<int>(alive_), generation] {
        if (alive.lock()) playDone(generation);
      });
  if (!played) return finishLater(played.message());
  phase_ = Phase::Playing;
}

void EspeakVoice::playDone(uint64_t generation) {
  if (generation != generation_ || phase_ != Phase::Playing) return;
  finish();
}

void EspeakVoice::skip() {
  if (phase_ == Phase::Playing) {
    output_.stop();  // the end follows with the output's done
  } else if (phase_ == Phase::Synthesising) {
    ++generation_;  // the samples on their way are dropped
    finishLater({});
  }
}

void EspeakVoice::finishLater(const QString& error) {
  phase_ = Phase::Idle;
  if (!error.isEmpty() && errorHandler_) errorHandler_(error);
  if (finishCall_) return;
  finishCall_ = scheduler_.callLater(
      0,
      [this] {
        finishCall_ = 0;
        finish();
      },
      QStringLiteral("EspeakVoice end"));
}

void EspeakVoice::finish() {
  phase_ = Phase::Idle;
  state_ = kDone;
  endStream();
}

}  // namespace doruzudo
