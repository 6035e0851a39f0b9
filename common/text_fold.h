// Letter-case folding for searches that must ignore case also for accented
// letters ("ção" finds "AÇÃO"), which SQLite's LIKE, lower() and NOCASE do not
// do: they fold ASCII letters only.
//
// foldCase() is a pure function; thread-safe. registerFoldFunction() installs
// it in one SQLite connection as the SQL function fold(text), which returns
// NULL for NULL.
#pragma once

#include <sqlite3.h>

#include <QString>

#include "common/status.h"

namespace doruzudo {

// The case-folded form of `text` (Unicode full case folding).
QString foldCase(const QString& text);

// Adds fold(X) to the connection. Deterministic, so it may be used in indexes.
Status registerFoldFunction(sqlite3* db);

}  // namespace doruzudo
