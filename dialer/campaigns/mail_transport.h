// MailTransport: delivers one rendered message to an SMTP server. The libcurl
// transport is the production one; tests put a fake in its place.
//
// Threads: send() runs on the mail worker thread, one call at a time, and
// blocks until the message was delivered or refused; cancel() may be called
// from any thread and makes a running send() end soon with an error.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

#include "common/status.h"
#include "dialer/campaigns/mail_settings.h"

namespace doruzudo {

struct MailEnvelope {
  QString from;        // MAIL FROM address
  QStringList to;      // RCPT TO addresses
  QByteArray message;  // the rendered message (CR LF lines)
};

class MailTransport {
 public:
  virtual ~MailTransport() = default;
  // Ok only when the server accepted the whole message.
  virtual Status send(const MailAccount& account, const MailEnvelope& envelope) = 0;
  virtual void cancel() = 0;
};

// Time limits of the libcurl transport.
struct CurlMailOptions {
  int connectTimeoutMs = 15000;  // TCP and TLS connection
  int responseTimeoutS = 30;     // each server reply
  int totalTimeoutMs = 120000;   // the whole send
};

// libcurl over OpenSSL: "smtps://" for a secure account, else "smtp://" with
// STARTTLS when the server offers it; TLS 1.2 or later with the server's
// certificate and name checked; login forced to AUTH LOGIN when a user is set,
// and the send refused when the server then offers no authentication.
std::unique_ptr<MailTransport> makeCurlMailTransport(CurlMailOptions options = {});

}  // namespace doruzudo
