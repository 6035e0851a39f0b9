#include "sim/far_end.h"

#include <algorithm>
#include <limits>

#include "dialer/line/signal_synth.h"

namespace doruzudo::sim {
namespace {

// A sample of the dialer's audio this loud or louder is sound (about -43 dBm0
// peak): anything the dialer means to be heard is far above it.
constexpr int kSoundThreshold = 160;

TonePlan planOf(const Scenario& scenario) {
  if (auto plan = tonePlan(scenario.tonePlan)) return *plan;
  return *tonePlan(QStringLiteral("br"));
}

ToneDecoderOptions keysOnly() {
  ToneDecoderOptions o;
  o.monitor_custom_tone = false;
  o.monitor_silence = false;
  return o;
}

}  // namespace

FarEnd::FarEnd(std::shared_ptr<const Scenario> scenario, std::shared_ptr<PartyVoice> voice,
               FarEndOptions options)
    : scenario_(std::move(scenario)),
      voice_(voice ? std::move(voice) : std::make_shared<PartyVoice>()),
      options_(std::move(options)),
      random_(options_.seed),
      decoder_(keysOnly()) {
  const TonePlan plan = planOf(*scenario_);
  dial_ = LineTone(plan.dial, scenario_->levelDbm0);
  ringback_ = LineTone(plan.ringback, scenario_->levelDbm0);
  busy_ = LineTone(plan.busy, scenario_->levelDbm0);
  if (scenario_->noiseDbm0) {
    noise_ = LineNoise(*scenario_->noiseDbm0, static_cast<uint32_t>(options_.seed * 2654435761u));
  }
  ToneDecoder::Callbacks callbacks;
  callbacks.dtmf = [this](int k, int64_t start) { key(k, decoderBase_ + start); };
  decoder_.setCallbacks(std::move(callbacks));
}

// --- time -------------------------------------------------------------------

void FarEnd::dropPlans() {
  ++epoch_;
  std::erase_if(pending_, [](const Pending& p) { return p.epoch != 0; });
}

void FarEnd::schedule(int64_t at, std::function<void()> fn, bool always) {
  pending_.push_back({std::max(at, pos_), sequence_++, always ? 0 : epoch_, std::move(fn)});
}

int64_t FarEnd::nextEventAt() const {
  int64_t next = std::numeric_limits<int64_t>::max();
  for (const Pending& p : pending_) next = std::min(next, p.at);
  if (heard_) next = std::min(next, lastSound_ + samplesOf(options_.messageSilenceMs / 1000.0));
  return next;
}

void FarEnd::fireDue() {
  for (;;) {
    if (heard_) {
      const int64_t quietAt = lastSound_ + samplesOf(options_.messageSilenceMs / 1000.0);
      if (quietAt <= pos_) {
        messageEnded(quietAt);
        continue;
      }
    }
    auto due = pending_.end();
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
      if (it->at > pos_) continue;
      if (due == pending_.end() ||
          std::tie(it->at, it->sequence) < std::tie(due->at, due->sequence)) {
        due = it;
      }
    }
    if (due == pending_.end()) return;
    Pending p = std::move(*due);
    pending_.erase(due);
    if (p.epoch == 0 || p.epoch == epoch_) p.fn();
  }
}

void FarEnd::process(std::span<const int16_t> played, std::span<int16_t> out) {
  size_t done = 0;
  fireDue();
  while (done < out.size()) {
    const int64_t end = std::min(pos_ + static_cast<int64_t>(out.size() - done), nextEventAt());
    const auto n = static_cast<size_t>(end - pos_);
    render(out.subspan(done, n));
    const int64_t from = pos_;
    pos_ = end;
    const size_t given = done < played.size() ? std::min(n, played.size() - done) : 0;
    listen(played.subspan(std::min(done, played.size()), given), n, from);
    done += n;
    fireDue();
  }
}

void FarEnd::render(std::span<int16_t> out) {
  const int64_t offset = pos_ - source_.start;
  if (source_.tone) {
    source_.tone->render(offset, out);
  } else {
    const auto& s = source_.samples;
    for (size_t i = 0; i < out.size(); ++i) {
      const int64_t k = offset + static_cast<int64_t>(i);
      out[i] = k >= 0 && k < static_cast<int64_t>(s.size()) ? s[static_cast<size_t>(k)] : 0;
    }
  }
  noise_.addTo(out);
}

void FarEnd::listen(std::span<const int16_t> played, size_t n, int64_t from) {
  if (decoding_) {
    decoder_.process(played);
    static const std::vector<int16_t> kQuiet(kFrame, 0);
    for (size_t left = n - played.size(); left > 0;) {  // missing: silence
      const size_t k = std::min(left, kQuiet.size());
      decoder_.process(std::span<const int16_t>(kQuiet).first(k));
      left -= k;
    }
  }
  if (!listening_) return;
  for (size_t i = played.size(); i-- > 0;) {
    if (std::abs(played[i]) >= kSoundThreshold) {
      heard_ = true;
      lastSound_ = from + static_cast<int64_t>(i) + 1;
      return;
    }
  }
}

CallTruth FarEnd::callSoFar() const {
  CallTruth call = call_;
  if (ringingFrom_) call.ringsPlayed = ringback_.ringsBegun(pos_ - *ringingFrom_);
  if (!call.completedAtMs && phase_ == Phase::Dialing) call.dialed = digits_;
  return call;
}

// --- the line ---------------------------------------------------------------

void FarEnd::lineEvent(LineEvent event, int64_t at) {
  auto apply = [this, event] {
    switch (event) {
      case LineEvent::OffHook:
        return offHook();
      case LineEvent::OnHook:
        return onHook();
      case LineEvent::FlashStart:
        return flashStart();
      case LineEvent::FlashEnd:
        return flashEnd();
    }
  };
  if (at <= pos_) {
    apply();
  } else {
    schedule(at, apply, true);
  }
}

void FarEnd::offHook() {
  if (phase_ == Phase::Flashing) return flashEnd();
  if (phase_ != Phase::OnHook) return;
  dropPlans();
  call_ = CallTruth();
  call_.channel = options_.channel;
  callStart_ = pos_;
  digits_.clear();
  extension_.clear();
  behaviour_ = Behaviour();
  ringingFrom_.reset();
  listening_ = heard_ = false;
  messagesEnded_ = 0;
  phase_ = Phase::Dialing;
  silence();
  startDecoding();
}

void FarEnd::onHook() {
  if (phase_ == Phase::OnHook) return;
  if (phase_ == Phase::PbxDialing && !extension_.isEmpty()) extensionComplete();
  stopRinging();
  dropPlans();
  if (!call_.completedAtMs) call_.dialed = digits_;  // abandoned while dialing
  call_.onHookAtMs = ms(pos_);
  phase_ = Phase::OnHook;
  decoding_ = listening_ = heard_ = false;
  silence();
  if (callEnded_) callEnded_(call_);
}

void FarEnd::flashStart() {
  if (phase_ == Phase::OnHook || phase_ == Phase::Flashing) return;
  stopRinging();
  dropPlans();
  if (!call_.flashAtMs) call_.flashAtMs = ms(pos_);
  phase_ = Phase::Flashing;
  decoding_ = listening_ = heard_ = false;
  silence();
}

void FarEnd::flashEnd() {
  if (phase_ != Phase::Flashing) return;
  phase_ = Phase::PbxDialing;
  extension_.clear();
  play(&dial_);
  startDecoding();
}

void FarEnd::startDecoding() {
  decoder_.reset();
  decoderBase_ = pos_;
  decoding_ = true;
}

void FarEnd::key(int k, int64_t at) {
  const QChar c(k);
  const int64_t deadline = at + samplesOf(options_.digitTimeoutMs / 1000.0);
  if (phase_ == Phase::Dialing) {
    digits_ += c;
    if (!options_.linePrefix.isEmpty() && digits_ == options_.linePrefix) return;
    if (scenario_->completes(digits_)) return numberComplete();
    schedule(deadline, [this, n = digits_.size()] {
      if (phase_ == Phase::Dialing && digits_.size() == n) numberComplete();
    });
  } else if (phase_ == Phase::PbxDialing) {
    if (extension_.isEmpty()) silence();  // dial tone stops at the first key
    extension_ += c;
    schedule(deadline, [this, n = extension_.size()] {
      if (phase_ == Phase::PbxDialing && extension_.size() == n) extensionComplete();
    });
  }
}

void FarEnd::dial(const QString& number) {
  if (phase_ == Phase::OnHook) offHook();
  if (phase_ != Phase::Dialing) return;
  digits_ = number;
  numberComplete();
}

void FarEnd::extensionComplete() {
  call_.transferredTo = extension_;
  phase_ = Phase::PbxRinging;
  decoding_ = false;
  play(&ringback_);
  if (transferred_) transferred_(extension_);
}

// --- the called number ------------------------------------------------------

void FarEnd::numberComplete() {
  decoding_ = false;
  call_.dialed = digits_;
  call_.completedAtMs = ms(pos_);
  Behaviour b;  // busy: no line matches
  if (const ScenarioLine* line = scenario_->match(digits_)) {
    const double u = static_cast<double>(random_() >> 11) * 0x1.0p-53;
    b = resolveMix(line->behaviour, u);
    call_.scenarioLine = line->lineNumber;
  }
  phase_ = Phase::Called;
  startBehaviour(b);
}

void FarEnd::startBehaviour(const Behaviour& b) {
  behaviour_ = b;
  call_.behaviour = b.name();
  switch (b.kind) {
    case Behaviour::Kind::Busy:
      return play(&busy_);
    case Behaviour::Kind::NoRingback:
      return silence();
    case Behaviour::Kind::Ring:
      return startRinging();
    case Behaviour::Kind::Mix:  // resolved before
    case Behaviour::Kind::Answer:
      break;
  }
  if (b.rings <= 0) return answer();
  startRinging();
  const int64_t pause = samplesOf(options_.answerPauseMs / 1000.0);
  schedule(pos_ + ringback_.ringEnd(b.rings) + pause, [this] { answer(); });
}

void FarEnd::startRinging() {
  ringingFrom_ = pos_;
  play(&ringback_);
}

void FarEnd::stopRinging() {
  if (!ringingFrom_) return;
  call_.ringsPlayed = ringback_.ringsBegun(pos_ - *ringingFrom_);
  ringingFrom_.reset();
}

void FarEnd::answer() {
  stopRinging();
  call_.answeredAtMs = ms(pos_);
  call_.partySilent = behaviour_.silent || behaviour_.talkSeconds <= 0;
  listening_ = true;
  heard_ = false;
  speak();
}

void FarEnd::speak() {
  if (behaviour_.silent || behaviour_.talkSeconds <= 0) return silence();
  const auto variant = static_cast<uint32_t>(random_());
  play(voice_->speech(samplesOf(behaviour_.talkSeconds), variant), pos_);
}

void FarEnd::messageEnded(int64_t at) {
  heard_ = false;
  if (++messagesEnded_ == 1) {
    call_.messageEndedAtMs = ms(at);
    if (!behaviour_.keys.isEmpty()) {
      const int64_t keysAt = at + samplesOf(behaviour_.keyDelayMs / 1000.0);
      schedule(keysAt, [this, keysAt] { pressKeys(keysAt); });
    }
  } else {
    speak();  // asked again
  }
  if (behaviour_.hangupSeconds) {
    schedule(at + samplesOf(*behaviour_.hangupSeconds), [this, plan = ++hangupPlan_] {
      if (plan == hangupPlan_) partyHangsUp();
    });
  }
}

void FarEnd::pressKeys(int64_t at) {
  const QByteArray keys = behaviour_.keys.toLatin1();
  synth::Signal s;
  s.dtmfString(keys.constData(), options_.keyOnMs, options_.keyGapMs, scenario_->levelDbm0);
  play(s.pcm(), at);
  const int64_t step = samplesOf((options_.keyOnMs + options_.keyGapMs) / 1000.0);
  for (int i = 0; i < keys.size(); ++i) {
    const int64_t keyAt = at + i * step;
    schedule(keyAt, [this, k = QChar(keys[i]), keyAt] { call_.keys.push_back({k, ms(keyAt)}); });
  }
}

void FarEnd::partyHangsUp() {
  dropPlans();
  call_.hungUpAtMs = ms(pos_);
  phase_ = Phase::PartyGone;
  listening_ = heard_ = false;
  if (behaviour_.busyAfterHangup) {
    play(&busy_);
  } else {
    silence();
  }
}

}  // namespace doruzudo::sim
