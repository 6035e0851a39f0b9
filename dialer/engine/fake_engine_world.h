// FakeEngineWorld: an Engine with everything around it, for the engine's
// tests: virtual time, simulated line units, fake sounds, voices and mail, a
// real call database in a temporary folder (or in a given one, shared with a
// second world), and settings the test adjusts before build().
//
// Defaults: the clock at 25/03/2026 09:00:00; every channel with Tentativa
// "3" and no campaign; dial digits that play for 80 ms each; a real call
// recorder whose recordings go to the fake sounds.
//
// Threads: one world per thread.
#pragma once

#include <QStringList>
#include <array>
#include <memory>

#include "common/call_database.h"
#include "common/event_log.h"
#include "common/manual_scheduler.h"
#include "dialer/engine/channel_view.h"
#include "dialer/engine/engine.h"
#include "dialer/engine/fake_channel_audio.h"
#include "dialer/engine/fake_mail_port.h"
#include "dialer/engine/fake_voice.h"
#include "dialer/line/call_recorder.h"
#include "dialer/line/line_port_sim.h"
#include "tests/testing.h"

namespace doruzudo {

class FakeEngineWorld {
 public:
  static constexpr int kDigitMs = 80;
  static inline const QString kProgramFolder = QStringLiteral("/opt/doruzudo/");

  explicit FakeEngineWorld(const QString& databaseFolder = {},
                           const QDateTime& start = QDateTime(QDate(2026, 3, 25), QTime(9, 0)))
      : scheduler(start),
        log(scheduler),
        line(scheduler),
        recorder(scheduler, log, [this] { return connected ? db.get() : nullptr; }) {
    auto opened = CallDatabase::open(databaseFolder.isEmpty() ? dir.path() : databaseFolder);
    if (!opened.ok()) throw std::runtime_error(opened.message().toStdString());
    db = *opened;
    line.bindDevices();
    const QString day = dir.path() + QStringLiteral("/Gravações/2026/Março/25");
    recorder.setDay({dir.path() + QStringLiteral("/Gravações/"),
                     dir.path() + QStringLiteral("/Gravações/2026/"),
                     dir.path() + QStringLiteral("/Gravações/2026/Março/"), day});
    for (int n = 1; n <= kChannelCount; ++n) {
      audio.at(n - 1) = std::make_unique<FakeChannelAudio>(scheduler);
      audio.at(n - 1)->setAutoFinish(Player::Digit, kDigitMs);
      settings(n).Tentativa = QStringLiteral("3");
    }
  }

  // The engine, built once from the settings as they are now (later changes
  // of the settings reach it too: it reads them in place).
  Engine& build() {
    if (engine) return *engine;
    EngineEnvironment env;
    env.scheduler = &scheduler;
    env.line = &line;
    env.log = &log;
    env.view = &view;
    for (int n = 1; n <= kChannelCount; ++n) {
      env.audio.at(n - 1) = audio.at(n - 1).get();
      env.voice.at(n - 1) = &voice.at(n - 1);
    }
    env.database = [this] { return connected ? db.get() : nullptr; };
    env.mail = &mail;
    env.recorder = &recorder;
    env.channels = &channels;
    env.general = &general;
    env.ProgramFolder = kProgramFolder;
    engine = std::make_unique<Engine>(std::move(env));
    return *engine;
  }

  ChannelSettings& settings(int n) { return channels.at(n - 1); }
  Channel& channel(int n) { return build().channel(n); }
  ChannelState& state(int n) { return channel(n).state(); }
  FakeChannelAudio& audioOf(int n) { return *audio.at(n - 1); }

  // A campaign with its result table and its numbers, in order; returns its id.
  int64_t addCampaign(const QString& name, const QStringList& numbers) {
    auto id = db->insertCampaign(name, scheduler.today());
    if (!id.ok()) throw std::runtime_error(id.message().toStdString());
    if (!db->createResultTable(name).ok()) throw std::runtime_error("result table");
    if (!db->insertNumbers(numbers, name, *id).ok()) throw std::runtime_error("numbers");
    return *id;
  }
  std::vector<PhoneRow> rows(const QString& campaign) { return *db->numbersOf(campaign); }

  // The log's messages without their date and time.
  QStringList messages() const {
    QStringList out;
    for (const QString& line : log.lines()) out << line.section(QStringLiteral(" - "), 2);
    return out;
  }
  int count(const QString& message) const { return static_cast<int>(messages().count(message)); }
  // The characters dialed on channel n's digit player, in order.
  QString dialed(int n) const {
    QString out;
    for (const QString& file : audio.at(n - 1)->files(Player::Digit)) {
      out += file.mid(kProgramFolder.size() + 8, 1);  // after "digitos/"
    }
    return out;
  }
  // The line commands channel n's unit took, in order.
  std::vector<LineCommand> commands(int n) const {
    std::vector<LineCommand> out;
    for (const auto& report : line.reportsFor(n)) out.push_back(report.command);
    return out;
  }

  testing::TempDir dir;
  ManualScheduler scheduler;
  EventLog log;
  LinePortSim line;
  CallRecorder recorder;  // WAV at 8000 Hz, into a day folder under the temporary folder
  RecordingChannelView view;
  std::array<std::unique_ptr<FakeChannelAudio>, kChannelCount> audio;
  std::array<FakeVoice, kChannelCount> voice;
  FakeMailPort mail;
  std::shared_ptr<CallDatabase> db;
  bool connected = true;  // false: the engine finds no database
  std::array<ChannelSettings, kChannelCount> channels;
  GeneralSettings general;
  std::unique_ptr<Engine> engine;  // last: goes first
};

}  // namespace doruzudo
