#include "dialer/shell/folders.h"

#include <sys/utsname.h>

#include <QCoreApplication>
#include <QDir>

namespace doruzudo {

namespace {
QString withSlash(QString path) {
  if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  return path;
}
}  // namespace

Folders Folders::fromEnvironment() {
  Folders f;
  f.program = withSlash(QCoreApplication::applicationDirPath());
  f.home = withSlash(QDir::homePath());
  QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
  if (config.isEmpty()) config = f.home + QStringLiteral(".config");
  f.autostart = withSlash(config) + QStringLiteral("autostart/");
  return f;
}

QString monthName(int month) {
  static const char* const kNames[] = {"Janeiro", "Fevereiro", "Março",    "Abril",
                                       "Maio",    "Junho",     "Julho",    "Agosto",
                                       "Setembro", "Outubro",  "Novembro", "Dezembro"};
  if (month < 1 || month > 12) return QString();
  return QString::fromUtf8(kNames[month - 1]);
}

RecordingFolders recordingFolders(const QString& root, const QDate& date) {
  RecordingFolders f;
  f.year = root + QString::number(date.year()) + QLatin1Char('/');
  f.month = f.year + monthName(date.month()) + QLatin1Char('/');
  f.day = f.month + QStringLiteral("%1").arg(date.day(), 2, 10, QLatin1Char('0'));
  return f;
}

RecordingFolders CriaPasta(const QString& root, const QDate& date) {
  const RecordingFolders f = recordingFolders(root, date);
  QDir dir;
  for (const QString& path : {root, f.year, f.month, f.day}) {
    if (!QDir(path).exists()) dir.mkdir(path);  // failures are ignored
  }
  return f;
}

PlatformInfo platformInfo() {
  struct utsname u {};
  if (::uname(&u) != 0) return {};
  return {QString::fromLocal8Bit(u.sysname), QString::fromLocal8Bit(u.release),
          QString::fromLocal8Bit(u.version)};
}

}  // namespace doruzudo
