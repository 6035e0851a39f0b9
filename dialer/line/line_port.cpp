// LinePort listeners and the line steps of the start-up (see line_port.h).
#include "dialer/line/line_port.h"

#include <algorithm>

#include "common/channel_settings.h"
#include "common/event_log.h"

namespace doruzudo {

int LinePort::addListener(Listener listener) {
  listeners_.emplace_back(nextListener_, std::move(listener));
  return nextListener_++;
}

void LinePort::removeListener(int id) {
  std::erase_if(listeners_, [id](const auto& entry) { return entry.first == id; });
}

Status LinePort::flash(int channel, const QString& flashCode) {
  const std::optional<LineCommand> command = flashCommand(flashCode);
  if (!command) return Status::Error(QStringLiteral("'%1' is no flash code").arg(flashCode));
  return Hid_Write(channel, *command);
}

void LinePort::notify(const LineUnitEvent& event) const {
  // A copy: a listener may add or remove listeners.
  const auto listeners = listeners_;
  for (const auto& [id, listener] : listeners) {
    if (listener) listener(event);
  }
}

void putLinesOnHookAtStart(LinePort& port, EventLog& log, bool anySoundDeviceFound) {
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    if (port.isBound(channel)) port.Hid_Write(channel, LineCommand::OnHook);
  }
  if (!anySoundDeviceFound) log.AddMsg(QString::fromUtf8(kNoChannelFoundMessage));
}

}  // namespace doruzudo
