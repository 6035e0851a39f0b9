// MailSender with the libcurl transport against a scripted SMTP server on
// 127.0.0.1: the dialogue and bytes that arrive, the refusal to send without
// authentication, a server that is down, TLS from the first byte, and (when
// the openssl program is installed) a TLS server with a certificate made for
// the test, trusted only when named in CertSMTP. The sends are bounded by the
// transport's time-outs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <csignal>

#include "common/manual_scheduler.h"
#include "dialer/campaigns/mail_sender.h"
#include "dialer/campaigns/mail_test_server.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

using testing::closedPort;
using testing::ScriptedSmtpServer;

class MailSmtpTest : public ::testing::Test {
 protected:
  void configure(int port, const char* user, bool secure) {
    const auto set = [&](const char* name, const QString& text) {
      writeSetting(*store, SettingsStore::kConfigKey, QString::fromUtf8(name), text);
    };
    set("SendTo", QStringLiteral("Ops@Loja.com.br; chefe@loja.com.br"));
    set("ServerSMTP", QStringLiteral("127.0.0.1"));
    set("PortaSMTP", QString::number(port));
    set("UserSMTP", QString::fromUtf8(user));
    set("SenhaSMTP", QStringLiteral("s3nha"));
    set("AuthSeguro", secure ? QStringLiteral("-1") : QStringLiteral("0"));
    set("FimCampanha", QStringLiteral("-1"));
  }
  // Sends one notice and waits (bounded) for its end.
  void notify(int kind, const QString& campaign = {}) {
    doneCount = 0;
    ASSERT_EQ(sender.EnviaEmail(kind, campaign, [this] { ++doneCount; }), 1);
    EXPECT_EQ(doneCount, 0);
    for (int round = 0; round < 10 && doneCount == 0; ++round) {
      sender.waitIdleForTest();
      QCoreApplication::sendPostedEvents();
    }
    EXPECT_EQ(doneCount, 1);
  }
  QStringList logged() const {
    QStringList out;
    for (const QString& line : log.lines()) out << line.section(QStringLiteral(" - "), 2);
    return out;
  }

  testing::TempDir dir;
  std::shared_ptr<SettingsStore> store = testing::makeStore(dir);
  ManualScheduler scheduler;
  EventLog log{scheduler};
  MailSender sender{
      *store, log, scheduler,
      makeCurlMailTransport(
          {.connectTimeoutMs = 5000, .responseTimeoutS = 5, .totalTimeoutMs = 10000})};
  int doneCount = 0;
};

TEST_F(MailSmtpTest, PlainServerGetsLoginAndTheNoticeAsBuilt) {
  ScriptedSmtpServer server(ScriptedSmtpServer::Mode::OfferAuth);
  configure(server.port(), "ops@loja.com.br", false);
  notify(MailPort::kCampaignEnded, QStringLiteral("Promoção"));

  EXPECT_EQ(logged(),
            QStringList({"Enviando E-mail de fim de campanha.", "E-mail enviado com sucesso."}));
  const QByteArray dialogue = server.received();
  // AUTH LOGIN although the server prefers others.
  EXPECT_TRUE(dialogue.contains("\r\nAUTH LOGIN\r\n" + QByteArray("ops@loja.com.br").toBase64() +
                                "\r\n" + QByteArray("s3nha").toBase64() + "\r\n"))
      << dialogue.constData();
  EXPECT_TRUE(dialogue.contains("\r\nMAIL FROM:<ops@loja.com.br>"));
  EXPECT_TRUE(dialogue.contains("\r\nRCPT TO:<ops@loja.com.br>\r\n"));
  EXPECT_TRUE(dialogue.contains("\r\nRCPT TO:<chefe@loja.com.br>\r\n"));

  const QByteArray message = server.message();
  EXPECT_TRUE(message.startsWith("Date: Wed, 25 Mar 2026 09:00:00 ")) << message.constData();
  for (const char* part : {"\r\nFrom: Vantor Doruzudo <ops@loja.com.br>\r\n",
                           "\r\nTo: ops@loja.com.br, chefe@loja.com.br\r\n",
                           "\r\nSubject: Vantor Doruzudo - Campanha Finalizada.\r\n",
                           "\r\nMessage-ID: <20260325090000.", "\r\nX-Priority: 1\r\n",
                           "\r\n\r\nVantor Doruzudo - envio de email!!!\r\n\r\n\r\n"
                           "A Companha: Promo=C3=A7=C3=A3o foi finalizada.\r\n\r\n\r\n"
                           "Data:25/03/2026  Hora:09:00:00\r\n"}) {
    EXPECT_TRUE(message.contains(part)) << part;
  }
}

TEST_F(MailSmtpTest, AServerWithoutAuthenticationIsRefusedWhenAUserIsSet) {
  ScriptedSmtpServer server(ScriptedSmtpServer::Mode::NoAuth);
  configure(server.port(), "ops@loja.com.br", false);
  notify(MailPort::kPaused);
  EXPECT_EQ(logged(),
            QStringList({"Enviando E-mail de pausa de campanha.", "Erro ao enviar  email.",
                         "Re-enviando E-mail.", "Erro ao enviar  email."}));
  EXPECT_EQ(server.connections(), 2);
  EXPECT_TRUE(server.message().isEmpty());
  EXPECT_FALSE(server.received().contains("Subject:"));
  EXPECT_TRUE(sender.lastFailure().contains(QStringLiteral("authentication")))
      << sender.lastFailure().toStdString();

  // Without a user the same server is fine.
  log.clear();
  configure(server.port(), "", false);
  notify(MailPort::kPaused);
  EXPECT_EQ(logged(),
            QStringList({"Enviando E-mail de pausa de campanha.", "E-mail enviado com sucesso."}));
  EXPECT_TRUE(server.message().contains("Subject: Vantor Doruzudo - Campanha Pausada.\r\n"));
}

TEST_F(MailSmtpTest, AServerThatIsDownGivesTheFailureLines) {
  configure(closedPort(), "ops", false);
  notify(MailPort::kStarted);
  EXPECT_EQ(logged(),
            QStringList({"Enviando E-mail de campanha iniciada.", "Erro ao enviar  email.",
                         "Re-enviando E-mail.", "Erro ao enviar  email."}));
}

TEST_F(MailSmtpTest, SecureAccountSpeaksTlsFromTheFirstByteAndIsNotRetried) {
  ScriptedSmtpServer server(ScriptedSmtpServer::Mode::RecordFirstBytes);
  configure(server.port(), "ops", true);
  notify(MailPort::kStarted);
  EXPECT_EQ(logged(),
            QStringList({"Enviando E-mail de campanha iniciada.", "Erro ao enviar  email."}));
  const QByteArray first = server.received();
  ASSERT_GE(first.size(), 11);
  EXPECT_EQ(first[0], char(0x16));  // a TLS handshake record: the ClientHello
  EXPECT_EQ(first[1], char(0x03));
  EXPECT_EQ(server.connections(), 1);
}

// Whether something listens on 127.0.0.1:port (from /proc/net/tcp).
bool listening(int port) {
  QFile table(QStringLiteral("/proc/net/tcp"));
  if (!table.open(QIODevice::ReadOnly)) return false;
  const QByteArray local =
      QStringLiteral("0100007F:%1").arg(port, 4, 16, QLatin1Char('0')).toUpper().toLatin1();
  for (const QByteArray& line : table.readAll().split('\n')) {
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() > 3 && fields[1] == local && fields[3] == "0A") return true;
  }
  return false;
}

// `openssl s_server` on 127.0.0.1:port, TLS from the first byte, relaying the
// plain text to and from a scripted session over a socket pair.
class TlsServer {
 public:
  TlsServer(const QString& openssl, const QString& cert, const QString& key) {
    int pair[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    session_ = std::make_unique<ScriptedSmtpServer>(ScriptedSmtpServer::Mode::OfferAuth, pair[0]);
    int errPipe[2];
    EXPECT_EQ(::pipe2(errPipe, O_CLOEXEC), 0);
    errRead_ = errPipe[0];
    const QByteArrayList args = {openssl.toLocal8Bit(),
                                 "s_server",
                                 "-accept",
                                 "127.0.0.1:" + QByteArray::number(port_),
                                 "-cert",
                                 cert.toLocal8Bit(),
                                 "-key",
                                 key.toLocal8Bit(),
                                 "-quiet",
                                 "-naccept",
                                 "1"};
    std::vector<char*> argv;
    for (const QByteArray& a : args) argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 0);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    ::close(errPipe[1]);
  }
  ~TlsServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(errRead_);
  }
  int port() const { return port_; }
  ScriptedSmtpServer& session() { return *session_; }
  // openssl gives no sign of readiness in quiet mode: look for its listening
  // socket, waiting on its standard error (which ends if it exits) 20 ms at a
  // time, 5 s at most.
  bool waitListening() {
    pollfd p{errRead_, POLLIN, 0};
    for (int slice = 0; slice < 250; ++slice) {
      if (listening(port_)) return true;
      if (::poll(&p, 1, 20) > 0 && (p.revents & POLLHUP)) return false;
    }
    return false;
  }

 private:
  const int port_ = closedPort();
  std::unique_ptr<ScriptedSmtpServer> session_;
  pid_t pid_ = -1;
  int errRead_ = -1;
};

class MailTlsTest : public MailSmtpTest {
 protected:
  void SetUp() override {
    openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty()) GTEST_SKIP() << "no openssl program";
    QProcess req;
    req.start(openssl, {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                        "-nodes", "-keyout", key, "-out", cert, "-days", "2", "-subj",
                        "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"});
    ASSERT_TRUE(req.waitForFinished(10000));
    ASSERT_EQ(req.exitCode(), 0) << req.readAllStandardError().toStdString();
  }
  QString openssl;
  QString cert = dir.file(QStringLiteral("server.pem"));
  QString key = dir.file(QStringLiteral("server.key"));
};

TEST_F(MailTlsTest, SecureAccountDeliversToAServerWhoseCertificateIsNamed) {
  TlsServer server(openssl, cert, key);
  ASSERT_TRUE(server.waitListening());
  configure(server.port(), "ops@loja.com.br", true);
  writeSetting(*store, SettingsStore::kConfigKey, QStringLiteral("CertSMTP"), cert);
  notify(MailPort::kStarted);
  // A secure send that worked writes no line of its own.
  EXPECT_EQ(logged(), QStringList({"Enviando E-mail de campanha iniciada."}))
      << sender.lastFailure().toStdString();
  EXPECT_TRUE(server.session().received().contains("\r\nAUTH LOGIN\r\n"));
  EXPECT_TRUE(
      server.session().message().contains("\r\nSubject: Vantor Doruzudo - Campanha Inciada.\r\n"));
}

TEST_F(MailTlsTest, AnUntrustedCertificateStopsTheSend) {
  TlsServer server(openssl, cert, key);
  ASSERT_TRUE(server.waitListening());
  configure(server.port(), "ops@loja.com.br", true);  // no CertSMTP: the system's authorities
  notify(MailPort::kStarted);
  EXPECT_EQ(logged(),
            QStringList({"Enviando E-mail de campanha iniciada.", "Erro ao enviar  email."}));
  EXPECT_TRUE(server.session().message().isEmpty());
  EXPECT_FALSE(server.session().received().contains("AUTH"));
}

}  // namespace
}  // namespace doruzudo
