// The one-shot start of the lines, run when tIniciaHid fires seven seconds
// after the start-up sequence: bind each channel's line unit, log the start,
// open the channels' audio, put every bound line on-hook, and hand the
// channels to the call engine.
//
// Threads: main thread only.
#pragma once

#include <functional>

#include "common/event_log.h"
#include "dialer/line/line_port.h"

namespace doruzudo {

struct HardwareStart {
  LinePort& port;
  EventLog& log;
  // Opens every channel's sound device and input stream (with its waits),
  // then calls back with true when at least one channel's device was found.
  std::function<void(std::function<void(bool anyFound)> done)> openAudio;
  // Enables the eight dialing timers.
  std::function<void()> startEngine;

  void run() const;
};

}  // namespace doruzudo
