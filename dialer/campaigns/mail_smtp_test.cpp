// MailSender with the libcurl transport against a scripted SMTP server on
// 127.0.0.1: the dialogue and bytes that arrive, the refusal to send without
// authentication, a server that is down, TLS from the first byte.
//
// The server runs on its own thread over plain sockets; every wait of it is
// bounded (poll slices of 50 ms, at most 8 s in all), and the sends are bounded
// by the transport's time-outs.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <mutex>
#include <thread>

#include "common/manual_scheduler.h"
#include "dialer/campaigns/mail_sender.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

// A one-thread SMTP server that answers from a script.
class ScriptedSmtpServer {
 public:
  enum class Mode { OfferAuth, NoAuth, RecordFirstBytes };

  explicit ScriptedSmtpServer(Mode mode) : mode_(mode) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len), 0);
    EXPECT_EQ(::listen(listener_, 4), 0);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~ScriptedSmtpServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }

  int port() const { return port_; }
  QByteArray received() {
    std::lock_guard lock(mutex_);
    return received_;
  }
  QByteArray message() {
    std::lock_guard lock(mutex_);
    return message_;
  }
  int connections() const { return connections_; }

 private:
  // Waits (bounded) until `fd` is readable; false on time-out or stop.
  bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    for (int slice = 0; slice < 160 && !stop_; ++slice) {
      if (::poll(&p, 1, 50) > 0) return true;
    }
    return false;
  }
  bool readMore(int fd, QByteArray& buffer) {
    char chunk[4096];
    if (!readable(fd)) return false;
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer.append(chunk, n);
    std::lock_guard lock(mutex_);
    received_.append(chunk, n);
    return true;
  }
  bool readUntil(int fd, QByteArray& buffer, const QByteArray& end, QByteArray& out) {
    qsizetype at;
    while ((at = buffer.indexOf(end)) < 0) {
      if (!readMore(fd, buffer)) return false;
    }
    out = buffer.left(at);
    buffer.remove(0, at + end.size());
    return true;
  }
  void reply(int fd, const QByteArray& text) {
    (void)::send(fd, text.constData(), text.size(), MSG_NOSIGNAL);
  }

  void serve() {
    while (!stop_ && readable(listener_)) {
      const int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) return;
      ++connections_;
      if (mode_ == Mode::RecordFirstBytes) {
        QByteArray buffer;
        readMore(fd, buffer);
      } else {
        session(fd);
      }
      ::close(fd);
    }
  }

  void session(int fd) {
    QByteArray buffer, line;
    reply(fd, "220 mail.test ESMTP\r\n");
    while (readUntil(fd, buffer, "\r\n", line)) {
      const QByteArray verb = line.left(4).toUpper();
      if (verb == "EHLO") {
        reply(fd, mode_ == Mode::OfferAuth
                      ? "250-mail.test\r\n250-AUTH CRAM-MD5 PLAIN LOGIN\r\n250 8BITMIME\r\n"
                      : "250-mail.test\r\n250 8BITMIME\r\n");
      } else if (line == "AUTH LOGIN") {
        reply(fd, "334 VXNlcm5hbWU6\r\n");
        if (!readUntil(fd, buffer, "\r\n", line)) return;
        reply(fd, "334 UGFzc3dvcmQ6\r\n");
        if (!readUntil(fd, buffer, "\r\n", line)) return;
        reply(fd, "235 2.7.0 Authentication successful\r\n");
      } else if (verb == "MAIL" || verb == "RCPT") {
        reply(fd, "250 OK\r\n");
      } else if (verb == "DATA") {
        reply(fd, "354 End data with <CR><LF>.<CR><LF>\r\n");
        QByteArray data;
        if (!readUntil(fd, buffer, "\r\n.\r\n", data)) return;
        {
          std::lock_guard lock(mutex_);
          message_ = data + "\r\n";
        }
        reply(fd, "250 OK queued\r\n");
      } else if (verb == "QUIT") {
        reply(fd, "221 Bye\r\n");
        return;
      } else {
        reply(fd, "502 Command not implemented\r\n");
      }
    }
  }

  const Mode mode_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::mutex mutex_;  // guards received_ and message_
  QByteArray received_;
  QByteArray message_;
  std::thread thread_;
};

// A loopback port where nothing listens.
int closedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

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

}  // namespace
}  // namespace doruzudo
