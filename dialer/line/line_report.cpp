// Line commands, reports and flash codes (see line_report.h).
#include "dialer/line/line_report.h"

#include <QStringList>
#include <algorithm>

namespace doruzudo {

namespace {

// The bytes that every report carries whatever the command.
struct FixedByte {
  int index;
  uint8_t value;
};
constexpr std::array<FixedByte, 4> kFixedBytes{{{1, 0x09}, {2, 0x6E}, {7, 0x10}, {11, 0xD1}}};
constexpr int kValueByte = 9;
constexpr int kCommandByte = 10;

QString hex2(int value) {
  return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

LineReport buildLineReport(LineCommand command, uint8_t value) {
  LineReport report{};
  report[0] = kLineReportId;
  for (const FixedByte& fixed : kFixedBytes) report[fixed.index] = fixed.value;
  report[kValueByte] = value;
  report[kCommandByte] = static_cast<uint8_t>(command);
  return report;
}

Result<DecodedLineReport> decodeLineReport(std::span<const uint8_t> bytes) {
  if (bytes.size() < static_cast<size_t>(kLineReportUsedBytes)) {
    return Result<DecodedLineReport>::Error(
        QStringLiteral("report of %1 bytes is too short for a line command").arg(bytes.size()));
  }
  if (bytes[0] != kLineReportId) {
    return Result<DecodedLineReport>::Error(QStringLiteral("report id %1 is not 1").arg(bytes[0]));
  }
  for (size_t i = 1; i < bytes.size(); ++i) {
    if (i == kValueByte || i == kCommandByte) continue;
    const auto fixed = std::find_if(kFixedBytes.begin(), kFixedBytes.end(),
                                    [i](const FixedByte& f) { return f.index == int(i); });
    const uint8_t expected = fixed == kFixedBytes.end() ? 0 : fixed->value;
    if (bytes[i] != expected) {
      return Result<DecodedLineReport>::Error(
          QStringLiteral("byte %1 is %2, not %3").arg(i).arg(hex2(bytes[i]), hex2(expected)));
    }
  }
  return DecodedLineReport{static_cast<LineCommand>(bytes[kCommandByte]), bytes[kValueByte]};
}

LineCommandKind kindOf(LineCommand command) {
  switch (command) {
    case LineCommand::OffHook:
      return LineCommandKind::OffHook;
    case LineCommand::OnHook:
      return LineCommandKind::OnHook;
    case LineCommand::GainOn:
      return LineCommandKind::GainOn;
    case LineCommand::GainOff:
      return LineCommandKind::GainOff;
  }
  const auto code = static_cast<uint8_t>(command);
  if (code >= kFirstFlashCode && code <= kLastFlashCode) return LineCommandKind::Flash;
  return LineCommandKind::Unknown;
}

QString describe(LineCommand command) {
  const QString code = QLatin1Char('$') + hex2(static_cast<uint8_t>(command));
  switch (kindOf(command)) {
    case LineCommandKind::OffHook:
      return QStringLiteral("OffHook");
    case LineCommandKind::OnHook:
      return QStringLiteral("OnHook");
    case LineCommandKind::GainOn:
      return QStringLiteral("GainOn");
    case LineCommandKind::GainOff:
      return QStringLiteral("GainOff");
    case LineCommandKind::Flash:
      return QStringLiteral("Flash ") + code;
    case LineCommandKind::Unknown:
      break;
  }
  return QStringLiteral("Unknown ") + code;
}

std::optional<LineCommand> flashCommand(uint8_t code) {
  if (code < kFirstFlashCode || code > kLastFlashCode) return std::nullopt;
  return static_cast<LineCommand>(code);
}

std::optional<LineCommand> flashCommand(const QString& flashCode) {
  if (flashCode.size() < 2 || flashCode.size() > 3 || flashCode[0] != QLatin1Char('$')) {
    return std::nullopt;
  }
  bool ok = false;
  const uint value = flashCode.mid(1).toUInt(&ok, 16);
  if (!ok || value > 0xFF) return std::nullopt;
  return flashCommand(static_cast<uint8_t>(value));
}

QString ConvertFlash(int flashMs) {
  const int ms = std::clamp(flashMs, kMinFlashMs, kMaxFlashMs);
  return QLatin1Char('$') + hex2((ms + 10) / 12);
}

int flashDurationMs(uint8_t code) {
  return code * 12;
}

int lineChannelOf(uint16_t vendorId, uint16_t productId) {
  if (vendorId != kLineUnitVendor) return 0;
  const int channel = productId - kLineUnitProductBase;
  return channel >= 1 && channel <= 8 ? channel : 0;
}

QString DeviceName(uint16_t vendorId, uint16_t productId) {
  if (lineChannelOf(vendorId, productId) == 0) return {};
  return QStringLiteral("Device VID=%1 PID=%2")
      .arg(vendorId, 4, 16, QLatin1Char('0'))
      .arg(productId, 4, 16, QLatin1Char('0'));
}

Result<std::vector<uint8_t>> sizedLineReport(const LineReport& report, int length) {
  if (length < kLineReportUsedBytes) {
    return Result<std::vector<uint8_t>>::Error(
        QStringLiteral("the unit's feature report of %1 bytes cannot hold a line command")
            .arg(length));
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(length), 0);
  std::copy_n(report.begin(), std::min(length, kLineReportSize), bytes.begin());
  return bytes;
}

QString hexBytes(std::span<const uint8_t> bytes, int perLine) {
  QStringList lines;
  QStringList line;
  for (const uint8_t byte : bytes) {
    line << hex2(byte);
    if (perLine > 0 && line.size() == perLine) {
      lines << line.join(QLatin1Char(' '));
      line.clear();
    }
  }
  if (!line.isEmpty()) lines << line.join(QLatin1Char(' '));
  return lines.join(QLatin1Char('\n'));
}

}  // namespace doruzudo
