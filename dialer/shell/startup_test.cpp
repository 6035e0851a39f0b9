#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "common/manual_scheduler.h"
#include "common/reg_file.h"
#include "common/sqlite.h"
#include "dialer/shell/dialer_core.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

class StartupTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::shared_ptr<SettingsStore> store = testing::makeStore(dir);
  ManualScheduler scheduler{QDateTime(QDate(2011, 3, 25), QTime(14, 7, 9))};
  EventLog log{scheduler};
  QStringList errors, notices;
  int lineInterfaceStarts = 0;
  std::unique_ptr<DialerCore> core;

  void SetUp() override {
    ASSERT_TRUE(importRegFile(*store, DORUZUDO_SOURCE_DIR "/share/defaults.reg").ok());
  }
  Folders folders() const {
    return {dir.path() + "/bin/", dir.path() + "/home/", dir.path() + "/autostart/"};
  }
  SettingsKey key() { return *store->openKey(SettingsStore::kConfigKey); }
  bool start() {
    DialerCore::Services s;
    s.errorOutput = [this](const QString& l) { errors << l; };
    s.adminNotice = [this](const QString& l) { notices << l; };
    s.startLineInterface = [this] { ++lineInterfaceStarts; };
    core = std::make_unique<DialerCore>(scheduler, log, *store, folders(), std::move(s));
    return core->FormCreate();
  }
  ChannelSettings& ch(int n) { return core->channels()[n - 1]; }
  bool logged(const QString& message) const {
    for (const QString& line : log.lines()) {
      if (line.endsWith(" - " + message)) return true;
    }
    return false;
  }
};

TEST_F(StartupTest, ASeededStoreStartsWithDefaultsFoldersAndTheLogLinesInOrder) {
  ASSERT_TRUE(start());
  const QString home = dir.path() + "/home/";
  EXPECT_EQ(log.lines(), QStringList({"25/03/2011 - 14:07:09 - ",
                                      "25/03/2011 - 14:07:09 - Não foi possível se conectar ao banco de dados.",
                                      "25/03/2011 - 14:07:09 - Não foi possível carregar gravações não ouvidas.",
                                      "25/03/2011 - 14:07:09 - Localizando Hardware, aguarde..."}));
  EXPECT_EQ(key().readString("PathGravacoes"), home + "Gravações/");
  EXPECT_TRUE(QFileInfo(home + "Gravações/2011/Março/25").isDir());
  EXPECT_TRUE(QFileInfo(home + "Doruzudo/Audio Novo").isDir());
  EXPECT_EQ(key().readString("PathBD"), home + "Doruzudo/Dados");
  EXPECT_EQ(core->values().DatabaseFolder, home + "Doruzudo/Dados");
  EXPECT_EQ(key().readString("PathAudioC3"), home + "Doruzudo/Audio/AudioCanal3.wav");
  EXPECT_EQ(ch(3).PathAudio, home + "Doruzudo/Audio/AudioCanal3.wav");
  EXPECT_EQ(core->editors().channel(3).lbArquivo, "AudioCanal3.wav");
  EXPECT_EQ(ch(1).Toques, 5);
  EXPECT_EQ(ch(8).FlashCode, "$19");
  EXPECT_EQ(ch(2).Digito, (std::array<int, 3>{49, 50, 51}));
  EXPECT_EQ(core->general().PortaSmtp, 25);
  EXPECT_FALSE(core->editors().channel(1).flashAndRamalEnabled);  // stored action 1: hang up
  EXPECT_TRUE(errors.isEmpty());

  scheduler.advance(6999);
  EXPECT_EQ(lineInterfaceStarts, 0);
  scheduler.advance(1);
  EXPECT_EQ(lineInterfaceStarts, 1);
  scheduler.advance(60000);
  EXPECT_EQ(lineInterfaceStarts, 1);  // one-shot
}

TEST_F(StartupTest, AStoredRecordingsFolderIsUsedUnchanged) {
  key().writeString("PathGravacoes", dir.path() + "/rec/");
  key().writeString("PathBD", dir.path() + "/db");
  ASSERT_TRUE(start());
  EXPECT_EQ(core->values().RecordingsRoot, dir.path() + "/rec/");
  EXPECT_TRUE(QFileInfo(dir.path() + "/rec/2011/Março/25").isDir());
  EXPECT_FALSE(QFileInfo(dir.path() + "/home/Gravações").exists());
  EXPECT_EQ(log.lines().first(), "25/03/2011 - 14:07:09 - " + dir.path() + "/db");
}

TEST_F(StartupTest, AFailingStrictReadEndsTheSequenceSilentlyAndNamesTheValue) {
  struct Case {
    std::function<void(SettingsKey&)> spoil;
    const char* value;
    const char* error;
  } cases[] = {
      {[](SettingsKey& k) { k.deleteValue("ToquesC3"); }, "ToquesC3", "Failed to get data for 'ToquesC3'"},
      {[](SettingsKey& k) { k.writeString("RateC2", "3"); }, "RateC2", "Invalid data type for 'RateC2'"},
      {[](SettingsKey& k) { k.writeString("iniwin", "sim"); }, "iniwin", "'sim' is not a valid boolean value"},
      {[](SettingsKey& k) { k.writeString("DataIniC2", ""); }, "DataIniC2", "'' is not a valid date"},
      {[](SettingsKey& k) { k.writeString("PortaSmtp", "x25"); }, "PortaSmtp", "'x25' is not a valid integer value"},
      {[](SettingsKey& k) { k.writeString("FlashC5", "300ms"); }, "FlashC5", "'300ms' is not a valid integer value"},
      {[](SettingsKey& k) { k.deleteValue("HotKey"); }, "HotKey", "Failed to get data for 'HotKey'"},
  };
  for (const auto& c : cases) {
    testing::TempDir fresh;
    store = testing::makeStore(fresh);
    ASSERT_TRUE(importRegFile(*store, DORUZUDO_SOURCE_DIR "/share/defaults.reg").ok());
    SettingsKey k = key();
    c.spoil(k);
    log.clear();
    errors.clear();
    notices.clear();
    EXPECT_FALSE(start()) << c.value;
    EXPECT_EQ(core->stoppedAt(), QString(c.value));
    EXPECT_FALSE(logged("Localizando Hardware, aguarde...")) << c.value;
    ASSERT_EQ(errors.size(), 1) << c.value;
    EXPECT_EQ(errors[0], QString("%1 %2 - Controle: ")
                             .arg(scheduler.now().toString("dd/MM/yyyy HH:mm:ss"), c.error));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].contains(QString("'%1'").arg(c.value))) << notices[0].toStdString();
    scheduler.advance(10000);
    EXPECT_EQ(lineInterfaceStarts, 0);
  }
}

TEST_F(StartupTest, AMissingKeyStopsAtTheFirstWriteAndCreatesNothingInTheStore) {
  testing::TempDir fresh;
  store = testing::makeStore(fresh);
  EXPECT_FALSE(start());
  EXPECT_EQ(core->stoppedAt(), QString("PathGravacoes"));
  EXPECT_TRUE(store->keys().empty());
  EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(StartupTest, PeriodsConvertInOrderUntilTheFirstBadOne) {
  SettingsKey k = key();
  k.writeString("PerIni1C1", "08:00:00");
  k.writeString("PerFin1C1", "09:30:59");  // an end: converted only if every start was good
  k.writeString("PerIni1C2", "  :  :00");  // an editor left empty
  k.writeString("PerIni1C3", "10:00:00");
  ASSERT_TRUE(start());
  EXPECT_EQ(ch(1).PerIni[0], QTime(8, 0, 0));
  EXPECT_EQ(ch(2).PerIni[0], QTime(0, 0, 0));
  EXPECT_EQ(ch(3).PerIni[0], QTime(0, 0, 0));
  EXPECT_EQ(ch(1).PerFin[0], QTime(0, 0, 0));
  EXPECT_EQ(core->editors().channel(1).PerIni[0], "08:00");
  EXPECT_EQ(core->editors().channel(2).PerIni[0], "  :  ");
  EXPECT_EQ(k.readString("PerIni1C2"), "  :  :00");  // written back by the editor fill
}

TEST_F(StartupTest, GeneralWindowsCoverWholeMinutesAndABadValueStaysAtMidnight) {
  SettingsKey k = key();
  k.writeString("HoraIni1", "08:30");
  k.writeString("HoraFim1", "12:00");
  k.writeString("HoraIni2", "25:00");
  k.writeString("HoraFim2", "13:00");
  ASSERT_TRUE(start());
  const auto& w = core->general().HoraWindows;
  EXPECT_EQ(w[0].start, QTime(8, 30, 0));
  EXPECT_EQ(w[0].end, QTime(12, 0, 59));
  EXPECT_EQ(w[1].start, QTime(0, 0, 0));
  EXPECT_EQ(w[1].end, QTime(13, 0, 59));
}

TEST_F(StartupTest, AReadableTextFileReplacesTheStoredSpeechText) {
  const QString file = dir.file("texto.txt");
  testing::writeFile(file, "Olá, esta é a mensagem atual.");
  SettingsKey k = key();
  k.writeString("PathTextoC4", file);
  k.writeString("TextoC4", "texto antigo");
  k.writeString("PathTextoC5", dir.file("missing.txt"));
  k.writeString("TextoC5", "texto guardado");
  k.writeString("TextoHabC5", "SIM");
  ASSERT_TRUE(start());
  EXPECT_EQ(ch(4).Texto, "Olá, esta é a mensagem atual.");
  EXPECT_EQ(k.readString("TextoC4"), "Olá, esta é a mensagem atual.");
  EXPECT_EQ(ch(5).Texto, "texto guardado");
  EXPECT_EQ(core->editors().channel(5).lbArquivo, "missing.txt");
}

TEST_F(StartupTest, StartHiddenAndTheAutostartEntryFollowTheStore) {
  SettingsKey k = key();
  k.writeString("EstadoJanela", "-1");
  k.writeString("iniwin", "True");
  ASSERT_TRUE(start());
  EXPECT_TRUE(core->values().StartHidden);
  EXPECT_EQ(k.readString("iniwin"), "-1");  // the check box's click wrote it back
  const QByteArray entry = testing::readFile(dir.path() + "/autostart/doruzudo.desktop");
  EXPECT_TRUE(entry.contains("Exec=\"" + (dir.path() + "/bin/doruzudo").toUtf8() + "\""));
  core->editors().cbIniciaWindowsClick(false);
  EXPECT_TRUE(testing::readFile(dir.path() + "/autostart/doruzudo.desktop").contains("Hidden=true"));
  EXPECT_EQ(k.readString("iniwin"), "0");
}

TEST_F(StartupTest, TheErrorHandlerKeepsTheFirstLineAndNamesTheFocusedControl) {
  ASSERT_TRUE(start());
  core->setFocusedControl("edRamalC4");
  auto t = scheduler.createTimer("tFalha", 1000, [] {
    throw SettingsError("Failed to set data for 'RamalC4'\r\nsecond line");
  });
  t->start();
  scheduler.advance(2000);
  EXPECT_EQ(errors, QStringList({"25/03/2011 14:07:10 Failed to set data for 'RamalC4'\r - Controle: edRamalC4",
                                 "25/03/2011 14:07:11 Failed to set data for 'RamalC4'\r - Controle: edRamalC4"}));
  EXPECT_TRUE(t->enabled());
  EXPECT_EQ(log.lineCount(), 4);  // nothing reached the operator's log
}

TEST(RecordingFolders, MonthNamesAndFailuresIgnored) {
  const char* months[] = {"Janeiro", "Fevereiro", "Março",    "Abril",   "Maio",     "Junho",
                          "Julho",   "Agosto",    "Setembro", "Outubro", "Novembro", "Dezembro"};
  for (int m = 1; m <= 12; ++m) EXPECT_EQ(monthName(m), QString(months[m - 1]));
  testing::TempDir dir;
  const RecordingFolders f = CriaPasta(dir.path() + "/r/", QDate(2026, 1, 5));
  EXPECT_EQ(f.day, dir.path() + "/r/2026/Janeiro/05");
  EXPECT_TRUE(QFileInfo(f.day).isDir());
  testing::writeFile(dir.file("file"), "x");
  const RecordingFolders bad = CriaPasta(dir.file("file") + "/", QDate(2026, 1, 5));
  EXPECT_FALSE(QFileInfo(bad.day).exists());
}

}  // namespace
}  // namespace doruzudo
