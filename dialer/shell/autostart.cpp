#include "dialer/shell/autostart.h"

#include <QDir>
#include <QSaveFile>

namespace doruzudo {

bool writeAutostartEntry(const QString& autostartFolder, const QString& program, bool enabled) {
  if (!QDir().mkpath(autostartFolder)) return false;
  QSaveFile file(autostartFolder + QStringLiteral("doruzudo.desktop"));
  if (!file.open(QIODevice::WriteOnly)) return false;
  QString text = QStringLiteral(
                     "[Desktop Entry]\nType=Application\nName=Doruzudo\n"
                     "Comment=Discador automático\nExec=\"%1\"\nX-GNOME-Autostart-enabled=%2\n")
                     .arg(program, enabled ? QStringLiteral("true") : QStringLiteral("false"));
  if (!enabled) text += QStringLiteral("Hidden=true\n");
  file.write(text.toUtf8());
  return file.commit();
}

}  // namespace doruzudo
