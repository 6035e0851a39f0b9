#include "dialer/shell/hardware_start.h"

namespace doruzudo {

void HardwareStart::run() const {
  port.bindDevices();
  log.AddMsg(QStringLiteral("Quorix Doruzudo inicializado com sucesso."));
  log.AddMsg(QStringLiteral("Inicializando os Canais..."));
  auto rest = [this](bool anySound) {
    putLinesOnHookAtStart(port, log, anySound);
    if (startEngine) startEngine();
  };
  if (openAudio) {
    openAudio(rest);
  } else {
    rest(false);
  }
}

}  // namespace doruzudo
