// Test support: a scripted SMTP server over plain sockets on 127.0.0.1, and
// a loopback port where nothing listens. Included by the e-mail tests only.
//
// The server runs on its own thread; every wait of it is bounded (poll slices
// of 50 ms, at most 8 s per wait). What it received is guarded by a mutex.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <atomic>
#include <mutex>
#include <thread>

namespace doruzudo::testing {

// A one-thread SMTP server that answers from a script.
class ScriptedSmtpServer {
 public:
  enum class Mode { OfferAuth, NoAuth, RecordFirstBytes };

  // Listens on 127.0.0.1:port() and serves the connections one after the other.
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
  // Serves one session on `stream`, a connected socket it then closes.
  ScriptedSmtpServer(Mode mode, int stream) : mode_(mode) {
    thread_ = std::thread([this, stream] {
      ++connections_;
      session(stream);
      ::close(stream);
    });
  }
  ~ScriptedSmtpServer() {
    stop_ = true;
    thread_.join();
    if (listener_ >= 0) ::close(listener_);
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
inline int closedPort() {
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

}  // namespace doruzudo::testing
