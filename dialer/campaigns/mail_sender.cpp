#include "dialer/campaigns/mail_sender.h"

#include <QRandomGenerator>

namespace doruzudo {

// One message on its way, with what to do between and after the tries.
struct MailSender::Delivery {
  MailAccount account;
  MailEnvelope envelope;
  std::function<void(Delivery&)> beforeRetry;  // plain account, after the first failure
  std::function<void(const Status&)> finished;
};

MailSender::MailSender(SettingsStore& store, EventLog& log, Scheduler& scheduler)
    : MailSender(store, log, scheduler, makeCurlMailTransport()) {}

MailSender::MailSender(SettingsStore& store, EventLog& log, Scheduler& scheduler,
                       std::unique_ptr<MailTransport> transport)
    : store_(store),
      log_(log),
      scheduler_(scheduler),
      transport_(std::move(transport)),
      worker_(*transport_) {}

MailSender::~MailSender() = default;

int MailSender::EnviaEmail(int kind, const QString& campaign, std::function<void()> done) {
  if (kind < kCampaignEnded || kind > kStarted) return 0;
  if (kind == kCampaignEnded && !readMailOption(store_, QStringLiteral("FimCampanha"))) return 0;
  const auto settings = readMailSettings(store_);
  const auto notice =
      buildNotice(kind, campaign, settings ? settings->sendTo : QString(), scheduler_.now());
  log_.AddMsg(notice->logLine);
  if (!settings) {
    lastFailure_ = settings.message();
    log_.AddMsg(mail_texts::kSendError);
    worker_.post(settings.status(), [done](const Status&) {
      if (done) done();
    });
    return 1;
  }
  auto delivery = prepare(*settings, notice->message);
  delivery->beforeRetry = [this](Delivery& d) {
    log_.AddMsg(mail_texts::kSendError);
    if (const auto host = readMailServer(store_)) d.account.host = *host;
    log_.AddMsg(mail_texts::kResending);
  };
  const bool secure = settings->account.secure;
  delivery->finished = [this, secure, done](const Status& outcome) {
    finishNotice(outcome, secure, done);
  };
  attempt(std::move(delivery), 1);
  return 1;
}

void MailSender::finishNotice(const Status& outcome, bool secure,
                              const std::function<void()>& done) {
  // A secure send that worked is not logged; every failure is.
  if (!outcome.ok()) log_.AddMsg(mail_texts::kSendError);
  if (outcome.ok() && !secure) log_.AddMsg(mail_texts::kSent);
  if (done) done();
}

void MailSender::sendTest(const MailSettings& settings,
                          std::function<void(const MailTestOutcome&)> done) {
  auto delivery = prepare(settings, buildTestMessage(settings.sendTo));
  auto result = std::make_shared<MailTestOutcome>();
  delivery->beforeRetry = [result](Delivery&) { result->messages << mail_texts::kTestFirstError; };
  delivery->finished = [result, done = std::move(done)](const Status& outcome) {
    result->sent = outcome.ok();
    result->reason = outcome.message();
    result->messages << (outcome.ok() ? mail_texts::kTestSent : mail_texts::kTestError);
    if (done) done(*result);
  };
  attempt(std::move(delivery), 1);
}

std::shared_ptr<MailSender::Delivery> MailSender::prepare(const MailSettings& settings,
                                                          const MailMessage& message) {
  auto d = std::make_shared<Delivery>();
  d->account = settings.account;
  const QDateTime now = scheduler_.now();
  const QByteArray id =
      makeMessageId(now, QRandomGenerator::system()->generate64(), message.fromAddress);
  d->envelope = {message.fromAddress, message.to, renderMessage(message, now, id)};
  return d;
}

void MailSender::attempt(std::shared_ptr<Delivery> delivery, int number) {
  auto next = [this, delivery, number](const Status& outcome) {
    lastFailure_ = outcome.message();
    if (outcome.ok() || delivery->account.secure || number == 2) {
      delivery->finished(outcome);
      return;
    }
    delivery->beforeRetry(*delivery);
    attempt(delivery, 2);
  };
  if (delivery->envelope.to.isEmpty()) {
    worker_.post(Status::Error(QStringLiteral("SendTo holds no e-mail address")), std::move(next));
    return;
  }
  worker_.submit(delivery->account, delivery->envelope, std::move(next));
}

}  // namespace doruzudo
