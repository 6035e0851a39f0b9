// doruzudo: the eight-line dialer.
//
// Runs the start-up sequence and the engine on the Qt event loop. With
// --headless there is no window: every event-log line goes to standard output
// and SIGINT or SIGTERM shut the dialer down.
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>

#include "common/process_env.h"
#include "common/qt_scheduler.h"
#include "common/settings_store.h"
#include "dialer/shell/dialer_app.h"
#include "dialer/shell/single_instance.h"

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

void print(FILE* stream, const QString& text) {
  const QByteArray bytes = text.toUtf8() + '\n';
  std::fwrite(bytes.constData(), 1, bytes.size(), stream);
  std::fflush(stream);
}

const char* kHelp =
    "Usage: doruzudo [--headless] [--help] [--version]\n"
    "The Doruzudo eight-line automatic dialer.\n\n"
    "  --headless   run without a window; the event log goes to standard output;\n"
    "               SIGINT or SIGTERM end the dialer\n"
    "  --help       this text\n"
    "  --version    the version\n\n"
    "Settings: $DORUZUDO_SETTINGS, else ~/.config/VantorDoruzudo/settings.db\n"
    "(seed it with 'doruzudo-admin settings import share/defaults.reg').\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace doruzudo;
  bool headless = false;
  for (int i = 1; i < argc; ++i) {
    const QByteArray arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("doruzudo %s\n", DORUZUDO_VERSION);
      return 0;
    }
    if (arg == "--headless") {
      headless = true;
    } else {
      std::fprintf(stderr, "doruzudo: unknown option '%s' (see --help)\n", argv[i]);
      return 2;
    }
  }
  prepareProcessEnvironment();
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Quorix Doruzudo"));
  QCoreApplication::setApplicationVersion(QStringLiteral(DORUZUDO_VERSION));
  // The window is not part of this build yet: the dialer runs headless.
  headless = true;

  SingleInstance instance;
  if (instance.notifyRunning()) {
    if (headless) print(stderr, QStringLiteral("doruzudo: already running; asked it to show itself"));
    return headless ? 1 : 0;
  }
  if (!instance.listen([] {})) {
    print(stderr, QStringLiteral("doruzudo: cannot claim the instance socket %1").arg(instance.name()));
  }

  auto store = SettingsStore::openDefault();
  if (!store) {
    print(stderr, QStringLiteral("doruzudo: settings store: %1").arg(store.message()));
    return 1;
  }

  QtScheduler scheduler;
  DialerApp::Options options;
  options.folders = Folders::fromEnvironment();
  if (headless) options.logOutput = [](const QString& line) { print(stdout, line); };
  options.errorOutput = [](const QString& line) { print(stderr, line); };
  DialerApp dialer(scheduler, **store, std::move(options));

  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
  }
  QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });

  dialer.start();
  const int rc = app.exec();
  dialer.stop();
  return rc;
}
