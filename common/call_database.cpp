// CallDatabase: opening, schema and the helpers every statement uses.
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "common/call_database.h"
#include "common/text_fold.h"

namespace doruzudo {

namespace {

// Version 1. Column names as both programs write them; código keeps its
// accent. Campanha compares without regard to ASCII letter case, as the
// campaign names the channels are set to may be typed in any case.
constexpr const char* kSchemaV1 = R"sql(
CREATE TABLE IF NOT EXISTS telefones (
  "Código" INTEGER PRIMARY KEY AUTOINCREMENT,
  Telefone TEXT,
  Tentativas INTEGER,
  Campanha TEXT COLLATE NOCASE,
  ID_Campanha INTEGER,
  Data TEXT,
  Hora TEXT,
  Status TEXT,
  Busy TEXT);
CREATE INDEX IF NOT EXISTS telefones_livres ON telefones (Campanha, Busy, "Código");
CREATE TABLE IF NOT EXISTS campanhas (
  "código" INTEGER PRIMARY KEY AUTOINCREMENT,
  campanha TEXT NOT NULL COLLATE NOCASE UNIQUE,
  data_campanha TEXT);
CREATE INDEX IF NOT EXISTS campanhas_data ON campanhas (data_campanha);
CREATE TABLE IF NOT EXISTS registro (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  ramal TEXT,
  data_ini TEXT,
  data_fin TEXT,
  hora_ini TEXT,
  hora_fin TEXT,
  origem TEXT,
  destino TEXT,
  obs TEXT,
  path TEXT,
  nCanal TEXT,
  ouvida TEXT);
CREATE INDEX IF NOT EXISTS registro_data ON registro (data_ini);
CREATE INDEX IF NOT EXISTS registro_ouvida ON registro (ouvida);
)sql";

}  // namespace

QString CallDatabase::filePath(const QString& folder) {
  return QDir(folder).filePath(fileName());
}

Result<std::shared_ptr<CallDatabase>> CallDatabase::open(const QString& folder, bool create) {
  if (folder.trimmed().isEmpty()) return Status::Error(QStringLiteral("no database folder"));
  if (!QFileInfo(folder).isDir()) return Status::Error(folder + QStringLiteral(": no such folder"));
  return openFile(filePath(folder), create);
}

Result<std::shared_ptr<CallDatabase>> CallDatabase::openFile(const QString& file, bool create) {
  if (!create && file != QStringLiteral(":memory:") && !QFileInfo::exists(file)) {
    return Status::Error(file + QStringLiteral(": no such file"));
  }
  auto db = sql::Database::open(file, create);
  if (!db) return db.status();
  if (Status s = registerFoldFunction((*db)->handle()); !s) return s;
  std::shared_ptr<CallDatabase> result(new CallDatabase(*db));
  if (Status s = result->ensureSchema(); !s) return s;
  return result;
}

CallDatabase::~CallDatabase() = default;

Status CallDatabase::ensureSchema() {
  auto check = [this](int version) -> Status {
    if (version < 0) return Status::Error(db_->lastError());
    if (version > kSchemaVersion) {
      return Status::Error(QStringLiteral("%1: schema version %2 is newer than this program's (%3)")
                               .arg(db_->fileName())
                               .arg(version)
                               .arg(kSchemaVersion));
    }
    return Status::Ok();
  };
  const int seen = db_->userVersion();
  if (Status s = check(seen); !s) return s;
  if (seen == kSchemaVersion) return Status::Ok();
  return inTransaction([&]() -> Status {
    // Read again under the write lock: another program may have upgraded it.
    const int version = db_->userVersion();
    if (Status s = check(version); !s) return s;
    if (version == kSchemaVersion) return Status::Ok();
    if (version < 1) {
      if (Status s = db_->exec(kSchemaV1); !s) return s;
    }
    // Later versions add their upgrade steps here.
    return db_->setUserVersion(kSchemaVersion);
  });
}

bool CallDatabase::isValidTableName(const QString& name) {
  static const QRegularExpression pattern(QStringLiteral("^[A-Z0-9_]+$"));
  if (!pattern.match(name).hasMatch()) return false;
  for (const char* fixed : {"TELEFONES", "CAMPANHAS", "REGISTRO"}) {
    if (name == QLatin1String(fixed)) return false;
  }
  return !name.startsWith(QLatin1String("SQLITE_"));
}

Status CallDatabase::inTransaction(const std::function<Status()>& body) {
  sql::Transaction transaction(*db_);
  if (Status s = transaction.begin(); !s) return s;
  if (Status s = body(); !s) return s;  // the guard rolls back
  return transaction.commit();
}

Result<sql::Statement*> CallDatabase::statement(const QByteArray& sqlText) {
  auto found = statements_.find(sqlText);
  if (found == statements_.end()) {
    auto prepared = db_->prepare(sqlText.constData());
    if (!prepared) return prepared.status();
    found = statements_.emplace(sqlText, std::move(*prepared)).first;
  }
  found->second.reset();
  return &found->second;
}

Result<QByteArray> CallDatabase::resultTableSql(const char* before, const QString& campaign,
                                                const char* after) {
  // SQL names ignore letter case: a channel set to "clientes" uses CLIENTES.
  const QString name = campaign.trimmed().toUpper();
  if (!isValidTableName(name)) {
    return Status::Error(QStringLiteral("invalid campaign table name '%1'").arg(campaign));
  }
  return QByteArray(before) + sql::quoteIdentifier(name).toUtf8() + QByteArray(after);
}

sql::Value dateValue(const QDate& date) {
  if (!date.isValid()) return std::monostate{};
  return date.toString(Qt::ISODate);
}

sql::Value timeValue(const QTime& time) {
  if (!time.isValid()) return std::monostate{};
  return time.toString(QStringLiteral("HH:mm:ss"));
}

QDate storedDate(const QString& text) {
  return QDate::fromString(text, Qt::ISODate);
}

QTime storedTime(const QString& text) {
  QTime time = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
  return time.isValid() ? time : QTime::fromString(text, QStringLiteral("HH:mm"));
}

}  // namespace doruzudo
