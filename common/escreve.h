// Escreve: appends one line (ended by CR LF) to a text file, creating the file
// when missing. Errors are absorbed: the line is then not written. Each call
// opens and closes the file. Returns whether the line was written.
// Thread-safe as far as the file system is.
#pragma once

#include <QString>

namespace doruzudo {

bool Escreve(const QString& line, const QString& fileName) noexcept;

}  // namespace doruzudo
