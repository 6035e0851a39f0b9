// doruzudo-admin campaigns: the campaigns generated in a period, as the
// reports page's search lists them.
#include <QCommandLineParser>

#include "common/call_database.h"
#include "common/text_forms.h"
#include "dialer/campaigns/report_export.h"
#include "tools/admin_command.h"

namespace doruzudo::admin {
namespace {

const char* kHelp =
    "Usage: doruzudo-admin campaigns --from DD/MM/YYYY --to DD/MM/YYYY [--db-folder DIR]\n"
    "Lists the campaigns generated from the first to the last day given (both\n"
    "included), in the order they were generated: código;campanha;data.\n\n"
    "  --db-folder DIR   the database folder (default: the dialer's PathBD)\n";

int usage(const QString& problem) { return usageError("campaigns", problem, kHelp); }

int fail(const QString& message) { return failure("campaigns", message); }

int run(const QStringList& args) {
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addOptions(
      {{QStringLiteral("from"), QStringLiteral("first day"), QStringLiteral("DATE")},
       {QStringLiteral("to"), QStringLiteral("last day"), QStringLiteral("DATE")},
       {QStringLiteral("db-folder"), QStringLiteral("database folder"), QStringLiteral("DIR")}});
  if (!parser.parse(QStringList{QStringLiteral("campaigns")} + args)) {
    return usage(parser.errorText());
  }
  if (parser.isSet(QStringLiteral("help"))) {
    out(QString::fromUtf8(kHelp));
    return 0;
  }
  const auto from = parseDate(parser.value(QStringLiteral("from")));
  const auto to = parseDate(parser.value(QStringLiteral("to")));
  if (!from || !to || !parser.positionalArguments().isEmpty()) {
    return usage(QStringLiteral("--from and --to take dates as DD/MM/YYYY"));
  }
  auto db = openCommandDatabase(dbFolderOption(parser));
  if (!db) return fail(db.message());
  auto found = (*db)->searchCampaigns(*from, *to);
  if (!found) return fail(found.message());
  if (found->empty()) {
    out(report_messages::kNoCampaignFound + QLatin1Char('\n'));
    return 0;
  }
  for (const CampaignRow& c : *found) {
    out(QStringLiteral("%1;%2;%3\n").arg(c.codigo).arg(c.name, formatDate(c.date)));
  }
  return 0;
}

const AdminCommand command(QStringLiteral("campaigns"),
                           QStringLiteral("list the campaigns generated in a period"), run);

}  // namespace
}  // namespace doruzudo::admin
