#include "dialer/campaigns/database_folder.h"

namespace doruzudo {

Result<QString> databaseFolder(SettingsStore* store, const QString& override) {
  if (!override.isEmpty()) return override;
  if (!store) return Status::Error(QStringLiteral("no settings store; give --db-folder"));
  try {
    auto key = store->openKey(SettingsStore::kConfigKey);
    const QString folder = key ? key->readString(QStringLiteral("PathBD")) : QString();
    if (folder.isEmpty()) {
      return Status::Error(QStringLiteral("PathBD is not set in %1; give --db-folder")
                               .arg(SettingsStore::kConfigKey));
    }
    return folder;
  } catch (const SettingsError& e) {
    return Status::Error(e.message());
  }
}

}  // namespace doruzudo
