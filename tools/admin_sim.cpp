// doruzudo-admin sim: the virtual exchange from the command line. "render"
// writes what the far end of a line sends for one number; "check" compares a
// campaign's stored results with the exchange's record of its calls.
#include <QCommandLineParser>
#include <QRegularExpression>

#include "common/call_database.h"
#include "common/channel_settings.h"
#include "common/settings_store.h"
#include "dialer/line/audio_file.h"
#include "sim/call_render.h"
#include "sim/classification.h"
#include "sim/scenario.h"
#include "tools/admin_command.h"

namespace doruzudo::admin {
namespace {

constexpr double kMaxSeconds = 3600;

const char* kHelp =
    "Usage: doruzudo-admin sim render --scenario FILE --number DIGITS --seconds S OUT.wav\n"
    "       doruzudo-admin sim check --truth FILE --campaign NAME [--db-folder DIR]\n\n"
    "render:\n"
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
    "2 wrong arguments.\n\n"
    "check:\n"
    "Compares the results campaign NAME stored with the record the virtual exchange\n"
    "wrote of every call (doruzudo --simulate --truth=FILE): for each finished\n"
    "number, the result the dialer is to store for what happened on its line (its\n"
    "last call) against the one it stored. Prints the count right by what happened,\n"
    "then every number stored otherwise. Each channel's line prefix and operator\n"
    "code (GetLinhaC<n>, OperadoraC<n>) are taken from the settings store.\n"
    "  --truth FILE     the exchange's record of the calls\n"
    "  --campaign NAME  the campaign\n"
    "  --db-folder DIR  the database folder (default: the dialer's PathBD)\n"
    "Exit status: 0 every result as on the line, 1 some differ or a file could not\n"
    "be read, 2 wrong arguments.\n";

int usage(const QString& why) { return usageError("sim", why, kHelp); }

int fail(const QString& message) { return failure("sim", message); }

int check(const QStringList& args) {
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addOption({QStringLiteral("truth"), QStringLiteral("record"), QStringLiteral("FILE")});
  parser.addOption({QStringLiteral("campaign"), QStringLiteral("campaign"), QStringLiteral("NAME")});
  parser.addOption(
      {QStringLiteral("db-folder"), QStringLiteral("database folder"), QStringLiteral("DIR")});
  if (!parser.parse(QStringList{QStringLiteral("sim")} + args)) return usage(parser.errorText());
  if (parser.isSet(QStringLiteral("help"))) {
    out(QString::fromUtf8(kHelp));
    return 0;
  }
  if (!parser.isSet(QStringLiteral("truth")) || !parser.isSet(QStringLiteral("campaign"))) {
    return usage(QStringLiteral("check needs --truth FILE and --campaign NAME"));
  }
  const auto calls = sim::readTruthFile(parser.value(QStringLiteral("truth")));
  if (!calls) return fail(calls.message());
  auto db = openCommandDatabase(dbFolderOption(parser));
  if (!db) return fail(db.message());
  const QString campaign = parser.value(QStringLiteral("campaign"));
  const auto rows = (*db)->resultRows(campaign);
  if (!rows) return fail(rows.message());
  std::vector<sim::StoredResult> results;
  for (const ResultRow& row : *rows) results.push_back({row.telefone, row.status});
  // The digits each channel dials before a number, from the dialer's settings.
  std::array<QString, kChannelCount + 1> prefixes{};
  auto store = SettingsStore::openDefault();
  if (auto key = store ? (*store)->openKey(SettingsStore::kConfigKey) : std::nullopt) {
    for (int n = 1; n <= kChannelCount; ++n) {
      const auto text = [&](const char* name) {
        try {
          return key->readString(channelValue(name, n));
        } catch (const SettingsError&) {
          return QString();  // not a text: no prefix
        }
      };
      prefixes[n] = text("GetLinha") + text("Operadora");
    }
  }
  const sim::ClassificationReport report = sim::classify(*calls, results, [&](int channel) {
    return channel >= 1 && channel <= kChannelCount ? prefixes[channel] : QString();
  });

  out(QStringLiteral("%1: %2 of %3 results as on the line\n")
          .arg(campaign)
          .arg(report.allRight())
          .arg(report.all()));
  for (int o = 0; o < sim::kLineOutcomes; ++o) {
    if (report.total[o] == 0) continue;
    const auto outcome = static_cast<sim::LineOutcome>(o);
    out(QStringLiteral("  %1 -> %2 %3/%4\n")
            .arg(sim::outcomeName(outcome).leftJustified(28), sim::expectedStatus(outcome).leftJustified(20))
            .arg(report.right[o])
            .arg(report.total[o]));
  }
  for (const auto& m : report.mismatches) {
    out(QStringLiteral("  %1 (channel %2, %3): stored \"%4\"\n")
            .arg(m.number)
            .arg(m.channel)
            .arg(sim::outcomeName(m.outcome), m.stored));
  }
  if (report.withoutCall > 0) {
    out(QStringLiteral("  %1 results without a completed call on record\n").arg(report.withoutCall));
  }
  return report.mismatches.empty() ? 0 : 1;
}

int run(const QStringList& args) {
  if (!args.isEmpty() && args.first() == QLatin1String("check")) return check(args.mid(1));
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
                           QStringLiteral("the virtual exchange: render what a number sounds "
                                          "like, check stored results against its record"),
                           run);

}  // namespace
}  // namespace doruzudo::admin
