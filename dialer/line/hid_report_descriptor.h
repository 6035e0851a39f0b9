// Reading a HID report descriptor for the feature reports it declares: each
// report id and its length in bytes, so that a command is sent with exactly
// the length the unit expects. Pure functions over bytes.
//
// Follows the item format of the USB HID class definition 1.11 (§6.2.2):
// short items (prefix byte: tag, type, size 0/1/2/4) and long items (0xFE),
// with the global state (Report Size, Report Count, Report ID) kept across
// items and saved/restored by Push/Pop. Each Feature main item adds Report
// Size × Report Count bits to the current report id.
//
// Threads: no shared state; callable from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/status.h"

namespace doruzudo {

struct HidFeatureReport {
  int reportId = 0;  // 0 when the descriptor uses no report ids
  int64_t bits = 0;  // data bits, report id byte not counted
  // The bytes sent for this report, report id byte included (as hidraw and
  // the HID capabilities count them: 1 + the data bits rounded up to bytes).
  int byteLength() const { return 1 + static_cast<int>((bits + 7) / 8); }
};

struct HidReportLayout {
  bool usesReportIds = false;
  std::vector<HidFeatureReport> features;  // in order of first declaration

  // The byte length of feature report `reportId`, or 0 when it is not declared.
  int featureLength(int reportId) const;
  // The longest feature report's byte length (0 without feature reports).
  int largestFeatureLength() const;
};

// The feature reports a descriptor declares; an error for a truncated item, a
// report id of 0 or above 255, a Pop without Push, or an absurd report size.
Result<HidReportLayout> parseReportDescriptor(std::span<const uint8_t> descriptor);

// The length to send a line command with: that of feature report 1 when the
// unit declares it, else the longest feature report; 0 when it declares none.
int lineFeatureLength(const HidReportLayout& layout);

}  // namespace doruzudo
