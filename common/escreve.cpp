#include "common/escreve.h"

#include <QFile>

namespace doruzudo {

bool Escreve(const QString& line, const QString& fileName) noexcept {
  try {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    const QByteArray bytes = line.toUtf8() + "\r\n";
    return file.write(bytes) == bytes.size();
  } catch (...) {
    return false;
  }
}

}  // namespace doruzudo
