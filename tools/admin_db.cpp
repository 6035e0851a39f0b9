// doruzudo-admin db: the call database file.
#include <QCommandLineParser>
#include <QDir>

#include "common/call_database.h"
#include "tools/admin_command.h"

namespace doruzudo::admin {
namespace {

const char* kHelp =
    "Usage: doruzudo-admin db init [--folder DIR | --db-folder DIR]\n"
    "Creates the call database vantor.db with its tables in the database folder\n"
    "(the dialer's PathBD setting, or DIR), creating the folder when missing.\n"
    "An existing database keeps its data; an older one is upgraded.\n";

int fail(const QString& message) { return failure("db", message); }

int run(const QStringList& args) {
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addOption({QStringList{QStringLiteral("folder"), QStringLiteral("db-folder")},
                    QStringLiteral("database folder"), QStringLiteral("DIR")});
  parser.addPositionalArgument(QStringLiteral("init"), QStringLiteral("create the database"));
  if (!parser.parse(QStringList{QStringLiteral("db")} + args)) {
    err(parser.errorText() + QLatin1Char('\n') + QString::fromUtf8(kHelp));
    return 2;
  }
  if (parser.isSet(QStringLiteral("help"))) {
    out(QString::fromUtf8(kHelp));
    return 0;
  }
  if (parser.positionalArguments() != QStringList{QStringLiteral("init")}) {
    err(QString::fromUtf8(kHelp));
    return 2;
  }
  auto folder = commandDatabaseFolder(parser.isSet(QStringLiteral("folder"))
                                          ? std::optional(parser.value(QStringLiteral("folder")))
                                          : std::nullopt);
  if (!folder) return fail(folder.message());
  if (!QDir().mkpath(*folder)) return fail(QStringLiteral("cannot create folder %1").arg(*folder));
  auto db = CallDatabase::open(*folder);
  if (!db) return fail(db.message());
  out(QStringLiteral("%1: schema version %2\n")
          .arg((*db)->file())
          .arg((*db)->connection().userVersion()));
  return 0;
}

const AdminCommand command(QStringLiteral("db"), QStringLiteral("create the call database"), run);

}  // namespace
}  // namespace doruzudo::admin
