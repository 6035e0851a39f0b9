// The whole dialer against the virtual exchange, in virtual time: every
// number of a campaign ends in its result table once, with the result the
// exchange's record of the call calls for, also when the database, a line
// unit and the recordings' disk fail on the way.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <functional>
#include <map>
#include <set>

#include "common/call_database.h"
#include "common/manual_scheduler.h"
#include "common/reg_file.h"
#include "dialer/campaigns/campaign_generator.h"
#include "dialer/engine/engine.h"
#include "dialer/line/channel_audio_sim.h"
#include "dialer/line/line_port_sim.h"
#include "dialer/shell/dialer_app.h"
#include "sim/classification.h"
#include "sim/database_faults.h"
#include "sim/virtual_exchange.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

const QString kCampaign = QStringLiteral("ENSAIO");

class Rehearsal : public ::testing::Test {
 protected:
  void SetUp() override {
    store = testing::makeStore(dir);
    ASSERT_TRUE(importRegFile(*store, DORUZUDO_SOURCE_DIR "/share/defaults.reg").ok());
    writeSetting(*store, SettingsStore::kConfigKey, "PathBD", dbFolder());
    for (int n = 1; n <= kChannelCount; ++n) setChannel("Tentativa", n, "1");
  }

  QString dbFolder() const { return dir.path() + "/home/Doruzudo/Dados"; }
  void setChannel(const char* name, int n, const QString& value) {
    writeSetting(*store, SettingsStore::kConfigKey, channelValue(name, n), value);
  }

  // `count` numbers whose behaviours go by the digit after 1130 (see
  // share/demo/scenario.txt), without the mix, on all eight channels.
  void createCampaign(int count) {
    for (int i = 0; i < count; ++i) {
      numbers << QString("1130%1%2").arg(QString("0123457").at(i % 7)).arg(i, 5, 10, QChar('0'));
    }
    testing::writeFile(dir.file("numbers.txt"), numbers.join('\n').toUtf8());
    QDir().mkpath(dbFolder());
    auto db = CallDatabase::open(dbFolder());
    ASSERT_TRUE(db.ok());
    CampaignGenerator generator((*db).get(),
                                [&](int n, const QString& name) { setChannel("Campanha", n, name); });
    CampaignRequest request{dir.file("numbers.txt"), kCampaign, {}};
    request.channels.fill(true);
    ASSERT_EQ(generator.generate(request, QDate(2026, 3, 25)).kind,
              CampaignOutcome::Kind::Generated);
  }

  // Starts the dialer on the demo scenario and runs it until every channel has
  // stopped; `each` runs before every step with the virtual time elapsed.
  void run(const std::function<void(int64_t elapsedMs)>& each = {}) {
    DialerApp::Options options;
    // The shipped sounds (digit tones, messages) are made into build/bin.
    options.folders = {QCoreApplication::applicationDirPath() + "/../bin/", dir.path() + "/home/",
                       dir.path() + "/autostart/"};
    options.simulateScenario = QString(DORUZUDO_SOURCE_DIR "/share/demo/scenario.txt");
    options.partySpeech = false;
    dialer = std::make_unique<DialerApp>(scheduler, *store, std::move(options));
    dialer->log().addObserver({[&](const QString& line) {
                                 logged << line;
                                 if (line.endsWith("Executanto nova tentativa de discagem na lista.")) {
                                   passStarts.push_back(scheduler.now());
                                 }
                               },
                               {}});
    ASSERT_TRUE(dialer->start());
    dialer->exchange()->setCallEnded([&](const sim::CallTruth& call) { calls.push_back(call); });
    while (!(dialer->engineStarted() && dialer->engine()->allStopped())) {
      if (each) each(scheduler.elapsedMs());
      const int64_t next = scheduler.msUntilNext();
      ASSERT_GE(next, 0);
      scheduler.advance(next);
      if (++steps % 64 == 0) QCoreApplication::processEvents();
      ASSERT_LT(scheduler.elapsedMs(), 4 * 3600 * 1000) << "the campaign did not finish";
    }
    // A call whose line never went on-hook (its unit was gone) is on record too.
    dialer->exchange()->endRun();
  }

  // Every number is in the result table once and nowhere else, with the
  // result its last call on the line calls for, and no number was dialed
  // twice in one pass over the list.
  void expectEveryNumberEndedOnceAsOnItsLine() {
    auto db = dialer->database().database();
    ASSERT_TRUE(db);
    EXPECT_TRUE(db->numbersOf(kCampaign)->empty()) << "none left behind";
    const auto rows = db->resultRows(kCampaign);
    ASSERT_TRUE(rows.ok());
    std::map<QString, int> seen;
    std::vector<sim::StoredResult> results;
    for (const ResultRow& row : *rows) {
      ++seen[row.telefone];
      results.push_back({row.telefone, row.status});
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(numbers.size()));
    for (const auto& [number, count] : seen) EXPECT_EQ(count, 1) << number.toStdString();

    const sim::ClassificationReport report = sim::classify(calls, results);
    EXPECT_EQ(report.withoutCall, 0);
    EXPECT_EQ(report.allRight(), numbers.size());
    for (const auto& m : report.mismatches) {
      ADD_FAILURE() << m.number.toStdString() << " on channel " << m.channel << ": "
                    << sim::outcomeName(m.outcome).toStdString() << ", stored "
                    << m.stored.toStdString();
    }

    for (const QString& number : sim::dialedTwiceInAPass(calls, passStarts)) {
      ADD_FAILURE() << number.toStdString() << " dialed twice in one pass";
    }
  }

  testing::TempDir dir;
  std::shared_ptr<SettingsStore> store;
  QStringList numbers;
  ManualScheduler scheduler{QDateTime(QDate(2026, 3, 25), QTime(9, 0))};
  std::unique_ptr<DialerApp> dialer;
  std::vector<sim::CallTruth> calls;
  std::vector<QDateTime> passStarts;
  QStringList logged;  // every log line (the dialer's own log drops old ones)
  int64_t steps = 0;
};

TEST_F(Rehearsal, EveryNumberEndsOnceWithTheResultOfWhatHappenedOnTheLine) {
  createCampaign(24);
  run();
  expectEveryNumberEndedOnceAsOnItsLine();
  dialer->stop();
}

// Database statements fail in bursts (from another connection, as another
// program holding the file would make them fail), the recordings' disk fills
// up now and then, and channel 7's unit is unplugged and plugged back: no
// number is lost, dialed twice in a pass or left in both tables, every result
// is what happened on the line, and every recording has its row.
TEST_F(Rehearsal, FailuresOnTheWayLoseNoNumberAndNoRecording) {
  createCampaign(160);
  for (int n : {2, 3, 8}) setChannel("Trans", n, "Disque Opnião");
  auto faults = sim::DatabaseFaults::install(dbFolder(), kCampaign);
  ASSERT_TRUE(faults.ok()) << faults.message().toStdString();

  bool diskFull = false;
  QString unplugged;
  run([&](int64_t now) {
    const int64_t minute = 60 * 1000;
    ASSERT_TRUE((*faults)->arm(now % (3 * minute) < 15000).ok());
    if (const bool full = now % (5 * minute) >= 2 * minute && now % (5 * minute) < 3 * minute;
        full != diskFull) {
      diskFull = full;
      for (int n = 1; n <= kChannelCount; ++n) dialer->simulatedAudio(n)->setDiskFull(full);
    }
    LinePortSim& lines = *dialer->simulatedLines();
    if (now >= 4 * minute && unplugged.isEmpty()) {
      unplugged = lines.unitStatus(7).path;
      lines.bus().unplug(unplugged);
    }
    if (now >= 6 * minute && lines.unitStatus(7).candidates == 1) lines.bus().plugUnit(7, unplugged);
  });
  ASSERT_TRUE((*faults)->arm(false).ok());
  EXPECT_GT((*faults)->bursts(), 5);
  expectEveryNumberEndedOnceAsOnItsLine();

  const QString log = logged.join('\n');
  // The faults were met on the way.
  EXPECT_TRUE(log.contains("Dispositivo do Canal 7 desconectado; discagem suspensa."));
  EXPECT_GT(log.count("Erro ao selecionar lista de discagem."), 0) << "a claim failed";
  EXPECT_GT(log.count("Erro ao copiar registro no banco de dados."), 0) << "a move failed";
  EXPECT_GT(log.count("Erro no stream do canal"), 0) << "a recording met the full disk";
  auto db = dialer->database().database();
  std::set<QString> rowFiles;
  const auto recordings = db->allRecordings();
  ASSERT_TRUE(recordings.ok());
  for (const RecordingRow& row : *recordings) {
    EXPECT_TRUE(QFile::exists(row.path)) << row.path.toStdString();
    rowFiles.insert(row.path);
  }
  EXPECT_GT(rowFiles.size(), 5u);
  QDirIterator files(dir.path() + "/home/Gravações", QDir::Files, QDirIterator::Subdirectories);
  while (files.hasNext()) {
    const QString file = files.next();
    EXPECT_TRUE(rowFiles.count(file)) << file.toStdString() << " has no row";
  }
  dialer->stop();
}

}  // namespace
}  // namespace doruzudo
