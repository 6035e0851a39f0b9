// The call database of a doruzudo-admin command.
#include "dialer/campaigns/database_folder.h"
#include "tools/admin_command.h"

namespace doruzudo::admin {

Result<QString> commandDatabaseFolder(const std::optional<QString>& given) {
  if (given) return databaseFolder(nullptr, *given);
  auto store = SettingsStore::openDefault();
  if (!store) return store.status();
  return databaseFolder(store->get(), QString());
}

Result<std::shared_ptr<CallDatabase>> openCommandDatabase(const std::optional<QString>& given,
                                                          bool create) {
  auto folder = commandDatabaseFolder(given);
  if (!folder) return folder.status();
  return CallDatabase::open(*folder, create);
}

}  // namespace doruzudo::admin
