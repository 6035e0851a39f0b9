// The call database folder outside the dialer (doruzudo-admin): the
// dialer's stored PathBD, unless the operator names another folder.
// Threads: as the SettingsStore.
#pragma once

#include <QString>

#include "common/settings_store.h"
#include "common/status.h"

namespace doruzudo {

// `override` when not empty; else PathBD of the dialer's settings key in
// `store`; an error when neither names a folder.
Result<QString> databaseFolder(SettingsStore* store, const QString& override);

}  // namespace doruzudo
