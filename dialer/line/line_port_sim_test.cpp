// The simulated line units: what they record and how their lines' hooks move,
// in virtual time.
#include <gtest/gtest.h>

#include "common/manual_scheduler.h"
#include "dialer/line/line_port_sim.h"

namespace doruzudo {
namespace {

using Kind = SimLineEvent::Kind;

class LinePortSimTest : public ::testing::Test {
 protected:
  explicit LinePortSimTest(std::set<int> units = {1, 2, 3, 4, 5, 6, 7, 8})
      : port_(scheduler_, units) {
    port_.addObserver([this](const SimLineEvent& e) {
      events_.push_back(e);
      eventTimes_.push_back(scheduler_.elapsedMs());
    });
    port_.bindDevices();
  }

  std::vector<Kind> kinds() const {
    std::vector<Kind> list;
    for (const SimLineEvent& e : events_) list.push_back(e.kind);
    return list;
  }

  ManualScheduler scheduler_;
  LinePortSim port_;
  std::vector<SimLineEvent> events_;
  std::vector<int64_t> eventTimes_;
};

TEST_F(LinePortSimTest, RecordsEveryReportWithItsChannelTimeAndCommand) {
  port_.Hid_Write(3, LineCommand::OffHook);
  scheduler_.advance(1000);
  port_.Hid_Write(1, LineCommand::GainOn);
  port_.Hid_Write(3, LineCommand::OnHook);

  ASSERT_EQ(port_.reports().size(), 3u);
  const auto& first = port_.reports()[0];
  EXPECT_EQ(first.channel, 3);
  EXPECT_TRUE(first.decoded);
  EXPECT_EQ(first.command, LineCommand::OffHook);
  EXPECT_EQ(first.value, 2);
  EXPECT_EQ(first.bytes.size(), 64u);
  const LineReport expected = buildLineReport(LineCommand::OffHook);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), first.bytes.begin()));
  EXPECT_EQ(first.at.msecsTo(port_.reports()[2].at), 1000);

  const auto channel3 = port_.reportsFor(3);
  ASSERT_EQ(channel3.size(), 2u);
  EXPECT_EQ(channel3[1].command, LineCommand::OnHook);
  EXPECT_EQ(port_.hookState(3), HookState::OnHook);
  EXPECT_TRUE(port_.gainOn(1));
  EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::OffHook, Kind::GainOn, Kind::OnHook}));
}

// $2A (a 500 ms flash time) holds the hook down 504 ms, then the line is off-hook.
TEST_F(LinePortSimTest, AFlashIsATimedEventOfTheLine) {
  port_.Hid_Write(2, LineCommand::OffHook);
  scheduler_.advance(3000);
  EXPECT_TRUE(port_.flash(2, ConvertFlash(500)).ok());
  EXPECT_EQ(port_.hookState(2), HookState::Flashing);
  scheduler_.advance(503);
  EXPECT_EQ(port_.hookState(2), HookState::Flashing);
  scheduler_.advance(1);
  EXPECT_EQ(port_.hookState(2), HookState::OffHook);

  EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::OffHook, Kind::FlashStart, Kind::FlashEnd}));
  EXPECT_EQ(eventTimes_, (std::vector<int64_t>{0, 3000, 3504}));
  EXPECT_EQ(events_[1].flashMs, 504);
  EXPECT_EQ(events_[2].flashMs, 504);
  EXPECT_EQ(events_[2].channel, 2);
}

TEST_F(LinePortSimTest, AFlashCodeTextThatIsNoFlashSendsNothing) {
  for (const char* text : {"", "$B0", "2A", "$100"}) {
    EXPECT_FALSE(port_.flash(2, QString::fromLatin1(text)).ok()) << text;
  }
  EXPECT_TRUE(port_.reports().empty());
}

TEST_F(LinePortSimTest, HangingUpDuringAFlashEndsItWithoutFlashEnd) {
  port_.Hid_Write(4, LineCommand::OffHook);
  port_.Hid_Write(4, *flashCommand(0x32));
  scheduler_.advance(100);
  port_.Hid_Write(4, LineCommand::OnHook);
  scheduler_.advance(1000);
  EXPECT_EQ(port_.hookState(4), HookState::OnHook);
  EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::OffHook, Kind::FlashStart, Kind::OnHook}));
  EXPECT_EQ(scheduler_.pendingCount(), 0);
}

class LinePortSimSomeUnitsTest : public LinePortSimTest {
 protected:
  LinePortSimSomeUnitsTest() : LinePortSimTest({2}) {}
};

TEST_F(LinePortSimSomeUnitsTest, ChannelsWithoutAUnitRecordNothing) {
  EXPECT_FALSE(port_.Hid_Write(1, LineCommand::OffHook).ok());
  EXPECT_TRUE(port_.Hid_Write(2, LineCommand::OffHook).ok());
  EXPECT_EQ(port_.reports().size(), 1u);
  EXPECT_EQ(port_.hookState(1), HookState::OnHook);
  EXPECT_FALSE(port_.isBound(1));
  EXPECT_TRUE(port_.isBound(2));

  // The unit pulled out: commands go nowhere and the line stays as it was.
  port_.bus().unplug(port_.unitStatus(2).path);
  EXPECT_FALSE(port_.Hid_Write(2, LineCommand::OnHook).ok());
  EXPECT_EQ(port_.hookState(2), HookState::OffHook);
}

TEST(LinePortSim, NothingIsRecordedBeforeTheStartUpBinding) {
  ManualScheduler scheduler;
  LinePortSim port(scheduler);
  port.Hid_Write(1, LineCommand::OffHook);
  EXPECT_TRUE(port.reports().empty());
  EXPECT_EQ(port.deviceCandidates(1).size(), 1u);
}

}  // namespace
}  // namespace doruzudo
