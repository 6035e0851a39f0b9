// DialerApp: the whole dialer put together from its parts, for the program's
// main() and for end-to-end tests: settings core, event log, database
// connection, line units, the channels' sound, speech voices, e-mail notices,
// the call engine, and, in a simulated run, the virtual exchange on the lines.
//
// The scheduler and the settings store are handed in: production passes a
// QtScheduler and the user's store; tests and fast simulated runs pass a
// ManualScheduler and drive the whole dialer in virtual time.
//
// Threads: main thread only.
#pragma once

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "common/event_log.h"
#include "common/scheduler.h"
#include "common/settings_store.h"
#include "dialer/campaigns/database_connection.h"
#include "dialer/engine/channel_view.h"
#include "dialer/line/line_port.h"
#include "dialer/shell/dialer_core.h"
#include "dialer/shell/folders.h"
#include "dialer/shell/hardware_start.h"

namespace doruzudo {

class CallRecorder;
class ChannelAudioSet;
class ChannelAudioSim;
class Engine;
class EspeakVoice;
class LinePortSim;
class MailPort;
class VoiceLineAudio;
namespace sim {
class VirtualExchange;
}

class DialerApp {
 public:
  struct Options {
    Folders folders;
    // A simulated run: the virtual exchange plays the far end of every line
    // with this scenario file (empty text: the shipped demo scenario).
    std::optional<QString> simulateScenario;
    // Where the exchange writes the ground truth of every call (simulated runs).
    QString truthFile;
    // The far-end parties speak with espeak-ng (false: speech-like noise).
    bool partySpeech = true;
    // Every event-log line as it is added (headless: standard output).
    std::function<void(const QString& line)> logOutput;
    // The error handler's lines and the start-up's notices (standard error).
    std::function<void(const QString& line)> errorOutput;
  };

  DialerApp(Scheduler& scheduler, SettingsStore& store, Options options);
  ~DialerApp();

  // Builds what failed to build is reported through errorOutput; false when
  // the simulated run cannot start (its scenario does not load).
  bool ok() const { return ok_; }
  // The start-up sequence; false when a setting stopped it early.
  bool start();
  // The shutdown: nothing more reaches the lines.
  void stop();

  EventLog& log() { return log_; }
  DialerCore& core() { return *core_; }
  DatabaseConnection& database() { return database_; }
  LinePort& linePort() { return *linePort_; }
  RecordingChannelView& view() { return view_; }
  // Null until tIniciaHid built it.
  Engine* engine() { return engine_.get(); }
  // The channels were handed to the engine (the lines' start has ended).
  bool engineStarted() const { return engineStarted_; }
  sim::VirtualExchange* exchange() { return exchange_.get(); }
  // A simulated run's line units and channel n's (1..8) sound; null otherwise.
  LinePortSim* simulatedLines() { return simPort_; }
  ChannelAudioSim* simulatedAudio(int n);

 private:
  void buildSimulation(const Options& options);
  void buildEngine();

  Scheduler& scheduler_;
  SettingsStore& store_;
  EventLog log_;
  DatabaseConnection database_;
  RecordingChannelView view_;
  std::function<void(const QString&)> errorOutput_;
  std::unique_ptr<LinePort> linePort_;
  LinePortSim* simPort_ = nullptr;
  std::unique_ptr<ChannelAudioSet> audio_;
  std::array<std::unique_ptr<VoiceLineAudio>, kChannelCount> voiceLines_;
  std::array<std::unique_ptr<EspeakVoice>, kChannelCount> voices_;
  std::unique_ptr<MailPort> mail_;
  std::unique_ptr<CallRecorder> recorder_;
  std::unique_ptr<sim::VirtualExchange> exchange_;
  std::unique_ptr<HardwareStart> hardware_;
  std::unique_ptr<DialerCore> core_;
  std::unique_ptr<Engine> engine_;
  bool ok_ = true;
  bool engineStarted_ = false;
};

}  // namespace doruzudo
