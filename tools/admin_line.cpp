// doruzudo-admin line: the reports the dialer sends to its line units, and the
// units plugged into this machine.
#include "dialer/line/hid_bus_hidraw.h"
#include "dialer/line/hid_report_descriptor.h"
#include "dialer/line/line_report.h"
#include "tools/admin_command.h"

namespace doruzudo::admin {
namespace {

const char* kHelp =
    "Usage: doruzudo-admin line SUBCOMMAND\n"
    "The line units: the reports the dialer sends them and the units plugged in.\n\n"
    "  report COMMAND [--flash MS]\n"
    "                  prints the 64 bytes of the report that carries COMMAND, in\n"
    "                  hexadecimal, 16 to a line. COMMAND is offhook, onhook, gainon,\n"
    "                  gainoff or flash; a flash needs --flash MS, the flash time in\n"
    "                  milliseconds (100 to 600; other times count as the nearer one)\n"
    "  list [--all]    lists the line units plugged in (vendor 0416, products 8401 to\n"
    "                  8408 for channels 1 to 8): channel, name, device, the length of\n"
    "                  its feature report and whether this user can open it. With\n"
    "                  --all, every other HID device too\n";

int fail(const QString& message) { return failure("line", message); }

Result<LineCommand> commandNamed(const QString& name, const QStringList& options) {
  const bool hasFlash = options.size() == 2 && options[0] == QLatin1String("--flash");
  if (!options.isEmpty() && !hasFlash) {
    return Result<LineCommand>::Error(QStringLiteral("unexpected '%1'").arg(options.join(' ')));
  }
  const QString lower = name.toLower();
  if (lower == QLatin1String("flash")) {
    if (!hasFlash) return Result<LineCommand>::Error(QStringLiteral("flash needs --flash MS"));
    bool ok = false;
    const int ms = options[1].toInt(&ok);
    if (!ok) return Result<LineCommand>::Error(QStringLiteral("'%1' is no time").arg(options[1]));
    if (ms < kMinFlashMs || ms > kMaxFlashMs) {
      err(QStringLiteral("doruzudo-admin line: %1 ms counts as %2 ms\n")
              .arg(ms)
              .arg(std::clamp(ms, kMinFlashMs, kMaxFlashMs)));
    }
    return *flashCommand(ConvertFlash(ms));
  }
  if (hasFlash) return Result<LineCommand>::Error(QStringLiteral("--flash goes with flash only"));
  const std::pair<const char*, LineCommand> named[] = {{"offhook", LineCommand::OffHook},
                                                       {"onhook", LineCommand::OnHook},
                                                       {"gainon", LineCommand::GainOn},
                                                       {"gainoff", LineCommand::GainOff}};
  for (const auto& [text, command] : named) {
    if (lower == QLatin1String(text)) return command;
  }
  return Result<LineCommand>::Error(QStringLiteral("no command '%1' (see --help)").arg(name));
}

int report(const QStringList& args) {
  if (args.isEmpty()) return fail(QStringLiteral("report needs a COMMAND (see --help)"));
  const Result<LineCommand> command = commandNamed(args[0], args.mid(1));
  if (!command) return fail(command.message());
  out(hexBytes(buildLineReport(*command)) + QLatin1Char('\n'));
  return 0;
}

QString featureLengthOf(HidrawBus& bus, const HidDeviceInfo& device) {
  const Result<std::vector<uint8_t>> descriptor = bus.reportDescriptor(device);
  if (!descriptor) return QStringLiteral("descriptor unreadable");
  const Result<HidReportLayout> layout = parseReportDescriptor(*descriptor);
  if (!layout) return layout.message();
  const int length = lineFeatureLength(*layout);
  if (length == 0) return QStringLiteral("no feature report");
  return QStringLiteral("feature report %1 bytes").arg(length);
}

int list(const QStringList& args) {
  if (!args.isEmpty() && args != QStringList{QStringLiteral("--all")}) {
    return fail(QStringLiteral("unexpected '%1'").arg(args.join(' ')));
  }
  HidrawBus bus(false);
  int units = 0;
  for (const HidDeviceInfo& device : bus.enumerate()) {
    const int channel = lineChannelOf(device.vendorId, device.productId);
    if (channel == 0) {
      if (!args.isEmpty()) {
        out(QStringLiteral("no channel  %1:%2  %3\n")
                .arg(device.vendorId, 4, 16, QLatin1Char('0'))
                .arg(device.productId, 4, 16, QLatin1Char('0'))
                .arg(device.path));
      }
      continue;
    }
    ++units;
    const auto handle = bus.open(device);
    out(QStringLiteral("channel %1  %2  %3  %4  %5\n")
            .arg(channel)
            .arg(DeviceName(device.vendorId, device.productId), device.path,
                 featureLengthOf(bus, device),
                 handle ? QStringLiteral("opens")
                        : QStringLiteral("cannot open (%1)").arg(handle.message())));
  }
  if (units == 0) out(QStringLiteral("No line units found.\n"));
  return 0;
}

int run(const QStringList& args) {
  if (args.isEmpty() || args.contains(QStringLiteral("--help")) || args.contains("-h")) {
    out(QString::fromUtf8(kHelp));
    return args.isEmpty() ? 2 : 0;
  }
  if (args[0] == QLatin1String("report")) return report(args.mid(1));
  if (args[0] == QLatin1String("list")) return list(args.mid(1));
  return fail(QStringLiteral("no subcommand '%1' (see --help)").arg(args[0]));
}

const AdminCommand kLine(QStringLiteral("line"),
                         QStringLiteral("line units: report bytes, units plugged in"), run);

}  // namespace
}  // namespace doruzudo::admin
