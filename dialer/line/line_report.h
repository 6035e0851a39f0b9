// The line commands a line unit takes and the 64-byte feature report that
// carries one; the hook-flash code of a flash time; the identity of the units.
// Pure functions over values and bytes.
//
// A report is all zero but for: byte 0 the report id 1, byte 1 0x09, byte 2
// 0x6E, byte 7 0x10, byte 9 the value (2), byte 10 the command, byte 11 0xD1.
//
// Threads: no shared state; callable from any thread.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "common/status.h"

namespace doruzudo {

// The command byte of a line report. Besides the four named commands, every
// byte from kFirstFlashCode to kLastFlashCode is a hook-flash of that code.
enum class LineCommand : uint8_t {
  GainOff = 0xAD,  // back to normal receive gain
  GainOn = 0xAE,   // raise the receive gain
  OffHook = 0xB0,  // seize the line
  OnHook = 0xB1,   // release the line
};

enum class LineCommandKind { OffHook, OnHook, Flash, GainOn, GainOff, Unknown };

constexpr uint8_t kFirstFlashCode = 0x09;  // 100 ms
constexpr uint8_t kLastFlashCode = 0x32;   // 600 ms
constexpr int kMinFlashMs = 100;
constexpr int kMaxFlashMs = 600;

constexpr int kLineReportSize = 64;
constexpr uint8_t kLineReportId = 1;
constexpr uint8_t kLineCommandValue = 2;  // the value byte of every command sent
// Bytes of a report up to and including the last one that is not always zero.
constexpr int kLineReportUsedBytes = 12;

using LineReport = std::array<uint8_t, kLineReportSize>;

// The report that carries `command` with `value` in byte 9.
LineReport buildLineReport(LineCommand command, uint8_t value = kLineCommandValue);

struct DecodedLineReport {
  LineCommand command{};
  uint8_t value = 0;
};
// Reads a report back: an error unless the fixed bytes hold their values and
// every other byte past 11 is zero. Shorter reports must still reach byte 11.
Result<DecodedLineReport> decodeLineReport(std::span<const uint8_t> bytes);

LineCommandKind kindOf(LineCommand command);
// "OffHook", "OnHook", "GainOn", "GainOff", "Flash $2A", "Unknown $07".
QString describe(LineCommand command);

// The hook-flash command of a flash code byte (kFirstFlashCode..kLastFlashCode).
std::optional<LineCommand> flashCommand(uint8_t code);
// The hook-flash command of a FlashCode text ("$2A"); nullopt when the text
// is not "$" and one or two hexadecimal digits of a flash code.
std::optional<LineCommand> flashCommand(const QString& flashCode);

// The FlashCode text of a flash time in ms: "$" and two upper-case hexadecimal
// digits of trunc((ms + 10) / 12). Times outside 100..600 count as the nearer
// bound, so the code is always a hook-flash: "100" gives $09, "500" $2A, "600" $32.
QString ConvertFlash(int flashMs);
// How long the unit holds the hook down for a flash code, in ms (code × 12).
int flashDurationMs(uint8_t code);

// The line units: vendor 0x0416, product 0x8401..0x8408 for channels 1..8.
constexpr uint16_t kLineUnitVendor = 0x0416;
constexpr uint16_t kLineUnitProductBase = 0x8400;

// The channel (1..8) a HID device serves, or 0 when it is no line unit.
int lineChannelOf(uint16_t vendorId, uint16_t productId);
// "Device VID=0416 PID=8403" for a line unit, the empty text for any other device.
QString DeviceName(uint16_t vendorId, uint16_t productId);

// The report as the unit takes it: `length` bytes (the unit's feature-report
// length, report id byte included), cut short or padded with zeros. An error
// when `length` cannot hold the command bytes (less than 12).
Result<std::vector<uint8_t>> sizedLineReport(const LineReport& report, int length);

// "01 09 6E 00 …": the bytes in upper-case hexadecimal, `perLine` to a line.
QString hexBytes(std::span<const uint8_t> bytes, int perLine = 16);

}  // namespace doruzudo
