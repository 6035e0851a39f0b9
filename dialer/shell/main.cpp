// doruzudo: the eight-line dialer.
//
// Runs the start-up sequence and the engine on the Qt event loop. With
// --headless there is no window: every event-log line goes to standard output
// and SIGINT or SIGTERM shut the dialer down. With --simulate the virtual
// exchange plays the far end of every line; --speed=max then runs virtual
// time as fast as the processor allows.
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <optional>

#include "common/manual_scheduler.h"
#include "common/process_env.h"
#include "common/qt_scheduler.h"
#include "common/settings_store.h"
#include "common/text_forms.h"
#include "dialer/engine/engine.h"
#include "dialer/shell/dialer_app.h"
#include "dialer/shell/single_instance.h"
#include "sim/virtual_exchange.h"

namespace {

using namespace doruzudo;

int signalPipe[2] = {-1, -1};
std::atomic<bool> signalled{false};

void onSignal(int) {
  signalled = true;
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

void print(FILE* stream, const QString& text) {
  const QByteArray bytes = text.toUtf8() + '\n';
  std::fwrite(bytes.constData(), 1, bytes.size(), stream);
  std::fflush(stream);
}

const char* kHelp =
    "Usage: doruzudo [OPTIONS]\n"
    "The Doruzudo eight-line automatic dialer.\n\n"
    "  --headless            run without a window; the event log goes to standard\n"
    "                        output; SIGINT or SIGTERM end the dialer\n"
    "  --simulate[=FILE]     the virtual exchange plays the far end of every line,\n"
    "                        with the scenario FILE (default: share/demo/scenario.txt)\n"
    "  --truth=FILE          write the exchange's record of every call (JSON lines)\n"
    "  --speed=max           run virtual time as fast as the processor allows\n"
    "                        (with --simulate)\n"
    "  --until=HH:MM:SS      end the run at that time of day\n"
    "  --stop-when-done      end the run when every channel has stopped dialing\n"
    "  --quiet-parties       simulated parties babble instead of speaking\n"
    "  --help, --version\n\n"
    "Settings: $DORUZUDO_SETTINGS, else ~/.config/VantorDoruzudo/settings.db\n"
    "(seed it with 'doruzudo-admin settings import share/defaults.reg').\n";

struct Args {
  bool headless = false;
  std::optional<QString> simulate;
  QString truth;
  bool fast = false;
  std::optional<QTime> until;
  bool stopWhenDone = false;
  bool partySpeech = true;
};

// Parses the command line; returns an exit code when the program should end.
std::optional<int> parse(int argc, char** argv, Args& args) {
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    const QString value = arg.section(QLatin1Char('='), 1);
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("doruzudo %s\n", DORUZUDO_VERSION);
      return 0;
    }
    if (arg == "--headless") {
      args.headless = true;
    } else if (arg == "--simulate" || arg.startsWith("--simulate=")) {
      args.simulate = value;
    } else if (arg.startsWith("--truth=")) {
      args.truth = value;
    } else if (arg == "--speed=max") {
      args.fast = true;
    } else if (arg.startsWith("--until=")) {
      args.until = parseTime(value);
      if (!args.until) {
        print(stderr, QStringLiteral("doruzudo: --until takes HH:MM:SS, not '%1'").arg(value));
        return 2;
      }
    } else if (arg == "--stop-when-done") {
      args.stopWhenDone = true;
    } else if (arg == "--quiet-parties") {
      args.partySpeech = false;
    } else {
      print(stderr, QStringLiteral("doruzudo: unknown option '%1' (see --help)").arg(arg));
      return 2;
    }
  }
  if (args.fast && !args.simulate) {
    print(stderr, QStringLiteral("doruzudo: --speed=max needs --simulate"));
    return 2;
  }
  return std::nullopt;
}

bool finished(const Args& args, DialerApp& dialer, Scheduler& scheduler) {
  if (args.until && scheduler.timeOfDay() >= *args.until) return true;
  return args.stopWhenDone && dialer.engineStarted() && dialer.engine()->allStopped();
}

// Virtual time as fast as it goes: fire whatever is due next, let Qt deliver
// what worker threads sent, until the run is over.
int runFast(const Args& args, DialerApp& dialer, ManualScheduler& scheduler) {
  int64_t steps = 0;
  while (!signalled && !finished(args, dialer, scheduler)) {
    const int64_t next = scheduler.msUntilNext();
    if (next < 0) break;
    scheduler.advance(next);
    if (++steps % 64 == 0) QCoreApplication::processEvents();
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  if (const auto rc = parse(argc, argv, args)) return *rc;
  prepareProcessEnvironment();
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Quorix Doruzudo"));
  QCoreApplication::setApplicationVersion(QStringLiteral(DORUZUDO_VERSION));
  // The window is not part of this build yet: the dialer runs headless.
  args.headless = true;

  SingleInstance instance;
  if (instance.notifyRunning()) {
    print(stderr, QStringLiteral("doruzudo: already running; asked it to show itself"));
    return 1;
  }
  if (!instance.listen([] {})) {
    print(stderr, QStringLiteral("doruzudo: cannot claim the instance socket %1").arg(instance.name()));
  }

  auto store = SettingsStore::openDefault();
  if (!store) {
    print(stderr, QStringLiteral("doruzudo: settings store: %1").arg(store.message()));
    return 1;
  }

  QtScheduler realTime;
  std::unique_ptr<ManualScheduler> virtualTime;
  if (args.fast) virtualTime = std::make_unique<ManualScheduler>(realTime.now());
  Scheduler& scheduler = virtualTime ? static_cast<Scheduler&>(*virtualTime) : realTime;

  DialerApp::Options options;
  options.folders = Folders::fromEnvironment();
  options.simulateScenario = args.simulate;
  options.truthFile = args.truth;
  options.partySpeech = args.partySpeech;
  if (args.headless) options.logOutput = [](const QString& line) { print(stdout, line); };
  options.errorOutput = [](const QString& line) { print(stderr, line); };
  DialerApp dialer(scheduler, **store, std::move(options));
  if (!dialer.ok()) return 1;

  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
  }
  QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });

  dialer.start();
  int rc = 0;
  if (virtualTime) {
    rc = runFast(args, dialer, *virtualTime);
  } else {
    std::unique_ptr<Timer> watch;
    if (args.until || args.stopWhenDone) {
      watch = realTime.createTimer(QStringLiteral("fim"), 1000, [&] {
        if (finished(args, dialer, realTime)) QCoreApplication::quit();
      });
      watch->start();
    }
    rc = app.exec();
  }
  dialer.stop();
  if (dialer.exchange()) {
    print(stderr, QStringLiteral("doruzudo: %1 calls ended on the simulated lines")
                      .arg(dialer.exchange()->callsEnded()));
  }
  return rc;
}
