#include "dialer/campaigns/database_folder.h"

#include <gtest/gtest.h>

#include "tests/testing.h"

namespace doruzudo {
namespace {

TEST(DatabaseFolder, GivenFolderElseStoredPathBdElseError) {
  testing::TempDir dir;
  auto store = testing::makeStore(dir);
  EXPECT_FALSE(databaseFolder(store.get(), {}).ok());  // no key yet
  EXPECT_FALSE(databaseFolder(nullptr, {}).ok());
  writeSetting(*store, SettingsStore::kConfigKey, QStringLiteral("PathBD"), QString());
  EXPECT_FALSE(databaseFolder(store.get(), {}).ok());  // empty
  writeSetting(*store, SettingsStore::kConfigKey, QStringLiteral("pathbd"),
               QStringLiteral("/srv/Dados"));
  EXPECT_EQ(*databaseFolder(store.get(), {}), QStringLiteral("/srv/Dados"));
  EXPECT_EQ(*databaseFolder(store.get(), QStringLiteral("/tmp/x")), QStringLiteral("/tmp/x"));
  writeSetting(*store, SettingsStore::kConfigKey, QStringLiteral("PathBD"), 7);  // wrong type
  EXPECT_FALSE(databaseFolder(store.get(), {}).ok());
}

}  // namespace
}  // namespace doruzudo
