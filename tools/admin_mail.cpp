// doruzudo-admin mail: the e-mail notices' account, tried from the command line.
#include <QEventLoop>

#include "common/event_log.h"
#include "common/qt_scheduler.h"
#include "common/settings_store.h"
#include "dialer/campaigns/mail_sender.h"
#include "tools/admin_command.h"

namespace doruzudo::admin {
namespace {

const char* kHelp =
    "Usage: doruzudo-admin mail test [--to ADDRESS]\n"
    "Sends the test message (\"Teste de Envio\") with the SMTP account stored in the\n"
    "settings (ServerSMTP, PortaSMTP, UserSMTP, SenhaSMTP, AuthSeguro, CertSMTP) to\n"
    "SendTo, and prints the outcome as the e-mail page shows it. A plain account is\n"
    "tried twice, a secure one once. Exit status 0 when the server took the message.\n\n"
    "  --to ADDRESS   send to ADDRESS instead of SendTo\n\n"
    "The settings store is $DORUZUDO_SETTINGS, else ~/.config/VantorDoruzudo/settings.db.\n";

int fail(const QString& message) { return failure("mail", message); }

int sendTest(QStringList args) {
  auto opened = SettingsStore::openDefault();
  if (!opened) return fail(opened.message());
  auto settings = readMailSettings(**opened);
  if (!settings) return fail(settings.message());
  if (const int i = args.indexOf(QStringLiteral("--to")); i >= 0) {
    if (i + 1 >= args.size()) return fail(QStringLiteral("--to needs an address"));
    settings->sendTo = args[i + 1];
  }
  if (parseRecipients(settings->sendTo).isEmpty()) {
    return fail(
        QStringLiteral("no e-mail address to send to (SendTo is '%1')").arg(settings->sendTo));
  }
  const MailAccount& a = settings->account;
  out(QStringLiteral("Sending the test message to %1 through %2:%3 (%4)...\n")
          .arg(parseRecipients(settings->sendTo).join(QStringLiteral(", ")), a.host)
          .arg(a.port)
          .arg(a.secure ? QStringLiteral("TLS") : QStringLiteral("plain, STARTTLS when offered")));

  QtScheduler scheduler;
  EventLog log(scheduler);
  MailSender sender(**opened, log, scheduler);
  QEventLoop loop;
  MailTestOutcome outcome;
  sender.sendTest(*settings, [&](const MailTestOutcome& o) {
    outcome = o;
    loop.quit();
  });
  loop.exec();
  for (const QString& message : outcome.messages) out(message + QLatin1Char('\n'));
  if (!outcome.sent) return fail(outcome.reason);
  return 0;
}

int run(const QStringList& args) {
  if (args.isEmpty() || args.contains(QStringLiteral("--help")) || args.contains("-h")) {
    out(QString::fromUtf8(kHelp));
    return args.isEmpty() ? 2 : 0;
  }
  if (args[0] == QLatin1String("test")) return sendTest(args.mid(1));
  return fail(QStringLiteral("unknown subcommand '%1' (see --help)").arg(args[0]));
}

const AdminCommand command(QStringLiteral("mail"),
                           QStringLiteral("send the test e-mail with the stored account"),
                           [](const QStringList& args) { return run(args); });

}  // namespace
}  // namespace doruzudo::admin
