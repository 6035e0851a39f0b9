// LinePort: how the call engine and the start-up drive the eight telephone
// lines. Each channel n (1..8) may have a bound line unit; Hid_Write sends one
// LineCommand to it. A command for a channel without a bound unit, or whose
// unit is unplugged, goes nowhere and raises nothing.
//
// Binding. Units are found as they are plugged in (each appended to its
// channel's candidates, never removed), but none is bound until the start-up
// calls bindDevices() (7000 ms after the window was created); from then on a
// channel keeps that unit until the program ends, even if it is unplugged
// and plugged again (the new one is only a further candidate).
//
// Implementations: LinePortHid (line_port_hid.h) over a HidBus, and
// LinePortSim (line_port_sim.h), simulated units that record every report.
//
// Threads: main thread only; listeners are called on it.
#pragma once

#include <QString>
#include <functional>
#include <utility>
#include <vector>

#include "common/status.h"
#include "dialer/line/line_report.h"

namespace doruzudo {

class EventLog;

// What the binding of one channel looks like now.
struct LineUnitStatus {
  bool bound = false;    // the channel has a bound unit
  bool plugged = false;  // ... and it is still plugged in
  QString deviceName;    // DeviceName of the bound unit ("Device VID=0416 PID=8401")
  QString path;          // where the bound unit was found
  int candidates = 0;    // units found for the channel since start
};

// A line unit plugged in or unplugged, or a channel bound to a unit (at the
// start-up binding; a rebinding of the same unit tells nothing).
struct LineUnitEvent {
  enum class Kind { Plugged, Unplugged, Bound };
  Kind kind = Kind::Plugged;
  int channel = 0;  // 1..8
  QString deviceName;
  QString path;
};

class LinePort {
 public:
  using Listener = std::function<void(const LineUnitEvent&)>;

  virtual ~LinePort() = default;

  // Sends `command` to channel `channel`'s bound unit (value byte 2). Callers
  // may ignore the result: Ok when the unit took the report, otherwise why
  // it did not (no unit bound, unit unplugged, open or send refused, channel
  // out of range). Never throws.
  virtual Status Hid_Write(int channel, LineCommand command) = 0;

  // The hook-flash of a channel's FlashCode text ("$2A", see ConvertFlash):
  // Hid_Write of that flash command, or an error, sending nothing, when the
  // text is no flash code.
  Status flash(int channel, const QString& flashCode);

  // The start-up binding: the start-up calls it when its one-shot timer
  // tIniciaHid fires (7000 ms after the main window was created, leaving
  // time for the units to be found), before opening the channels' audio.
  // Each channel with candidates selects its first unit still plugged in
  // and binds it; channels without one stay unbound.
  virtual void bindDevices() = 0;
  // Window activation (FormActivate): binds again each channel's selected
  // unit; before bindDevices() nothing is selected and nothing is bound.
  virtual void rebindDevices() = 0;

  virtual LineUnitStatus unitStatus(int channel) const = 0;
  bool isBound(int channel) const { return unitStatus(channel).bound; }
  // Display names of the channel's candidates, in the order found.
  virtual std::vector<QString> deviceCandidates(int channel) const = 0;

  // Listeners hear of every unit plugged or unplugged and every binding.
  // Returns an id for removeListener.
  int addListener(Listener listener);
  void removeListener(int id);

 protected:
  void notify(const LineUnitEvent& event) const;

 private:
  std::vector<std::pair<int, Listener>> listeners_;
  int nextListener_ = 0;
};

inline constexpr const char* kNoChannelFoundMessage = "Nenhum canal foi localizado.";

// The line steps of the start-up that follow the opening of the channels'
// audio: OnHook to every channel with a bound unit, 1 to 8 in order, then
// "Nenhum canal foi localizado." in the event log when no channel's sound
// device was found (whether or not line units were).
void putLinesOnHookAtStart(LinePort& port, EventLog& log, bool anySoundDeviceFound);

}  // namespace doruzudo
