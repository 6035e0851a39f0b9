// LinePortHid: the line port over a HidBus — finding the line units, binding
// one to each channel, and sending each command as the unit's feature report.
//
// Device-change pass (at construction and after every plug or unplug): every
// device the bus lists that was not yet seen (path and instance) is taken; a line unit (vendor
// 0x0416, product 0x8400 + n) is appended to channel n's candidates, any
// other device is ignored. A taken device that is no longer listed is marked
// unplugged: its handle is closed and it never opens again, even if a unit
// comes back at the same path (that one is a new candidate).
//
// Hid_Write opens the bound unit on first use, reads the length of its
// feature report from its report descriptor (64 bytes when the descriptor
// cannot be read or declares no feature report), and sends the report with that length. A failed
// open or send drops the handle; the next command tries again.
//
// Threads: main thread only (the bus's change handler runs on it).
#pragma once

#include <QString>
#include <array>
#include <map>
#include <memory>
#include <vector>

#include "common/channel_settings.h"
#include "dialer/line/hid_bus.h"
#include "dialer/line/line_port.h"

namespace doruzudo {

class LinePortHid final : public LinePort {
 public:
  // The length a command is sent with when the unit's descriptor is unreadable.
  static constexpr int kFallbackFeatureLength = kLineReportSize;

  // Takes the bus and runs the first device-change pass.
  explicit LinePortHid(std::unique_ptr<HidBus> bus);
  // Forgets every binding and closes the handles; sends nothing.
  ~LinePortHid() override;

  Status Hid_Write(int channel, LineCommand command) override;
  void bindDevices() override;
  void rebindDevices() override;
  LineUnitStatus unitStatus(int channel) const override;
  std::vector<QString> deviceCandidates(int channel) const override;

  // One device-change pass (the bus's change handler).
  void devicesChanged();
  HidBus& bus() { return *bus_; }

 private:
  struct Unit {
    HidDeviceInfo info;
    int channel = 0;
    QString name;
    bool plugged = true;
    std::unique_ptr<HidHandle> handle;
    int featureLength = 0;  // 0 until read at the first open
  };

  void takeDevice(const HidDeviceInfo& info);
  void markUnplugged(const QString& path);
  void bind(int channel);
  Status openUnit(Unit& unit);

  std::unique_ptr<HidBus> bus_;
  // Units found since start, per channel, in the order found; never removed.
  std::array<std::vector<std::unique_ptr<Unit>>, kChannelCount> candidates_;
  std::array<int, kChannelCount> selected_;  // index into candidates_, -1 for none
  std::array<Unit*, kChannelCount> bound_{};
  std::map<QString, Unit*> pluggedUnits_;  // by path
  std::map<QString, uint64_t>
      otherDevices_;  // taken devices that are no line unit: instance by path
};

// The line port of this machine: a LinePortHid over hidraw, following plug
// and unplug through udev (needs a Qt event loop for that).
std::unique_ptr<LinePort> makeHidrawLinePort();

}  // namespace doruzudo
