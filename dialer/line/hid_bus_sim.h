// SimHidBus: a HidBus of simulated devices for the virtual exchange and the
// tests. Devices are plugged and unplugged by calls; each change runs the
// change handler at once. Every feature report a device takes goes to the
// report sink. A device can be told to refuse opening or reports, to stand
// for a unit that is busy, not permitted or broken.
//
// Threads: main thread only.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <vector>

#include "dialer/line/hid_bus.h"

namespace doruzudo {

class SimHidBus final : public HidBus {
 public:
  using ReportSink =
      std::function<void(const HidDeviceInfo& device, std::span<const uint8_t> bytes)>;

  // The report descriptor of a simulated line unit: feature report 1 of 64
  // bytes (report id included) and an input report 1 of the same size.
  static std::vector<uint8_t> lineUnitDescriptor();

  // Plugs a device in; an empty path gets "sim/hidraw<k>" with a new k.
  // Returns the path.
  QString plug(uint16_t vendorId, uint16_t productId, QString path = {},
               std::vector<uint8_t> descriptor = lineUnitDescriptor());
  // Plugs in the line unit of a channel (1..8).
  QString plugUnit(int channel, QString path = {});
  void unplug(const QString& path);
  // Unplugs and plugs back the device at `path` with one change notice, as
  // when the listing that follows the removal already shows it back.
  void replug(const QString& path);

  // Fault injection: opening the device fails / its reports are refused.
  void setOpenFails(const QString& path, bool fails);
  void setSendFails(const QString& path, bool fails);
  // The descriptor cannot be read (the port then sends 64 bytes).
  void setDescriptorUnreadable(const QString& path, bool unreadable);

  void setReportSink(ReportSink sink) { sink_ = std::move(sink); }
  // Handles open now (each closes when the port drops it).
  int openHandles() const { return openHandles_; }

  std::vector<HidDeviceInfo> enumerate() override;
  Result<std::unique_ptr<HidHandle>> open(const HidDeviceInfo& device) override;
  Result<std::vector<uint8_t>> reportDescriptor(const HidDeviceInfo& device) override;
  void setChangeHandler(std::function<void()> handler) override { changed_ = std::move(handler); }

 private:
  class Handle;
  struct Device {
    HidDeviceInfo info;
    std::vector<uint8_t> descriptor;
    bool openFails = false;
    bool sendFails = false;
    bool descriptorUnreadable = false;
  };

  Device* find(const QString& path);
  void changed() const {
    if (changed_) changed_();
  }

  std::vector<Device> devices_;  // plugged in, in the order plugged
  std::function<void()> changed_;
  ReportSink sink_;
  int nextPath_ = 0;
  uint64_t nextInstance_ = 1;
  int openHandles_ = 0;
};

}  // namespace doruzudo
