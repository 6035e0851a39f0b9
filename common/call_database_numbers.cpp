// CallDatabase: telefones (the dialing cycle), campanhas and the campaigns'
// result tables.
#include "common/call_database.h"
#include "common/call_database_rows.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace doruzudo {

using calldb::kPhoneColumns;
using calldb::readPhone;
using calldb::runOne;
using calldb::stepAll;

namespace {

QByteArray phoneSelect(const char* tail) {
  return QByteArray("SELECT ") + kPhoneColumns + " FROM telefones " + tail;
}

}  // namespace

Result<std::optional<PhoneRow>> CallDatabase::selectNextNumber(const QString& campaign) {
  auto st = statement(phoneSelect(R"(WHERE Campanha=?1 AND Busy=?2 ORDER BY "código" LIMIT 1)"));
  if (!st) return st.status();
  (*st)->bind(1, campaign).bind(2, calldb::kBusyNo);
  std::optional<PhoneRow> row;
  if (Status s = stepAll(**st, [&](const sql::Statement& r) { row = readPhone(r); }); !s) return s;
  return row;
}

Result<std::optional<PhoneRow>> CallDatabase::claimNextNumber(const QString& campaign) {
  // One statement: the row is chosen and marked under the same write lock.
  auto st = statement(QByteArray(R"(UPDATE telefones SET Busy=?1 WHERE "código"=)"
                                 R"((SELECT "código" FROM telefones WHERE Campanha=?2 AND Busy=?3 )"
                                 R"(ORDER BY "código" LIMIT 1) RETURNING )") +
                      kPhoneColumns);
  if (!st) return st.status();
  (*st)->bind(1, calldb::kBusyYes).bind(2, campaign).bind(3, calldb::kBusyNo);
  std::optional<PhoneRow> row;
  if (Status s = stepAll(**st, [&](const sql::Statement& r) { row = readPhone(r); }); !s) return s;
  return row;
}

Status CallDatabase::releaseNumber(int64_t codigo) {
  auto st = statement(R"(UPDATE telefones SET Busy=?1 WHERE "código"=?2)");
  if (!st) return st.status();
  (*st)->bind(1, calldb::kBusyNo).bind(2, codigo);
  return runOne(*db_, **st, QStringLiteral("telefones %1").arg(codigo));
}

Result<int> CallDatabase::startNewPass(const QString& campaign,
                                       const std::vector<int64_t>& keptTaken) {
  QJsonArray kept;
  for (int64_t code : keptTaken) kept.append(static_cast<qint64>(code));
  auto st = statement(R"(UPDATE telefones SET Busy=?1 WHERE Campanha=?2 AND "código" NOT IN )"
                      R"((SELECT value FROM json_each(?3)))");
  if (!st) return st.status();
  (*st)->bind(1, calldb::kBusyNo).bind(2, campaign);
  (*st)->bind(3, QString::fromUtf8(QJsonDocument(kept).toJson(QJsonDocument::Compact)));
  if (Status s = stepAll(**st); !s) return s;
  return db_->changes();
}

Status CallDatabase::countAttempt(int64_t codigo, int attempts, const QDate& date,
                                  const QTime& time) {
  auto st = statement(R"(UPDATE telefones SET Busy=?1,Tentativas=?2,Data=?3,Hora=?4 )"
                      R"(WHERE "código"=?5)");
  if (!st) return st.status();
  (*st)->bind(1, calldb::kBusyYes).bind(2, attempts).bind(3, dateValue(date));
  (*st)->bind(4, timeValue(time)).bind(5, codigo);
  return runOne(*db_, **st, QStringLiteral("telefones %1").arg(codigo));
}

Status CallDatabase::setNumberStatus(int64_t codigo, const QString& status) {
  auto st = statement(R"(UPDATE telefones SET Busy=?1,Status=?2 WHERE "código"=?3)");
  if (!st) return st.status();
  (*st)->bind(1, calldb::kBusyYes).bind(2, status).bind(3, codigo);
  return runOne(*db_, **st, QStringLiteral("telefones %1").arg(codigo));
}

Result<std::optional<PhoneRow>> CallDatabase::selectNumber(int64_t codigo) {
  auto st = statement(phoneSelect(R"(WHERE "código"=?1)"));
  if (!st) return st.status();
  (*st)->bind(1, codigo);
  std::optional<PhoneRow> row;
  if (Status s = stepAll(**st, [&](const sql::Statement& r) { row = readPhone(r); }); !s) return s;
  return row;
}

Status CallDatabase::moveNumber(const QString& campaign, int64_t codigo) {
  auto insertSql =
      resultTableSql("INSERT INTO ", campaign,
                     R"((Codigo,Telefone,Tentativas,Campanha,ID_Campanha,Data,Hora,Status) )"
                     R"(SELECT "código",Telefone,Tentativas,Campanha,ID_Campanha,Data,Hora,Status )"
                     R"(FROM telefones WHERE "código"=?1)");
  if (!insertSql) return insertSql.status();
  return inTransaction([&]() -> Status {
    auto insert = statement(*insertSql);
    if (!insert) return insert.status();
    (*insert)->bind(1, codigo);
    if (Status s = runOne(*db_, **insert, QStringLiteral("telefones %1").arg(codigo)); !s) {
      return s;
    }
    auto remove = statement(R"(DELETE FROM telefones WHERE "código"=?1)");
    if (!remove) return remove.status();
    (*remove)->bind(1, codigo);
    return runOne(*db_, **remove, QStringLiteral("telefones %1").arg(codigo));
  });
}

Status CallDatabase::setOption(const QString& campaign, int64_t codigo, const QString& option) {
  auto text = resultTableSql("UPDATE ", campaign, " SET Opcao1=?1 WHERE Codigo=?2");
  if (!text) return text.status();
  auto st = statement(*text);
  if (!st) return st.status();
  (*st)->bind(1, option).bind(2, codigo);
  if (Status s = stepAll(**st); !s) return s;
  if (db_->changes() < 1)
    return Status::Error(QStringLiteral("%1 %2: no such row").arg(campaign).arg(codigo));
  return Status::Ok();
}

Result<std::vector<PhoneRow>> CallDatabase::numbersOf(const QString& campaign) {
  auto st = statement(phoneSelect(R"(WHERE Campanha=?1 ORDER BY "código")"));
  if (!st) return st.status();
  (*st)->bind(1, campaign);
  std::vector<PhoneRow> rows;
  if (Status s = stepAll(**st, [&](const sql::Statement& r) { rows.push_back(readPhone(r)); });
      !s) {
    return s;
  }
  return rows;
}

Result<bool> CallDatabase::campaignExists(const QString& name) {
  auto st = statement(R"(SELECT "código" FROM campanhas WHERE campanha=?1 LIMIT 1)");
  if (!st) return st.status();
  (*st)->bind(1, name);
  bool found = false;
  if (Status s = stepAll(**st, [&](const sql::Statement&) { found = true; }); !s) return s;
  return found;
}

Result<int64_t> CallDatabase::insertCampaign(const QString& name, const QDate& date) {
  auto st = statement(R"(INSERT INTO campanhas(campanha,data_campanha) VALUES (?1,?2) )"
                      R"(RETURNING "código")");
  if (!st) return st.status();
  (*st)->bind(1, name).bind(2, dateValue(date));
  std::optional<int64_t> id;
  if (Status s = stepAll(**st, [&](const sql::Statement& r) { id = r.int64(0); }); !s) return s;
  if (!id) return Status::Error(QStringLiteral("campanhas: no id returned"));
  return *id;
}

Status CallDatabase::createResultTable(const QString& name) {
  if (!isValidTableName(name)) {
    return Status::Error(QStringLiteral("invalid campaign table name '%1'").arg(name));
  }
  const QByteArray text = "CREATE TABLE " + sql::quoteIdentifier(name).toUtf8() +
                          " (Codigo INTEGER, Telefone TEXT, Tentativas INTEGER, Busy TEXT,"
                          " Campanha TEXT, ID_Campanha INTEGER, Data TEXT, Hora TEXT,"
                          " Status TEXT, Opcao1 TEXT);";
  return db_->exec(text.constData());
}

Status CallDatabase::insertNumber(const QString& number, const QString& campaign,
                                  int64_t campaignId) {
  auto st = statement(
      "INSERT INTO telefones(Telefone,Campanha,ID_Campanha,Busy) "
      "VALUES (?1,?2,?3,?4)");
  if (!st) return st.status();
  (*st)->bind(1, number).bind(2, campaign).bind(3, campaignId).bind(4, calldb::kBusyNo);
  return stepAll(**st);
}

Status CallDatabase::insertNumbers(const QStringList& numbers, const QString& campaign,
                                   int64_t campaignId,
                                   const std::function<void(qsizetype done)>& progress,
                                   qsizetype progressEvery) {
  auto st = statement(
      "INSERT INTO telefones(Telefone,Campanha,ID_Campanha,Busy) "
      "VALUES (?1,?2,?3,?4)");
  if (!st) return st.status();
  sql::Statement& insert = **st;
  qsizetype done = 0;
  for (const QString& number : numbers) {
    insert.reset();
    insert.bind(1, number).bind(2, campaign).bind(3, campaignId).bind(4, calldb::kBusyNo);
    if (Status s = stepAll(insert); !s) return s;
    ++done;
    if (progress && progressEvery > 0 && done % progressEvery == 0) progress(done);
  }
  if (progress) progress(done);
  return Status::Ok();
}

Result<std::vector<CampaignRow>> CallDatabase::searchCampaigns(const QDate& from, const QDate& to) {
  auto st = statement(R"(SELECT "código",campanha,data_campanha FROM campanhas )"
                      R"(WHERE data_campanha BETWEEN ?1 AND ?2 ORDER BY "código")");
  if (!st) return st.status();
  (*st)->bind(1, dateValue(from)).bind(2, dateValue(to));
  std::vector<CampaignRow> rows;
  Status s = stepAll(**st, [&](const sql::Statement& r) {
    rows.push_back({r.int64(0), r.text(1), storedDate(r.text(2))});
  });
  if (!s) return s;
  return rows;
}

Result<std::vector<ResultRow>> CallDatabase::resultRows(const QString& campaign) {
  auto text =
      resultTableSql((QByteArray("SELECT ") + calldb::kResultColumns + " FROM ").constData(),
                     campaign, " ORDER BY Data, rowid");
  if (!text) return text.status();
  auto st = statement(*text);
  if (!st) return st.status();
  std::vector<ResultRow> rows;
  Status s = stepAll(**st, [&](const sql::Statement& r) { rows.push_back(calldb::readResult(r)); });
  if (!s) return s;
  return rows;
}

Result<std::vector<StatusTotal>> CallDatabase::statusTotals(const QString& campaign) {
  auto text = resultTableSql("SELECT COUNT(Status) AS soma, Status FROM ", campaign,
                             " GROUP BY Status ORDER BY Status");
  if (!text) return text.status();
  auto st = statement(*text);
  if (!st) return st.status();
  std::vector<StatusTotal> rows;
  Status s = stepAll(**st, [&](const sql::Statement& r) {
    rows.push_back({r.text(1), r.integer(0)});
  });
  if (!s) return s;
  return rows;
}

}  // namespace doruzudo
