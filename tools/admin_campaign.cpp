// doruzudo-admin campaign create: generates a campaign from a file of
// numbers, as the dialer's "Gerar Campanha" does, and sets the chosen
// channels' CampanhaC<n>.
#include <QCommandLineParser>

#include "common/qt_scheduler.h"
#include "dialer/campaigns/campaign_generator.h"
#include "dialer/campaigns/campaign_text.h"
#include "dialer/campaigns/database_folder.h"
#include "tools/admin_command.h"

namespace doruzudo::admin {
namespace {

const char* kHelp =
    "Usage: doruzudo-admin campaign create --file FILE --name NAME --channels LIST\n"
    "                                      [--db-folder DIR]\n"
    "Generates a campaign: one number per line of FILE (only its digits are kept;\n"
    "lines end with CR, LF or CR LF), named NAME (letters, digits and spaces;\n"
    "letters in upper case, spaces become \"_\"), and makes it the campaign of each\n"
    "channel of LIST (for example 1,3,8) by storing CampanhaC<n>.\n"
    "A running dialer reads the new channel campaigns at its next start.\n\n"
    "  --db-folder DIR   the database folder (default: the dialer's PathBD)\n"
    "Exits 1 when the campaign is refused or fails (nothing is written then).\n";

int usage(const QString& problem) { return usageError("campaign", problem, kHelp); }

int fail(const QString& message) {
  err(message + QLatin1Char('\n'));
  return 1;
}

// "1,3,8" -> the check boxes; nullopt when an item is not a channel.
std::optional<std::array<bool, kChannelCount>> parseChannels(const QString& list) {
  std::array<bool, kChannelCount> channels{};
  for (const QString& item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    bool ok = false;
    const int n = item.trimmed().toInt(&ok);
    if (!ok || n < 1 || n > kChannelCount) return std::nullopt;
    channels[n - 1] = true;
  }
  return channels;
}

int create(const QCommandLineParser& parser) {
  const auto channels = parseChannels(parser.value(QStringLiteral("channels")));
  if (!channels) return usage(QStringLiteral("--channels takes channel numbers 1 to 8"));
  auto store = SettingsStore::openDefault();
  if (!store) return fail(store.message());
  auto folder = databaseFolder(store->get(), parser.value(QStringLiteral("db-folder")));
  if (!folder) return fail(folder.message());
  auto db = CallDatabase::open(*folder);
  if (!db)
    return fail(
        QStringLiteral("Não foi possível se conectar ao banco de dados. (%1)").arg(db.message()));

  SettingsStore& settings = **store;
  QString assignError;
  auto assign = [&](int channel, const QString& name) {
    try {
      writeSetting(settings, SettingsStore::kConfigKey, channelValue("Campanha", channel), name);
    } catch (const SettingsError& e) {
      assignError = e.message();
    }
  };
  bool showedProgress = false;
  auto progress = [&](qsizetype done, qsizetype total) {
    if (total < 100000) return;
    showedProgress = true;
    err(QStringLiteral("\rCarregando números: %1 de %2").arg(done).arg(total));
  };
  CampaignGenerator generator(db->get(), assign, progress);
  const CampaignRequest request{parser.value(QStringLiteral("file")),
                                typedName(parser.value(QStringLiteral("name"))), *channels};
  const CampaignOutcome outcome = generator.generate(request, QtScheduler().today());
  if (showedProgress) err(QStringLiteral("\n"));
  if (!outcome.ok()) return fail(outcome.message);
  out(QStringLiteral("%1\nCampanha %2: %3 números.\n")
          .arg(outcome.message, outcome.name)
          .arg(outcome.numbers));
  if (!assignError.isEmpty()) {
    return fail(QStringLiteral("Não foi possível gravar a campanha dos canais: ") + assignError);
  }
  return 0;
}

int run(const QStringList& args) {
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addOptions(
      {{QStringLiteral("file"), QStringLiteral("number file"), QStringLiteral("FILE")},
       {QStringLiteral("name"), QStringLiteral("campaign name"), QStringLiteral("NAME")},
       {QStringLiteral("channels"), QStringLiteral("channels"), QStringLiteral("LIST")},
       {QStringLiteral("db-folder"), QStringLiteral("database folder"), QStringLiteral("DIR")}});
  if (!parser.parse(QStringList{QStringLiteral("campaign")} + args)) {
    return usage(parser.errorText());
  }
  if (parser.isSet(QStringLiteral("help"))) {
    out(QString::fromUtf8(kHelp));
    return 0;
  }
  if (parser.positionalArguments() != QStringList{QStringLiteral("create")}) {
    return usage(QStringLiteral("expected the subcommand 'create'"));
  }
  return create(parser);
}

const AdminCommand command(QStringLiteral("campaign"),
                           QStringLiteral("generate a campaign from a file of numbers"), run);

}  // namespace
}  // namespace doruzudo::admin
