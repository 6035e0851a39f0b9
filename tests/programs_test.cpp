// The dialer and doruzudo-admin run as processes, as a user runs them.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QUuid>
#include <csignal>

#include "tests/testing.h"

namespace doruzudo {
namespace {

constexpr int kWaitMs = 20000;  // generous: the machine may be busy

class ProgramsTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  QProcessEnvironment env = [this] {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("DORUZUDO_SETTINGS", dir.file("settings.db"));
    e.insert("HOME", dir.file("home"));
    e.insert("XDG_CONFIG_HOME", dir.file("config"));
    e.insert("XDG_RUNTIME_DIR", dir.path());
    e.insert("TMPDIR", dir.path());  // the instance socket lives here: one per test
    return e;
  }();

  struct Run {
    int exitCode;
    QString out, err;
  };
  Run admin(const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(DORUZUDO_BIN_DIR "/doruzudo-admin", args);
    EXPECT_TRUE(p.waitForFinished(kWaitMs));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
  }
  void startDialer(QProcess& p) {
    p.setProcessEnvironment(env);
    p.start(DORUZUDO_BIN_DIR "/doruzudo", {"--headless"});
    ASSERT_TRUE(p.waitForStarted(kWaitMs));
  }
  // Reads standard output until `text` shows up.
  QString waitForOutput(QProcess& p, const QString& text) {
    QString out;
    while (!out.contains(text) && p.waitForReadyRead(kWaitMs)) out += QString::fromUtf8(p.readAllStandardOutput());
    return out;
  }
};

TEST_F(ProgramsTest, SettingsRoundTripThroughTheAdminCommand) {
  ASSERT_EQ(admin({"settings", "import", DORUZUDO_SOURCE_DIR "/share/defaults.reg"}).exitCode, 0);
  EXPECT_EQ(admin({"settings", "get", "idtransc3"}).out, "1\n");
  ASSERT_EQ(admin({"settings", "set", "Empresa", "Ação & Cia \"Ltda\""}).exitCode, 0);
  EXPECT_EQ(admin({"settings", "get", "EMPRESA"}).out, "Ação & Cia \"Ltda\"\n");
  ASSERT_EQ(admin({"settings", "set", "ToquesC2", "7", "--integer"}).exitCode, 0);
  EXPECT_EQ(admin({"settings", "get", "toquesc2"}).out, "7\n");
  ASSERT_EQ(admin({"settings", "set", "DataDiscaC1", "-1"}).exitCode, 0);
  EXPECT_EQ(admin({"settings", "get", "DataDiscaC1"}).out, "-1\n");

  testing::writeFile(dir.file("bad.reg"),
                     "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\VantorDoruzudo\\config]\n"
                     "\"Empresa\"=\"outra\"\n\"ToquesC2\"=dword:zz\n");
  const Run bad = admin({"settings", "import", dir.file("bad.reg")});
  EXPECT_NE(bad.exitCode, 0);
  EXPECT_TRUE(bad.err.contains("bad.reg:5")) << bad.err.toStdString();
  EXPECT_EQ(admin({"settings", "get", "EMPRESA"}).out, "Ação & Cia \"Ltda\"\n");
}

TEST_F(ProgramsTest, TheHeadlessDialerLogsItsStartUpRunsAloneAndEndsOnSigterm) {
  ASSERT_EQ(admin({"settings", "import", DORUZUDO_SOURCE_DIR "/share/defaults.reg"}).exitCode, 0);
  QProcess dialer;
  startDialer(dialer);
  const QString out = waitForOutput(dialer, "Localizando Hardware, aguarde...");
  const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
  ASSERT_GE(lines.size(), 4) << out.toStdString();
  EXPECT_TRUE(lines[0].endsWith(" - ")) << lines[0].toStdString();  // the database folder as read: none yet
  EXPECT_TRUE(lines.last().endsWith(" - Localizando Hardware, aguarde..."));

  QProcess second;
  startDialer(second);
  ASSERT_TRUE(second.waitForFinished(kWaitMs));
  const QByteArray secondErr = second.readAllStandardError();
  EXPECT_EQ(second.exitCode(), 1) << secondErr.toStdString();
  EXPECT_TRUE(secondErr.contains("already running")) << secondErr.toStdString();

  ::kill(static_cast<pid_t>(dialer.processId()), SIGTERM);
  ASSERT_TRUE(dialer.waitForFinished(kWaitMs));
  EXPECT_EQ(dialer.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(dialer.exitCode(), 0);
  EXPECT_EQ(admin({"settings", "get", "PathBD"}).out, dir.file("home") + "/Doruzudo/Dados\n");
}

TEST_F(ProgramsTest, AnEmptyStoreStopsTheStartUpAndSaysWhichValueIsMissing) {
  QProcess dialer;
  dialer.setReadChannel(QProcess::StandardError);
  startDialer(dialer);
  QString err;
  while (!err.contains("start-up stopped") && dialer.waitForReadyRead(kWaitMs)) {
    err += QString::fromUtf8(dialer.readAllStandardError());
  }
  EXPECT_TRUE(err.contains("'PathGravacoes'")) << err.toStdString();
  ::kill(static_cast<pid_t>(dialer.processId()), SIGTERM);
  ASSERT_TRUE(dialer.waitForFinished(kWaitMs));
  EXPECT_EQ(dialer.exitCode(), 0);
}

// A rehearsal as a user or a tester runs one: a campaign dialed headless
// against a scenario at full speed, then checked against the exchange's record.
TEST_F(ProgramsTest, ASimulatedCampaignEndsAndItsResultsAreWhatHappenedOnTheLines) {
  ASSERT_EQ(admin({"settings", "import", DORUZUDO_SOURCE_DIR "/share/defaults.reg"}).exitCode, 0);
  const QString db = dir.file("dados");
  ASSERT_EQ(admin({"settings", "set", "PathBD", db}).exitCode, 0);
  ASSERT_EQ(admin({"db", "init", "--folder", db}).exitCode, 0);
  for (int n = 1; n <= 8; ++n) admin({"settings", "set", QString("TentativaC%1").arg(n), "1"});
  testing::writeFile(dir.file("scenario.txt"),
                     "noise -45\n2101 busy\n2102 ring\n2103 noringback\n"
                     "2104 answer rings=1 talk=silent\n2105 answer rings=2 keys=1\n"
                     "2106 answer rings=1 talk=silent\n* busy\n");
  testing::writeFile(dir.file("numbers.txt"), "2101\n2102\n2103\n2104\n2105\n2106\n");
  ASSERT_EQ(admin({"campaign", "create", "--file", dir.file("numbers.txt"), "--name", "ENSAIO",
                   "--channels", "1,2,3,4"})
                .exitCode,
            0);

  QProcess dialer;
  dialer.setProcessEnvironment(env);
  dialer.start(DORUZUDO_BIN_DIR "/doruzudo",
               {"--headless", "--simulate=" + dir.file("scenario.txt"), "--speed=max",
                "--stop-when-done", "--truth=" + dir.file("truth.jsonl")});
  ASSERT_TRUE(dialer.waitForFinished(3 * kWaitMs));
  EXPECT_EQ(dialer.exitCode(), 0) << dialer.readAllStandardError().toStdString();
  const QString log = QString::fromUtf8(dialer.readAllStandardOutput());
  EXPECT_TRUE(log.contains("Não há mais telefones para discagem no Canal 1."));

  const Run check = admin({"sim", "check", "--truth", dir.file("truth.jsonl"), "--campaign",
                           "ENSAIO", "--db-folder", db});
  EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();
  EXPECT_TRUE(check.out.startsWith("ENSAIO: 6 of 6 results as on the line")) << check.out.toStdString();

  // A record that says otherwise is reported, number by number.
  QByteArray truth = testing::readFile(dir.file("truth.jsonl"));
  truth.replace("\"behaviour\":\"busy\"", "\"behaviour\":\"ring\"");
  testing::writeFile(dir.file("other.jsonl"), truth);
  const Run differs = admin({"sim", "check", "--truth", dir.file("other.jsonl"), "--campaign",
                             "ENSAIO", "--db-folder", db});
  EXPECT_EQ(differs.exitCode, 1);
  EXPECT_TRUE(differs.out.contains("2101 (channel ")) << differs.out.toStdString();
}

TEST_F(ProgramsTest, BothProgramsExplainThemselves) {
  EXPECT_TRUE(admin({"--help"}).out.contains("settings"));
  EXPECT_TRUE(admin({"settings", "--help"}).out.contains("import FILE"));
  QProcess p;
  p.start(DORUZUDO_BIN_DIR "/doruzudo", {"--version"});
  ASSERT_TRUE(p.waitForFinished(kWaitMs));
  EXPECT_TRUE(p.readAllStandardOutput().startsWith("doruzudo "));
}

}  // namespace
}  // namespace doruzudo
