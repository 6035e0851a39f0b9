#include "common/call_database.h"

#include <gtest/gtest.h>

#include <QDir>
#include <set>
#include <thread>

#include "tests/testing.h"

namespace doruzudo {
namespace {

using testing::TempDir;

std::shared_ptr<CallDatabase> openIn(const TempDir& dir) {
  auto db = CallDatabase::open(dir.path());
  EXPECT_TRUE(db.ok()) << db.message().toStdString();
  return db.ok() ? *db : nullptr;
}

class CallDatabaseTest : public ::testing::Test {
 protected:
  // A generated campaign: its row, its result table and its numbers.
  int64_t addCampaign(const QString& name, const QStringList& numbers,
                      QDate date = QDate(2026, 3, 25)) {
    int64_t id = 0;
    Status s = db->inTransaction([&]() -> Status {
      auto inserted = db->insertCampaign(name, date);
      if (!inserted) return inserted.status();
      id = *inserted;
      if (Status c = db->createResultTable(name); !c) return c;
      for (const QString& n : numbers) {
        if (Status i = db->insertNumber(n, name, id); !i) return i;
      }
      return Status::Ok();
    });
    EXPECT_TRUE(s.ok()) << s.message().toStdString();
    return id;
  }

  int64_t addRecording(const QString& ramal, QDate date, QTime time) {
    auto id = db->insertRecording({ramal, date, time, QStringLiteral("/g/x.wav"), 1});
    EXPECT_TRUE(id.ok()) << id.message().toStdString();
    return id.ok() ? *id : 0;
  }

  static std::vector<int64_t> ids(const Result<std::vector<RecordingRow>>& rows) {
    EXPECT_TRUE(rows.ok()) << rows.message().toStdString();
    std::vector<int64_t> out;
    if (rows.ok()) {
      for (const auto& r : *rows) out.push_back(r.id);
    }
    return out;
  }

  TempDir dir;
  std::shared_ptr<CallDatabase> db = openIn(dir);
};

TEST_F(CallDatabaseTest, CreatesVersionedSchemaWithTheAccentedKeyAndReopens) {
  ASSERT_TRUE(db);
  EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("vantor.db"))));
  EXPECT_EQ(db->connection().userVersion(), CallDatabase::kSchemaVersion);
  auto st = db->connection().prepare("SELECT name FROM pragma_table_info('campanhas') LIMIT 1");
  ASSERT_TRUE(st.ok());
  ASSERT_TRUE(*st->step());
  EXPECT_EQ(st->text(0), QStringLiteral("código"));

  addCampaign(QStringLiteral("C1"), {QStringLiteral("123")});
  db.reset();
  auto again = CallDatabase::open(dir.path(), /*create=*/false);
  ASSERT_TRUE(again.ok()) << again.message().toStdString();
  EXPECT_EQ((*again)->numbersOf(QStringLiteral("C1"))->size(), 1u);
}

TEST_F(CallDatabaseTest, RefusesMissingFolderMissingFileAndNewerSchema) {
  EXPECT_FALSE(CallDatabase::open(dir.file(QStringLiteral("none"))).ok());
  TempDir empty;
  EXPECT_FALSE(CallDatabase::open(empty.path(), /*create=*/false).ok());
  EXPECT_FALSE(QFile::exists(empty.file(QStringLiteral("vantor.db"))));

  ASSERT_TRUE(db->connection().setUserVersion(CallDatabase::kSchemaVersion + 1).ok());
  db.reset();
  EXPECT_FALSE(CallDatabase::open(dir.path()).ok());
}

TEST(CallDatabaseNames, TableNameCheck) {
  const struct {
    const char* name;
    bool valid;
  } cases[] = {
      {"CLIENTES_SP_2", true},
      {"2024", true},
      {"_", true},
      {"", false},
      {"clientes", false},
      {"CLIENTES SP", false},
      {"A\"B", false},
      {"A;DROP", false},
      {"TELEFONES", false},
      {"CAMPANHAS", false},
      {"REGISTRO", false},
      {"SQLITE_MASTER", false},
      {"AÇÃO", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CallDatabase::isValidTableName(QString::fromUtf8(c.name)), c.valid) << c.name;
  }
}

TEST_F(CallDatabaseTest, ValuesWithQuotesAndSqlAreStoredLiterally) {
  const QString evil = QStringLiteral("O'Brien\"; DROP TABLE registro; --");
  addCampaign(QStringLiteral("C1"), {evil});
  auto rows = db->numbersOf(QStringLiteral("C1"));
  ASSERT_TRUE(rows.ok());
  ASSERT_EQ(rows->size(), 1u);
  EXPECT_EQ(rows->front().telefone, evil);
  ASSERT_TRUE(db->setNumberStatus(rows->front().codigo, evil).ok());
  EXPECT_EQ((*db->selectNumber(rows->front().codigo))->status, evil);

  const int64_t id = addRecording(evil, QDate(2026, 3, 25), QTime(9, 0));
  ASSERT_TRUE(db->completeRecording(id, evil, evil, QTime(9, 1)).ok());
  ASSERT_TRUE(db->setComment(id, evil).ok());
  const auto found = *db->recordingsByComment(QStringLiteral("'brien\"; drop"), HeardFilter::All);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].obs, evil);
  EXPECT_EQ(found[0].origem, evil);
  EXPECT_EQ(found[0].destino, evil);
  EXPECT_EQ(found[0].ramal, evil);
  EXPECT_TRUE(db->countUnheard().ok());  // registro is still there

  // Names reach SQL text only after the check.
  EXPECT_FALSE(db->moveNumber(QStringLiteral("C1\"; DROP TABLE telefones; --"), 1).ok());
  EXPECT_FALSE(db->resultRows(QStringLiteral("telefones")).ok());
  EXPECT_TRUE(db->numbersOf(QStringLiteral("C1")).ok());
}

TEST_F(CallDatabaseTest, PeriodSearchesIncludeBothEnds) {
  addCampaign(QStringLiteral("FEV"), {}, QDate(2026, 2, 28));
  addCampaign(QStringLiteral("PRIMEIRO"), {}, QDate(2026, 3, 1));
  addCampaign(QStringLiteral("ULTIMO"), {}, QDate(2026, 3, 31));
  addCampaign(QStringLiteral("ABR"), {}, QDate(2026, 4, 1));
  auto found = db->searchCampaigns(QDate(2026, 3, 1), QDate(2026, 3, 31));
  ASSERT_TRUE(found.ok());
  ASSERT_EQ(found->size(), 2u);
  EXPECT_EQ((*found)[0].name, QStringLiteral("PRIMEIRO"));
  EXPECT_EQ((*found)[0].date, QDate(2026, 3, 1));
  EXPECT_EQ((*found)[1].name, QStringLiteral("ULTIMO"));

  const QDate day(2026, 3, 25);
  const int64_t early = addRecording(QStringLiteral("CANAL 1"), day, QTime(7, 59, 59));
  const int64_t start = addRecording(QStringLiteral("CANAL 1"), day, QTime(8, 0, 0));
  const int64_t end = addRecording(QStringLiteral("CANAL 1"), day.addDays(1), QTime(8, 30, 59));
  const int64_t late = addRecording(QStringLiteral("CANAL 1"), day, QTime(8, 31, 0));
  const QTime from(8, 0, 0), to(8, 30, 59);
  EXPECT_EQ(ids(db->recordingsByTime(from, to, HeardFilter::All)),
            (std::vector<int64_t>{start, end}));
  EXPECT_EQ(ids(db->recordingsByDate(day, day, HeardFilter::All)),
            (std::vector<int64_t>{early, start, late}));
  EXPECT_EQ(ids(db->recordingsByDateAndTime(day, day, from, to, HeardFilter::All)),
            (std::vector<int64_t>{start}));
}

TEST_F(CallDatabaseTest, SearchesIgnoreCaseOfAccentedLettersAndTakeTextLiterally) {
  const QDate day(2026, 3, 25);
  const int64_t acao = addRecording(QStringLiteral("CANAL 1"), day, QTime(9, 0));
  const int64_t other = addRecording(QStringLiteral("CANAL 10"), day, QTime(9, 0));
  const int64_t inner = addRecording(QStringLiteral("O CANAL 1"), day, QTime(9, 0));
  ASSERT_TRUE(db->completeRecording(acao, {}, QStringLiteral("PROMOÇÃO_SP"), QTime(9, 1)).ok());
  ASSERT_TRUE(db->completeRecording(other, {}, QStringLiteral("100%_OK"), QTime(9, 1)).ok());
  ASSERT_TRUE(db->setComment(acao, QStringLiteral("CLIENTE PEDIU ATENÇÃO")).ok());

  EXPECT_EQ(ids(db->recordingsByCampaign(QStringLiteral("promoção"), HeardFilter::All)),
            std::vector<int64_t>{acao});
  EXPECT_EQ(ids(db->recordingsByComment(QStringLiteral("atenção"), HeardFilter::All)),
            std::vector<int64_t>{acao});
  EXPECT_EQ(ids(db->recordingsByCampaign(QStringLiteral("0%_"), HeardFilter::All)),
            std::vector<int64_t>{other});
  EXPECT_EQ(ids(db->recordingsByCampaign(QStringLiteral("%"), HeardFilter::All)),
            std::vector<int64_t>{other});
  EXPECT_EQ(ids(db->recordingsByChannelName(QStringLiteral("canal 1"), HeardFilter::All)),
            (std::vector<int64_t>{acao, other}));
  EXPECT_EQ(ids(db->allRecordings()), (std::vector<int64_t>{acao, other, inner}));
}

TEST_F(CallDatabaseTest, HeardFilterCountAndUpdates) {
  const QDate day(2026, 3, 25);
  const int64_t a = addRecording(QStringLiteral("CANAL 1"), day, QTime(9, 0));
  const int64_t b = addRecording(QStringLiteral("CANAL 2"), day, QTime(9, 5));
  EXPECT_EQ(*db->countUnheard(), 2);
  ASSERT_TRUE(db->markHeard(b).ok());
  EXPECT_EQ(*db->countUnheard(), 1);
  EXPECT_EQ(ids(db->recordingsByDate(day, day, HeardFilter::Unheard)), std::vector<int64_t>{a});
  EXPECT_EQ(ids(db->recordingsByDate(day, day, HeardFilter::Heard)), std::vector<int64_t>{b});
  EXPECT_EQ(ids(db->recordingsByChannelName(QStringLiteral("CANAL"), HeardFilter::Heard)),
            std::vector<int64_t>{b});

  const RecordingRow row = **db->recording(a);
  EXPECT_EQ(row.ouvida, QStringLiteral("Não"));
  EXPECT_EQ(row.nCanal, QStringLiteral("1"));
  EXPECT_EQ(row.dataIni, day);
  EXPECT_FALSE(row.dataFin.isValid());
  EXPECT_FALSE(row.horaFin.isValid());
  EXPECT_FALSE(db->setComment(9999, QStringLiteral("X")).ok());
  EXPECT_FALSE(db->markHeard(9999).ok());
  EXPECT_FALSE(db->completeRecording(9999, {}, {}, QTime(9, 0)).ok());
}

TEST_F(CallDatabaseTest, RecordingIdIsTheRowJustInsertedWhateverOtherConnectionsDo) {
  auto player = openIn(dir);
  const int64_t mine = addRecording(QStringLiteral("CANAL 1"), QDate(2026, 3, 25), QTime(9, 0));
  auto theirs = player->insertRecording(
      {QStringLiteral("CANAL 2"), QDate(2026, 3, 25), QTime(9, 0), QStringLiteral("/g/y.wav"), 2});
  ASSERT_TRUE(theirs.ok());
  EXPECT_NE(mine, *theirs);
  ASSERT_TRUE(
      db->completeRecording(mine, QStringLiteral("5511"), QStringLiteral("C1"), QTime(9, 2)).ok());
  EXPECT_EQ((*db->recording(mine))->destino, QStringLiteral("5511"));
  EXPECT_TRUE((*db->recording(*theirs))->destino.isEmpty());
}

TEST_F(CallDatabaseTest, ClaimTakesFirstFreeRowOnceAndNewPassStartsOver) {
  addCampaign(QStringLiteral("C1"), {QStringLiteral("1"), QStringLiteral("2")});
  addCampaign(QStringLiteral("C2"), {QStringLiteral("9")});
  auto first = db->claimNextNumber(QStringLiteral("c1"));  // names ignore case
  ASSERT_TRUE(first.ok() && first->has_value());
  EXPECT_EQ((*first)->telefone, QStringLiteral("1"));
  EXPECT_EQ((*first)->busy, QStringLiteral("SIM"));
  EXPECT_EQ((*first)->attempts(), 0);
  EXPECT_EQ((*db->selectNextNumber(QStringLiteral("C1")))->telefone, QStringLiteral("2"));
  EXPECT_EQ((*db->claimNextNumber(QStringLiteral("C1")))->telefone, QStringLiteral("2"));
  EXPECT_FALSE(db->claimNextNumber(QStringLiteral("C1"))->has_value());
  EXPECT_EQ(*db->startNewPass(QStringLiteral("C1"), {(*first)->codigo}), 1) << "1 is kept taken";
  EXPECT_EQ((*db->claimNextNumber(QStringLiteral("C1")))->telefone, QStringLiteral("2"));
  EXPECT_EQ(*db->startNewPass(QStringLiteral("C1")), 2);
  EXPECT_EQ((*db->claimNextNumber(QStringLiteral("C1")))->telefone, QStringLiteral("1"));
  ASSERT_TRUE(db->releaseNumber((*first)->codigo).ok());
  EXPECT_EQ((*db->claimNextNumber(QStringLiteral("C1")))->telefone, QStringLiteral("1"));
  EXPECT_EQ((*db->claimNextNumber(QStringLiteral("C2")))->telefone, QStringLiteral("9"));
}

TEST_F(CallDatabaseTest, TwoProcessesClaimingAtOnceNeverTakeOneRowTwice) {
  QStringList numbers;
  for (int i = 0; i < 600; ++i) numbers << QString::number(i);
  addCampaign(QStringLiteral("C1"), numbers);
  std::vector<int64_t> taken[2];
  Status failure[2];
  auto claimAll = [&](int who) {
    auto own = CallDatabase::open(dir.path());  // a connection of its own, as a process has
    if (!own) {
      failure[who] = own.status();
      return;
    }
    for (;;) {
      auto row = (*own)->claimNextNumber(QStringLiteral("C1"));
      if (!row) {
        failure[who] = row.status();
        return;
      }
      if (!row->has_value()) return;
      taken[who].push_back((*row)->codigo);
    }
  };
  std::thread a(claimAll, 0), b(claimAll, 1);
  a.join();
  b.join();
  EXPECT_TRUE(failure[0].ok()) << failure[0].message().toStdString();
  EXPECT_TRUE(failure[1].ok()) << failure[1].message().toStdString();
  std::set<int64_t> all(taken[0].begin(), taken[0].end());
  all.insert(taken[1].begin(), taken[1].end());
  EXPECT_EQ(taken[0].size() + taken[1].size(), 600u);
  EXPECT_EQ(all.size(), 600u);
}

TEST_F(CallDatabaseTest, MoveCopiesTheLastAttemptAndDeletesTheRow) {
  addCampaign(QStringLiteral("C1"), {QStringLiteral("5511")});
  const PhoneRow row = **db->claimNextNumber(QStringLiteral("C1"));
  ASSERT_TRUE(db->countAttempt(row.codigo, 3, QDate(2026, 3, 25), QTime(14, 7, 9)).ok());
  ASSERT_TRUE(db->setNumberStatus(row.codigo, calldb::kStatusAnswered).ok());
  ASSERT_TRUE(db->moveNumber(QStringLiteral("C1"), row.codigo).ok());
  ASSERT_TRUE(db->setOption(QStringLiteral("C1"), row.codigo, QStringLiteral("Sim")).ok());

  EXPECT_FALSE(db->selectNumber(row.codigo)->has_value());
  const auto moved = *db->resultRows(QStringLiteral("C1"));
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(moved[0].codigo, row.codigo);
  EXPECT_EQ(moved[0].telefone, QStringLiteral("5511"));
  EXPECT_EQ(moved[0].tentativas, 3);
  EXPECT_EQ(moved[0].data, QDate(2026, 3, 25));
  EXPECT_EQ(moved[0].hora, QTime(14, 7, 9));
  EXPECT_EQ(moved[0].status, calldb::kStatusAnswered);
  EXPECT_EQ(moved[0].opcao1, QStringLiteral("Sim"));
  EXPECT_FALSE(db->moveNumber(QStringLiteral("C1"), row.codigo).ok());  // gone
  EXPECT_EQ(db->resultRows(QStringLiteral("C1"))->size(), 1u);
}

TEST_F(CallDatabaseTest, FailedMoveLeavesTheNumberInExactlyOneTable) {
  addCampaign(QStringLiteral("C1"), {QStringLiteral("1")});
  addCampaign(QStringLiteral("C2"), {QStringLiteral("2")});
  const int64_t one = (*db->numbersOf(QStringLiteral("C1")))[0].codigo;
  const int64_t two = (*db->numbersOf(QStringLiteral("C2")))[0].codigo;

  // The insert fails: the result table is gone.
  ASSERT_TRUE(db->connection().exec("DROP TABLE \"C1\"").ok());
  EXPECT_FALSE(db->moveNumber(QStringLiteral("C1"), one).ok());
  EXPECT_TRUE(db->selectNumber(one)->has_value());

  // The delete fails after the insert: the insert is undone.
  ASSERT_TRUE(db->connection()
                  .exec("CREATE TRIGGER no_delete BEFORE DELETE ON telefones "
                        "BEGIN SELECT RAISE(ABORT, 'disk full'); END")
                  .ok());
  EXPECT_FALSE(db->moveNumber(QStringLiteral("C2"), two).ok());
  EXPECT_TRUE(db->selectNumber(two)->has_value());
  EXPECT_TRUE(db->resultRows(QStringLiteral("C2"))->empty());
}

TEST_F(CallDatabaseTest, StatusTotalsCountEachStatusAndUnsetAsZero) {
  addCampaign(QStringLiteral("C1"),
              {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
  const auto rows = *db->numbersOf(QStringLiteral("C1"));
  ASSERT_TRUE(db->setNumberStatus(rows[0].codigo, calldb::kStatusBusy).ok());
  ASSERT_TRUE(db->setNumberStatus(rows[1].codigo, calldb::kStatusBusy).ok());
  ASSERT_TRUE(db->setNumberStatus(rows[2].codigo, calldb::kStatusAnswered).ok());
  for (const auto& r : rows) ASSERT_TRUE(db->moveNumber(QStringLiteral("C1"), r.codigo).ok());
  const auto totals = *db->statusTotals(QStringLiteral("C1"));
  ASSERT_EQ(totals.size(), 3u);
  EXPECT_EQ(totals[0].status, QString());
  EXPECT_EQ(totals[0].soma, 0);
  EXPECT_EQ(totals[1].status, calldb::kStatusAnswered);
  EXPECT_EQ(totals[1].soma, 1);
  EXPECT_EQ(totals[2].status, calldb::kStatusBusy);
  EXPECT_EQ(totals[2].soma, 2);
}

}  // namespace
}  // namespace doruzudo
