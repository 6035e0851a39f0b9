#include "tests/testing.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace doruzudo::testing {

TempDir::TempDir() { EXPECT_TRUE(dir_.isValid()); }

std::shared_ptr<SettingsStore> makeStore(const TempDir& dir) {
  auto store = SettingsStore::open(dir.file(QStringLiteral("settings.db")));
  EXPECT_TRUE(store.ok()) << store.message().toStdString();
  return store.ok() ? *store : nullptr;
}

void writeFile(const QString& path, const QByteArray& content) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(content);
}

QByteArray readFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

}  // namespace doruzudo::testing
