#include "sim/party_voice.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

#include "dialer/line/signal_synth.h"
#include "dialer/line/speech_synth.h"

namespace doruzudo::sim {
namespace {

constexpr int kRate = 8000;
constexpr int64_t kPause = kRate / 4;   // between phrases
constexpr int64_t kFade = kRate / 100;  // at a cut
constexpr uint32_t kBabbleVariants = 8;

const QStringList& phraseTexts() {
  static const QStringList kTexts = {
      QStringLiteral("Alô?"),
      QStringLiteral("Pois não, quem fala?"),
      QStringLiteral("Sim, estou ouvindo."),
      QStringLiteral("Bom dia. Pode falar."),
      QStringLiteral("Alô, alô? Quem é?"),
      QStringLiteral("Sim, sou eu mesmo."),
  };
  return kTexts;
}

void fadeOut(std::vector<int16_t>& samples) {
  const auto n = static_cast<int64_t>(samples.size());
  const int64_t from = std::max<int64_t>(0, n - kFade);
  for (int64_t i = from; i < n; ++i) {
    const double g = static_cast<double>(n - i) / static_cast<double>(kFade);
    samples[static_cast<size_t>(i)] = static_cast<int16_t>(samples[static_cast<size_t>(i)] * g);
  }
}

}  // namespace

void scaleToLevel(std::vector<int16_t>& samples, double dbm0) {
  constexpr int kVoiced = 300;  // about -37 dBm0 peak: quieter is a pause
  double sum = 0;
  int64_t n = 0;
  for (int16_t s : samples) {
    if (std::abs(s) < kVoiced) continue;
    sum += static_cast<double>(s) * s;
    ++n;
  }
  if (n == 0) return;
  const double gain = synth::dbm0ToRms(dbm0) / std::sqrt(sum / static_cast<double>(n));
  for (int16_t& s : samples) {
    s = static_cast<int16_t>(std::clamp(std::lround(s * gain), -32768L, 32767L));
  }
}

void PartyVoice::renderPhrases() {
  tried_ = true;
  if (!options_.espeak) return;
  for (const QString& text : phraseTexts()) {
    Result<std::vector<int16_t>> pcm = renderSpeech(text, SpeechOptions());
    if (!pcm || pcm->empty()) {
      phrases_.clear();  // babble for everything: one voice per exchange
      return;
    }
    scaleToLevel(*pcm, options_.dbm0);
    phrases_.push_back(std::move(*pcm));
  }
}

std::vector<int16_t> PartyVoice::babble(int64_t samples, uint32_t variant) {
  const auto key = std::make_pair(samples, variant % kBabbleVariants);
  auto it = babbleCache_.find(key);
  if (it == babbleCache_.end()) {
    synth::Signal s;
    s.babble(static_cast<double>(samples) * 1000.0 / kRate + 1, options_.dbm0, key.second + 1);
    std::vector<int16_t> pcm = s.pcm();
    pcm.resize(static_cast<size_t>(samples), 0);
    fadeOut(pcm);
    it = babbleCache_.emplace(key, std::move(pcm)).first;
  }
  return it->second;
}

std::vector<int16_t> PartyVoice::speech(int64_t samples, uint32_t variant) {
  if (samples <= 0) return {};
  if (!tried_) renderPhrases();
  if (phrases_.empty()) return babble(samples, variant);
  std::vector<int16_t> out;
  out.reserve(static_cast<size_t>(samples));
  for (size_t i = variant % phrases_.size(); static_cast<int64_t>(out.size()) < samples; ++i) {
    if (!out.empty()) out.insert(out.end(), kPause, 0);
    const auto& phrase = phrases_[i % phrases_.size()];
    out.insert(out.end(), phrase.begin(), phrase.end());
  }
  out.resize(static_cast<size_t>(samples));
  fadeOut(out);
  return out;
}

}  // namespace doruzudo::sim
