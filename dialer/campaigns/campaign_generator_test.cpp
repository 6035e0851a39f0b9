#include "dialer/campaigns/campaign_generator.h"

#include <gtest/gtest.h>

#include "dialer/campaigns/campaign_text.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

namespace msg = campaign_messages;

TEST(CampaignText, DigitsOfALine) {
  EXPECT_EQ(SoNumero(QStringLiteral("(11) 5555-1234")), QStringLiteral("1155551234"));
  EXPECT_EQ(SoNumero(QStringLiteral("+55 11 5555 1234")), QStringLiteral("551155551234"));
  EXPECT_EQ(SoNumero(QStringLiteral("tel: 0800.123'4\"")), QStringLiteral("08001234"));
  EXPECT_EQ(SoNumero(QStringLiteral("١٢٣ ４５")), QString());  // only ASCII digits count
  for (const char* yes : {"0", "5", "9"}) EXPECT_TRUE(IsDigit(QString::fromUtf8(yes))) << yes;
  for (const char* no : {"", "12", "+", "-", " ", "a", "５"}) {
    EXPECT_FALSE(IsDigit(QString::fromUtf8(no))) << no;
  }
}

TEST(CampaignText, NameTypingFilterAndFinalForm) {
  EXPECT_EQ(filterNameKey(QLatin1Char('a')), QLatin1Char('A'));
  EXPECT_EQ(filterNameKey(QLatin1Char('Z')), QLatin1Char('Z'));
  EXPECT_EQ(filterNameKey(QLatin1Char(' ')), QLatin1Char(' '));
  EXPECT_EQ(filterNameKey(QLatin1Char('\b')), QLatin1Char('\b'));
  for (QChar rejected : QStringLiteral("-_'\";.çÇé\t")) {
    EXPECT_TRUE(filterNameKey(rejected).isNull()) << QString(rejected).toStdString();
  }
  EXPECT_EQ(typedName(QStringLiteral("clientes sp")), QStringLiteral("CLIENTES SP"));
  EXPECT_EQ(typedName(QStringLiteral("ação; x'\b2")), QStringLiteral("AO 2"));
  EXPECT_EQ(campaignName(QStringLiteral("CLIENTES SP 2")), QStringLiteral("CLIENTES_SP_2"));
}

TEST(CampaignText, NumberFileLines) {
  const struct {
    QByteArray file;
    QStringList numbers;
  } cases[] = {
      {"", {}},
      {"1\n2\n3", {"1", "2", "3"}},
      {"1\n2\n3\n", {"1", "2", "3"}},
      {"1\r2\r3\r", {"1", "2", "3"}},
      {"1\r\n2\r\n3\r\n", {"1", "2", "3"}},
      {"1\n\n3\n", {"1", "", "3"}},
      {"1\r\n\r\n3", {"1", "", "3"}},
      {"\n", {""}},
      {"1\r\r\n2\n\r3", {"1", "", "2", "", "3"}},
      {"(11) 5555-1234\n+55 11 5555 1234\nabc\n'1'; DROP\n",
       {"1155551234", "551155551234", "", "1"}},
      {"\xef\xbb\xbf"
       "12\n3\xc3\xa7"
       "4",
       {"12", "34"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(numbersOfFile(c.file), c.numbers) << c.file.toStdString();
  }
  const QByteArray longLine = QByteArray(5000, '7') + "-" + QByteArray(5000, '8');
  EXPECT_EQ(numbersOfFile(longLine + "\n1"),
            (QStringList{QString(5000, QLatin1Char('7')) + QString(5000, QLatin1Char('8')),
                         QStringLiteral("1")}));
  EXPECT_EQ(splitLines("a\r\nb\rc\n"), (QStringList{"a", "b", "c"}));
}

class CampaignGeneratorTest : public ::testing::Test {
 protected:
  CampaignRequest request(const QByteArray& content, const QString& name,
                          std::initializer_list<int> channels = {1}) {
    const QString path = dir.file(QStringLiteral("numeros.txt"));
    testing::writeFile(path, content);
    CampaignRequest r{path, name, {}};
    for (int c : channels) r.channels[c - 1] = true;
    return r;
  }

  CampaignOutcome generate(const CampaignRequest& r) {
    CampaignGenerator generator(
        db.get(),
        [this](int channel, const QString& name) { assigned << qMakePair(channel, name); },
        [this](qsizetype done, qsizetype total) { progress << qMakePair(done, total); });
    return generator.generate(r, QDate(2026, 3, 25));
  }

  // Nothing at all in the database: no campaign, no number, no result table.
  void expectNothingWritten() {
    EXPECT_TRUE(db->searchCampaigns(QDate(2000, 1, 1), QDate(2100, 1, 1))->empty());
    auto st = db->connection().prepare(
        "SELECT (SELECT count(*) FROM telefones) + (SELECT count(*) FROM sqlite_master "
        "WHERE type='table' AND name NOT IN "
        "('telefones','campanhas','registro','sqlite_sequence'))");
    ASSERT_TRUE(st.ok());
    ASSERT_TRUE(*st->step());
    EXPECT_EQ(st->integer(0), 0);
    EXPECT_TRUE(assigned.isEmpty());
  }

  testing::TempDir dir;
  std::shared_ptr<CallDatabase> db = *CallDatabase::open(dir.path());
  QList<QPair<int, QString>> assigned;
  QList<QPair<qsizetype, qsizetype>> progress;
};

TEST_F(CampaignGeneratorTest, LoadsEveryLineInOrderAndAssignsTheChosenChannels) {
  const auto outcome = generate(request("(11) 5555-1234\r\n\r\n+55 11 5555 1234\r\n55\r\n55",
                                        QStringLiteral("CLIENTES SP"), {8, 1, 3}));
  ASSERT_TRUE(outcome.ok()) << outcome.message.toStdString();
  EXPECT_EQ(outcome.message, msg::kDone);
  EXPECT_EQ(outcome.name, QStringLiteral("CLIENTES_SP"));
  const auto rows = *db->numbersOf(QStringLiteral("CLIENTES_SP"));
  QStringList numbers;
  for (const auto& r : rows) {
    numbers << r.telefone;
    EXPECT_EQ(r.busy, QStringLiteral("NÃO"));
    EXPECT_EQ(r.idCampanha, outcome.id);
    EXPECT_FALSE(r.tentativas.has_value());
    EXPECT_TRUE(r.status.isEmpty());
  }
  EXPECT_EQ(numbers, (QStringList{"1155551234", "", "551155551234", "55", "55"}));
  const auto campaigns = *db->searchCampaigns(QDate(2026, 3, 25), QDate(2026, 3, 25));
  ASSERT_EQ(campaigns.size(), 1u);
  EXPECT_EQ(campaigns[0].codigo, outcome.id);
  EXPECT_TRUE(db->resultRows(QStringLiteral("CLIENTES_SP"))->empty());
  EXPECT_EQ(assigned, (QList<QPair<int, QString>>{
                          {1, "CLIENTES_SP"}, {3, "CLIENTES_SP"}, {8, "CLIENTES_SP"}}));
  ASSERT_FALSE(progress.isEmpty());
  EXPECT_EQ(progress.last(), qMakePair(qsizetype(5), qsizetype(5)));
}

TEST_F(CampaignGeneratorTest, RefusalsWriteNothing) {
  const struct {
    CampaignRequest request;
    QString message;
  } cases[] = {
      {{QString(), QStringLiteral("A"), {true}}, msg::kNoFile},
      {request("1\n", QString()), msg::kNoName},
      {request("1\n", QStringLiteral("A"), {}), msg::kNoChannel},
      {request("1\n", QStringLiteral("TELEFONES")), msg::kNameReserved},
      {request("1\n", typedName(QStringLiteral("Registro"))), msg::kNameReserved},
      {request("1\n", QStringLiteral("SQLITE_X")), msg::kNameReserved},
  };
  for (const auto& c : cases) {
    const auto outcome = generate(c.request);
    EXPECT_EQ(outcome.kind, CampaignOutcome::Kind::Refused) << c.message.toStdString();
    EXPECT_EQ(outcome.message, c.message);
    expectNothingWritten();
  }
  const auto unreadable =
      generate({dir.file(QStringLiteral("none.txt")), QStringLiteral("A"), {true}});
  EXPECT_EQ(unreadable.kind, CampaignOutcome::Kind::Failed);
  EXPECT_TRUE(unreadable.message.startsWith(msg::kUnreadableFile));
  expectNothingWritten();
}

TEST_F(CampaignGeneratorTest, ANameIsRefusedForEverOnceGenerated) {
  ASSERT_TRUE(generate(request("1\n2\n", QStringLiteral("VENDAS 1"))).ok());
  assigned.clear();
  const auto again = generate(request("3\n", QStringLiteral("VENDAS_1"), {2}));
  EXPECT_EQ(again.kind, CampaignOutcome::Kind::Refused);
  EXPECT_EQ(again.message, msg::kNameTaken);
  EXPECT_TRUE(assigned.isEmpty());
  EXPECT_EQ(db->numbersOf(QStringLiteral("VENDAS_1"))->size(), 2u);
  // Also after its numbers are all finished.
  const auto rows = *db->numbersOf(QStringLiteral("VENDAS_1"));
  for (const auto& r : rows) {
    ASSERT_TRUE(db->moveNumber(QStringLiteral("VENDAS_1"), r.codigo).ok());
  }
  EXPECT_EQ(generate(request("3\n", QStringLiteral("VENDAS_1"))).message, msg::kNameTaken);
}

TEST_F(CampaignGeneratorTest, AFailureHalfWayWritesNothingAndLeavesTheNameFree) {
  ASSERT_TRUE(db->connection()
                  .exec("CREATE TRIGGER full BEFORE INSERT ON telefones WHEN NEW.Telefone='3' "
                        "BEGIN SELECT RAISE(ABORT, 'disk full'); END")
                  .ok());
  const auto outcome = generate(request("1\n2\n3\n4\n", QStringLiteral("LOTE")));
  EXPECT_EQ(outcome.kind, CampaignOutcome::Kind::Failed);
  EXPECT_TRUE(outcome.message.startsWith(msg::kFailed)) << outcome.message.toStdString();
  EXPECT_TRUE(outcome.message.contains(QStringLiteral("disk full")));
  expectNothingWritten();

  ASSERT_TRUE(db->connection().exec("DROP TRIGGER full").ok());
  EXPECT_TRUE(generate(request("1\n2\n3\n4\n", QStringLiteral("LOTE"))).ok());
  EXPECT_EQ(db->numbersOf(QStringLiteral("LOTE"))->size(), 4u);
}

TEST_F(CampaignGeneratorTest, NoConnectionFails) {
  CampaignGenerator generator(nullptr, [](int, const QString&) { FAIL(); });
  const auto outcome = generator.generate(request("1\n", QStringLiteral("A")), QDate(2026, 3, 25));
  EXPECT_EQ(outcome.kind, CampaignOutcome::Kind::Failed);
  EXPECT_TRUE(outcome.message.startsWith(msg::kFailed));
}

}  // namespace
}  // namespace doruzudo
