#include "common/text_fold.h"

namespace doruzudo {

QString foldCase(const QString& text) {
  return text.toCaseFolded();
}

namespace {

void foldFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (argc != 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(context);
    return;
  }
  const auto* data = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  const int size = sqlite3_value_bytes(argv[0]);
  const QByteArray folded = foldCase(QString::fromUtf8(data, size)).toUtf8();
  sqlite3_result_text(context, folded.constData(), static_cast<int>(folded.size()),
                      SQLITE_TRANSIENT);
}

}  // namespace

Status registerFoldFunction(sqlite3* db) {
  const int rc = sqlite3_create_function_v2(db, "fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                            nullptr, foldFunction, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return Status::Error(QString::fromUtf8(sqlite3_errmsg(db)));
  return Status::Ok();
}

}  // namespace doruzudo
