// Sound devices of the channels: which channel a device serves, by its name.
//
// The sound device of channel n carries the word "MD0<n>" ("MD01" .. "MD08").
// With the modern naming (OsKind 5, always so on Linux) an input device is
// matched by the last word of its name, without "(" and ")": "Microfone
// (MD03)" and "Microfone (2- MD03)" serve channel 3; its output device is the
// input's name with every "Microfone" made "Alto-falantes". With the older
// naming the name must be exactly "MD0<n>" and names the output too.
//
// SoundDeviceList is what the channel lookup reads of the machine: the input
// devices by index (PortAudio's, or a simulated list).
//
// Thread-safety: pure functions; a SoundDeviceList is used from the main thread.
#pragma once

#include <QString>

#include "common/status.h"

namespace doruzudo {

// "MD01" .. "MD08".
QString channelDeviceName(int channel);

// The channel (1..8) an input device named `name` serves, or 0.
int channelOfInputDevice(const QString& name, int osKind);
// The output device that goes with input device `inputName`.
QString outputDeviceFor(const QString& inputName, int osKind);

class SoundDeviceList {
 public:
  virtual ~SoundDeviceList() = default;
  virtual int inputDeviceCount() = 0;
  // The name of input device `index` (0 .. count - 1).
  virtual Result<QString> inputDeviceName(int index) = 0;
};

}  // namespace doruzudo
