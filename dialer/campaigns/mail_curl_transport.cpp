// The libcurl MailTransport (see mail_transport.h).
//
// libcurl logs in only when the server lists AUTH in its EHLO reply; without it
// it would send unauthenticated and report success. The debug callback watches
// the dialogue: when a user is set and MAIL FROM goes out with no AUTH offered
// (after STARTTLS, the second EHLO counts), the transfer is aborted through the
// progress and read callbacks before any byte of the message is sent.
#include <curl/curl.h>

#include <QRegularExpression>
#include <atomic>
#include <cstring>
#include <mutex>

#include "dialer/campaigns/mail_transport.h"

namespace doruzudo {
namespace {

// One send's state, shared by the callbacks on the worker thread.
struct Transfer {
  const QByteArray* message = nullptr;
  qsizetype offset = 0;
  bool userSet = false;
  bool authOffered = false;
  bool refused = false;
  const std::atomic<bool>* cancelled = nullptr;
  bool stop() const { return refused || cancelled->load(); }
};

void watchCommand(Transfer& t, const QByteArray& line) {
  if (line.startsWith("EHLO ") || line.startsWith("HELO ")) t.authOffered = false;
  if (line.startsWith("MAIL FROM:") && t.userSet && !t.authOffered) t.refused = true;
}

void watchReply(Transfer& t, const QByteArray& reply) {
  static const QRegularExpression auth(QStringLiteral(R"(^250[- ]AUTH[ =])"),
                                       QRegularExpression::CaseInsensitiveOption);
  for (const QByteArray& line : reply.split('\n')) {
    if (auth.match(QString::fromLatin1(line)).hasMatch()) t.authOffered = true;
  }
}

int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const QByteArray bytes(data, qsizetype(size));
  if (type == CURLINFO_HEADER_OUT) watchCommand(t, bytes);
  if (type == CURLINFO_HEADER_IN) watchReply(t, bytes);
  return 0;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Transfer*>(user)->stop() ? 1 : 0;
}

size_t onRead(char* buffer, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  if (t.stop()) return CURL_READFUNC_ABORT;
  const qsizetype n = std::min<qsizetype>(qsizetype(size * count), t.message->size() - t.offset);
  std::memcpy(buffer, t.message->constData() + t.offset, size_t(n));
  t.offset += n;
  return size_t(n);
}

Result<QByteArray> serverUrl(const MailAccount& account) {
  static const QRegularExpression name(QStringLiteral(R"(^[A-Za-z0-9._\-]+$)"));
  static const QRegularExpression ipv6(QStringLiteral(R"(^[0-9A-Fa-f:.]+$)"));
  const QString host = account.host;
  QString urlHost;
  if (name.match(host).hasMatch()) {
    urlHost = host;
  } else if (host.contains(QLatin1Char(':')) && ipv6.match(host).hasMatch()) {
    urlHost = QLatin1Char('[') + host + QLatin1Char(']');
  } else {
    return Result<QByteArray>::Error(host.isEmpty()
                                         ? QStringLiteral("no SMTP server is set")
                                         : QStringLiteral("'%1' is no host name").arg(host));
  }
  if (account.port < 1 || account.port > 65535) {
    return Result<QByteArray>::Error(QStringLiteral("%1 is no port number").arg(account.port));
  }
  const QString scheme = account.secure ? QStringLiteral("smtps") : QStringLiteral("smtp");
  return QStringLiteral("%1://%2:%3").arg(scheme, urlHost).arg(account.port).toUtf8();
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

class CurlMailTransport final : public MailTransport {
 public:
  explicit CurlMailTransport(CurlMailOptions options) : options_(options) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  }

  Status send(const MailAccount& account, const MailEnvelope& envelope) override {
    const auto url = serverUrl(account);
    if (!url) return url.status();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return Status::Error(QStringLiteral("libcurl could not start"));
    std::unique_ptr<curl_slist, CurlDeleter> recipients;
    for (const QString& to : envelope.to) {
      curl_slist* grown =
          curl_slist_append(recipients.get(), ("<" + to.toUtf8() + ">").constData());
      if (!grown) return Status::Error(QStringLiteral("out of memory"));
      (void)recipients.release();
      recipients.reset(grown);
    }
    Transfer t;
    t.message = &envelope.message;
    t.userSet = !account.user.isEmpty();
    t.cancelled = &cancelled_;
    char error[CURL_ERROR_SIZE] = {};
    const QByteArray from = "<" + envelope.from.toUtf8() + ">";
    const QByteArray user = account.user.toUtf8(), password = account.password.toUtf8();
    const QByteArray certificate = account.trustedCertificate.toLocal8Bit();
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url->constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(options_.connectTimeoutMs));
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(options_.responseTimeoutS));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(options_.totalTimeoutMs));
    curl_easy_setopt(c, CURLOPT_USE_SSL, account.secure ? CURLUSESSL_ALL : CURLUSESSL_TRY);
    curl_easy_setopt(c, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!certificate.isEmpty()) curl_easy_setopt(c, CURLOPT_CAINFO, certificate.constData());
    if (t.userSet) {
      curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
      curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
      curl_easy_setopt(c, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
    }
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, onRead);
    curl_easy_setopt(c, CURLOPT_READDATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &t);
    const CURLcode code = curl_easy_perform(c);
    if (t.refused) {
      return Status::Error(
          QStringLiteral("the server offers no authentication, and a user is set"));
    }
    if (code != CURLE_OK) {
      const QString detail =
          error[0] ? QString::fromUtf8(error) : QString::fromUtf8(curl_easy_strerror(code));
      return Status::Error(detail.trimmed());
    }
    return Status::Ok();
  }

  void cancel() override { cancelled_ = true; }

 private:
  const CurlMailOptions options_;
  std::atomic<bool> cancelled_{false};
};

}  // namespace

std::unique_ptr<MailTransport> makeCurlMailTransport(CurlMailOptions options) {
  return std::make_unique<CurlMailTransport>(options);
}

}  // namespace doruzudo
