// doruzudo-admin report: a campaign's general or summary report, appended to
// a text file or rendered to a PDF.
#include <QCommandLineParser>

#include "common/call_database.h"
#include "common/qt_scheduler.h"
#include "dialer/campaigns/report_export.h"
#include "dialer/campaigns/report_pdf.h"
#include "tools/admin_command.h"

namespace doruzudo::admin {
namespace {

const char* kHelp =
    "Usage: doruzudo-admin report CAMPAIGN --kind geral|resumido (--txt FILE | --pdf FILE)\n"
    "                             [--db-folder DIR]\n"
    "The report of a campaign's finished numbers: \"geral\" lists every number,\n"
    "\"resumido\" the count per status.\n\n"
    "  --txt FILE        appends the report's lines to FILE (created when missing;\n"
    "                    nothing is written for a campaign without finished numbers)\n"
    "  --pdf FILE        renders the printed report to FILE (Letter paper)\n"
    "  --db-folder DIR   the database folder (default: the dialer's PathBD)\n";

int usage(const QString& problem) { return usageError("report", problem, kHelp); }

int fail(const QString& message) { return failure("report", message); }

int run(const QStringList& args) {
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addOptions(
      {{QStringLiteral("kind"), QStringLiteral("geral or resumido"), QStringLiteral("KIND")},
       {QStringLiteral("txt"), QStringLiteral("text file"), QStringLiteral("FILE")},
       {QStringLiteral("pdf"), QStringLiteral("PDF file"), QStringLiteral("FILE")},
       {QStringLiteral("db-folder"), QStringLiteral("database folder"), QStringLiteral("DIR")}});
  if (!parser.parse(QStringList{QStringLiteral("report")} + args)) {
    return usage(parser.errorText());
  }
  if (parser.isSet(QStringLiteral("help"))) {
    out(QString::fromUtf8(kHelp));
    return 0;
  }
  const QString kindText = parser.value(QStringLiteral("kind"));
  if (kindText != QLatin1String("geral") && kindText != QLatin1String("resumido")) {
    return usage(QStringLiteral("--kind is geral or resumido"));
  }
  const ReportKind kind =
      kindText == QLatin1String("geral") ? ReportKind::General : ReportKind::Summary;
  const bool txt = parser.isSet(QStringLiteral("txt"));
  if (txt == parser.isSet(QStringLiteral("pdf"))) {
    return usage(QStringLiteral("give one of --txt FILE and --pdf FILE"));
  }
  if (parser.positionalArguments().size() != 1) {
    return fail(report_messages::kNoCampaign);
  }
  const QString campaign = parser.positionalArguments().first();

  auto db = openCommandDatabase(dbFolderOption(parser));
  if (!db) return fail(db.message());

  if (txt) {
    auto done = exportReport(**db, campaign, kind, parser.value(QStringLiteral("txt")));
    if (!done) return fail(done.message());
    out(*done + QLatin1Char('\n'));
    return 0;
  }
  const QString file = parser.value(QStringLiteral("pdf"));
  QtScheduler clock;
  const QDateTime now = clock.now();
  if (Status s = writeReportPdf(**db, campaign, kind, file, now.date(), now.time()); !s) {
    return fail(s.message());
  }
  out(QStringLiteral("Relatório gerado em: %1\n").arg(file));
  return 0;
}

const AdminCommand command(QStringLiteral("report"),
                           QStringLiteral("a campaign's report as text or PDF"), run);

}  // namespace
}  // namespace doruzudo::admin
