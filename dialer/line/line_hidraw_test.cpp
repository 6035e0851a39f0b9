// The hidraw bus on this machine, which may have no line unit at all.
#include <gtest/gtest.h>

#include "dialer/line/hid_bus_hidraw.h"
#include "dialer/line/line_port_hid.h"

namespace doruzudo {
namespace {

TEST(LineHidraw, DescriptorFileOnlyForHidrawNodes) {
  EXPECT_EQ(HidrawBus::descriptorFileOf(QStringLiteral("/dev/hidraw12")),
            QStringLiteral("/sys/class/hidraw/hidraw12/device/report_descriptor"));
  for (const char* path : {"/dev/hidraw", "/dev/hidraw1/../../etc/passwd", "/dev/sda", "hidraw1",
                           "/dev/hidraw1x", ""}) {
    EXPECT_TRUE(HidrawBus::descriptorFileOf(QString::fromLatin1(path)).isEmpty()) << path;
  }
}

// Whatever is plugged in, the port starts, binds and drops commands for
// channels without a unit without raising anything.
TEST(LineHidraw, StartsAndDropsCommandsOnAMachineWithoutUnits) {
  HidrawBus probe(false);
  int units = 0;
  for (const HidDeviceInfo& device : probe.enumerate()) {
    if (lineChannelOf(device.vendorId, device.productId) != 0) ++units;
  }
  if (units > 0) GTEST_SKIP() << "line units are plugged in";

  std::unique_ptr<LinePort> port = makeHidrawLinePort();
  port->bindDevices();
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    EXPECT_FALSE(port->isBound(channel));
    EXPECT_FALSE(port->Hid_Write(channel, LineCommand::OnHook).ok());
  }
}

}  // namespace
}  // namespace doruzudo
