// The whole dialer against the virtual exchange, in virtual time, call mode
// by call mode and outcome by outcome: for every call the result row, the
// recording row and file, the event log, the status labels the channel
// showed and the exchange's record of what happened on the line must agree.
//
// Each channel dials a campaign of its own, so that every number is dialed on
// a known channel; the numbers are whole-number lines of the scenario, so the
// exchange completes them at their last digit.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <array>
#include <limits>
#include <map>
#include <optional>
#include <vector>

#include "common/call_database.h"
#include "common/manual_scheduler.h"
#include "common/reg_file.h"
#include "dialer/campaigns/campaign_generator.h"
#include "dialer/engine/channel_state.h"
#include "dialer/engine/engine.h"
#include "dialer/line/audio_file.h"
#include "dialer/shell/dialer_app.h"
#include "sim/virtual_exchange.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

const QDate kDay(2026, 3, 25);
const QDateTime kStart(kDay, QTime(9, 0));

// The campaign channel `n` dials alone.
QString campaignOf(int n) { return QStringLiteral("LINHA%1").arg(n); }

// Length of a sound file in ms (-1 when it cannot be read).
int64_t lengthMs(const QString& path) {
  auto audio = readMonoAudio(path, 0);
  if (!audio.ok() || audio->rate <= 0) return -1;
  return static_cast<int64_t>(audio->samples.size()) * 1000 / audio->rate;
}

class CallMatrix : public ::testing::Test {
 protected:
  // What one number went through, gathered by run().
  struct Call {
    int channel = 0;
    int calls = 0;                // times the exchange saw it dialed
    sim::CallTruth truth;         // the last of them
    std::optional<ResultRow> row;  // its row in the channel's result table
    // The status labels the channel showed during the call, with the virtual
    // time (ms since the start) each appeared at.
    std::vector<std::pair<int64_t, QString>> labels;
    std::vector<int> colours;  // the title colours, in order, without repeats
    int64_t offHookAt = 0;     // virtual time of the off-hook

    // When the label first appeared, in line time (ms since the off-hook, as
    // the exchange counts); nullopt when it was not shown.
    std::optional<int64_t> labelAt(const QString& text) const {
      for (const auto& [at, label] : labels) {
        if (label == text) return at - offHookAt;
      }
      return std::nullopt;
    }
    bool showed(const QString& text) const { return labelAt(text).has_value(); }
    // Line time from `from` to `to`; when either is missing, a value no
    // upper bound admits.
    static int64_t span(std::optional<int64_t> from, std::optional<int64_t> to) {
      return from && to ? *to - *from : std::numeric_limits<int64_t>::max();
    }
  };

  void SetUp() override {
    store_ = testing::makeStore(dir_);
    ASSERT_TRUE(store_);
    ASSERT_TRUE(importRegFile(*store_, DORUZUDO_SOURCE_DIR "/share/defaults.reg").ok());
    dbFolder_ = dir_.path() + "/home/Doruzudo/Dados";
    general("PathBD", dbFolder_);
    for (int n = 1; n <= kChannelCount; ++n) set(n, "Tentativa", QStringLiteral("1"));
    // A program folder of our own, so that a test can take an announcement away.
    // The shipped sounds are made into the build's bin folder.
    const QString shipped = QCoreApplication::applicationDirPath() + "/../bin/";
    program_ = dir_.path() + "/program/";
    for (const char* folder : {"digitos", "Audio", "audio"}) {
      const QDir from(shipped + folder);
      ASSERT_TRUE(from.exists()) << "the shipped sounds are missing: " << from.path().toStdString();
      QDir().mkpath(program_ + folder);
      for (const QString& name : from.entryList(QDir::Files)) {
        ASSERT_TRUE(QFile::copy(from.filePath(name), program_ + folder + "/" + name));
      }
    }
  }

  void general(const char* name, const QString& value) {
    writeSetting(*store_, SettingsStore::kConfigKey, QString::fromLatin1(name), value);
  }
  void set(int n, const char* base, const QString& value) {
    writeSetting(*store_, SettingsStore::kConfigKey, channelValue(base, n), value);
  }
  void set(int n, const char* base, int value) {
    writeSetting(*store_, SettingsStore::kConfigKey, channelValue(base, n), value);
  }
  // The call mode by its index in the mode list, as the editor stores it.
  void setMode(int n, int index, const QString& word) {
    set(n, "IDTrans", index);
    set(n, "Trans", word);
  }
  void setRamal(int n, const QString& ramal) {
    set(n, "Ramal", ramal);
    set(n, "TamDigitos", static_cast<int>(ramal.size()));
  }
  void setFlash(int n, int ms) {
    set(n, "IDFlash", ms / 100 - 1);
    set(n, "Flash", QString::number(ms));
  }
  void withoutAnnouncement(int n) {
    ASSERT_TRUE(QFile::remove(announcement(n)));
  }
  QString announcement(int n) const { return program_ + QStringLiteral("audio/TransC%1.wav").arg(n); }
  QString message(int n) const { return program_ + QStringLiteral("Audio/AudioCanal%1.wav").arg(n); }

  // A number for channel `n`'s campaign whose far end does `behaviour` (a
  // scenario behaviour with its keys).
  QString dial(int n, const QString& behaviour) {
    const QString number = QStringLiteral("9%1%2").arg(n).arg(++numbers_, 3, 10, QChar('0'));
    scenario_ += number + " " + behaviour + "\n";
    campaigns_[n] << number;
    channelOf_[number] = n;
    return number;
  }

  // Runs the dialer from kStart until every channel has finished its list.
  void run() {
    testing::writeFile(dir_.file("scenario.txt"),
                       ("tones br\nnoise -60\nlevel -15\nseed 7\n" + scenario_).toUtf8());
    {
      QDir().mkpath(dbFolder_);
      auto db = CallDatabase::open(dbFolder_);
      ASSERT_TRUE(db.ok());
      for (const auto& [n, numbers] : campaigns_) {
        const QString file = dir_.file(QStringLiteral("numbers%1.txt").arg(n));
        testing::writeFile(file, numbers.join('\n').toUtf8());
        CampaignGenerator generator((*db).get(), [&](int channel, const QString& name) {
          set(channel, "Campanha", name);
        });
        CampaignRequest request{file, campaignOf(n), {}};
        request.channels.at(n - 1) = true;
        ASSERT_EQ(generator.generate(request, kDay).kind, CampaignOutcome::Kind::Generated);
      }
    }

    ManualScheduler scheduler(kStart);
    DialerApp::Options options;
    options.folders = {program_, dir_.path() + "/home/", dir_.path() + "/autostart/"};
    options.simulateScenario = dir_.file("scenario.txt");
    options.partySpeech = partySpeech_;
    options.logOutput = [this](const QString& line) { log_ << line; };
    options.errorOutput = [this](const QString& line) { errors_ << line; };
    DialerApp dialer(scheduler, *store_, std::move(options));
    ASSERT_TRUE(dialer.ok());
    ASSERT_TRUE(dialer.start());

    // What each channel showed since its last call ended.
    std::array<std::vector<std::pair<int64_t, QString>>, kChannelCount> labels;
    std::array<std::vector<int>, kChannelCount> colours;
    std::array<QString, kChannelCount> lastLabel;
    std::array<int, kChannelCount> lastColour;
    lastColour.fill(ChannelView::kColourDefault);
    dialer.exchange()->setCallEnded([&](const sim::CallTruth& truth) {
      Call& call = calls_[truth.dialed];
      call.channel = truth.channel;
      ++call.calls;
      call.truth = truth;
      call.offHookAt = kStart.msecsTo(
          QDateTime::fromString(truth.offHookAt, Qt::ISODateWithMs));
      const auto i = static_cast<size_t>(truth.channel - 1);
      call.labels = std::move(labels.at(i));
      call.colours = std::move(colours.at(i));
      labels.at(i).clear();
      colours.at(i).clear();
    });
    for (int step = 0; !(dialer.engineStarted() && dialer.engine()->allStopped()); ++step) {
      const int64_t next = scheduler.msUntilNext();
      ASSERT_GE(next, 0);
      scheduler.advance(next);
      for (int n = 1; n <= kChannelCount; ++n) {
        const auto i = static_cast<size_t>(n - 1);
        const QString label = dialer.view().statusLabel(n);
        if (label != lastLabel.at(i)) labels.at(i).emplace_back(scheduler.elapsedMs(), label);
        lastLabel.at(i) = label;
        const int colour = dialer.view().titleColour(n);
        if (colour != lastColour.at(i)) colours.at(i).push_back(colour);
        lastColour.at(i) = colour;
      }
      if (step % 64 == 0) QCoreApplication::processEvents();
      ASSERT_LT(scheduler.elapsedMs(), 3600 * 1000) << "the campaigns did not finish";
    }

    auto db = dialer.database().database();
    ASSERT_TRUE(db);
    for (const auto& [n, numbers] : campaigns_) {
      auto left = db->numbersOf(campaignOf(n));
      ASSERT_TRUE(left.ok());
      for (const PhoneRow& row : *left) leftBehind_ << row.telefone;
      auto rows = db->resultRows(campaignOf(n));
      ASSERT_TRUE(rows.ok());
      for (const ResultRow& row : *rows) {
        Call& call = calls_[row.telefone];
        EXPECT_FALSE(call.row) << row.telefone.toStdString() << " is in its result table twice";
        call.row = row;
      }
    }
    auto recordings = db->allRecordings();
    ASSERT_TRUE(recordings.ok());
    recordings_ = *recordings;
    dialer.stop();
  }

  // Checks every number was dialed once on its channel and ended in its
  // result table once; returns the call of `number`.
  const Call& call(const QString& number) {
    const Call& c = calls_[number];
    EXPECT_EQ(c.calls, 1) << number.toStdString();
    EXPECT_EQ(c.channel, channelOf_[number]) << number.toStdString();
    EXPECT_TRUE(c.row) << number.toStdString() << " has no result row";
    return c;
  }

  QString status(const QString& number) {
    const Call& c = call(number);
    return c.row ? c.row->status : QString();
  }

  // Lines of the event log that end with `text` (the log stamps the front).
  int logged(const QString& text) const {
    int count = 0;
    for (const QString& line : log_) count += line.endsWith(" - " + text) ? 1 : 0;
    return count;
  }

  // When the first line of the event log that ends with `text` was logged
  // (whole seconds); invalid when there is none.
  QDateTime loggedAt(const QString& text) const {
    for (const QString& line : log_) {
      if (line.endsWith(" - " + text)) {
        return QDateTime::fromString(line.left(21), QStringLiteral("dd/MM/yyyy - HH:mm:ss"));
      }
    }
    return {};
  }

  // The recording rows of channel `n`.
  std::vector<RecordingRow> recordingsOf(int n) const {
    std::vector<RecordingRow> rows;
    for (const RecordingRow& row : recordings_) {
      if (row.nCanal == QString::number(n)) rows.push_back(row);
    }
    return rows;
  }

  static std::string describe(const Call& c) {
    QString labels;
    for (const auto& [at, label] : c.labels) labels += QStringLiteral(" %1@%2").arg(label).arg(at);
    return (QString::fromUtf8(QJsonDocument(c.truth.toJson()).toJson(QJsonDocument::Compact)) +
            " labels:" + labels)
        .toStdString();
  }

  void expectAllEnded() const {
    EXPECT_TRUE(leftBehind_.isEmpty()) << leftBehind_.join(' ').toStdString();
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
  }

  testing::TempDir dir_;
  std::shared_ptr<SettingsStore> store_;
  QString dbFolder_, program_;
  QString scenario_;
  int numbers_ = 0;
  std::map<int, QStringList> campaigns_;
  std::map<QString, int> channelOf_;

  std::map<QString, Call> calls_;
  QStringList log_, errors_, leftBehind_;
  std::vector<RecordingRow> recordings_;
  bool partySpeech_ = false;  // the parties speak with espeak-ng (else babble)
};

// Every outcome of call progress on every channel, with 1 to 3 rings before
// a call is abandoned. The order of the outcomes turns with the channel, so
// each outcome is some channel's first call and follows another elsewhere.
TEST_F(CallMatrix, EveryChannelClassifiesWhatHappenedOnItsLine) {
  enum Outcome { Busy, Ring, NoRingback, Silent, Voice };
  const std::vector<std::pair<Outcome, QString>> outcomes = {
      {Busy, "busy"},
      {Ring, "ring"},
      {NoRingback, "noringback"},
      {Silent, "answer rings=1 talk=silent"},
      {Voice, "answer rings=%1"},  // on the last ring before the call is abandoned
  };
  std::map<QString, Outcome> outcomeOf;
  std::map<int, int> toques;
  for (int n = 1; n <= kChannelCount; ++n) {
    toques[n] = 1 + (n - 1) % 3;
    set(n, "Toques", toques[n]);
    for (size_t k = 0; k < outcomes.size(); ++k) {
      const auto& [outcome, behaviour] = outcomes.at((k + static_cast<size_t>(n)) % outcomes.size());
      outcomeOf[dial(n, QString(behaviour).replace("%1", QString::number(toques[n])))] = outcome;
    }
  }
  ASSERT_NO_FATAL_FAILURE(run());
  expectAllEnded();

  for (const auto& [number, outcome] : outcomeOf) {
    const Call& c = call(number);
    const int n = c.channel;
    const sim::CallTruth& t = c.truth;
    SCOPED_TRACE(number.toStdString() + " on channel " + std::to_string(n) + ": " + describe(c));
    ASSERT_TRUE(c.row);
    EXPECT_EQ(c.row->tentativas, 1);
    EXPECT_EQ(c.row->data, kDay);
    EXPECT_EQ(c.row->opcao1, QString());
    EXPECT_FALSE(t.flashAtMs);
    switch (outcome) {
      case Busy:
        EXPECT_EQ(c.row->status, calldb::kStatusBusy);
        EXPECT_TRUE(c.showed(label::kBusy));
        EXPECT_FALSE(c.showed(label::kPlaying));
        break;
      case Ring:
        EXPECT_EQ(c.row->status, calldb::kStatusNoAnswer);
        EXPECT_TRUE(c.showed(label::kNoAnswer));
        EXPECT_EQ(t.ringsPlayed, toques[n] + 1);  // abandoned at ring Toques + 1
        break;
      case NoRingback:
        EXPECT_EQ(c.row->status, calldb::kStatusSwitchFailure);
        // 60 s after the last digit, then the release.
        EXPECT_GE(Call::span(t.completedAtMs, t.onHookAtMs), 60000);
        EXPECT_LE(Call::span(t.completedAtMs, t.onHookAtMs), 61500);
        break;
      case Silent:
        if (n >= 2 && n <= 4) {
          // The ringback stopped and no voice came: a call failure 10 s
          // after the last ring.
          EXPECT_EQ(c.row->status, calldb::kStatusCallFailure);
          EXPECT_FALSE(c.showed(label::kPlaying));
          EXPECT_GE(Call::span(t.answeredAtMs, t.onHookAtMs), 9500);
          EXPECT_LE(Call::span(t.answeredAtMs, t.onHookAtMs), 11000);
        } else {
          // The end of ringback counts as the answer 5.5 s after the last ring.
          EXPECT_EQ(c.row->status, calldb::kStatusAnswered);
          EXPECT_GE(Call::span(t.answeredAtMs, c.labelAt(label::kPlaying)), 5000);
          EXPECT_LE(Call::span(t.answeredAtMs, c.labelAt(label::kPlaying)), 6500);
        }
        break;
      case Voice: {
        EXPECT_EQ(c.row->status, calldb::kStatusAnswered);
        EXPECT_EQ(t.ringsPlayed, toques[n]);
        // Heard as a voice, not 5.5 s later as the end of ringback.
        EXPECT_LE(Call::span(t.answeredAtMs, c.labelAt(label::kPlaying)), 2000);
        ASSERT_TRUE(t.messageEndedAtMs);
        // Mode "NÃO" hangs up when the wait for keys ends: 1 s on channel 2's
        // first wait, 4 s elsewhere (the party notices the end 0.5 s late).
        const int64_t wait = n == 2 ? 1000 : 4000;
        EXPECT_GE(Call::span(t.messageEndedAtMs, t.onHookAtMs), wait - 600);
        EXPECT_LE(Call::span(t.messageEndedAtMs, t.onHookAtMs), wait + 300);
        break;
      }
    }
  }
  EXPECT_EQ(logged("Discagem não concluida."), kChannelCount);
  EXPECT_EQ(logged("Falha na chamada."), 3);
  for (int n = 1; n <= kChannelCount; ++n) {
    EXPECT_EQ(logged(QStringLiteral("Desconectando Canal %1").arg(n)), 5) << "channel " << n;
    EXPECT_EQ(logged(QStringLiteral("Não há mais telefones para discagem no Canal %1.").arg(n)), 1);
  }
  EXPECT_TRUE(recordings_.empty());
}

// Mode "SIM" transfers when the wait ends: with the announcement first when
// there is one, then the flash, the extension's digits and the hang-up 2 s
// later; without an extension it hangs up after the flash. Mode
// "ConsBloqueioC<n>" does the same outside the transfer-block windows and
// hangs up inside them.
TEST_F(CallMatrix, TransferModesFlashAndDialTheExtension) {
  const int64_t ann = lengthMs(announcement(1));
  ASSERT_GT(ann, 1000);
  struct Case {
    int channel;
    QString ramal;
    bool announcement;
    int flashMs;
  };
  const std::vector<Case> cases = {
      {1, "2345", true, 300},
      {2, "", false, 300},
      {3, "", true, 300},
      {4, "8", false, 500},
  };
  std::map<QString, Case> caseOf;
  for (const Case& k : cases) {
    setMode(k.channel, 0, mode::kTransfer);
    setRamal(k.channel, k.ramal);
    setFlash(k.channel, k.flashMs);
    if (!k.announcement) withoutAnnouncement(k.channel);
    caseOf[dial(k.channel, "answer rings=1")] = k;
  }
  // Channel 6 blocks transfers from 09:00:00 to 09:00:59: its first call is
  // answered within that minute, its third well after it.
  general("HoraIni1", "09:00");
  general("HoraFim1", "09:00");
  setMode(6, 4, mode::blockCheck(6));
  setRamal(6, "45");
  const QString blocked = dial(6, "answer rings=1");
  const QString later = dial(6, "noringback");
  const QString allowed = dial(6, "answer rings=1");
  ASSERT_NO_FATAL_FAILURE(run());
  expectAllEnded();

  for (const auto& [number, k] : caseOf) {
    const Call& c = call(number);
    const sim::CallTruth& t = c.truth;
    SCOPED_TRACE(number.toStdString() + ": " + describe(c));
    EXPECT_EQ(status(number), calldb::kStatusAnswered);
    ASSERT_TRUE(t.flashAtMs);
    EXPECT_TRUE(c.showed(label::kTransferring));
    // The message, 250 ms of wait, the announcement when there is one.
    const int64_t toTransfer = lengthMs(message(k.channel)) + 250 + (k.announcement ? ann : 0);
    const int64_t transferAt = Call::span(c.labelAt(label::kPlaying), c.labelAt(label::kTransferring));
    EXPECT_GE(transferAt, toTransfer - 100);
    EXPECT_LE(transferAt, toTransfer + 300);
    const int64_t flashToOnHook = Call::span(t.flashAtMs, t.onHookAtMs);
    if (k.ramal.isEmpty()) {
      EXPECT_FALSE(t.transferredTo);
      // Flash + 3 s for the dial tone, then the release 50 ms later.
      EXPECT_GE(flashToOnHook, k.flashMs + 3000);
      EXPECT_LE(flashToOnHook, k.flashMs + 3000 + 400);
    } else {
      EXPECT_EQ(t.transferredTo, k.ramal);
      // Flash + 3 s, the digits (200 ms each) back to back, 2 s, on-hook.
      const int64_t expected = k.flashMs + 3000 + 200 * k.ramal.size() + 2000;
      EXPECT_GE(flashToOnHook, expected - 100);
      EXPECT_LE(flashToOnHook, expected + 400);
    }
    EXPECT_EQ(logged(QStringLiteral("Transferindo ligação no canal %1").arg(k.channel)),
              k.ramal.isEmpty() ? 0 : 1);
  }

  const Call& first = call(blocked);
  const Call& third = call(allowed);
  SCOPED_TRACE(describe(first) + "\n" + describe(third));
  ASSERT_TRUE(first.labelAt(label::kPlaying) && third.labelAt(label::kPlaying));
  ASSERT_LT(first.offHookAt + *first.labelAt(label::kPlaying) + 15000, 60000) << "premise";
  ASSERT_GT(third.offHookAt + *third.labelAt(label::kPlaying), 60000) << "premise";
  EXPECT_EQ(status(blocked), calldb::kStatusAnswered);
  EXPECT_FALSE(first.truth.flashAtMs);
  EXPECT_FALSE(first.showed(label::kTransferring));
  EXPECT_LE(Call::span(first.truth.messageEndedAtMs, first.truth.onHookAtMs), 4000);
  EXPECT_EQ(status(later), calldb::kStatusSwitchFailure);
  EXPECT_EQ(status(allowed), calldb::kStatusAnswered);
  EXPECT_TRUE(third.truth.flashAtMs);
  EXPECT_EQ(third.truth.transferredTo, QString("45"));
  EXPECT_EQ(logged("Transferindo ligação no canal 6"), 1);
}

// Mode "NoveC<n>": key 9 during the wait transfers, with the announcement
// first when there is one. Channels 1 to 4 stop the wait for the
// announcement; channels 5 to 8 let it run, so a late key 9 loses to the
// end of the wait and the call is released instead. Without key 9 the call
// hangs up when the 5.5 s wait ends.
TEST_F(CallMatrix, KeyNineTransfersWhileTheWaitRuns) {
  struct Case {
    int channel;
    QString behaviour;
    std::optional<QString> transferredTo;
  };
  setMode(3, 3, mode::nine(3));
  setRamal(3, "27");
  setMode(4, 3, mode::nine(4));
  setRamal(4, "28");
  withoutAnnouncement(4);
  setMode(5, 3, mode::nine(5));
  setRamal(5, "31");
  withoutAnnouncement(5);
  setMode(7, 3, mode::nine(7));
  setRamal(7, "71");
  // The announcement (2.35 s) after a key 9 pressed 3.5 s after the message
  // outlasts the 5.5 s wait.
  const std::vector<Case> cases = {
      {3, "answer rings=1 keys=9 keydelay=3000", "27"},
      {4, "answer rings=1 keys=9", "28"},
      {4, "answer rings=1", std::nullopt},
      {5, "answer rings=1 keys=9", "31"},
      {7, "answer rings=1 keys=9 keydelay=3000", std::nullopt},
      {7, "answer rings=1 keys=9", "71"},
  };
  std::vector<std::pair<QString, Case>> dialed;
  for (const Case& k : cases) dialed.emplace_back(dial(k.channel, k.behaviour), k);
  ASSERT_NO_FATAL_FAILURE(run());
  expectAllEnded();

  for (const auto& [number, k] : dialed) {
    const Call& c = call(number);
    const sim::CallTruth& t = c.truth;
    SCOPED_TRACE(number.toStdString() + ": " + describe(c));
    EXPECT_EQ(status(number), calldb::kStatusAnswered);
    const bool pressed = k.behaviour.contains("keys=9");
    ASSERT_EQ(t.keys.size(), pressed ? 1u : 0u);
    EXPECT_EQ(t.transferredTo, k.transferredTo);
    EXPECT_EQ(t.flashAtMs.has_value(), k.transferredTo.has_value());
    EXPECT_EQ(c.showed(label::kTransferring), k.transferredTo.has_value());
    if (k.transferredTo) {
      // Flash + 3 s (channels 5 to 8 after key 9 without announcement:
      // + 2 s), the two digits, 2 s.
      const bool shortWait = k.channel >= 5 && k.channel != 7;
      const int64_t expected = 300 + (shortWait ? 2000 : 3000) + 400 + 2000;
      EXPECT_GE(Call::span(t.flashAtMs, t.onHookAtMs), expected - 100);
      EXPECT_LE(Call::span(t.flashAtMs, t.onHookAtMs), expected + 400);
    } else {
      // The 5.5 s wait after the message ends the call.
      EXPECT_GE(Call::span(t.messageEndedAtMs, t.onHookAtMs), 5500 - 600);
      EXPECT_LE(Call::span(t.messageEndedAtMs, t.onHookAtMs), 5500 + 300);
    }
  }
}

// Option keys of modes "Contato" (options 1 and 2) and "PesqOpniao" (1 to
// 3) store the option's text in Opcao1 of the result row and play its
// confirmation when it has one; other keys are not options. Key 0 repeats
// the message; key 9 means nothing outside "NoveC<n>".
TEST_F(CallMatrix, ScriptKeysStoreOptionsAndRepeatTheMessage) {
  const QString confirmation = dir_.file("confirma.wav");
  ASSERT_TRUE(QFile::copy(announcement(1), confirmation));
  const int64_t confirmationMs = lengthMs(confirmation);
  setMode(1, 5, mode::kContact);
  set(1, "Texto1", QStringLiteral("sim"));
  set(1, "Texto2", QStringLiteral("não quero"));
  set(1, "Texto3", QStringLiteral("talvez"));
  set(1, "PathDigito1", confirmation);
  setMode(5, 6, mode::kSurvey);
  set(5, "IDDigito1", 4);
  set(5, "Digito1", '5');
  set(5, "Texto1", QStringLiteral("ótimo"));
  set(5, "Texto2", QStringLiteral("bom"));
  set(5, "Texto3", QStringLiteral("ruim"));
  set(5, "PathDigito3", confirmation);
  struct Case {
    int channel;
    QString keys;
    QString option;  // Opcao1; empty: no option taken
    bool confirmed;
  };
  const std::vector<Case> options = {
      {1, "1", "SIM", true},          {1, "2", "NÃO QUERO", false},
      {1, "3", "", false},            {5, "5", "ÓTIMO", false},
      {5, "3", "RUIM", true},         {5, "1", "", false},
  };
  std::vector<std::pair<QString, Case>> dialed;
  for (const Case& k : options) dialed.emplace_back(dial(k.channel, "answer rings=1 keys=" + k.keys), k);
  const QString repeated = dial(3, "answer rings=1 keys=0");
  const QString nine = dial(3, "answer rings=1 keys=9");
  ASSERT_NO_FATAL_FAILURE(run());
  expectAllEnded();

  for (const auto& [number, k] : dialed) {
    const Call& c = call(number);
    const sim::CallTruth& t = c.truth;
    SCOPED_TRACE(number.toStdString() + " keys " + k.keys.toStdString() + ": " + describe(c));
    ASSERT_TRUE(c.row);
    EXPECT_EQ(c.row->status, calldb::kStatusAnswered);
    EXPECT_EQ(c.row->opcao1, k.option);
    ASSERT_EQ(t.keys.size(), 1u);
    EXPECT_EQ(c.showed(label::kRegistering), !k.option.isEmpty());
    if (k.option.isEmpty()) {
      // Not an option: the wait (4 s) ends the call.
      EXPECT_GE(Call::span(t.messageEndedAtMs, t.onHookAtMs), 4000 - 600);
      EXPECT_LE(Call::span(t.messageEndedAtMs, t.onHookAtMs), 4000 + 300);
    } else if (k.confirmed) {
      EXPECT_GE(Call::span(c.labelAt(label::kRegistering), t.onHookAtMs), confirmationMs);
      EXPECT_LE(Call::span(c.labelAt(label::kRegistering), t.onHookAtMs), confirmationMs + 1000);
    } else {
      EXPECT_LE(Call::span(c.labelAt(label::kRegistering), t.onHookAtMs), 1000);
    }
  }

  // Key 0: the message is played again; the number moves once, and the
  // title keeps the repeat's colour when the repeat ends.
  const Call& again = call(repeated);
  SCOPED_TRACE(describe(again));
  EXPECT_EQ(status(repeated), calldb::kStatusAnswered);
  EXPECT_EQ(again.colours, (std::vector<int>{ChannelView::kColourGreen, ChannelView::kColourRed}));
  const int64_t messageMs = lengthMs(message(3));
  // Key 1 s after the message, the message again, the 4 s wait.
  EXPECT_GE(Call::span(again.truth.messageEndedAtMs, again.truth.onHookAtMs), 1000 + messageMs + 3000);
  EXPECT_LE(Call::span(again.truth.messageEndedAtMs, again.truth.onHookAtMs), 1000 + messageMs + 5500);
  const Call& ignored = call(nine);
  EXPECT_EQ(status(nine), calldb::kStatusAnswered);
  EXPECT_FALSE(ignored.truth.flashAtMs);
  EXPECT_EQ(ignored.colours, (std::vector<int>{ChannelView::kColourGreen}));
  EXPECT_LE(Call::span(ignored.truth.messageEndedAtMs, ignored.truth.onHookAtMs), 4000 + 300);
}

// Mode "Disque Opnião" records the party after the message and ends the
// recording 10 s after the party falls silent, after 60 s, or on the busy
// tone of a party who hung up. The recording row is completed with the
// number, the campaign and the end time; the channel's next call is
// classified as usual. The parties babble: its bursts fall in the busy tone's
// window now and then, and only four of them in a row are a hang-up.
TEST_F(CallMatrix, PartyRecordingEndsOnSilenceTimeLimitOrHangUp) {
  enum End { SilenceAfterTalk, SilenceFromStart, TimeLimit, BusyAfterHangUp, SilenceAfterHangUp };
  struct Case {
    int channel;
    QString behaviour;
    End end;
  };
  const std::vector<Case> cases = {
      {1, "answer rings=1 talk=15", SilenceAfterTalk},
      // Quiet since 1.5 s after the answer, all through the message.
      {4, "answer rings=1", SilenceFromStart},
      // Talking all the minute, in three voices (each line draws its own)
      // with busy-like bursts here and there, never four in a row.
      {2, "answer rings=1 talk=120", TimeLimit},
      {6, "answer rings=1 talk=120", TimeLimit},
      {7, "answer rings=1 talk=120", TimeLimit},
      {3, "answer rings=1 talk=30 hangup=3", BusyAfterHangUp},
      {5, "answer rings=1 talk=30 hangup=3 afterhangup=silence", SilenceAfterHangUp},
  };
  std::vector<std::pair<QString, Case>> dialed;
  std::map<int, QString> next;
  for (const Case& k : cases) {
    setMode(k.channel, 2, mode::kRecord);
    dialed.emplace_back(dial(k.channel, k.behaviour), k);
  }
  for (const Case& k : cases) next[k.channel] = dial(k.channel, "busy");
  ASSERT_NO_FATAL_FAILURE(run());
  expectAllEnded();

  const QString day = dir_.path() + "/home/Gravações/2026/Março/25/";
  for (const auto& [number, k] : dialed) {
    const Call& c = call(number);
    const sim::CallTruth& t = c.truth;
    const int n = k.channel;
    SCOPED_TRACE(number.toStdString() + ": " + describe(c));
    EXPECT_EQ(status(number), calldb::kStatusAnswered);
    EXPECT_FALSE(t.flashAtMs);
    ASSERT_TRUE(t.answeredAtMs && t.onHookAtMs && c.labelAt(label::kRecording));
    // The recording starts 400 ms after the message (the party notices its
    // end 500 ms after it).
    EXPECT_NEAR(Call::span(t.messageEndedAtMs, c.labelAt(label::kRecording)), -100, 100);
    switch (k.end) {
      case SilenceAfterTalk: {
        const int64_t silent = *t.answeredAtMs + 15000;
        EXPECT_GE(*t.onHookAtMs - silent, 10000);
        EXPECT_LE(*t.onHookAtMs - silent, 11800);
        break;
      }
      case SilenceFromStart:
        // Ten seconds from the recording's start, not from the party's
        // last word before the message.
        EXPECT_LT(*t.answeredAtMs + 1500, *c.labelAt(label::kRecording));
        EXPECT_GE(Call::span(c.labelAt(label::kRecording), t.onHookAtMs), 10000);
        EXPECT_LE(Call::span(c.labelAt(label::kRecording), t.onHookAtMs), 11000);
        break;
      case TimeLimit: {
        EXPECT_GE(Call::span(c.labelAt(label::kRecording), t.onHookAtMs), 60000);
        EXPECT_LE(Call::span(c.labelAt(label::kRecording), t.onHookAtMs), 61000);
        const QDateTime began = loggedAt(QStringLiteral("Iniciando Gravação do Canal %1").arg(n));
        const QDateTime ended = loggedAt(QStringLiteral("Finalizando Gravação do Canal %1").arg(n));
        ASSERT_TRUE(began.isValid() && ended.isValid());
        EXPECT_NEAR(began.secsTo(ended), 60, 1);
        break;
      }
      case BusyAfterHangUp:  // the fourth busy pulse
        EXPECT_GE(Call::span(t.hungUpAtMs, t.onHookAtMs), 1500);
        EXPECT_LE(Call::span(t.hungUpAtMs, t.onHookAtMs), 3500);
        break;
      case SilenceAfterHangUp:
        EXPECT_GE(Call::span(t.hungUpAtMs, t.onHookAtMs), 10000);
        EXPECT_LE(Call::span(t.hungUpAtMs, t.onHookAtMs), 11800);
        break;
    }

    // The busy tone ends the recording as a hang-up: "Aguardando" while it
    // stops, before the release. Every other end shows it only with the
    // release, at the on-hook, so the call's last label is "Gravando".
    ASSERT_FALSE(c.labels.empty());
    EXPECT_EQ(c.labels.back().second, k.end == BusyAfterHangUp ? label::kWaiting : label::kRecording);

    const std::vector<RecordingRow> rows = recordingsOf(n);
    ASSERT_EQ(rows.size(), 1u);
    const RecordingRow& r = rows.front();
    EXPECT_EQ(r.ramal, QStringLiteral("CANAL %1").arg(n));
    EXPECT_EQ(r.destino, number);
    EXPECT_EQ(r.origem, campaignOf(n));
    EXPECT_EQ(r.ouvida, calldb::kHeardNo);
    EXPECT_EQ(r.dataIni, kDay);
    ASSERT_TRUE(r.horaIni.isValid() && r.horaFin.isValid());
    EXPECT_TRUE(r.path.startsWith(day + QStringLiteral("CANAL %1-25032026-").arg(n)))
        << r.path.toStdString();
    EXPECT_TRUE(r.path.endsWith(".wav"));
    ASSERT_TRUE(QFileInfo::exists(r.path)) << r.path.toStdString();
    // The file holds the line from the start of the recording to its end
    // (the release follows 600 ms later); the row's times span it in whole
    // seconds.
    const int64_t length = lengthMs(r.path);
    EXPECT_NEAR(length, Call::span(c.labelAt(label::kRecording), t.onHookAtMs) - 600, 300);
    EXPECT_NEAR(r.horaIni.msecsTo(r.horaFin), length, 1500);
    EXPECT_EQ(logged(QStringLiteral("Iniciando Gravação do Canal %1").arg(n)), 1);
    EXPECT_EQ(logged(QStringLiteral("Finalizando Gravação do Canal %1").arg(n)), 1);
    EXPECT_EQ(status(next[n]), calldb::kStatusBusy) << "the next call on channel " << n;
  }
  EXPECT_EQ(recordings_.size(), cases.size());
}

}  // namespace
}  // namespace doruzudo
