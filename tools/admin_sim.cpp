// doruzudo-admin sim: the virtual exchange from the command line. "render"
// writes what the far end of a line sends for one number.
#include <QCommandLineParser>
#include <QRegularExpression>

#include "dialer/line/audio_file.h"
#include "sim/call_render.h"
#include "sim/scenario.h"
#include "tools/admin_command.h"

namespace doruzudo::admin {
namespace {

constexpr double kMaxSeconds = 3600;

const char* kHelp =
    "Usage: doruzudo-admin sim render --scenario FILE --number DIGITS --seconds S OUT.wav\n"
    "Writes to OUT.wav (8000 Hz, 16-bit, mono) what the far end of a line sends for\n"
    "the number DIGITS under the scenario FILE during S seconds, the dialer's side\n"
    "silent. The number counts as dialed and complete at the file's first sample (no\n"
    "keys are played first, so there is no wait for the end of dialing): ringback,\n"
    "busy tone, the party's speech, line noise, as the scenario's line for DIGITS\n"
    "says. An answering party speaks and then waits for a message that never comes.\n\n"
    "Options:\n"
    "  --scenario FILE  the scenario (see the README for its format)\n"
    "  --number DIGITS  the number as dialed (prefix and operator code included)\n"
    "  --seconds S      how much of the line to write (up to 3600)\n"
    "  --channel N      render as line N of the exchange would (its seed; default 1)\n"
    "  --babble         the party babbles instead of speaking with espeak-ng\n"
    "  -h, --help       this text\n"
    "Exit status: 0 written, 1 the scenario could not be read or OUT.wav written,\n"
    "2 wrong arguments.\n";

int usage(const QString& why) { return usageError("sim", why, kHelp); }

int run(const QStringList& args) {
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addOption(
      {QStringLiteral("scenario"), QStringLiteral("scenario file"), QStringLiteral("FILE")});
  parser.addOption(
      {QStringLiteral("number"), QStringLiteral("dialed digits"), QStringLiteral("DIGITS")});
  parser.addOption({QStringLiteral("seconds"), QStringLiteral("length"), QStringLiteral("S")});
  parser.addOption({QStringLiteral("channel"), QStringLiteral("line"), QStringLiteral("N")});
  parser.addOption({QStringLiteral("babble"), QStringLiteral("no espeak-ng")});
  if (!parser.parse(QStringList{QStringLiteral("sim")} + args)) return usage(parser.errorText());
  if (parser.isSet(QStringLiteral("help"))) {
    out(QString::fromUtf8(kHelp));
    return 0;
  }
  const QStringList pos = parser.positionalArguments();
  if (pos.size() != 2 || pos[0] != QLatin1String("render"))
    return usage(QStringLiteral("which file?"));
  const QString number = parser.value(QStringLiteral("number"));
  static const QRegularExpression digits(QStringLiteral("^[0-9*#A-D]+$"));
  if (!digits.match(number).hasMatch())
    return usage(QStringLiteral("--number wants the dialed keys"));
  bool ok = false;
  const double seconds = parser.value(QStringLiteral("seconds")).toDouble(&ok);
  if (!ok || seconds <= 0 || seconds > kMaxSeconds) {
    return usage(QStringLiteral("--seconds wants a length above 0 and up to 3600"));
  }
  sim::RenderOptions options;
  options.espeak = !parser.isSet(QStringLiteral("babble"));
  if (parser.isSet(QStringLiteral("channel"))) {
    options.channel = parser.value(QStringLiteral("channel")).toInt(&ok);
    if (!ok || options.channel < 1 || options.channel > 8) {
      return usage(QStringLiteral("--channel wants 1 to 8"));
    }
  }
  if (!parser.isSet(QStringLiteral("scenario")))
    return usage(QStringLiteral("--scenario is needed"));
  Result<sim::Scenario> scenario = sim::loadScenario(parser.value(QStringLiteral("scenario")));
  if (!scenario) {
    err(QStringLiteral("doruzudo-admin sim: %1\n").arg(scenario.message()));
    return 1;
  }
  const std::vector<int16_t> samples = sim::renderNumber(*scenario, number, seconds, options);
  if (Status s = writeWav(pos[1], samples, 8000); !s) {
    err(QStringLiteral("doruzudo-admin sim: %1\n").arg(s.message()));
    return 1;
  }
  return 0;
}

const AdminCommand command(QStringLiteral("sim"),
                           QStringLiteral("the virtual exchange: render what a number sounds like"),
                           run);

}  // namespace
}  // namespace doruzudo::admin
