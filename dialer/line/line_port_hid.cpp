// Finding, binding and driving the line units (see line_port_hid.h).
#include "dialer/line/line_port_hid.h"

#include <algorithm>

#include "dialer/line/hid_bus_hidraw.h"
#include "dialer/line/hid_report_descriptor.h"

namespace doruzudo {

namespace {

bool validChannel(int channel) {
  return channel >= 1 && channel <= kChannelCount;
}

}  // namespace

LinePortHid::LinePortHid(std::unique_ptr<HidBus> bus) : bus_(std::move(bus)) {
  selected_.fill(-1);
  bus_->setChangeHandler([this] { devicesChanged(); });
  devicesChanged();
}

LinePortHid::~LinePortHid() {
  bus_->setChangeHandler({});
}

void LinePortHid::devicesChanged() {
  const std::vector<HidDeviceInfo> present = bus_->enumerate();
  std::map<QString, uint64_t> presentNow;  // path -> instance
  for (const HidDeviceInfo& info : present) presentNow[info.path] = info.instance;
  const auto stillThere = [&](const QString& path, uint64_t instance) {
    const auto it = presentNow.find(path);
    return it != presentNow.end() && it->second == instance;
  };

  std::erase_if(otherDevices_,
                [&](const auto& entry) { return !stillThere(entry.first, entry.second); });
  std::vector<QString> gone;
  for (const auto& [path, unit] : pluggedUnits_) {
    if (!stillThere(path, unit->info.instance)) gone.push_back(path);
  }
  for (const QString& path : gone) markUnplugged(path);

  for (const HidDeviceInfo& info : present) {
    if (!pluggedUnits_.count(info.path) && !otherDevices_.count(info.path)) takeDevice(info);
  }
}

void LinePortHid::takeDevice(const HidDeviceInfo& info) {
  const int channel = lineChannelOf(info.vendorId, info.productId);
  if (channel == 0) {
    otherDevices_[info.path] = info.instance;
    return;
  }
  auto unit = std::make_unique<Unit>();
  unit->info = info;
  unit->channel = channel;
  unit->name = DeviceName(info.vendorId, info.productId);
  pluggedUnits_[info.path] = unit.get();
  candidates_[channel - 1].push_back(std::move(unit));
  notify({LineUnitEvent::Kind::Plugged, channel, candidates_[channel - 1].back()->name, info.path});
}

void LinePortHid::markUnplugged(const QString& path) {
  Unit* unit = pluggedUnits_.at(path);
  pluggedUnits_.erase(path);
  unit->plugged = false;
  unit->handle.reset();
  notify({LineUnitEvent::Kind::Unplugged, unit->channel, unit->name, path});
}

void LinePortHid::bindDevices() {
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    const auto& units = candidates_[channel - 1];
    if (units.empty()) continue;
    // The first unit found, unless it went away before the start-up.
    const auto first =
        std::find_if(units.begin(), units.end(), [](const auto& unit) { return unit->plugged; });
    selected_[channel - 1] = first == units.end() ? 0 : int(first - units.begin());
    bind(channel);
  }
}

void LinePortHid::rebindDevices() {
  for (int channel = 1; channel <= kChannelCount; ++channel) bind(channel);
}

void LinePortHid::bind(int channel) {
  const int index = selected_[channel - 1];
  const auto& units = candidates_[channel - 1];
  if (index < 0 || index >= int(units.size())) return;
  Unit* unit = units[index].get();
  if (bound_[channel - 1] == unit) return;
  bound_[channel - 1] = unit;
  notify({LineUnitEvent::Kind::Bound, channel, unit->name, unit->info.path});
}

Status LinePortHid::Hid_Write(int channel, LineCommand command) {
  if (!validChannel(channel)) {
    return Status::Error(QStringLiteral("no line channel %1").arg(channel));
  }
  Unit* unit = bound_[channel - 1];
  if (unit == nullptr)
    return Status::Error(QStringLiteral("channel %1 has no line unit").arg(channel));
  if (!unit->plugged) {
    return Status::Error(QStringLiteral("the unit of channel %1 was unplugged").arg(channel));
  }
  if (Status opened = openUnit(*unit); !opened) return opened;
  Result<std::vector<uint8_t>> bytes =
      sizedLineReport(buildLineReport(command), unit->featureLength);
  if (!bytes) return bytes.status();
  Status sent = unit->handle->sendFeatureReport(*bytes);
  if (!sent) unit->handle.reset();
  return sent;
}

Status LinePortHid::openUnit(Unit& unit) {
  if (unit.handle) return Status::Ok();
  Result<std::unique_ptr<HidHandle>> handle = bus_->open(unit.info);
  if (!handle) return handle.status();
  unit.handle = std::move(handle).value();
  if (unit.featureLength == 0) {
    unit.featureLength = kFallbackFeatureLength;
    if (Result<std::vector<uint8_t>> descriptor = bus_->reportDescriptor(unit.info)) {
      Result<HidReportLayout> layout = parseReportDescriptor(*descriptor);
      if (layout && lineFeatureLength(*layout) > 0) unit.featureLength = lineFeatureLength(*layout);
    }
  }
  return Status::Ok();
}

LineUnitStatus LinePortHid::unitStatus(int channel) const {
  LineUnitStatus status;
  if (!validChannel(channel)) return status;
  status.candidates = int(candidates_[channel - 1].size());
  if (const Unit* unit = bound_[channel - 1]) {
    status.bound = true;
    status.plugged = unit->plugged;
    status.deviceName = unit->name;
    status.path = unit->info.path;
  }
  return status;
}

std::vector<QString> LinePortHid::deviceCandidates(int channel) const {
  std::vector<QString> names;
  if (!validChannel(channel)) return names;
  for (const auto& unit : candidates_[channel - 1]) names.push_back(unit->name);
  return names;
}

std::unique_ptr<LinePort> makeHidrawLinePort() {
  return std::make_unique<LinePortHid>(std::make_unique<HidrawBus>());
}

}  // namespace doruzudo
