// The text form of the settings store: the registry export format
// ("Windows Registry Editor Version 5.00", "[key]" sections, "Name"="text",
// "Name"=dword:0000001e), in UTF-8. Inside quoted texts \\ is a backslash,
// \" a quote, and \r, \n the line-break characters.
//
// Used by the installer (share/defaults.reg) and by doruzudo-admin.
// Pure functions over text, plus an import that is all or nothing.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "common/settings_store.h"
#include "common/status.h"

namespace doruzudo {

struct RegEntry {
  QString key;
  StoredValue value;
  int line = 0;  // where it stood in the text
};

// Parses the whole text; the first bad line ends it with an error naming
// `fileName` and the line number.
Result<std::vector<RegEntry>> parseRegText(const QByteArray& text, const QString& fileName);

// Writes every entry in one transaction: on any error nothing is written.
Status importRegEntries(SettingsStore& store, const std::vector<RegEntry>& entries);
// Reads and imports a file (all or nothing).
Status importRegFile(SettingsStore& store, const QString& fileName);

// The text of one key, or of every key when `key` is empty.
QByteArray exportRegText(SettingsStore& store, const std::optional<QString>& key);

// One value in its line form: "Name"="text" or "Name"=dword:0000001e.
QString regValueLine(const StoredValue& value);

}  // namespace doruzudo
