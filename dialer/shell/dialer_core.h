// DialerCore: the dialer without its window. It owns the in-memory settings,
// the editors' model, the program-wide values fixed at start-up, and runs the
// start-up sequence (FormCreate), the shutdown (FormDestroy) and the
// application's error handler (EventoErro). The Qt window, when present, is a
// thin layer over it; tests and --headless drive it directly.
//
// Subsystems that arrive later (database, line units, voices, channels) plug
// in through Services; when a service is missing the start-up logs what it
// logs when that subsystem fails.
//
// Threads: main thread only.
#pragma once

#include <QDate>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "common/channel_settings.h"
#include "common/event_log.h"
#include "common/scheduler.h"
#include "common/settings_store.h"
#include "dialer/shell/folders.h"
#include "dialer/shell/settings_editors.h"

namespace doruzudo {

// A strict start-up read that failed: the value it was reading and why.
class StartupReadError : public SettingsError {
 public:
  StartupReadError(QString valueName, const QString& message)
      : SettingsError(message), valueName_(std::move(valueName)) {}
  const QString& valueName() const { return valueName_; }

 private:
  QString valueName_;
};

// The values fixed at start-up and kept for the life of the process.
struct ProgramValues {
  QString ProgramFolder, BaseFolder, RecordingsRoot, DatabaseFolder;
  int TodayYear = 0, TodayMonth = 0, TodayDay = 0;
  RecordingFolders today;  // the recordings folders of the start-up date
  int OsKind = 0;
  bool StartHidden = false;
  PlatformInfo platform;
};

class DialerCore {
 public:
  struct Services {
    // Steps 50 to 52: connect to the call database in `folder`, log the
    // outcome, count the unheard recordings and start their refresh.
    std::function<void(const QString& folder)> connectDatabase;
    // The database folder was changed on the options page: reconnect.
    std::function<void(const QString& folder)> reconnectDatabase;
    // tIniciaHid, 7000 ms after start-up: bind the line units and channels.
    std::function<void()> startLineInterface;
    // Steps 45 to 47: voices and their outputs.
    std::function<void()> bindVoices;
    // Step 6 and 35: the channels' run-time state (status, ring counts).
    std::function<void(int channel, int rings)> setRingCount;
    // The recordings root was changed on the options page (folders of the
    // start-up day recreated under it).
    std::function<void()> recordingsRootChanged;
    // Shutdown: speech, recordings and players stopped, units forgotten.
    std::function<void()> shutdown;
    // Where the error handler's composed line goes (standard error).
    std::function<void(const QString& line)> errorOutput;
    // Names the value a start-up stopped at (standard error).
    std::function<void(const QString& line)> adminNotice;
  };

  static constexpr int kIniciaHidMs = 7000;

  DialerCore(Scheduler& scheduler, EventLog& log, SettingsStore& store, Folders folders,
             Services services = {});
  ~DialerCore();

  // The start-up sequence. Returns false when a failing read ended it early
  // (the error went to EventoErro; the rest of the program still runs).
  bool FormCreate();
  // The shutdown: stops what runs, sends no line command, writes nothing.
  void FormDestroy();

  // The application's handler of errors that escape a handler: composes the
  // line "<date> <time> <message up to its first CR> - Controle: <control>",
  // writes it to the error output, and shows the operator nothing.
  void EventoErro(const QString& sender, const QString& message);

  // Which control has the keyboard focus (the window sets this).
  void setFocusedControl(QString name) { focusedControl_ = std::move(name); }

  std::array<ChannelSettings, kChannelCount>& channels() { return channels_; }
  GeneralSettings& general() { return general_; }
  SettingsEditors& editors() { return *editors_; }
  const ProgramValues& values() const { return values_; }
  Timer* tIniciaHid() { return tIniciaHid_.get(); }
  // The name of the value a start-up stopped at, if it stopped.
  std::optional<QString> stoppedAt() const { return stoppedAt_; }

 private:
  // Strict and text reads through the key opened at step 7.
  QString readText(const QString& name);
  int32_t readInt(const QString& name);
  bool readBool(const QString& name);
  QDate readDate(const QString& name);
  int readIntText(const QString& name);
  void writeDefault(const QString& name, const QString& text);

  void runSteps();
  void stepFolders();            // 8 to 10
  void stepSpeechControls();     // 15
  void stepMessageEditors();     // 16 to 23
  void stepDatesAndMenus();      // 24 to 28
  void stepMailAndWindows();     // 29 to 31
  void stepPeriods();            // 32 to 33
  void stepChannelValues();      // 34 to 41
  void stepGeneralValues();      // 42 to 49
  void stepConnect();            // 50 to 54

  Scheduler& scheduler_;
  EventLog& log_;
  SettingsStore& store_;
  Folders folders_;
  Services services_;
  std::array<ChannelSettings, kChannelCount> channels_;
  GeneralSettings general_;
  std::unique_ptr<SettingsEditors> editors_;
  ProgramValues values_;
  std::optional<SettingsKey> key_;
  std::unique_ptr<Timer> tIniciaHid_;
  QString focusedControl_;
  std::optional<QString> stoppedAt_;
};

}  // namespace doruzudo
