#include "sim/virtual_exchange.h"

#include "dialer/line/channel_audio_sim.h"
#include "dialer/line/line_port_sim.h"

namespace doruzudo::sim {

VirtualExchange::VirtualExchange(Scheduler& scheduler, Scenario scenario, ExchangeOptions options)
    : scheduler_(scheduler),
      scenario_(std::make_shared<const Scenario>(std::move(scenario))),
      voice_(
          std::make_shared<PartyVoice>(PartyVoice::Options{scenario_->levelDbm0, options.espeak})),
      frame_(FarEnd::kFrame) {
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    FarEndOptions o;
    o.channel = channel;
    o.seed = lineSeed(scenario_->seed, channel);
    o.digitTimeoutMs = options.digitTimeoutMs;
    o.linePrefix = options.linePrefixes[static_cast<size_t>(channel)];
    auto farEnd = std::make_unique<FarEnd>(scenario_, voice_, o);
    farEnd->setCallEnded([this, channel](const CallTruth& call) { ended(channel, call); });
    farEnd->setTransferred([this, channel](const QString& extension) {
      if (transferred_) transferred_(channel, extension);
    });
    lines_[static_cast<size_t>(channel)].farEnd = std::move(farEnd);
  }
  tick_ = scheduler_.createTimer(QStringLiteral("virtualExchange"),
                                 FarEnd::kFrame * 1000 / FarEnd::kRate, [this] { tick(); });
  tick_->start();
}

VirtualExchange::~VirtualExchange() {
  callEnded_ = nullptr;  // what it reaches may be gone already
  endRun();
  if (port_) port_->removeObserver(observer_);
  for (Line& l : lines_) {
    if (l.audio) l.audio->setFrameHook(nullptr);
  }
}

VirtualExchange::Line& VirtualExchange::line(int channel) {
  return lines_[static_cast<size_t>(channel >= 1 && channel <= kChannelCount ? channel : 1)];
}

FarEnd& VirtualExchange::farEnd(int channel) {
  return *line(channel).farEnd;
}

void VirtualExchange::attachLines(LinePortSim& lines) {
  if (port_) port_->removeObserver(observer_);
  port_ = &lines;
  observer_ = lines.addObserver([this](const SimLineEvent& e) {
    using K = SimLineEvent::Kind;
    using E = FarEnd::LineEvent;
    switch (e.kind) {
      case K::OffHook:
        return lineEvent(e.channel, E::OffHook);
      case K::OnHook:
        return lineEvent(e.channel, E::OnHook);
      case K::FlashStart:
        return lineEvent(e.channel, E::FlashStart);
      case K::FlashEnd:
        return lineEvent(e.channel, E::FlashEnd);
      case K::GainOn:
      case K::GainOff:
      case K::Unknown:
        return;
    }
  });
}

void VirtualExchange::attachAudio(int channel, LineFarEnd& audio) {
  if (channel < 1 || channel > kChannelCount) return;
  Line& l = line(channel);
  if (l.audio && l.audio != &audio) l.audio->setFrameHook(nullptr);
  l.audio = &audio;
  audio.setFrameHook([this, channel, &audio](std::span<const int16_t> played) {
    frame_.resize(played.size());
    line(channel).farEnd->process(played, frame_);
    audio.deliver(frame_);
  });
}

void VirtualExchange::lineEvent(int channel, FarEnd::LineEvent event) {
  if (channel < 1 || channel > kChannelCount) return;
  Line& l = line(channel);
  if (event == FarEnd::LineEvent::OffHook && l.farEnd->phase() == FarEnd::Phase::OnHook) {
    l.offHookAt = scheduler_.now().toString(Qt::ISODateWithMs);
  }
  l.farEnd->lineEvent(event);
}

void VirtualExchange::tick() {
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    Line& l = line(channel);
    if (l.audio || l.farEnd->phase() == FarEnd::Phase::OnHook) continue;
    std::fill(frame_.begin(), frame_.end(), 0);
    l.farEnd->process({}, frame_);
  }
}

Status VirtualExchange::openTruth(const QString& path) {
  truthStatus_ = truth_.open(path);
  return truthStatus_;
}

void VirtualExchange::endRun() {
  if (runEnded_) return;
  tick_->stop();
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    const FarEnd& f = farEnd(channel);
    if (f.phase() != FarEnd::Phase::OnHook) ended(channel, f.callSoFar());
  }
  runEnded_ = true;
}

void VirtualExchange::ended(int channel, CallTruth call) {
  if (runEnded_) return;
  call.offHookAt = line(channel).offHookAt;
  ++callsEnded_;
  if (truth_.isOpen()) {
    if (Status s = truth_.write(call); !s) truthStatus_ = s;
  }
  if (callEnded_) callEnded_(call);
}

}  // namespace doruzudo::sim
