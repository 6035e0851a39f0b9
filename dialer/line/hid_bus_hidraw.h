// HidrawBus: the HID devices of this machine through hidapi's hidraw backend.
// Devices are listed with hid_enumerate and opened by their /dev/hidrawN path;
// a report descriptor is read from /sys/class/hidraw/hidrawN/device/
// report_descriptor (hidapi 0.13 has no call for it). Plug and unplug are
// followed by a udev monitor on the "hidraw" subsystem, whose socket a
// QSocketNotifier watches on the main thread's event loop: no thread of ours.
//
// Opening /dev/hidrawN needs read-write access; share/udev/70-doruzudo-line.rules
// gives it to the desktop user for the line units.
//
// Threads: create, use and destroy on the main thread (which runs the Qt
// event loop for plug and unplug to be noticed).
#pragma once

#include <QString>
#include <map>
#include <memory>

#include "dialer/line/hid_bus.h"

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace doruzudo {

class HidrawBus final : public HidBus {
 public:
  // Starts the udev monitor when `followPlugging` (a one-shot listing needs none).
  explicit HidrawBus(bool followPlugging = true);
  ~HidrawBus() override;

  // Why plug and unplug are not followed, or Ok.
  Status monitorStatus() const { return monitorStatus_; }

  std::vector<HidDeviceInfo> enumerate() override;
  Result<std::unique_ptr<HidHandle>> open(const HidDeviceInfo& device) override;
  Result<std::vector<uint8_t>> reportDescriptor(const HidDeviceInfo& device) override;
  void setChangeHandler(std::function<void()> handler) override { changed_ = std::move(handler); }

  // The sysfs file that holds the report descriptor of a /dev/hidrawN path;
  // empty for any other path.
  static QString descriptorFileOf(const QString& devicePath);

 private:
  Status startMonitor();
  void drainMonitor();

  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  std::unique_ptr<QSocketNotifier> notifier_;
  Status monitorStatus_;
  std::function<void()> changed_;
  std::map<QString, uint64_t> removals_;  // device path -> removals seen: its instance
};

}  // namespace doruzudo
