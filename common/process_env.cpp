#include "common/process_env.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>

namespace doruzudo {

void prepareProcessEnvironment() {
  if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
  const QByteArray dir = "/tmp/runtime-" + QByteArray::number(::getuid());
  ::mkdir(dir.constData(), 0700);
  struct stat st {};
  if (::stat(dir.constData(), &st) == 0 && st.st_uid == ::getuid()) {
    ::chmod(dir.constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", dir);
  }
}

}  // namespace doruzudo
