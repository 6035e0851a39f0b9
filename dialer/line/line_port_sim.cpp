// Simulated line units that record their reports (see line_port_sim.h).
#include "dialer/line/line_port_sim.h"

#include <algorithm>

namespace doruzudo {

namespace {

SimLineEvent::Kind eventKindOf(LineCommandKind kind) {
  switch (kind) {
    case LineCommandKind::OffHook:
      return SimLineEvent::Kind::OffHook;
    case LineCommandKind::OnHook:
      return SimLineEvent::Kind::OnHook;
    case LineCommandKind::Flash:
      return SimLineEvent::Kind::FlashStart;
    case LineCommandKind::GainOn:
      return SimLineEvent::Kind::GainOn;
    case LineCommandKind::GainOff:
      return SimLineEvent::Kind::GainOff;
    case LineCommandKind::Unknown:
      break;
  }
  return SimLineEvent::Kind::Unknown;
}

}  // namespace

LinePortSim::LinePortSim(Scheduler& scheduler, const std::set<int>& unitChannels)
    : scheduler_(scheduler), bus_(new SimHidBus), port_(std::unique_ptr<HidBus>(bus_)) {
  port_.addListener([this](const LineUnitEvent& event) { notify(event); });
  bus_->setReportSink([this](const HidDeviceInfo& device, std::span<const uint8_t> bytes) {
    received(device, bytes);
  });
  for (int channel : unitChannels) {
    if (channel >= 1 && channel <= kChannelCount) bus_->plugUnit(channel);
  }
}

LinePortSim::~LinePortSim() {
  bus_->setReportSink({});
  for (const Line& line : lines_) {
    if (line.flashEnd != 0) scheduler_.cancel(line.flashEnd);
  }
}

Status LinePortSim::Hid_Write(int channel, LineCommand command) {
  return port_.Hid_Write(channel, command);
}

std::vector<QString> LinePortSim::deviceCandidates(int channel) const {
  return port_.deviceCandidates(channel);
}

std::vector<LinePortSim::SentReport> LinePortSim::reportsFor(int channel) const {
  std::vector<SentReport> list;
  std::copy_if(reports_.begin(), reports_.end(), std::back_inserter(list),
               [channel](const SentReport& r) { return r.channel == channel; });
  return list;
}

void LinePortSim::received(const HidDeviceInfo& device, std::span<const uint8_t> bytes) {
  SentReport report;
  report.channel = lineChannelOf(device.vendorId, device.productId);
  report.at = scheduler_.now();
  report.path = device.path;
  report.bytes.assign(bytes.begin(), bytes.end());
  if (Result<DecodedLineReport> decoded = decodeLineReport(bytes)) {
    report.decoded = true;
    report.command = decoded->command;
    report.value = decoded->value;
  }
  reports_.push_back(report);
  if (report.decoded && report.channel != 0) apply(report.channel, report.command);
}

void LinePortSim::apply(int channel, LineCommand command) {
  Line& line = lines_[channel];
  const LineCommandKind kind = kindOf(command);
  SimLineEvent event{eventKindOf(kind), channel, command, 0};
  switch (kind) {
    case LineCommandKind::OffHook:
      setHook(channel, HookState::OffHook);
      break;
    case LineCommandKind::OnHook:
      setHook(channel, HookState::OnHook);
      break;
    case LineCommandKind::Flash: {
      event.flashMs = flashDurationMs(static_cast<uint8_t>(command));
      setHook(channel, HookState::Flashing);
      line.flashEnd = scheduler_.callLater(
          event.flashMs,
          [this, event] {
            lines_[event.channel].flashEnd = 0;
            lines_[event.channel].hook = HookState::OffHook;
            SimLineEvent end = event;
            end.kind = SimLineEvent::Kind::FlashEnd;
            tell(end);
          },
          QStringLiteral("line %1 flash").arg(channel));
      break;
    }
    case LineCommandKind::GainOn:
    case LineCommandKind::GainOff:
      line.gain = kind == LineCommandKind::GainOn;
      break;
    case LineCommandKind::Unknown:
      break;
  }
  tell(event);
}

void LinePortSim::setHook(int channel, HookState hook) {
  Line& line = lines_[channel];
  if (line.flashEnd != 0) {
    scheduler_.cancel(line.flashEnd);
    line.flashEnd = 0;
  }
  line.hook = hook;
}

int LinePortSim::addObserver(Observer observer) {
  observers_.emplace_back(nextObserver_, std::move(observer));
  return nextObserver_++;
}

void LinePortSim::removeObserver(int id) {
  std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void LinePortSim::tell(const SimLineEvent& event) const {
  const auto observers = observers_;
  for (const auto& [id, observer] : observers) {
    if (observer) observer(event);
  }
}

const LinePortSim::Line& LinePortSim::line(int channel) const {
  return lines_[channel >= 1 && channel <= kChannelCount ? channel : 0];
}

}  // namespace doruzudo
