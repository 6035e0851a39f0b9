// Line reports, flash codes and unit identity, checked on bytes.
#include <gtest/gtest.h>

#include <QStringList>

#include "dialer/line/line_report.h"

namespace doruzudo {
namespace {

struct ReportCase {
  LineCommand command;
  uint8_t commandByte;
};

class LineReportBytes : public ::testing::TestWithParam<ReportCase> {};

// Every byte of the report: the fixed ones, value 2, the command, zeros elsewhere.
TEST_P(LineReportBytes, HoldsTheCommandInByte10AndTheFixedBytes) {
  const LineReport report = buildLineReport(GetParam().command);
  std::array<uint8_t, 64> expected{};
  expected[0] = 0x01;
  expected[1] = 0x09;
  expected[2] = 0x6E;
  expected[7] = 0x10;
  expected[9] = 0x02;
  expected[10] = GetParam().commandByte;
  expected[11] = 0xD1;
  EXPECT_EQ(report, expected);

  const Result<DecodedLineReport> decoded = decodeLineReport(report);
  ASSERT_TRUE(decoded.ok()) << decoded.message().toStdString();
  EXPECT_EQ(decoded->command, GetParam().command);
  EXPECT_EQ(decoded->value, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, LineReportBytes,
    ::testing::Values(ReportCase{LineCommand::OffHook, 0xB0}, ReportCase{LineCommand::OnHook, 0xB1},
                      ReportCase{LineCommand::GainOn, 0xAE}, ReportCase{LineCommand::GainOff, 0xAD},
                      ReportCase{*flashCommand(0x09), 0x09}, ReportCase{*flashCommand(0x2A), 0x2A},
                      ReportCase{*flashCommand(0x32), 0x32}));

TEST(LineReport, DecodeRejectsBytesThatAreNoLineReport) {
  const LineReport good = buildLineReport(LineCommand::OffHook);
  struct Case {
    const char* what;
    int index;
    uint8_t value;
  };
  for (const Case& c : {Case{"report id", 0, 0x02}, Case{"byte 1", 1, 0x00},
                        Case{"byte 2", 2, 0x6F}, Case{"byte 7", 7, 0x00}, Case{"byte 11", 11, 0xD0},
                        Case{"a zero byte", 5, 0x01}, Case{"the last byte", 63, 0xFF}}) {
    LineReport bad = good;
    bad[c.index] = c.value;
    EXPECT_FALSE(decodeLineReport(bad).ok()) << c.what;
  }
  EXPECT_FALSE(decodeLineReport(std::span(good).first(11)).ok()) << "cut before byte 11";
  EXPECT_TRUE(decodeLineReport(std::span(good).first(12)).ok()) << "cut after byte 11";
}

TEST(LineReport, CommandKindsAndNames) {
  struct Case {
    uint8_t byte;
    LineCommandKind kind;
    const char* name;
  };
  for (const Case& c : {Case{0xB0, LineCommandKind::OffHook, "OffHook"},
                        Case{0xB1, LineCommandKind::OnHook, "OnHook"},
                        Case{0xAE, LineCommandKind::GainOn, "GainOn"},
                        Case{0xAD, LineCommandKind::GainOff, "GainOff"},
                        Case{0x09, LineCommandKind::Flash, "Flash $09"},
                        Case{0x32, LineCommandKind::Flash, "Flash $32"},
                        Case{0x08, LineCommandKind::Unknown, "Unknown $08"},
                        Case{0x33, LineCommandKind::Unknown, "Unknown $33"}}) {
    const auto command = static_cast<LineCommand>(c.byte);
    EXPECT_EQ(kindOf(command), c.kind) << c.name;
    EXPECT_EQ(describe(command), QString::fromLatin1(c.name));
  }
}

TEST(LineFlash, ConvertFlashGivesTheCodeOfEachFlashTime) {
  struct Case {
    int ms;
    const char* code;
  };
  for (const Case& c : {Case{100, "$09"}, Case{200, "$11"}, Case{300, "$19"}, Case{400, "$22"},
                        Case{500, "$2A"}, Case{600, "$32"}, Case{250, "$15"}, Case{110, "$0A"}}) {
    EXPECT_EQ(ConvertFlash(c.ms), QString::fromLatin1(c.code)) << c.ms;
  }
}

// Out-of-range times must still give a flash: 0 ms would send command 0 and
// 2102 ms command 0xB0, an off-hook.
TEST(LineFlash, ConvertFlashKeepsTimesOutsideTheRangeAtTheNearerBound) {
  for (int ms : {-50, 0, 99}) EXPECT_EQ(ConvertFlash(ms), QStringLiteral("$09")) << ms;
  for (int ms : {601, 2102, 100000}) EXPECT_EQ(ConvertFlash(ms), QStringLiteral("$32")) << ms;
}

TEST(LineFlash, FlashCodeTextGivesTheCommandByte) {
  struct Case {
    const char* text;
    int byte;  // -1: no flash command
  };
  for (const Case& c :
       {Case{"$09", 0x09}, Case{"$2A", 0x2A}, Case{"$2a", 0x2A}, Case{"$32", 0x32},
        Case{"$F", 0x0F}, Case{"$08", -1}, Case{"$33", -1}, Case{"$B0", -1}, Case{"2A", -1},
        Case{"$", -1}, Case{"$2G", -1}, Case{"$02A", -1}, Case{"", -1}}) {
    const std::optional<LineCommand> command = flashCommand(QString::fromLatin1(c.text));
    if (c.byte < 0) {
      EXPECT_FALSE(command.has_value()) << c.text;
    } else {
      ASSERT_TRUE(command.has_value()) << c.text;
      EXPECT_EQ(static_cast<int>(*command), c.byte) << c.text;
    }
  }
  // Every time the channel page offers goes there and back.
  for (int ms = 100; ms <= 600; ms += 100) {
    const std::optional<LineCommand> command = flashCommand(ConvertFlash(ms));
    ASSERT_TRUE(command.has_value()) << ms;
    EXPECT_NEAR(flashDurationMs(static_cast<uint8_t>(*command)), ms, 12) << ms;
  }
}

TEST(LineUnitIdentity, OnlyTheEightProductsOfTheVendorAreLineUnits) {
  struct Case {
    uint16_t vendor;
    uint16_t product;
    int channel;
    const char* name;
  };
  for (const Case& c :
       {Case{0x0416, 0x8401, 1, "Device VID=0416 PID=8401"},
        Case{0x0416, 0x8408, 8, "Device VID=0416 PID=8408"}, Case{0x0416, 0x8400, 0, ""},
        Case{0x0416, 0x8409, 0, ""}, Case{0x0416, 0x0401, 0, ""}, Case{0x0417, 0x8401, 0, ""}}) {
    EXPECT_EQ(lineChannelOf(c.vendor, c.product), c.channel) << c.name;
    EXPECT_EQ(DeviceName(c.vendor, c.product), QString::fromLatin1(c.name));
  }
}

TEST(LineReport, SizedToTheUnitsFeatureLength) {
  const LineReport report = buildLineReport(LineCommand::OnHook);
  const auto shortReport = sizedLineReport(report, 12);
  ASSERT_TRUE(shortReport.ok());
  EXPECT_EQ(*shortReport, std::vector<uint8_t>(report.begin(), report.begin() + 12));

  const auto longReport = sizedLineReport(report, 65);
  ASSERT_TRUE(longReport.ok());
  ASSERT_EQ(longReport->size(), 65u);
  EXPECT_TRUE(std::equal(report.begin(), report.end(), longReport->begin()));
  EXPECT_EQ(longReport->back(), 0);

  EXPECT_FALSE(sizedLineReport(report, 11).ok()) << "the command byte would be cut off";
  EXPECT_FALSE(sizedLineReport(report, 0).ok());
}

TEST(LineReport, HexBytesSixteenToALine) {
  const LineReport report = buildLineReport(*flashCommand(0x2A));
  const QStringList lines = hexBytes(report).split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], QStringLiteral("01 09 6E 00 00 00 00 10 00 02 2A D1 00 00 00 00"));
  EXPECT_EQ(lines[3], QStringLiteral("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"));
}

}  // namespace
}  // namespace doruzudo
