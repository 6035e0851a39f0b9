#include "common/sqlite.h"

namespace doruzudo::sql {

Result<std::shared_ptr<Database>> Database::open(const QString& file, bool create,
                                                 int busyTimeoutMs) {
  sqlite3* db = nullptr;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (create) flags |= SQLITE_OPEN_CREATE;
  const QByteArray name = file.toUtf8();
  const int rc = sqlite3_open_v2(name.constData(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
    sqlite3_close(db);
    return Result<std::shared_ptr<Database>>::Error(file + QStringLiteral(": ") + message);
  }
  std::shared_ptr<Database> result(new Database(db, file));
  sqlite3_busy_timeout(db, busyTimeoutMs);
  sqlite3_extended_result_codes(db, 1);
  if (file != QStringLiteral(":memory:")) {
    if (Status s = result->exec("PRAGMA journal_mode=WAL;"); !s) return s;
  }
  if (Status s = result->exec("PRAGMA foreign_keys=ON;"); !s) return s;
  return result;
}

Database::~Database() { sqlite3_close_v2(db_); }

QString Database::lastError() const { return QString::fromUtf8(sqlite3_errmsg(db_)); }

Status Database::exec(const char* sqlText) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sqlText, nullptr, nullptr, &error) != SQLITE_OK) {
    QString message = error ? QString::fromUtf8(error) : lastError();
    sqlite3_free(error);
    return Status::Error(message);
  }
  return Status::Ok();
}

Result<Statement> Database::prepare(const char* sqlText) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sqlText, -1, &stmt, nullptr) != SQLITE_OK) {
    return Result<Statement>::Error(lastError());
  }
  return Statement(stmt, db_);
}

int Database::userVersion() {
  auto stmt = prepare("PRAGMA user_version;");
  if (!stmt) return -1;
  auto row = stmt->step();
  return row.ok() && *row ? stmt->integer(0) : -1;
}

Status Database::setUserVersion(int version) {
  const QByteArray text = "PRAGMA user_version=" + QByteArray::number(version) + ";";
  return exec(text.constData());
}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    stmt_ = other.stmt_;
    db_ = other.db_;
    other.stmt_ = nullptr;
  }
  return *this;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::bind(int index, const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  sqlite3_bind_text(stmt_, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::bind(int index, int64_t value) {
  sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

Statement& Statement::bind(int index, double value) {
  sqlite3_bind_double(stmt_, index, value);
  return *this;
}

Statement& Statement::bindNull(int index) {
  sqlite3_bind_null(stmt_, index);
  return *this;
}

Statement& Statement::bind(int index, const Value& value) {
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          bindNull(index);
        } else {
          bind(index, v);
        }
      },
      value);
  return *this;
}

Result<bool> Statement::step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  return Result<bool>::Error(QString::fromUtf8(sqlite3_errmsg(db_)));
}

Status Statement::run() {
  for (;;) {
    auto row = step();
    if (!row) {
      sqlite3_reset(stmt_);
      return row.status();
    }
    if (!*row) break;
  }
  sqlite3_reset(stmt_);
  return Status::Ok();
}

void Statement::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

QString Statement::text(int column) const {
  const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  const int size = sqlite3_column_bytes(stmt_, column);
  return data ? QString::fromUtf8(data, size) : QString();
}

Value Statement::value(int column) const {
  switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
      return int64(column);
    case SQLITE_FLOAT:
      return real(column);
    case SQLITE_NULL:
      return std::monostate{};
    default:
      return text(column);
  }
}

Transaction::Transaction(Database& db) : db_(db) {
  began_ = db_.exec("BEGIN IMMEDIATE;");
  open_ = began_.ok();
}

Transaction::~Transaction() {
  if (open_) db_.exec("ROLLBACK;");
}

Status Transaction::commit() {
  if (!open_) return began_.ok() ? Status::Error(QStringLiteral("transaction already ended")) : began_;
  Status s = db_.exec("COMMIT;");
  if (s) open_ = false;
  return s;
}

QString quoteIdentifier(const QString& name) {
  QString quoted = name;
  quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace doruzudo::sql
