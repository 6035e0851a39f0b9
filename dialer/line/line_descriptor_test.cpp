// Feature-report lengths read from HID report descriptors.
#include <gtest/gtest.h>

#include "dialer/line/hid_bus_sim.h"
#include "dialer/line/hid_report_descriptor.h"

namespace doruzudo {
namespace {

using Bytes = std::vector<uint8_t>;

struct DescriptorCase {
  const char* name;
  Bytes descriptor;
  bool usesReportIds;
  int lengthOfReport1;  // featureLength(1)
  int largest;          // largestFeatureLength()
  int lineLength;       // lineFeatureLength()
};

class LineHidDescriptor : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(LineHidDescriptor, GivesTheFeatureReportLengths) {
  const DescriptorCase& c = GetParam();
  const Result<HidReportLayout> layout = parseReportDescriptor(c.descriptor);
  ASSERT_TRUE(layout.ok()) << layout.message().toStdString();
  EXPECT_EQ(layout->usesReportIds, c.usesReportIds);
  EXPECT_EQ(layout->featureLength(1), c.lengthOfReport1);
  EXPECT_EQ(layout->largestFeatureLength(), c.largest);
  EXPECT_EQ(lineFeatureLength(*layout), c.lineLength);
}

const DescriptorCase kDescriptors[] = {
    {"simulated unit", SimHidBus::lineUnitDescriptor(), true, 64, 64, 64},
    {"empty", {}, false, 0, 0, 0},
    {"input and output only",
     {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95, 0x40, 0x81, 0x02,
      0x91, 0x02, 0xC0},
     true,
     0,
     0,
     0},
    // Feature report 2 of 8 bytes, no report 1: the line length is the longest.
    {"other report id",
     {0x06, 0x00, 0xFF, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95,
      0x40, 0x81, 0x02, 0x85, 0x02, 0x95, 0x08, 0xB1, 0x02, 0xC0},
     true,
     0,
     9,
     9},
    // Report 1 of 32 bytes and a longer report 3: report 1 is the line's.
    {"two feature reports",
     {0x85, 0x03, 0x75, 0x08, 0x96, 0x00, 0x01, 0xB1, 0x02, 0x85, 0x01, 0x95, 0x20, 0xB1, 0x02},
     true,
     33,
     257,
     33},
    // No report ids: report "0", the length still counts the id byte.
    {"no report ids", {0x75, 0x08, 0x95, 0x40, 0xB1, 0x02}, false, 0, 65, 65},
    // 10 bytes and 3 padding bits in two items of one report: 11 data bytes.
    {"items add up and round up",
     {0x85, 0x01, 0x75, 0x08, 0x95, 0x0A, 0xB1, 0x02, 0x75, 0x01, 0x95, 0x03, 0xB1, 0x03},
     true,
     12,
     12,
     12},
    // Push saves size 8 and count 4; the item between uses size 1 count 1; Pop restores.
    {"push and pop",
     {0x85, 0x01, 0x75, 0x08, 0x95, 0x04, 0xA4, 0x75, 0x01, 0x95, 0x01, 0xB1, 0x02, 0xB4, 0xB1,
      0x02},
     true,
     6,
     6,
     6},
    // A long item (0xFE, size 2, tag, 2 bytes) and a 4-byte item are stepped over whole.
    {"long and four-byte items",
     {0xFE, 0x02, 0x10, 0xB1, 0xB1, 0x17, 0x00, 0x00, 0x00, 0x80, 0x85, 0x01, 0x75, 0x08, 0x95,
      0x3F, 0xB1, 0x02},
     true,
     64,
     64,
     64},
};

INSTANTIATE_TEST_SUITE_P(Table, LineHidDescriptor, ::testing::ValuesIn(kDescriptors),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

TEST(LineHidDescriptorErrors, RejectsMalformedDescriptors) {
  struct Case {
    const char* name;
    Bytes descriptor;
  };
  const Case cases[] = {
      {"truncated short item", {0x85, 0x01, 0x96, 0x00}},
      {"truncated four-byte item", {0x97, 0x00, 0x00}},
      {"truncated long item", {0xFE, 0x05, 0x10, 0x00}},
      {"long item without its size", {0xFE}},
      {"report id 0", {0x85, 0x00, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02}},
      {"report id above 255", {0x86, 0x00, 0x01}},
      {"pop without push", {0xB4}},
      {"absurd report count", {0x75, 0x20, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0xB1, 0x02}},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(parseReportDescriptor(c.descriptor).ok()) << c.name;
  }
  // 65535 bytes a Feature item: 40 such items pass any sensible length.
  Bytes growing{0x75, 0x08, 0x96, 0xFF, 0xFF};
  for (int i = 0; i < 40; ++i) growing.insert(growing.end(), {0xB1, 0x02});
  EXPECT_FALSE(parseReportDescriptor(growing).ok()) << "report growing past the limit";
  Bytes deepPush(17, 0xA4);
  EXPECT_FALSE(parseReportDescriptor(deepPush).ok()) << "push nested too deep";
}

}  // namespace
}  // namespace doruzudo
