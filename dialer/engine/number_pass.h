// The new pass over a campaign's list, as the dialer starts it: every row of
// the campaign is free again ("NÃO"), except the rows this dialer's channels
// are dialing right now, so that no number is called on two lines at once.
// One statement.
//
// Threads: as CallDatabase (the thread that opened it).
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "common/call_database.h"

namespace doruzudo {

// Returns the number of rows made free.
Result<int> startNewPassKeeping(CallDatabase& db, const QString& campaign,
                                const std::vector<int64_t>& keptTaken);

}  // namespace doruzudo
