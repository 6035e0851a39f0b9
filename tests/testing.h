// Helpers shared by the test programs: a temporary folder per test, a
// settings store in it, and the log lines a test produced.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "common/settings_store.h"

#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace doruzudo::testing {

// A fresh folder removed at the end of the test.
class TempDir {
 public:
  TempDir();
  QString path() const { return dir_.path(); }
  QString file(const QString& name) const { return dir_.filePath(name); }

 private:
  QTemporaryDir dir_;
};

// A settings store in a temporary folder.
std::shared_ptr<SettingsStore> makeStore(const TempDir& dir);

// Writes `text` to a file (UTF-8), creating folders.
void writeFile(const QString& path, const QByteArray& content);
QByteArray readFile(const QString& path);

}  // namespace doruzudo::testing
