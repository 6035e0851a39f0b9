// DialerApp: the whole dialer put together from its parts, for the program's
// main() and for end-to-end tests. It owns the event log, the database
// connection, the line port, the settings core and the one-shot hardware
// start, and wires them as the start-up sequence expects.
//
// The scheduler and the settings store are handed in: production passes a
// QtScheduler and the user's store; tests pass a ManualScheduler and a store
// in a temporary folder, and drive the whole dialer in virtual time.
//
// Threads: main thread only.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "common/event_log.h"
#include "common/scheduler.h"
#include "common/settings_store.h"
#include "dialer/campaigns/database_connection.h"
#include "dialer/line/line_port.h"
#include "dialer/shell/dialer_core.h"
#include "dialer/shell/folders.h"
#include "dialer/shell/hardware_start.h"

namespace doruzudo {

class DialerApp {
 public:
  struct Options {
    Folders folders;
    // The line port; null: the hidraw units of this machine.
    std::unique_ptr<LinePort> linePort;
    // Every event-log line as it is added (headless: standard output).
    std::function<void(const QString& line)> logOutput;
    // The error handler's lines and the start-up's notices (standard error).
    std::function<void(const QString& line)> errorOutput;
  };

  DialerApp(Scheduler& scheduler, SettingsStore& store, Options options);
  ~DialerApp();

  // The start-up sequence; false when a setting stopped it early.
  bool start();
  // The shutdown.
  void stop();

  EventLog& log() { return log_; }
  DialerCore& core() { return *core_; }
  DatabaseConnection& database() { return database_; }
  LinePort& linePort() { return *linePort_; }

 private:
  Scheduler& scheduler_;
  SettingsStore& store_;
  EventLog log_;
  DatabaseConnection database_;
  std::unique_ptr<LinePort> linePort_;
  std::unique_ptr<HardwareStart> hardware_;
  std::unique_ptr<DialerCore> core_;
};

}  // namespace doruzudo
