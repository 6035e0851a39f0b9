// SettingsStore: the dialer's configuration, a tree of keys holding named,
// typed values (text or 32-bit integer), kept in one SQLite file that the
// dialer and the recordings browser may have open at the same time.
//
// Key paths are kept as first written ("HKEY_LOCAL_MACHINE\Software\...");
// key paths and value names match without regard to letter case, and a
// trailing "\" names the same key. The file is created with mode 0600.
//
// Reads follow the conventions every caller relies on:
//  - readString: an absent value is the empty text; a value of another type
//    throws "Invalid data type for '<name>'";
//  - readInteger: absent throws "Failed to get data for '<name>'", another type
//    "Invalid data type for '<name>'";
//  - readBool/readDate/readTime/readIntText convert the text and throw
//    "'<text>' is not a valid boolean value" (date, time, integer value).
// Writes throw "Failed to set data for '<name>'" when the file refuses them.
// Every error is a SettingsError.
//
// Threads: one store object per thread; the file is shared between processes
// through SQLite's WAL journal and a busy timeout.
#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "common/status.h"

namespace doruzudo {

class SettingsError : public std::runtime_error {
 public:
  explicit SettingsError(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& message() const { return message_; }

 private:
  QString message_;
};

enum class ValueType { Text = 1, Integer = 4 };

struct StoredValue {
  QString name;
  ValueType type = ValueType::Text;
  QString text;         // when type is Text
  int32_t integer = 0;  // when type is Integer
};

class SettingsKey;

class SettingsStore {
 public:
  // The key of the dialer's settings.
  static const QString kConfigKey;

  // $DORUZUDO_SETTINGS, else ${XDG_CONFIG_HOME:-~/.config}/VantorDoruzudo/settings.db.
  static QString defaultPath();
  // Opens the file, creating it (mode 0600) and its folder when missing.
  static Result<std::shared_ptr<SettingsStore>> open(const QString& file);
  // Opens the file at defaultPath().
  static Result<std::shared_ptr<SettingsStore>> openDefault() { return open(defaultPath()); }

  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  QString fileName() const;
  bool keyExists(const QString& key) const;
  // Creates the key if it does not exist. Throws SettingsError on failure.
  void createKey(const QString& key);
  // Opens an existing key ("open without creating"); nullopt when it is missing.
  std::optional<SettingsKey> openKey(const QString& key);
  // Every key path, as first written, sorted without regard to case.
  std::vector<QString> keys() const;

  // Runs `fn` in one transaction: everything it writes lands, or (when it
  // throws) nothing does and the exception goes on.
  void transaction(const std::function<void()>& fn);

  struct Impl;

 private:
  explicit SettingsStore(std::unique_ptr<Impl> impl);
  std::shared_ptr<Impl> impl_;
  friend class SettingsKey;
};

// An open key. Cheap to copy; valid while its store lives.
class SettingsKey {
 public:
  QString path() const { return path_; }

  std::optional<StoredValue> value(const QString& name) const;
  bool valueExists(const QString& name) const { return value(name).has_value(); }
  std::vector<StoredValue> values() const;  // sorted by name without regard to case

  QString readString(const QString& name) const;
  int32_t readInteger(const QString& name) const;
  bool readBool(const QString& name) const;
  QDate readDate(const QString& name) const;
  QTime readTime(const QString& name) const;
  // A text value converted to an integer (for example "25" for a port).
  int readIntText(const QString& name) const;

  void writeString(const QString& name, const QString& text);
  void writeInteger(const QString& name, int32_t value);
  void writeBool(const QString& name, bool value);
  bool deleteValue(const QString& name);

 private:
  friend class SettingsStore;
  SettingsKey(std::shared_ptr<SettingsStore::Impl> impl, int64_t id, QString path)
      : impl_(std::move(impl)), id_(id), path_(std::move(path)) {}
  void write(const QString& name, ValueType type, const QString& text, int32_t integer);

  std::shared_ptr<SettingsStore::Impl> impl_;
  int64_t id_;
  QString path_;
};

// The editor write protocol: create the key if it does not exist, open it
// without creating, write, close. Throws SettingsError when a step fails.
void writeSetting(SettingsStore& store, const QString& key, const QString& name,
                  const QString& text);
void writeSetting(SettingsStore& store, const QString& key, const QString& name, int32_t value);

}  // namespace doruzudo
