// Thin RAII wrappers over the SQLite C API: a connection, prepared statements
// with bound values, and a transaction guard. Every SQL text is fixed; values
// are always bound, never spliced into the text.
//
// Threads: a connection and its statements belong to one thread.
#pragma once

#include <sqlite3.h>

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <variant>

#include "common/status.h"

namespace doruzudo::sql {

class Statement;

class Database {
 public:
  // Opens (creating when `create`) the file; WAL journal, busy timeout,
  // foreign keys on. ":memory:" gives a private in-memory database.
  static Result<std::shared_ptr<Database>> open(const QString& file, bool create = true,
                                                int busyTimeoutMs = 5000);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  sqlite3* handle() const { return db_; }
  QString fileName() const { return fileName_; }
  // Runs one or more statements without values (schema, pragmas).
  Status exec(const char* sqlText);
  Result<Statement> prepare(const char* sqlText);
  QString lastError() const;
  int64_t lastInsertRowId() const { return sqlite3_last_insert_rowid(db_); }
  int changes() const { return sqlite3_changes(db_); }
  int userVersion();
  Status setUserVersion(int version);

 private:
  Database(sqlite3* db, QString fileName) : db_(db), fileName_(std::move(fileName)) {}
  sqlite3* db_;
  QString fileName_;
};

using Value = std::variant<std::monostate, int64_t, double, QString>;

class Statement {
 public:
  Statement(Statement&& other) noexcept : stmt_(other.stmt_), db_(other.db_) { other.stmt_ = nullptr; }
  Statement& operator=(Statement&& other) noexcept;
  ~Statement();

  // Parameters count from 1, as in SQLite.
  Statement& bind(int index, const QString& text);
  Statement& bind(int index, const char* text) { return bind(index, QString::fromUtf8(text)); }
  Statement& bind(int index, int64_t value);
  Statement& bind(int index, int value) { return bind(index, static_cast<int64_t>(value)); }
  Statement& bind(int index, double value);
  Statement& bindNull(int index);
  Statement& bind(int index, const Value& value);

  // Steps once: true when a row is ready, false when done. Errors -> Status.
  Result<bool> step();
  // Steps to the end (a statement that returns no rows).
  Status run();
  void reset();

  int columnCount() const { return sqlite3_column_count(stmt_); }
  bool isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  int64_t int64(int column) const { return sqlite3_column_int64(stmt_, column); }
  int integer(int column) const { return sqlite3_column_int(stmt_, column); }
  double real(int column) const { return sqlite3_column_double(stmt_, column); }
  QString text(int column) const;
  Value value(int column) const;
  QString columnName(int column) const { return QString::fromUtf8(sqlite3_column_name(stmt_, column)); }

 private:
  friend class Database;
  Statement(sqlite3_stmt* stmt, sqlite3* db) : stmt_(stmt), db_(db) {}
  sqlite3_stmt* stmt_;
  sqlite3* db_;
};

// BEGIN IMMEDIATE on construction; ROLLBACK on destruction unless commit()ed.
class Transaction {
 public:
  explicit Transaction(Database& db);
  ~Transaction();
  Status begin() const { return began_; }
  Status commit();

 private:
  Database& db_;
  Status began_;
  bool open_ = false;
};

// Quotes an identifier for SQL text ("name" with inner quotes doubled). Only
// for names already checked by the caller (table names).
QString quoteIdentifier(const QString& name);

}  // namespace doruzudo::sql
