// MailSender: the e-mail notices the engine asks for (MailPort) and the test
// message of the e-mail page.
//
// Every notice reads the account from the settings store again, writes its
// event-log line, and is delivered on the mail worker thread; the outcome
// comes back on the main thread, which writes the remaining log lines and
// calls `done`. A secure account ("AuthSeguro") is tried once. A plain one is
// tried twice: after a failure the log gets "Erro ao enviar  email." and
// "Re-enviando E-mail.", ServerSMTP is read again, and the message goes once
// more; a second failure logs "Erro ao enviar  email." again, a success on
// either try "E-mail enviado com sucesso.". A failure of the secure try, or
// settings that cannot be read (a port that is no number), log
// "Erro ao enviar  email." and end the notice; `done` runs all the same.
// The test message takes its values from the caller, is tried the same way,
// and reports through its outcome instead of the log.
//
// Threads: construct, call and destroy on the main thread, which must run a
// Qt event loop for the outcomes to arrive. The worker thread runs only the
// transport's send.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "common/event_log.h"
#include "common/scheduler.h"
#include "common/settings_store.h"
#include "dialer/campaigns/mail_message.h"
#include "dialer/campaigns/mail_settings.h"
#include "dialer/campaigns/mail_transport.h"
#include "dialer/campaigns/mail_worker.h"
#include "dialer/engine/mail_port.h"

namespace doruzudo {

// What the test message ended with.
struct MailTestOutcome {
  bool sent = false;
  // The texts to show the operator, in order (mail_texts::kTest*).
  QStringList messages;
  // Why the last try failed (empty after a success).
  QString reason;
};

class MailSender final : public MailPort {
 public:
  // With the libcurl transport.
  MailSender(SettingsStore& store, EventLog& log, Scheduler& scheduler);
  // With another transport (tests).
  MailSender(SettingsStore& store, EventLog& log, Scheduler& scheduler,
             std::unique_ptr<MailTransport> transport);
  // Cancels a send in progress and waits for the worker thread; the `done`
  // and test callbacks still pending are not called.
  ~MailSender() override;

  int EnviaEmail(int kind, const QString& campaign, std::function<void()> done) override;

  // Sends the test message ("Teste de Envio") with the given values (the
  // page's texts, or the stored ones); `done` gets the outcome.
  void sendTest(const MailSettings& settings, std::function<void(const MailTestOutcome&)> done);

  // Why the most recent try failed, for diagnostics; empty after a success.
  QString lastFailure() const { return lastFailure_; }

  void waitIdleForTest() { worker_.waitIdleForTest(); }

 private:
  struct Delivery;
  std::shared_ptr<Delivery> prepare(const MailSettings& settings, const MailMessage& message);
  void attempt(std::shared_ptr<Delivery> delivery, int number);
  void finishNotice(const Status& outcome, bool secure, const std::function<void()>& done);

  SettingsStore& store_;
  EventLog& log_;
  Scheduler& scheduler_;
  std::unique_ptr<MailTransport> transport_;
  QString lastFailure_;
  MailWorker worker_;  // after transport_: destroyed (and joined) before it
};

}  // namespace doruzudo
