#include "dialer/campaigns/database_connection.h"

#include <gtest/gtest.h>

#include "common/manual_scheduler.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

const QString kConnected = QStringLiteral("Conectado ao banco de dados.");
const QString kNotConnected = QStringLiteral("Não foi possível se conectar ao banco de dados.");
const QString kNoCount = QStringLiteral("Não foi possível carregar gravações não ouvidas.");

class DatabaseConnectionTest : public ::testing::Test {
 protected:
  DatabaseConnectionTest() {
    scheduler.setErrorSink(
        [this](const QString& handler, const std::exception*) { errors << handler; });
    connection.setUnheardCaption([this](const QString& text) { caption = text; });
  }

  // Log lines without their time stamps.
  QStringList messages() const {
    QStringList out;
    for (const QString& line : log.lines()) out << line.section(QStringLiteral(" - "), 2);
    return out;
  }

  void addUnheard(int count) {
    auto db = CallDatabase::open(dir.path());
    ASSERT_TRUE(db.ok());
    for (int i = 0; i < count; ++i) {
      ASSERT_TRUE((*db)
                      ->insertRecording({QStringLiteral("CANAL 1"), QDate(2026, 3, 25), QTime(9, 0),
                                         QStringLiteral("/g/a.wav"), 1})
                      .ok());
    }
  }

  testing::TempDir dir;
  ManualScheduler scheduler;
  EventLog log{scheduler};
  DatabaseConnection connection{scheduler, log};
  QString caption = QStringLiteral("(none)");
  QStringList errors;
};

TEST_F(DatabaseConnectionTest, StartUpConnectsCountsAndRefreshesEveryFiveSeconds) {
  addUnheard(2);
  connection.startUp(dir.path());
  EXPECT_EQ(messages(), QStringList{kConnected});
  EXPECT_EQ(caption, QStringLiteral("2 não ouvidas."));
  addUnheard(1);
  scheduler.advance(4999);
  EXPECT_EQ(caption, QStringLiteral("2 não ouvidas."));
  scheduler.advance(1);
  EXPECT_EQ(caption, QStringLiteral("3 não ouvidas."));

  // The same entry used for a folder change only reconnects.
  connection.startUp(dir.path());
  scheduler.advance(250);
  EXPECT_EQ(messages(), (QStringList{kConnected, kConnected}));
  scheduler.advance(4750);
  ASSERT_TRUE(connection.database()->markHeard(1).ok());
  scheduler.advance(5000);
  EXPECT_EQ(caption, QStringLiteral("2 não ouvidas."));
}

TEST_F(DatabaseConnectionTest, MissingFolderLogsBothFailuresAndLeavesCaption) {
  connection.startUp(dir.file(QStringLiteral("missing")));
  EXPECT_EQ(messages(), (QStringList{kNotConnected, kNoCount}));
  EXPECT_FALSE(connection.connected());
  EXPECT_EQ(caption, QStringLiteral("(none)"));
  // The refresh fails quietly to the error handler and keeps running.
  scheduler.advance(10000);
  EXPECT_EQ(errors, (QStringList{QStringLiteral("tMensagens"), QStringLiteral("tMensagens")}));
  EXPECT_EQ(messages().size(), 2);
}

TEST_F(DatabaseConnectionTest, FolderChangeClosesWaits250MsThenOpens) {
  testing::TempDir other;
  bool first = false;
  connection.connect(dir.path(), [&](bool ok) { first = ok; });
  EXPECT_TRUE(first);  // the start-up connection is made at once

  std::optional<bool> second;
  connection.connect(other.path(), [&](bool ok) { second = ok; });
  EXPECT_FALSE(connection.connected());
  scheduler.advance(249);
  EXPECT_FALSE(second.has_value());
  EXPECT_FALSE(connection.connected());
  scheduler.advance(1);
  ASSERT_EQ(second, true);
  EXPECT_EQ(connection.database()->file(), CallDatabase::filePath(other.path()));
  EXPECT_EQ(messages(), (QStringList{kConnected, kConnected}));

  // A change while a reconnection waits replaces it.
  std::optional<bool> dropped, last;
  connection.connect(dir.path(), [&](bool ok) { dropped = ok; });
  scheduler.advance(100);
  connection.connect(dir.file(QStringLiteral("missing")), [&](bool ok) { last = ok; });
  scheduler.advance(250);
  EXPECT_FALSE(dropped.has_value());
  EXPECT_EQ(last, false);
  EXPECT_EQ(messages().last(), kNotConnected);
  EXPECT_EQ(messages().size(), 3);
}

}  // namespace
}  // namespace doruzudo
