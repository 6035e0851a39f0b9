// HidBus: the system's HID devices as the line port needs them — the list of
// devices plugged in, a notice after every plug or unplug, the report
// descriptor of a device, and an open handle that takes feature reports.
//
// HidrawBus (hid_bus_hidraw.h) is the real one; SimHidBus (hid_bus_sim.h)
// holds simulated units for the virtual exchange and the tests.
//
// Threads: a bus, its handles and its change handler belong to the main thread.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "common/status.h"

namespace doruzudo {

struct HidDeviceInfo {
  QString path;  // names the device while it stays plugged in
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  // Tells apart devices plugged in one after the other at the same path.
  uint64_t instance = 0;
};

// An open HID device.
class HidHandle {
 public:
  virtual ~HidHandle() = default;
  // Sends one feature report; bytes[0] is the report id.
  virtual Status sendFeatureReport(std::span<const uint8_t> bytes) = 0;
};

class HidBus {
 public:
  virtual ~HidBus() = default;

  // Every HID device plugged in now.
  virtual std::vector<HidDeviceInfo> enumerate() = 0;
  virtual Result<std::unique_ptr<HidHandle>> open(const HidDeviceInfo& device) = 0;
  virtual Result<std::vector<uint8_t>> reportDescriptor(const HidDeviceInfo& device) = 0;
  // `handler` runs on the main thread after each plug or unplug of any HID
  // device (it then calls enumerate()). One handler; a new one replaces it.
  virtual void setChangeHandler(std::function<void()> handler) = 0;
};

}  // namespace doruzudo
