// bench-exchange: the whole dialer on eight simulated lines in virtual time,
// as fast as the processor goes. Prints how many times faster than real time
// an hour of eight-line dialing runs (target: at least 500x, an hour in
// 7.2 s), and the calls placed.
//
// Usage: bench-exchange [--minutes M] [--numbers N]
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <ctime>
#include <cstdio>

#include "common/call_database.h"
#include "common/manual_scheduler.h"
#include "common/reg_file.h"
#include "common/settings_store.h"
#include "dialer/campaigns/campaign_generator.h"
#include "dialer/shell/dialer_app.h"
#include "sim/virtual_exchange.h"

using namespace doruzudo;

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QCoreApplication app(argc, argv);
  int minutes = 60;
  int numbers = 3000;
  const QStringList args = app.arguments();
  for (int i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == "--minutes") minutes = args[i + 1].toInt();
    if (args[i] == "--numbers") numbers = args[i + 1].toInt();
  }
  QTemporaryDir dir;
  const QString home = dir.path() + "/home/";
  auto store = SettingsStore::open(dir.filePath("settings.db"));
  if (!store || !importRegFile(**store, DORUZUDO_SOURCE_DIR "/share/defaults.reg")) return 1;
  const QString dbFolder = home + "Doruzudo/Dados";
  QDir().mkpath(dbFolder);
  writeSetting(**store, SettingsStore::kConfigKey, "PathBD", dbFolder);
  {
    auto db = CallDatabase::open(dbFolder);
    if (!db) return 1;
    QStringList lines;
    for (int i = 0; i < numbers; ++i) lines << QString("1130%1%2").arg(i % 8).arg(i, 5, 10, QChar('0'));
    QFile f(dir.filePath("numbers.txt"));
    f.open(QIODevice::WriteOnly);
    f.write(lines.join('\n').toUtf8());
    f.close();
    CampaignGenerator generator((*db).get(), [&](int n, const QString& name) {
      writeSetting(**store, SettingsStore::kConfigKey, channelValue("Campanha", n), name);
    });
    CampaignRequest request{dir.filePath("numbers.txt"), "BENCH", {}};
    request.channels.fill(true);
    generator.generate(request, QDate(2026, 3, 25));
  }
  ManualScheduler scheduler(QDateTime(QDate(2026, 3, 25), QTime(8, 0)));
  DialerApp::Options options;
  options.folders = {QCoreApplication::applicationDirPath() + "/", home, dir.path() + "/autostart/"};
  options.simulateScenario = QString(DORUZUDO_SOURCE_DIR "/share/demo/scenario.txt");
  options.partySpeech = false;
  DialerApp dialer(scheduler, **store, std::move(options));
  dialer.start();

  const auto begin = std::chrono::steady_clock::now();
  const std::clock_t cpuBegin = std::clock();
  const int64_t target = int64_t{minutes} * 60 * 1000;
  int64_t steps = 0;
  while (scheduler.elapsedMs() < target) {
    const int64_t next = scheduler.msUntilNext();
    if (next < 0) break;
    scheduler.advance(std::min(next, target - scheduler.elapsedMs()));
    if (++steps % 64 == 0) QCoreApplication::processEvents();
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  const double cpu = double(std::clock() - cpuBegin) / CLOCKS_PER_SEC;
  const double virtualSeconds = scheduler.elapsedMs() / 1000.0;
  const int calls = dialer.exchange() ? dialer.exchange()->callsEnded() : 0;
  std::printf("eight lines, %d min of dialing in %.2f s: %.0fx real time (target >= 500x)\n",
              minutes, wall, virtualSeconds / wall);
  std::printf("in processor time %.2f s: %.0fx (the rest is waiting for the disk's syncs and other work)\n",
              cpu, virtualSeconds / cpu);
  std::printf("calls ended on the simulated lines: %d (%.1f per line-hour)\n", calls,
              calls / (8.0 * virtualSeconds / 3600.0));
  dialer.stop();
  return 0;
}
