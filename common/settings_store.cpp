#include "common/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

#include "common/sqlite.h"
#include "common/text_forms.h"

namespace doruzudo {

const QString SettingsStore::kConfigKey =
    QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\VantorDoruzudo\\config");

struct SettingsStore::Impl {
  std::shared_ptr<sql::Database> db;
};

namespace {

constexpr int kSchemaVersion = 1;

QString fold(const QString& text) { return text.toCaseFolded(); }

// A key path without trailing "\" and with single separators.
QString normalizeKey(QString key) {
  while (key.endsWith(QLatin1Char('\\'))) key.chop(1);
  return key;
}

[[noreturn]] void fail(const QString& format, const QString& arg) {
  throw SettingsError(QString(format).arg(arg));
}

sql::Statement prepareOrThrow(sql::Database& db, const char* text) {
  auto stmt = db.prepare(text);
  if (!stmt) throw SettingsError(QStringLiteral("settings store: ") + stmt.message());
  return std::move(stmt).value();
}

std::optional<int64_t> findKey(sql::Database& db, const QString& key) {
  auto stmt = prepareOrThrow(db, "SELECT id FROM keys WHERE folded = ?1");
  stmt.bind(1, fold(normalizeKey(key)));
  auto row = stmt.step();
  if (!row) throw SettingsError(QStringLiteral("settings store: ") + row.message());
  if (!*row) return std::nullopt;
  return stmt.int64(0);
}

StoredValue readRow(const sql::Statement& stmt) {
  StoredValue v;
  v.name = stmt.text(0);
  v.type = stmt.integer(1) == static_cast<int>(ValueType::Integer) ? ValueType::Integer
                                                                    : ValueType::Text;
  if (v.type == ValueType::Integer) {
    v.integer = static_cast<int32_t>(stmt.int64(2));
  } else {
    v.text = stmt.text(2);
  }
  return v;
}

}  // namespace

QString SettingsStore::defaultPath() {
  const QByteArray env = qgetenv("DORUZUDO_SETTINGS");
  if (!env.isEmpty()) return QString::fromLocal8Bit(env);
  QString base = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
  if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.config");
  return base + QStringLiteral("/VantorDoruzudo/settings.db");
}

Result<std::shared_ptr<SettingsStore>> SettingsStore::open(const QString& file) {
  const QFileInfo info(file);
  if (!QDir().mkpath(info.absolutePath())) {
    return Result<std::shared_ptr<SettingsStore>>::Error(
        QStringLiteral("cannot create the folder %1").arg(info.absolutePath()));
  }
  // Create the file ourselves so that it is private from its first byte.
  const QByteArray path = QFile::encodeName(info.absoluteFilePath());
  const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    return Result<std::shared_ptr<SettingsStore>>::Error(
        QStringLiteral("cannot open %1: %2").arg(file, QString::fromLocal8Bit(strerror(errno))));
  }
  ::close(fd);
  auto db = sql::Database::open(info.absoluteFilePath());
  if (!db) return db.status();
  sql::Database& d = **db;
  if (d.userVersion() < kSchemaVersion) {
    Status s = d.exec(
        "CREATE TABLE IF NOT EXISTS keys("
        "  id INTEGER PRIMARY KEY, path TEXT NOT NULL, folded TEXT NOT NULL UNIQUE);"
        "CREATE TABLE IF NOT EXISTS vals("
        "  key_id INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
        "  name TEXT NOT NULL, folded TEXT NOT NULL, type INTEGER NOT NULL, data,"
        "  PRIMARY KEY(key_id, folded));");
    if (s) s = d.setUserVersion(kSchemaVersion);
    if (!s) return s;
  }
  auto impl = std::make_unique<Impl>();
  impl->db = std::move(db).value();
  return std::shared_ptr<SettingsStore>(new SettingsStore(std::move(impl)));
}

SettingsStore::SettingsStore(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::fileName() const { return impl_->db->fileName(); }

bool SettingsStore::keyExists(const QString& key) const {
  try {
    return findKey(*impl_->db, key).has_value();
  } catch (const SettingsError&) {
    return false;
  }
}

void SettingsStore::createKey(const QString& key) {
  const QString path = normalizeKey(key);
  auto stmt = prepareOrThrow(*impl_->db,
                             "INSERT INTO keys(path, folded) VALUES(?1, ?2) "
                             "ON CONFLICT(folded) DO NOTHING");
  stmt.bind(1, path).bind(2, fold(path));
  if (Status s = stmt.run(); !s) {
    throw SettingsError(QStringLiteral("Failed to create key '%1': %2").arg(path, s.message()));
  }
}

std::optional<SettingsKey> SettingsStore::openKey(const QString& key) {
  auto stmt = prepareOrThrow(*impl_->db, "SELECT id, path FROM keys WHERE folded = ?1");
  stmt.bind(1, fold(normalizeKey(key)));
  auto row = stmt.step();
  if (!row || !*row) return std::nullopt;
  return SettingsKey(impl_, stmt.int64(0), stmt.text(1));
}

std::vector<QString> SettingsStore::keys() const {
  std::vector<QString> result;
  auto stmt = prepareOrThrow(*impl_->db, "SELECT path FROM keys ORDER BY folded");
  for (auto row = stmt.step(); row.ok() && *row; row = stmt.step()) result.push_back(stmt.text(0));
  return result;
}

void SettingsStore::transaction(const std::function<void()>& fn) {
  sql::Transaction tx(*impl_->db);
  if (!tx.begin()) throw SettingsError(QStringLiteral("settings store: ") + tx.begin().message());
  fn();
  if (Status s = tx.commit(); !s) throw SettingsError(QStringLiteral("settings store: ") + s.message());
}

std::optional<StoredValue> SettingsKey::value(const QString& name) const {
  auto stmt = prepareOrThrow(*impl_->db,
                             "SELECT name, type, data FROM vals WHERE key_id = ?1 AND folded = ?2");
  stmt.bind(1, id_).bind(2, fold(name));
  auto row = stmt.step();
  if (!row) throw SettingsError(QStringLiteral("Failed to get data for '%1'").arg(name));
  if (!*row) return std::nullopt;
  return readRow(stmt);
}

std::vector<StoredValue> SettingsKey::values() const {
  std::vector<StoredValue> result;
  auto stmt = prepareOrThrow(*impl_->db,
                             "SELECT name, type, data FROM vals WHERE key_id = ?1 ORDER BY folded");
  stmt.bind(1, id_);
  for (auto row = stmt.step(); row.ok() && *row; row = stmt.step()) result.push_back(readRow(stmt));
  return result;
}

QString SettingsKey::readString(const QString& name) const {
  const auto v = value(name);
  if (!v) return QString();
  if (v->type != ValueType::Text) fail(QStringLiteral("Invalid data type for '%1'"), name);
  return v->text;
}

int32_t SettingsKey::readInteger(const QString& name) const {
  const auto v = value(name);
  if (!v) fail(QStringLiteral("Failed to get data for '%1'"), name);
  if (v->type != ValueType::Integer) fail(QStringLiteral("Invalid data type for '%1'"), name);
  return v->integer;
}

bool SettingsKey::readBool(const QString& name) const {
  const QString text = readString(name);
  const auto b = parseBool(text);
  if (!b) fail(QStringLiteral("'%1' is not a valid boolean value"), text);
  return *b;
}

QDate SettingsKey::readDate(const QString& name) const {
  const QString text = readString(name);
  const auto d = parseDate(text);
  if (!d) fail(QStringLiteral("'%1' is not a valid date"), text);
  return *d;
}

QTime SettingsKey::readTime(const QString& name) const {
  const QString text = readString(name);
  const auto t = parseTime(text);
  if (!t) fail(QStringLiteral("'%1' is not a valid time"), text);
  return *t;
}

int SettingsKey::readIntText(const QString& name) const {
  const QString text = readString(name);
  const auto i = parseInt(text);
  if (!i) fail(QStringLiteral("'%1' is not a valid integer value"), text);
  return *i;
}

void SettingsKey::write(const QString& name, ValueType type, const QString& text, int32_t integer) {
  auto stmt = prepareOrThrow(*impl_->db,
                             "INSERT INTO vals(key_id, name, folded, type, data) "
                             "VALUES(?1, ?2, ?3, ?4, ?5) "
                             "ON CONFLICT(key_id, folded) DO UPDATE SET "
                             "type = excluded.type, data = excluded.data");
  stmt.bind(1, id_).bind(2, name).bind(3, fold(name)).bind(4, static_cast<int>(type));
  if (type == ValueType::Integer) {
    stmt.bind(5, static_cast<int64_t>(integer));
  } else {
    stmt.bind(5, text);
  }
  if (Status s = stmt.run(); !s || impl_->db->changes() != 1) {
    fail(QStringLiteral("Failed to set data for '%1'"), name);
  }
}

void SettingsKey::writeString(const QString& name, const QString& text) {
  write(name, ValueType::Text, text, 0);
}

void SettingsKey::writeInteger(const QString& name, int32_t value) {
  write(name, ValueType::Integer, QString(), value);
}

void SettingsKey::writeBool(const QString& name, bool value) { writeString(name, boolText(value)); }

bool SettingsKey::deleteValue(const QString& name) {
  auto stmt = prepareOrThrow(*impl_->db, "DELETE FROM vals WHERE key_id = ?1 AND folded = ?2");
  stmt.bind(1, id_).bind(2, fold(name));
  return stmt.run().ok() && impl_->db->changes() > 0;
}

namespace {
SettingsKey openForWrite(SettingsStore& store, const QString& key) {
  if (!store.keyExists(key)) store.createKey(key);
  auto open = store.openKey(key);
  if (!open) throw SettingsError(QStringLiteral("Failed to open key '%1'").arg(key));
  return *open;
}
}  // namespace

void writeSetting(SettingsStore& store, const QString& key, const QString& name,
                  const QString& text) {
  openForWrite(store, key).writeString(name, text);
}

void writeSetting(SettingsStore& store, const QString& key, const QString& name, int32_t value) {
  openForWrite(store, key).writeInteger(name, value);
}

}  // namespace doruzudo
