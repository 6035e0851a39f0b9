// bench-campaign: the whole dialer on eight simulated lines dialing a mixed
// campaign in virtual time, against what really happened on each line.
//
// Runs, one after the other:
//   - one campaign at each line-noise level (tones and speech at -15 dBm0),
//     printing the calls per stored result, the classification accuracy by
//     what happened on the line (targets: 99.5 % up to -40 dBm0 of noise,
//     98 % at -30 dBm0) and the speed as a multiple of real time (>= 500x);
//   - one long campaign with faults injected on purpose: database statements
//     failing in bursts, a line unit unplugged and plugged back, the
//     recordings' disk full for minutes at a time; it prints the numbers lost,
//     dialed twice in one pass, or left in both tables (target: none).
//
// Every channel runs another call mode, so answered calls go through every
// script: hang-up, recording, survey and contact keys, key 9, transfer.
//
// Usage: bench-campaign [--numbers N] [--fault-numbers N] [--noise LIST] [--seed S]
//                       [--tones PLAN]
//   LIST: noise levels in dBm0, comma-separated (default -60,-40,-30);
//   PLAN: the exchange's tone plan (default br, the one the dialer classifies).
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <set>

#include "common/call_database.h"
#include "common/manual_scheduler.h"
#include "common/reg_file.h"
#include "common/settings_store.h"
#include "dialer/campaigns/campaign_generator.h"
#include "dialer/engine/engine.h"
#include "dialer/line/channel_audio_sim.h"
#include "dialer/line/line_port_sim.h"
#include "dialer/shell/dialer_app.h"
#include "sim/classification.h"
#include "sim/database_faults.h"
#include "sim/virtual_exchange.h"

using namespace doruzudo;

namespace {

const QString kCampaign = QStringLiteral("BENCH");

// What the numbers of each kind do, by the digit after "114".
const char* const kKinds[] = {
    "busy",
    "ring",
    "noringback",
    "answer rings=2 keys=1",
    "answer rings=1 talk=silent",
    "answer rings=3 keys=9",
    "answer rings=2 keys=0 hangup=8",
    "answer rings=1 talk=2.5 hangup=3",
};

struct RunOptions {
  int numbers = 4000;
  double noise = -60;
  bool faults = false;
  uint64_t seed = 7;
  QString tones = QStringLiteral("br");
};

void setChannel(SettingsStore& store, const char* name, int n, const QString& value) {
  writeSetting(store, SettingsStore::kConfigKey, channelValue(name, n), value);
}

bool prepare(SettingsStore& store, const QString& dir, const RunOptions& run) {
  if (!importRegFile(store, DORUZUDO_SOURCE_DIR "/share/defaults.reg")) return false;
  const QString dbFolder = dir + "/home/Doruzudo/Dados";
  QDir().mkpath(dbFolder);
  writeSetting(store, SettingsStore::kConfigKey, "PathBD", dbFolder);
  // Channel by channel: the call mode after the message.
  const std::pair<int, QString> modes[] = {
      {1, "NÃO"}, {2, "Disque Opnião"}, {3, "PesqOpniao"}, {4, "Contato"},
      {5, "NoveC5"}, {6, "SIM"}, {7, "ConsBloqueioC7"}, {8, "Disque Opnião"}};
  for (const auto& [n, mode] : modes) {
    setChannel(store, "Trans", n, mode);
    setChannel(store, "Tentativa", n, "1");
    setChannel(store, "Ramal", n, n >= 5 && n <= 7 ? "2001" : "");
  }
  // The numbers, their kinds shuffled so that each line gets every kind.
  std::mt19937_64 random(run.seed);
  QStringList numbers;
  for (int i = 0; i < run.numbers; ++i) {
    numbers << QStringLiteral("114%1%2").arg(i % 8).arg(i, 6, 10, QChar('0'));
  }
  std::shuffle(numbers.begin(), numbers.end(), random);
  QFile list(dir + "/numbers.txt");
  if (!list.open(QIODevice::WriteOnly)) return false;
  list.write(numbers.join('\n').toUtf8());
  list.close();
  auto db = CallDatabase::open(dbFolder);
  if (!db) return false;
  CampaignGenerator generator((*db).get(), [&](int n, const QString& name) {
    setChannel(store, "Campanha", n, name);
  });
  CampaignRequest request{dir + "/numbers.txt", kCampaign, {}};
  request.channels.fill(true);
  if (generator.generate(request, QDate(2026, 3, 25)).kind != CampaignOutcome::Kind::Generated) {
    return false;
  }
  // The scenario.
  QStringList scenario = {"tones " + run.tones, QStringLiteral("noise %1").arg(run.noise), "level -15",
                          QStringLiteral("seed %1").arg(run.seed)};
  for (int k = 0; k < 8; ++k) scenario << QStringLiteral("114%1* %2").arg(k).arg(kKinds[k]);
  QFile file(dir + "/scenario.txt");
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(scenario.join('\n').toUtf8());
  return true;
}

int64_t minutes(double m) { return static_cast<int64_t>(m * 60 * 1000); }

struct Figures {
  double virtualSeconds = 0, wallSeconds = 0;
  bool finished = false;
  int calls = 0;
  std::map<QString, int> byStatus;
  sim::ClassificationReport classes;
  int lost = 0, twice = 0, both = 0, left = 0, storedTwice = 0;
  int recordings = 0, recordingFiles = 0, filesWithoutRow = 0, errorLines = 0;
  int dbBursts = 0, diskFullSpells = 0;
};

Figures runCampaign(const RunOptions& run) {
  Figures f;
  QTemporaryDir dir;
  const QString home = dir.path() + "/home/";
  auto store = SettingsStore::open(dir.filePath("settings.db"));
  if (!store || !prepare(**store, dir.path(), run)) {
    std::fprintf(stderr, "bench-campaign: cannot prepare the campaign\n");
    std::exit(1);
  }
  ManualScheduler scheduler(QDateTime(QDate(2026, 3, 25), QTime(8, 0)));
  DialerApp::Options options;
  options.folders = {QCoreApplication::applicationDirPath() + "/", home, dir.path() + "/autostart/"};
  options.simulateScenario = dir.filePath("scenario.txt");
  options.partySpeech = false;
  DialerApp dialer(scheduler, **store, std::move(options));

  std::vector<QDateTime> passStarts;
  std::vector<sim::CallTruth> calls;
  dialer.log().addObserver({[&](const QString& line) {
                              if (line.endsWith("Executanto nova tentativa de discagem na lista.")) {
                                passStarts.push_back(scheduler.now());
                              }
                              if (line.contains(" - Erro")) ++f.errorLines;
                            },
                            {}});
  std::unique_ptr<sim::DatabaseFaults> dbFaults;
  if (run.faults) {
    auto installed = sim::DatabaseFaults::install(home + "Doruzudo/Dados", kCampaign);
    if (!installed) {
      std::fprintf(stderr, "bench-campaign: %s\n", qPrintable(installed.message()));
      std::exit(1);
    }
    dbFaults = std::move(*installed);
  }
  if (!dialer.start()) std::exit(1);
  dialer.exchange()->setCallEnded([&](const sim::CallTruth& call) { calls.push_back(call); });

  const int64_t cap = minutes(72 * 60);
  QString unplugged;
  bool diskFull = false;
  const auto begin = std::chrono::steady_clock::now();
  for (int64_t step = 0;; ++step) {
    if (dialer.engineStarted() && dialer.engine()->allStopped()) {
      f.finished = true;
      break;
    }
    const int64_t now = scheduler.elapsedMs();
    if (now >= cap) break;
    if (run.faults) {
      // Database statements fail 20 s in every 7 minutes.
      (void)dbFaults->arm(now % minutes(7) < 20000);
      // The recordings' disk is full 90 s in every 11 minutes.
      const bool full = now % minutes(11) >= minutes(5) && now % minutes(11) < minutes(6.5);
      if (full != diskFull) {
        diskFull = full;
        f.diskFullSpells += full;
        for (int n = 1; n <= kChannelCount; ++n) dialer.simulatedAudio(n)->setDiskFull(full);
      }
      // Channel 7's unit is unplugged after an hour and plugged back ten minutes later.
      LinePortSim& lines = *dialer.simulatedLines();
      if (now >= minutes(60) && unplugged.isEmpty()) {
        unplugged = lines.unitStatus(7).path;
        lines.bus().unplug(unplugged);
      }
      if (now >= minutes(70) && !unplugged.isEmpty() && !lines.unitStatus(7).plugged &&
          lines.unitStatus(7).candidates == 1) {
        lines.bus().plugUnit(7, unplugged);
        lines.rebindDevices();
      }
    }
    const int64_t next = scheduler.msUntilNext();
    if (next < 0) break;
    scheduler.advance(next);
    if (step % 64 == 0) QCoreApplication::processEvents();
    if (step % 200000 == 0) {
      std::fprintf(stderr, "\r  %d of %d numbers called, %.1f virtual hours ", int(calls.size()),
                   run.numbers, scheduler.elapsedMs() / 3600000.0);
    }
  }
  std::fprintf(stderr, "\r%60s\r", "");
  f.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  f.virtualSeconds = scheduler.elapsedMs() / 1000.0;
  if (dbFaults) {
    (void)dbFaults->arm(false);
    f.dbBursts = dbFaults->bursts();
  }
  dialer.exchange()->endRun();
  f.calls = static_cast<int>(calls.size());

  // The numbers: each in exactly one table, each dialed at most once a pass.
  auto db = dialer.database().database();
  const auto rows = db->resultRows(kCampaign);
  const auto remaining = db->numbersOf(kCampaign);
  if (!rows || !remaining) std::exit(1);
  std::map<QString, int> stored;
  for (const ResultRow& row : *rows) ++stored[row.telefone];
  std::set<QString> inList;
  for (const PhoneRow& row : *remaining) inList.insert(row.telefone);
  for (int i = 0; i < run.numbers; ++i) {
    const QString number = QStringLiteral("114%1%2").arg(i % 8).arg(i, 6, 10, QChar('0'));
    const bool listed = inList.count(number) > 0;
    const int results = stored.count(number) ? stored[number] : 0;
    if (!listed && results == 0) ++f.lost;
    if (listed && results > 0) ++f.both;
    if (listed) ++f.left;
    if (results > 1) ++f.storedTwice;
  }
  f.twice = static_cast<int>(sim::dialedTwiceInAPass(calls, passStarts).size());

  // Accuracy: each stored result against the last call of its number.
  std::vector<sim::StoredResult> results;
  for (const ResultRow& row : *rows) {
    ++f.byStatus[row.status.isEmpty() ? QStringLiteral("(none)") : row.status];
    results.push_back({row.telefone, row.status});
  }
  f.classes = sim::classify(calls, results);
  std::set<QString> rowPaths;
  if (auto recs = db->allRecordings()) {
    f.recordings = static_cast<int>(recs->size());
    for (const RecordingRow& r : *recs) {
      f.recordingFiles += QFile::exists(r.path);
      rowPaths.insert(r.path);
    }
  }
  QDirIterator files(home + "Gravações", QDir::Files, QDirIterator::Subdirectories);
  while (files.hasNext()) f.filesWithoutRow += rowPaths.count(files.next()) == 0;
  dialer.stop();
  return f;
}

void print(const RunOptions& run, const Figures& f) {
  std::printf("\n%s: %d numbers on 8 lines, noise %.0f dBm0, tones (plan %s) -15 dBm0\n",
              run.faults ? "With faults injected" : "Campaign", run.numbers, run.noise,
              qPrintable(run.tones));
  std::printf("  %.2f virtual hours in %.1f s: %.0fx real time (target >= 500x)%s\n",
              f.virtualSeconds / 3600, f.wallSeconds, f.virtualSeconds / f.wallSeconds,
              f.finished ? "" : "  [NOT FINISHED]");
  std::printf("  calls on the lines: %d\n", f.calls);
  for (const auto& [status, count] : f.byStatus) {
    std::printf("    %s %6d\n", qPrintable(status.leftJustified(24)), count);
  }
  const double target = run.noise <= -40 ? 99.5 : 98.0;
  std::printf("  classification by what happened on the line (target >= %.1f %%):\n", target);
  const sim::ClassificationReport& c = f.classes;
  for (int o = 0; o < sim::kLineOutcomes; ++o) {
    if (c.total[o] == 0) continue;
    const auto outcome = static_cast<sim::LineOutcome>(o);
    const double pct = 100.0 * c.right[o] / c.total[o];
    std::printf("    %s -> %s %5d/%-5d %6.2f %%%s\n", qPrintable(sim::outcomeName(outcome).leftJustified(30)),
                qPrintable(sim::expectedStatus(outcome).leftJustified(20)), c.right[o], c.total[o], pct,
                pct < target ? "  BELOW TARGET" : "");
  }
  std::map<std::pair<QString, QString>, int> confusions;
  for (const auto& m : c.mismatches) {
    ++confusions[{sim::outcomeName(m.outcome), m.stored.isEmpty() ? QStringLiteral("(none)") : m.stored}];
  }
  for (const auto& [what, count] : confusions) {
    std::printf("      %s stored as %s: %d\n", qPrintable(what.first), qPrintable(what.second), count);
  }
  if (c.withoutCall) std::printf("    stored without a completed call on the line: %d\n", c.withoutCall);
  std::printf("  recordings: %d rows, %d of them with their file; %d files without a row\n",
              f.recordings, f.recordingFiles, f.filesWithoutRow);
  if (run.faults) {
    std::printf("  injected: %d database failure bursts, %d full-disk spells, channel 7 unplugged"
                " and plugged back; %d error lines logged\n",
                f.dbBursts, f.diskFullSpells, f.errorLines);
  }
  std::printf("  numbers lost: %d, dialed twice in one pass: %d, in both tables: %d, stored twice: "
              "%d, left undialed: %d (target: 0 each)\n",
              f.lost, f.twice, f.both, f.storedTwice, f.left);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QCoreApplication app(argc, argv);
  RunOptions base;
  int faultNumbers = 10000;
  QStringList noise = {"-60", "-40", "-30"};
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString value = i + 1 < args.size() ? args[i + 1] : QString();
    if (args[i] == "--help" || args[i] == "-h") {
      std::printf("Usage: bench-campaign [--numbers N] [--fault-numbers N] [--noise LIST] [--seed S]\n"
                  "                      [--tones PLAN]\n"
                  "Dials a mixed campaign on eight simulated lines at each noise level, then a\n"
                  "long one with faults injected, and prints accuracy, losses and speed.\n");
      return 0;
    }
    if (args[i] == "--numbers") base.numbers = value.toInt(), ++i;
    else if (args[i] == "--fault-numbers") faultNumbers = value.toInt(), ++i;
    else if (args[i] == "--noise") noise = value.split(',', Qt::SkipEmptyParts), ++i;
    else if (args[i] == "--seed") base.seed = value.toULongLong(), ++i;
    else if (args[i] == "--tones") base.tones = value, ++i;
    else {
      std::fprintf(stderr, "bench-campaign: unknown argument %s (see --help)\n", qPrintable(args[i]));
      return 2;
    }
  }
  for (const QString& level : noise) {
    RunOptions run = base;
    run.noise = level.toDouble();
    print(run, runCampaign(run));
  }
  if (faultNumbers > 0) {
    RunOptions run = base;
    run.numbers = faultNumbers;
    run.noise = -40;
    run.faults = true;
    print(run, runCampaign(run));
  }
  return 0;
}
