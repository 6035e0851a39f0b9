// DatabaseFaults: makes the call database refuse every statement that changes
// rows (telefones, one campaign's result table, registro) while armed, as a
// failing disk or another program holding the file would. Installed as
// triggers through a connection of its own, so the dialer's connection sees
// nothing but failing statements. For fault-injection runs and tests only.
//
// Threads: as CallDatabase (the thread that installed it).
#pragma once

#include <QString>
#include <memory>

#include "common/call_database.h"
#include "common/status.h"

namespace doruzudo::sim {

class DatabaseFaults {
 public:
  // Installs the triggers (disarmed) into the database in `folder`.
  static Result<std::unique_ptr<DatabaseFaults>> install(const QString& folder,
                                                         const QString& campaign);
  // Arms or disarms; each arming counts as one burst.
  Status arm(bool on);
  bool armed() const { return armed_; }
  int bursts() const { return bursts_; }

 private:
  explicit DatabaseFaults(std::shared_ptr<CallDatabase> db) : db_(std::move(db)) {}

  std::shared_ptr<CallDatabase> db_;
  bool armed_ = false;
  int bursts_ = 0;
};

}  // namespace doruzudo::sim
