// The start-with-the-session entry: an XDG autostart file
// (<autostart>/doruzudo.desktop). Switching the option off keeps the file and
// marks it Hidden, the desktop's way of disabling an entry.
#pragma once

#include <QString>

namespace doruzudo {

// Writes the entry; `program` is the dialer's executable. False on failure.
bool writeAutostartEntry(const QString& autostartFolder, const QString& program, bool enabled);

}  // namespace doruzudo
