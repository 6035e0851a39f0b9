// Process set-up shared by the programs, run before the Qt application
// object exists: a private runtime folder when the session gives none (Qt
// needs one and complains otherwise, e.g. under a service manager or CI).
#pragma once

namespace doruzudo {

void prepareProcessEnvironment();

}  // namespace doruzudo
