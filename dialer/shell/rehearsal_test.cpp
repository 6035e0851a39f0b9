// The whole dialer against the virtual exchange, in virtual time: every
// number of a campaign ends in its result table once, with the result the
// exchange's record of the call calls for.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <map>

#include "common/call_database.h"
#include "common/manual_scheduler.h"
#include "common/reg_file.h"
#include "dialer/campaigns/campaign_generator.h"
#include "dialer/engine/engine.h"
#include "dialer/shell/dialer_app.h"
#include "sim/classification.h"
#include "sim/virtual_exchange.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

TEST(Rehearsal, EveryNumberEndsOnceWithTheResultOfWhatHappenedOnTheLine) {
  testing::TempDir dir;
  auto store = testing::makeStore(dir);
  ASSERT_TRUE(importRegFile(*store, DORUZUDO_SOURCE_DIR "/share/defaults.reg").ok());
  const QString dbFolder = dir.path() + "/home/Doruzudo/Dados";
  writeSetting(*store, SettingsStore::kConfigKey, "PathBD", dbFolder);
  for (int n = 1; n <= kChannelCount; ++n) {
    writeSetting(*store, SettingsStore::kConfigKey, channelValue("Tentativa", n), "1");
  }
  // Behaviours by the digit after 1130 (see share/demo/scenario.txt); no mix.
  QStringList numbers;
  for (int i = 0; i < 24; ++i) numbers << QString("1130%1%2").arg(QString("0123457").at(i % 7)).arg(i, 5, 10, QChar('0'));
  testing::writeFile(dir.file("numbers.txt"), numbers.join('\n').toUtf8());
  {
    QDir().mkpath(dbFolder);
    auto db = CallDatabase::open(dbFolder);
    ASSERT_TRUE(db.ok());
    CampaignGenerator generator((*db).get(), [&](int n, const QString& name) {
      writeSetting(*store, SettingsStore::kConfigKey, channelValue("Campanha", n), name);
    });
    CampaignRequest request{dir.file("numbers.txt"), "ENSAIO", {}};
    request.channels.fill(true);
    ASSERT_EQ(generator.generate(request, QDate(2026, 3, 25)).kind, CampaignOutcome::Kind::Generated);
  }

  ManualScheduler scheduler(QDateTime(QDate(2026, 3, 25), QTime(9, 0)));
  DialerApp::Options options;
  // The shipped sounds (digit tones, messages) are made into build/bin.
  options.folders = {QCoreApplication::applicationDirPath() + "/../bin/", dir.path() + "/home/",
                     dir.path() + "/autostart/"};
  options.simulateScenario = QString(DORUZUDO_SOURCE_DIR "/share/demo/scenario.txt");
  options.partySpeech = false;
  DialerApp dialer(scheduler, *store, std::move(options));
  std::map<QString, sim::CallTruth> lastCall;
  ASSERT_TRUE(dialer.start());
  dialer.exchange()->setCallEnded([&](const sim::CallTruth& call) { lastCall[call.dialed] = call; });
  for (int step = 0; step < 2000000 && !(dialer.engineStarted() && dialer.engine()->allStopped()); ++step) {
    const int64_t next = scheduler.msUntilNext();
    ASSERT_GE(next, 0);
    scheduler.advance(next);
    if (step % 64 == 0) QCoreApplication::processEvents();
    ASSERT_LT(scheduler.elapsedMs(), 2 * 3600 * 1000) << "the campaign did not finish";
  }

  auto db = dialer.database().database();
  ASSERT_TRUE(db);
  EXPECT_TRUE(db->numbersOf("ENSAIO")->empty());  // none left behind
  const auto rows = db->resultRows("ENSAIO");
  ASSERT_TRUE(rows.ok());
  std::map<QString, int> seen;
  for (const ResultRow& row : *rows) {
    ++seen[row.telefone];
    ASSERT_TRUE(lastCall.count(row.telefone)) << row.telefone.toStdString();
    const sim::CallTruth& call = lastCall[row.telefone];
    const std::optional<sim::LineOutcome> outcome = sim::lineOutcome(call);
    ASSERT_TRUE(outcome) << row.telefone.toStdString() << " never completed";
    EXPECT_EQ(row.status, sim::expectedStatus(*outcome))
        << row.telefone.toStdString() << " on channel " << call.channel << ", "
        << call.behaviour.toStdString();
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(numbers.size()));
  for (const auto& [number, count] : seen) EXPECT_EQ(count, 1) << number.toStdString();
  dialer.stop();
}

}  // namespace
}  // namespace doruzudo
