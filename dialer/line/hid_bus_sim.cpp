// Simulated HID devices (see hid_bus_sim.h).
#include "dialer/line/hid_bus_sim.h"

#include <algorithm>

#include "dialer/line/line_report.h"

namespace doruzudo {

class SimHidBus::Handle final : public HidHandle {
 public:
  Handle(SimHidBus& bus, const Device& device)
      : bus_(bus), path_(device.info.path), instance_(device.info.instance) {
    ++bus_.openHandles_;
  }
  ~Handle() override { --bus_.openHandles_; }

  Status sendFeatureReport(std::span<const uint8_t> bytes) override {
    const Device* device = bus_.find(path_);
    if (device == nullptr || device->info.instance != instance_) {
      return Status::Error(QStringLiteral("%1: no such device").arg(path_));
    }
    if (device->sendFails) return Status::Error(QStringLiteral("%1: report refused").arg(path_));
    if (bus_.sink_) bus_.sink_(device->info, bytes);
    return Status::Ok();
  }

 private:
  SimHidBus& bus_;
  QString path_;
  uint64_t instance_;
};

std::vector<uint8_t> SimHidBus::lineUnitDescriptor() {
  return {
      0x06, 0x00, 0xFF,  // Usage Page (vendor defined)
      0x09, 0x01,        // Usage 1
      0xA1, 0x01,        // Collection (application)
      0x85, 0x01,        //   Report ID 1
      0x75, 0x08,        //   Report Size 8
      0x95, 0x3F,        //   Report Count 63
      0x09, 0x01,        //   Usage 1
      0x81, 0x02,        //   Input (data, variable, absolute)
      0x09, 0x01,        //   Usage 1
      0xB1, 0x02,        //   Feature (data, variable, absolute)
      0xC0,              // End Collection
  };
}

QString SimHidBus::plug(uint16_t vendorId, uint16_t productId, QString path,
                        std::vector<uint8_t> descriptor) {
  if (path.isEmpty()) path = QStringLiteral("sim/hidraw%1").arg(nextPath_++);
  if (find(path) != nullptr) unplug(path);
  Device device;
  device.info = {path, vendorId, productId, nextInstance_++};
  device.descriptor = std::move(descriptor);
  devices_.push_back(std::move(device));
  changed();
  return path;
}

QString SimHidBus::plugUnit(int channel, QString path) {
  return plug(kLineUnitVendor, static_cast<uint16_t>(kLineUnitProductBase + channel),
              std::move(path));
}

void SimHidBus::unplug(const QString& path) {
  const auto removed =
      std::erase_if(devices_, [&](const Device& d) { return d.info.path == path; });
  if (removed > 0) changed();
}

void SimHidBus::replug(const QString& path) {
  Device* device = find(path);
  if (device == nullptr) return;
  *device = Device{{path, device->info.vendorId, device->info.productId, nextInstance_++},
                   device->descriptor};
  changed();
}

void SimHidBus::setOpenFails(const QString& path, bool fails) {
  if (Device* device = find(path)) device->openFails = fails;
}

void SimHidBus::setSendFails(const QString& path, bool fails) {
  if (Device* device = find(path)) device->sendFails = fails;
}

void SimHidBus::setDescriptorUnreadable(const QString& path, bool unreadable) {
  if (Device* device = find(path)) device->descriptorUnreadable = unreadable;
}

std::vector<HidDeviceInfo> SimHidBus::enumerate() {
  std::vector<HidDeviceInfo> list;
  for (const Device& device : devices_) list.push_back(device.info);
  return list;
}

Result<std::unique_ptr<HidHandle>> SimHidBus::open(const HidDeviceInfo& info) {
  const Device* device = find(info.path);
  if (device == nullptr) return Status::Error(QStringLiteral("%1: no such device").arg(info.path));
  if (device->openFails)
    return Status::Error(QStringLiteral("%1: permission denied").arg(info.path));
  return std::unique_ptr<HidHandle>(std::make_unique<Handle>(*this, *device));
}

Result<std::vector<uint8_t>> SimHidBus::reportDescriptor(const HidDeviceInfo& info) {
  const Device* device = find(info.path);
  if (device == nullptr || device->descriptorUnreadable) {
    return Status::Error(QStringLiteral("%1: no report descriptor").arg(info.path));
  }
  return device->descriptor;
}

SimHidBus::Device* SimHidBus::find(const QString& path) {
  const auto it = std::find_if(devices_.begin(), devices_.end(),
                               [&](const Device& d) { return d.info.path == path; });
  return it == devices_.end() ? nullptr : &*it;
}

}  // namespace doruzudo
