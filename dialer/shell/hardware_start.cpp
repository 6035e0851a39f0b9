#include "dialer/shell/hardware_start.h"

namespace doruzudo {

void HardwareStart::run() const {
  port.bindDevices();
  log.AddMsg(QStringLiteral("Quorix Doruzudo inicializado com sucesso."));
  log.AddMsg(QStringLiteral("Inicializando os Canais..."));
  const bool anySound = openAudio ? openAudio() : false;
  putLinesOnHookAtStart(port, log, anySound);
  if (startEngine) startEngine();
}

}  // namespace doruzudo
