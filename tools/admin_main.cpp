// doruzudo-admin: command-line administration of the dialer's settings,
// database, campaigns, reports and tone analysis.
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>

#include "common/process_env.h"
#include "tools/admin_command.h"

namespace doruzudo::admin {

namespace {
std::vector<const AdminCommand*>& registry() {
  static std::vector<const AdminCommand*> list;
  return list;
}
}  // namespace

AdminCommand::AdminCommand(QString n, QString s, Run r)
    : name(std::move(n)), summary(std::move(s)), run(std::move(r)) {
  registry().push_back(this);
}

const std::vector<const AdminCommand*>& commands() { return registry(); }

void out(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

void err(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, bytes.size(), stderr);
}

int failure(const char* group, const QString& message) {
  err(QStringLiteral("doruzudo-admin %1: %2\n").arg(QString::fromLatin1(group), message));
  return 1;
}

int usageError(const char* group, const QString& problem, const char* help) {
  err(QStringLiteral("doruzudo-admin %1: %2\n%3")
          .arg(QString::fromLatin1(group), problem, QString::fromUtf8(help)));
  return 2;
}

}  // namespace doruzudo::admin

namespace {

void usage() {
  using namespace doruzudo::admin;
  QString text = QStringLiteral(
      "Usage: doruzudo-admin COMMAND [ARGS...]\n"
      "Administration of the Doruzudo dialer.\n\nCommands:\n");
  auto list = commands();
  std::sort(list.begin(), list.end(), [](auto* a, auto* b) { return a->name < b->name; });
  for (const auto* c : list) text += QStringLiteral("  %1  %2\n").arg(c->name, -10).arg(c->summary);
  text += QStringLiteral(
      "\nRun 'doruzudo-admin COMMAND --help' for a command's own options.\n"
      "The settings store is $DORUZUDO_SETTINGS, else ~/.config/VantorDoruzudo/settings.db.\n");
  out(text);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace doruzudo::admin;
  // Reports render text, which needs a GUI application; offscreen needs no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  doruzudo::prepareProcessEnvironment();
  QGuiApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("doruzudo-admin"));
  QCoreApplication::setApplicationVersion(QStringLiteral(DORUZUDO_VERSION));
  QStringList args = app.arguments().mid(1);
  if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h") ||
      args[0] == QLatin1String("help")) {
    usage();
    return args.isEmpty() ? 2 : 0;
  }
  if (args[0] == QLatin1String("--version")) {
    out(QStringLiteral("doruzudo-admin %1\n").arg(QStringLiteral(DORUZUDO_VERSION)));
    return 0;
  }
  for (const auto* c : commands()) {
    if (c->name == args[0]) return c->run(args.mid(1));
  }
  err(QStringLiteral("doruzudo-admin: unknown command '%1' (see --help)\n").arg(args[0]));
  return 2;
}
