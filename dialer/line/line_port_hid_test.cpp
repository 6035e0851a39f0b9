// Finding and binding line units and sending their reports, over a bus of
// simulated devices.
#include <gtest/gtest.h>

#include "common/event_log.h"
#include "common/manual_scheduler.h"
#include "dialer/line/hid_bus_sim.h"
#include "dialer/line/line_port_hid.h"

namespace doruzudo {
namespace {

struct Sent {
  int channel = 0;
  QString path;
  std::vector<uint8_t> bytes;
};

class LinePortHidTest : public ::testing::Test {
 protected:
  LinePortHidTest() {
    bus_->setReportSink([this](const HidDeviceInfo& device, std::span<const uint8_t> bytes) {
      sent_.push_back({lineChannelOf(device.vendorId, device.productId),
                       device.path,
                       {bytes.begin(), bytes.end()}});
    });
  }

  // Creates the port over the devices plugged so far (its first pass).
  LinePortHid& start() {
    port_ = std::make_unique<LinePortHid>(std::move(ownedBus_));
    port_->addListener([this](const LineUnitEvent& e) { events_.push_back(e); });
    return *port_;
  }

  // The command byte of each report sent, with the path of the unit that took it.
  std::vector<std::pair<QString, int>> commands() const {
    std::vector<std::pair<QString, int>> list;
    for (const Sent& s : sent_) list.emplace_back(s.path, s.bytes.at(10));
    return list;
  }

  std::unique_ptr<SimHidBus> ownedBus_ = std::make_unique<SimHidBus>();
  SimHidBus* bus_ = ownedBus_.get();
  std::unique_ptr<LinePortHid> port_;
  std::vector<Sent> sent_;
  std::vector<LineUnitEvent> events_;
};

TEST_F(LinePortHidTest, OnlyLineUnitsBecomeCandidatesOfTheirChannel) {
  bus_->plug(0x046D, 0xC52B, QStringLiteral("/dev/hidraw0"));  // a keyboard receiver
  bus_->plug(0x0416, 0x8409, QStringLiteral("/dev/hidraw1"));
  bus_->plug(0x0417, 0x8401, QStringLiteral("/dev/hidraw2"));
  bus_->plugUnit(3, QStringLiteral("/dev/hidraw3"));
  bus_->plugUnit(3, QStringLiteral("/dev/hidraw4"));
  bus_->plugUnit(8, QStringLiteral("/dev/hidraw5"));
  LinePortHid& port = start();

  const QString unit3 = QStringLiteral("Device VID=0416 PID=8403");
  EXPECT_EQ(port.deviceCandidates(3), (std::vector<QString>{unit3, unit3}));
  EXPECT_EQ(port.deviceCandidates(8).size(), 1u);
  for (int channel : {1, 2, 4, 5, 6, 7}) EXPECT_TRUE(port.deviceCandidates(channel).empty());

  port.bindDevices();
  EXPECT_EQ(port.unitStatus(3).path, QStringLiteral("/dev/hidraw3"))
      << "the unit found first is bound";
  EXPECT_EQ(port.unitStatus(3).candidates, 2);
  EXPECT_TRUE(port.unitStatus(8).bound);
  EXPECT_FALSE(port.unitStatus(1).bound);
}

TEST_F(LinePortHidTest, NothingReachesAUnitBeforeTheStartUpBinding) {
  bus_->plugUnit(1);
  LinePortHid& port = start();
  port.rebindDevices();  // a window activation before the start-up binds nothing
  EXPECT_FALSE(port.Hid_Write(1, LineCommand::OffHook).ok());
  EXPECT_FALSE(port.isBound(1));
  EXPECT_TRUE(sent_.empty());

  port.bindDevices();
  EXPECT_TRUE(port.Hid_Write(1, LineCommand::OffHook).ok());
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0].bytes.at(10), 0xB0);
}

TEST_F(LinePortHidTest, CommandsForAChannelWithoutAUnitAreDropped) {
  bus_->plugUnit(2);
  LinePortHid& port = start();
  port.bindDevices();
  for (int channel : {1, 3, 0, 9, -1}) {
    EXPECT_FALSE(port.Hid_Write(channel, LineCommand::OffHook).ok()) << channel;
  }
  EXPECT_TRUE(sent_.empty());
  EXPECT_TRUE(port.Hid_Write(2, LineCommand::OnHook).ok()) << "other channels go on";
  EXPECT_EQ(sent_.size(), 1u);
}

TEST_F(LinePortHidTest, UnitsPluggedLaterAreOnlyAppended) {
  const QString first = bus_->plugUnit(4);
  LinePortHid& port = start();
  port.bindDevices();
  const QString later = bus_->plugUnit(4);
  bus_->plugUnit(5);
  port.rebindDevices();

  EXPECT_EQ(port.unitStatus(4).candidates, 2);
  EXPECT_EQ(port.unitStatus(4).path, first);
  EXPECT_FALSE(port.isBound(5)) << "a channel without a unit at start-up stays without";
  port.Hid_Write(4, LineCommand::OffHook);
  port.Hid_Write(5, LineCommand::OffHook);
  EXPECT_EQ(commands(), (std::vector<std::pair<QString, int>>{{first, 0xB0}}));
}

// The channel keeps its unplugged unit: commands go nowhere, also when the
// unit comes back (at the same path or another); it is a new candidate.
TEST_F(LinePortHidTest, AnUnpluggedUnitStaysBoundAndDead) {
  const QString path = bus_->plugUnit(1, QStringLiteral("/dev/hidraw7"));
  LinePortHid& port = start();
  port.bindDevices();
  ASSERT_TRUE(port.Hid_Write(1, LineCommand::OffHook).ok());
  EXPECT_EQ(bus_->openHandles(), 1);

  bus_->unplug(path);
  EXPECT_EQ(bus_->openHandles(), 0) << "the handle closes with the unplug";
  EXPECT_TRUE(port.unitStatus(1).bound);
  EXPECT_FALSE(port.unitStatus(1).plugged);
  EXPECT_FALSE(port.Hid_Write(1, LineCommand::OnHook).ok());

  for (const QString& again : {path, QStringLiteral("/dev/hidraw9")}) {
    bus_->plugUnit(1, again);
    port.rebindDevices();
    EXPECT_FALSE(port.Hid_Write(1, LineCommand::OnHook).ok()) << again.toStdString();
    bus_->unplug(again);
  }
  EXPECT_EQ(port.unitStatus(1).candidates, 3);
  EXPECT_EQ(sent_.size(), 1u);

  using Kind = LineUnitEvent::Kind;
  std::vector<Kind> kinds;
  for (const LineUnitEvent& e : events_) kinds.push_back(e.kind);
  EXPECT_EQ(kinds, (std::vector<Kind>{Kind::Bound, Kind::Unplugged, Kind::Plugged, Kind::Unplugged,
                                      Kind::Plugged, Kind::Unplugged}));
}

// The removal and the return are noticed in one pass: still another unit.
TEST_F(LinePortHidTest, AUnitBackAtItsPathBeforeThePassIsAnotherUnit) {
  const QString path = bus_->plugUnit(1, QStringLiteral("/dev/hidraw7"));
  LinePortHid& port = start();
  port.bindDevices();
  ASSERT_TRUE(port.Hid_Write(1, LineCommand::OffHook).ok());
  bus_->replug(path);
  EXPECT_FALSE(port.unitStatus(1).plugged);
  EXPECT_EQ(port.unitStatus(1).candidates, 2);
  EXPECT_FALSE(port.Hid_Write(1, LineCommand::OnHook).ok());
  EXPECT_EQ(sent_.size(), 1u);
}

// A unit pulled out and put back during the start-up wait: the binding takes
// the one that is plugged in, not the first, dead one.
TEST_F(LinePortHidTest, StartUpBindsTheFirstUnitStillPluggedIn) {
  const QString gone = bus_->plugUnit(6);
  LinePortHid& port = start();
  bus_->unplug(gone);
  const QString back = bus_->plugUnit(6);
  port.bindDevices();
  EXPECT_EQ(port.unitStatus(6).path, back);
  EXPECT_TRUE(port.Hid_Write(6, LineCommand::OnHook).ok());
}

TEST_F(LinePortHidTest, ReportsGoWithTheLengthTheUnitDeclares) {
  struct Case {
    const char* name;
    std::vector<uint8_t> descriptor;
    bool unreadable;
    int length;  // 0: not sent
  };
  const std::vector<uint8_t> report1Of32{0x85, 0x01, 0x75, 0x08, 0x95, 0x20, 0xB1, 0x02};
  const std::vector<uint8_t> report1Of8{0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0xB1, 0x02};
  const std::vector<uint8_t> noFeature{0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02};
  const Case cases[] = {
      {"the simulated unit", SimHidBus::lineUnitDescriptor(), false, 64},
      {"report 1 of 32 bytes", report1Of32, false, 33},
      {"descriptor unreadable", report1Of32, true, 64},
      {"descriptor malformed", {0xB4}, false, 64},
      {"no feature report", noFeature, false, 64},
      {"too short for a command", report1Of8, false, 0},
  };
  for (int i = 0; i < int(std::size(cases)); ++i) {
    const QString path = bus_->plug(0x0416, 0x8401 + i, {}, cases[i].descriptor);
    bus_->setDescriptorUnreadable(path, cases[i].unreadable);
  }
  LinePortHid& port = start();
  port.bindDevices();
  for (int i = 0; i < int(std::size(cases)); ++i) {
    sent_.clear();
    const Status status = port.Hid_Write(i + 1, LineCommand::GainOn);
    EXPECT_EQ(status.ok(), cases[i].length > 0) << cases[i].name;
    const size_t length = sent_.empty() ? 0 : sent_[0].bytes.size();
    EXPECT_EQ(length, size_t(cases[i].length)) << cases[i].name;
  }
}

TEST_F(LinePortHidTest, AFailedOpenOrSendIsReportedAndRetried) {
  const QString path = bus_->plugUnit(2);
  LinePortHid& port = start();
  port.bindDevices();

  bus_->setOpenFails(path, true);
  EXPECT_FALSE(port.Hid_Write(2, LineCommand::OffHook).ok());
  bus_->setOpenFails(path, false);
  EXPECT_TRUE(port.Hid_Write(2, LineCommand::OffHook).ok());

  bus_->setSendFails(path, true);
  EXPECT_FALSE(port.Hid_Write(2, LineCommand::OnHook).ok());
  EXPECT_EQ(bus_->openHandles(), 0) << "a failed send drops the handle";
  bus_->setSendFails(path, false);
  EXPECT_TRUE(port.Hid_Write(2, LineCommand::OnHook).ok());
  EXPECT_EQ(commands(), (std::vector<std::pair<QString, int>>{{path, 0xB0}, {path, 0xB1}}));
}

class LineStartUpTest : public LinePortHidTest {
 protected:
  ManualScheduler scheduler_;
  EventLog log_{scheduler_};
};

TEST_F(LineStartUpTest, OnHookGoesToEveryBoundChannelInOrder) {
  for (int channel : {5, 2, 8}) bus_->plugUnit(channel);
  LinePortHid& port = start();
  port.bindDevices();
  putLinesOnHookAtStart(port, log_, true);
  std::vector<int> channels;
  for (const Sent& s : sent_) {
    EXPECT_EQ(s.bytes.at(10), 0xB1);
    channels.push_back(s.channel);
  }
  EXPECT_EQ(channels, (std::vector<int>{2, 5, 8}));
  EXPECT_EQ(port_->unitStatus(2).deviceName, QStringLiteral("Device VID=0416 PID=8402"));
  EXPECT_TRUE(log_.lines().isEmpty());
}

TEST_F(LineStartUpTest, NoSoundDeviceIsLoggedWhateverUnitsWereFound) {
  bus_->plugUnit(1);
  LinePortHid& port = start();
  port.bindDevices();
  putLinesOnHookAtStart(port, log_, false);
  EXPECT_EQ(sent_.size(), 1u) << "the unit still goes on-hook";
  ASSERT_EQ(log_.lineCount(), 1);
  EXPECT_TRUE(log_.lines()[0].endsWith(QStringLiteral(" - Nenhum canal foi localizado.")));
}

}  // namespace
}  // namespace doruzudo
